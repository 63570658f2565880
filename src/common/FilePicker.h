#pragma once
#include <QString>
#include <QStringList>

// File and folder pickers go through this facade so tests can answer them.
// An empty result means the user cancelled.
class FilePicker {
public:
    virtual ~FilePicker() = default;
    virtual QString openFile(const QString& caption, const QString& folder,
                             const QString& filter) = 0;
    virtual QString saveFile(const QString& caption, const QString& folder,
                             const QString& filter) = 0;
    virtual QString folder(const QString& caption, const QString& folder) = 0;

    static FilePicker& instance();
    static void install(FilePicker* picker); // not owned; nullptr restores the default
};

// Cancels every pick; the default until the program installs the real one.
class CancellingFilePicker : public FilePicker {
public:
    QString openFile(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFile(const QString&, const QString&, const QString&) override { return {}; }
    QString folder(const QString&, const QString&) override { return {}; }
};
