#pragma once
#include <QDialog>
#include <QList>
#include <QStringList>

class AppState;
class QLineEdit;

// The salutation editor "Grußformel": eight rows of an Anrede beginning and the
// greeting that replaces it, kept in Grussformel.txt in the program folder.
class TGrussformelForm : public QDialog {
    Q_OBJECT
public:
    explicit TGrussformelForm(AppState& state, QWidget* parent = nullptr);

    // Loads the file into the rows and shows the dialog modally.
    int runModal();
    void load();

    QString filePath() const;

private:
    void okClicked();

    AppState& m_state;
    QList<QLineEdit*> m_keys;
    QList<QLineEdit*> m_values;
    QStringList m_extraLines; // lines from the ninth on, kept as they are
};
