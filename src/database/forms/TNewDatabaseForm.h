#pragma once
#include <QDialog>
#include <QStringList>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// Asks for the name of a new database and the captions of its free columns. "OK"
// closes the dialog only when the input passes every check; the dialog is created
// once and keeps its texts between openings.
class TNewDatabaseForm : public QDialog {
    Q_OBJECT
public:
    explicit TNewDatabaseForm(QWidget* parent = nullptr);

    // The folder in which the derived file name must not exist yet.
    void setDataFolder(const QString& dataFolder) { m_dataFolder = dataFolder; }

    // Valid after the dialog was accepted.
    QString displayName() const { return m_displayName; }
    QString fileName() const { return m_fileName; }
    // The lines of Memo2; a final line end starts no further line.
    QStringList captionLines() const;

private:
    void onOk();

    QString m_dataFolder;
    QString m_displayName;
    QString m_fileName;
    QLineEdit* m_nameEdit = nullptr;
    QPlainTextEdit* m_coreMemo = nullptr;
    QPlainTextEdit* m_captionMemo = nullptr;
};
