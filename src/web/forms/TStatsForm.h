#pragma once
#include <QDialog>

class AppState;
class QCheckBox;
class QLineEdit;

// "Newsletter Statistik einrichten": the click-tracking settings of the open database
// (statistics address, password, tracking on by default) and the tracking folder with
// its instruction page, prepared for upload.
class TStatsForm : public QDialog {
    Q_OBJECT
public:
    explicit TStatsForm(AppState& state, QWidget* parent = nullptr);

    // "Öffnen Sie zuerst eine Datenbank!" without an open database; otherwise shows the
    // stored tracking settings. run() then shows the dialog.
    bool prepare();
    int run();

    void use(); // "Verwenden"
    void explainClicksOnly();

private:
    AppState& m_state;
    QLineEdit* m_url = nullptr;
    QLineEdit* m_password = nullptr;
    QCheckBox* m_active = nullptr;
};
