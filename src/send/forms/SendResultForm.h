#pragma once
#include <QDialog>
#include <QString>
#include <QStringList>

class QLabel;
class QPlainTextEdit;
class QPrinter;
class QPushButton;

// The common part of the two result windows of a send run: a label, the memo Memo1
// and the buttons "Speichern", "Drucken" and "Schließen".
class SendResultForm : public QDialog {
    Q_OBJECT
public:
    SendResultForm(const QString& caption, const QString& labelText, QWidget* parent = nullptr);

    void setLines(const QStringList& lines);
    QStringList lines() const;

    // Where the save dialog starts; its proposed file name is "untitled".
    void setSaveFolder(const QString& folder) { m_saveFolder = folder; }
    // The printer "Drucken" uses; nullptr (the default) means the system's default
    // printer. Not owned.
    void setPrinter(QPrinter* printer) { m_printer = printer; }

    // "Speichern": asks for a text file and writes the memo lines. True when written.
    bool save();
    // "Drucken": "Quillon: " + today's date, 77 "-", a blank line, then the memo lines.
    bool print();
    // The lines as they are printed.
    QStringList printLines() const;

private:
    bool printOn(QPrinter& printer);

    QLabel* m_label;
    QPlainTextEdit* m_memo;
    QPushButton* m_save;
    QPushButton* m_print;
    QPushButton* m_close;
    QString m_saveFolder;
    QPrinter* m_printer = nullptr;
};
