#pragma once
#include <QDialog>

class QLineEdit;
class QPushButton;

// "Alle Datensätze mit bestimmten Text markieren": the user types a text and marks every
// record from the current one on that holds it. The dialog stays open after marking;
// the window that opens it does the work behind the signals.
class TFilter2Form : public QDialog {
    Q_OBJECT
public:
    explicit TFilter2Form(QWidget* parent = nullptr);

    QString text() const;

Q_SIGNALS:
    void markRequested(const QString& text); // "Markieren" or Enter
    void unmarkAllRequested();               // "Alle unmarkieren"
    void deleteMarkedRequested();            // "markierte löschen"
    void textEdited();                       // every change of Edit1

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* m_edit = nullptr;
    QPushButton* m_deleteMarked = nullptr;
};
