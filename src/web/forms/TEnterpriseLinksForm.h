#pragma once
#include <QDialog>

class AppState;
class QLabel;
class QLineEdit;
class QPushButton;

// "Web Info": the addresses a user needs after setting up the web kit and the click
// statistics of the open database: the order form's and the cancellation form's links
// and the evaluation page, each to copy or to open.
class TEnterpriseLinksForm : public QDialog {
    Q_OBJECT
public:
    explicit TEnterpriseLinksForm(AppState& state, QWidget* parent = nullptr);

    // "Öffnen Sie zuerst eine Datenbank!" without an open database; otherwise fills the
    // links from the database's web settings file. run() then shows the dialog.
    bool prepare();
    int run();

private:
    AppState& m_state;
    QLabel* m_database = nullptr;
    QLineEdit* m_subscribe = nullptr;
    QLineEdit* m_unsubscribe = nullptr;
    QLineEdit* m_stats = nullptr;
    QPushButton* m_copySubscribe = nullptr;
    QPushButton* m_copyUnsubscribe = nullptr;
    QPushButton* m_testSubscribe = nullptr;
    QPushButton* m_testUnsubscribe = nullptr;
    QPushButton* m_startStats = nullptr;
};
