#pragma once
#include <QDialog>

class QLabel;
class QLineEdit;

// The ID range dialog: two fields of up to 11 digits. The window that opens it reads
// the texts after "OK" and checks them.
class TDoIDForm : public QDialog {
    Q_OBJECT
public:
    explicit TDoIDForm(QWidget* parent = nullptr);

    QString startText() const;
    QString endText() const;

private:
    QLabel* m_doLabel = nullptr;
    QLineEdit* m_start = nullptr;
    QLineEdit* m_end = nullptr;
};
