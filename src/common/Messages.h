#pragma once
#include <QString>

// Every message box of the program goes through this facade. The program installs
// a facade that shows real boxes; tests install a scripted one that expects the
// exact texts in order and gives the answers. "\r" in a text is a line break.
class Messages {
public:
    enum class Answer { Yes, No, Abort };

    virtual ~Messages() = default;
    virtual void information(const QString& text) = 0;
    virtual void error(const QString& text) = 0;
    virtual bool question(const QString& text) = 0; // Yes/No; true for Yes
    // Yes/No for an action that deletes, empties, overwrites or restores data: "Nein"
    // is the default button, so Enter never destroys anything. True for Yes.
    virtual bool destructiveQuestion(const QString& text) = 0;
    virtual Answer questionYesNoAbort(const QString& text) = 0; // Yes/No/Abort

    // The facade the windows use. Until one is installed, a silent one answers No.
    static Messages& instance();
    static void install(Messages* messages); // not owned; nullptr restores the silent one
};

// A facade that shows nothing and answers every question with No.
class SilentMessages : public Messages {
public:
    void information(const QString&) override {}
    void error(const QString&) override {}
    bool question(const QString&) override { return false; }
    bool destructiveQuestion(const QString&) override { return false; }
    Answer questionYesNoAbort(const QString&) override { return Answer::No; }
};
