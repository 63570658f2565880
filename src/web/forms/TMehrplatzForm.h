#pragma once
#include <QDialog>

class QLabel;

// "Mehrplatzversion": how several workstations run the program on one shared program
// folder (a network share mounted on each of them).
class TMehrplatzForm : public QDialog {
    Q_OBJECT
public:
    // programFolder: the folder this installation uses, shown as the one to share.
    explicit TMehrplatzForm(const QString& programFolder, QWidget* parent = nullptr);

    // Where "hier klicken" leads: the download page of the program.
    static QString downloadAddress();
    // The page's text (rich text), for the folder given.
    static QString pageText(const QString& programFolder);

private:
    QLabel* m_page = nullptr;
};
