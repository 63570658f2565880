#pragma once
#include "settings/AccountOptions.h"

#include <QWidget>
#include <functional>
#include <memory>

class AppState;
class QLineEdit;
class QPushButton;
class SmtpMail;

// The connection test "Verbindungstest": sends one test mail to an address the user
// types, with the values the options dialog shows. Before sending, those values are
// saved as the settings in force (the open database's own when it may have them, else
// the general ones). Opened non-modally by the options dialog; created once.
class TFTryconnection : public QWidget {
    Q_OBJECT
public:
    explicit TFTryconnection(AppState& state, QWidget* parent = nullptr);
    ~TFTryconnection() override;

    // The options dialog's values as its controls hold them now.
    std::function<OptionsValues()> dialogValues;
    // The priority the composer's list shows (1, 3 or 5).
    std::function<int()> priority;

    // Shows the window, centred over its parent.
    void showTest();
    // "Test-E-Mail senden". True when a test mail was sent.
    bool sendTestMail();

    static QString presetText(); // "Emailadresse eingeben"

private:
    AppState& m_state;
    QLineEdit* m_email = nullptr;
    QPushButton* m_send = nullptr;
    std::unique_ptr<SmtpMail> m_mail;
    bool m_busy = false;
};
