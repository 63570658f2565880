#pragma once
#include "hygiene/Bounces.h"

#include <QDialog>

class AppState;
class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

// "Unzustellbare E-Mails (Rückläufer) auswerten": reads the account's POP3 mailbox, lists
// the addresses its bounces report, and on "Übernehmen" marks the hard ones invalid in
// the open table; only then, and only when asked, are the processed bounces deleted on
// the server. Created once.
class TBouncesForm : public QDialog {
    Q_OBJECT
public:
    explicit TBouncesForm(AppState& state, QWidget* parent = nullptr);

    int runModal();
    // "Postfach abrufen".
    void fetch();
    // "Übernehmen".
    void applyResult();

private:
    void showScan();

    AppState& m_state;
    Bounces::Scan m_scan;
    bool m_applied = false;
    QTableWidget* m_table = nullptr;
    QLabel* m_summary = nullptr;
    QCheckBox* m_delete = nullptr;
    QPushButton* m_fetch = nullptr;
    QPushButton* m_apply = nullptr;
};
