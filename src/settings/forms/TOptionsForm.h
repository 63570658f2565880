#pragma once
#include "settings/AccountOptions.h"
#include "settings/ThunderbirdAccounts.h"

#include <QDialog>

class AppState;
class Messages;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class SendLimitsPanel;
class TDkimForm;
class TFTryconnection;
class TImportAccountsForm;

// The options dialog "Optionen": sender, outgoing and incoming server, client identity,
// delay, character set, proxy and, for a database other than the standard one, whether
// the settings apply to that database only. Created once and reused.
class TOptionsForm : public QDialog {
    Q_OBJECT
public:
    explicit TOptionsForm(AppState& state, QWidget* parent = nullptr);

    // Fills the dialog from the settings files for the open database and shows it
    // modally. Returns the dialog's result.
    int runModal();
    // Fills the controls from the files; runModal() does this before showing.
    void prepare();

    // The values as the controls hold them now (the dialog's working copy).
    OptionsValues currentValues() const;

    // The address of the product's FAQ page.
    static QString faqAddress();

    // The connection test window "Verbindung testen" opens (created once).
    TFTryconnection* connectionTest() const { return m_connectionTest; }
    // "Konto auswählen" behind "Thunderbird" (created once).
    TImportAccountsForm* accountImport() const { return m_accountImport; }
    // "DKIM-Signatur" (created once).
    TDkimForm* dkimForm() const { return m_dkim; }

    // Puts an imported account into the fields, as if the user had typed it.
    void fillFromAccount(const ThunderbirdAccounts::OptionsFields& fields);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void fill(const OptionsValues& values);
    void okClicked();
    QString settingsFileInForce() const;
    void resetClicked();
    void exchangeClicked();
    void openHelp(const QString& page);
    void correctNumber(QLineEdit* edit, const QString& fallback);
    void correctProxyPort();
    void fillListUnsubscribe();
    bool saveListUnsubscribe(Messages& messages);

    AppState& m_state;

    QLineEdit* m_email = nullptr;
    QLineEdit* m_name = nullptr;
    QCheckBox* m_listUnsubscribe = nullptr;
    QLineEdit* m_smtpHost = nullptr;
    QLineEdit* m_smtpPort = nullptr;
    QCheckBox* m_authentication = nullptr;
    QWidget* m_panel2 = nullptr;
    QLineEdit* m_smtpUser = nullptr;
    QLineEdit* m_smtpPassword = nullptr;
    QCheckBox* m_ssl = nullptr;
    QCheckBox* m_popBeforeSmtp = nullptr;
    QGroupBox* m_panel1 = nullptr;
    QLineEdit* m_popHost = nullptr;
    QLineEdit* m_popAccount = nullptr;
    QLineEdit* m_popPassword = nullptr;
    QLineEdit* m_popPort = nullptr;
    QComboBox* m_identity = nullptr;
    QLineEdit* m_delay = nullptr;
    SendLimitsPanel* m_limits = nullptr;
    QComboBox* m_codeSet = nullptr;
    QCheckBox* m_proxy = nullptr;
    QLineEdit* m_proxyServer = nullptr;
    QLineEdit* m_proxyPort = nullptr;
    QLineEdit* m_proxyUser = nullptr;
    QLineEdit* m_proxyPassword = nullptr;
    QFrame* m_levelGroup = nullptr;
    QLabel* m_dbSettings = nullptr;
    QPushButton* m_dbSettingsButton = nullptr;
    QLabel* m_importLabel = nullptr;
    QPushButton* m_importButton = nullptr;
    QPushButton* m_outlookImport = nullptr;
    QPushButton* m_tryConnection = nullptr;
    TFTryconnection* m_connectionTest = nullptr;
    TImportAccountsForm* m_accountImport = nullptr;
    TDkimForm* m_dkim = nullptr;
};
