#pragma once
#include "settings/ThunderbirdAccounts.h"

#include <QDialog>
#include <functional>

class QListWidget;

// "Konto auswählen": the mail accounts of the user's Thunderbird profiles, one entry
// "display name<address>" each; "Ausführen" (or a double click) puts the chosen one
// into the options dialog's fields. Passwords are never read.
class TImportAccountsForm : public QDialog {
    Q_OBJECT
public:
    explicit TImportAccountsForm(QWidget* parent = nullptr);

    // Fills the options dialog's fields, as if the user had typed the values.
    std::function<void(const ThunderbirdAccounts::OptionsFields&)> fillOptions;

    // Whether the user's home folder holds a Thunderbird profile.
    static bool profileExists();

    const QList<ThunderbirdAccounts::MailAccount>& accounts() const { return m_accounts; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void execute();

    QList<ThunderbirdAccounts::MailAccount> m_accounts;
    QListWidget* m_list = nullptr;
};
