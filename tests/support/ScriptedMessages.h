#pragma once
#include "common/Messages.h"

#include <QList>
#include <QString>
#include <QStringList>

// A Messages facade for tests: expects the exact texts in order, gives the scripted
// answers, and records a failure for any box that was not expected.
class ScriptedMessages : public Messages {
public:
    enum class Kind { Information, Error, Question, DestructiveQuestion, QuestionYesNoAbort };

    ScriptedMessages();           // installs itself
    ~ScriptedMessages() override; // uninstalls and fails when expected boxes did not show

    ScriptedMessages& expectInformation(const QString& text);
    ScriptedMessages& expectError(const QString& text);
    ScriptedMessages& expectQuestion(const QString& text, bool yes);
    // A question whose default button must be "Nein" (delete, empty, overwrite).
    ScriptedMessages& expectDestructiveQuestion(const QString& text, bool yes);
    ScriptedMessages& expectQuestion3(const QString& text, Answer answer);
    // Accepts any error box (for messages that carry a system error text).
    ScriptedMessages& expectAnyError();

    void information(const QString& text) override;
    void error(const QString& text) override;
    bool question(const QString& text) override;
    bool destructiveQuestion(const QString& text) override;
    Answer questionYesNoAbort(const QString& text) override;

    QStringList shown() const { return m_shown; }
    bool allShown() const { return m_expected.isEmpty(); }

private:
    struct Expected {
        Kind kind;
        QString text;
        Answer answer = Answer::No;
        bool anyText = false;
    };
    Expected take(Kind kind, const QString& text);

    QList<Expected> m_expected;
    QStringList m_shown;
};

// Records every box ("I:", "E:", "Q:", "QD:" for a destructive question, "Q3:" before
// its text) and answers every
// question the same way; for texts known only at run time.
class RecordingMessages : public Messages {
public:
    explicit RecordingMessages(bool answer = false) : m_answer(answer) {}
    void information(const QString& text) override { shown << "I:" + text; }
    void error(const QString& text) override { shown << "E:" + text; }
    bool question(const QString& text) override {
        shown << "Q:" + text;
        return m_answer;
    }
    bool destructiveQuestion(const QString& text) override {
        shown << "QD:" + text;
        return m_answer;
    }
    Answer questionYesNoAbort(const QString& text) override {
        shown << "Q3:" + text;
        return m_answer ? Answer::Yes : Answer::No;
    }
    QStringList shown;

private:
    bool m_answer;
};
