#pragma once
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// The mail accounts of the Thunderbird profiles of the user: profiles.ini in the usual
// folder, the Flatpak and the Snap folder; in each profile the account store prefs.js
// (mail.account.*, mail.identity.*, mail.server.*, mail.smtpserver.*). Passwords are
// never read: Thunderbird keeps them elsewhere, and this reader does not look there.
namespace ThunderbirdAccounts {

// The folders that may hold a profiles.ini, below the home folder.
QStringList profileRoots(const QString& home);

// The profile folders named by the profiles.ini files, in file order. Profiles whose
// folder or prefs.js is missing are counted in *unreadable.
QStringList profileFolders(const QString& home, int* unreadable = nullptr);

// The user_pref lines of a prefs.js: strings (double or single quoted, with escapes),
// whole numbers and booleans. A line that does not parse is left out.
QHash<QString, QVariant> readPrefs(const QByteArray& bytes);

// One POP or IMAP account as the options dialog takes it.
struct MailAccount {
    QString displayName;
    QString address;
    QString smtpHost;
    int smtpPort = -1; // -1: not stored
    QString smtpUserName;
    bool imap = false;
    QString popHost;
    QString popUserName;
    int popPort = -1;

    // "display name<address>", the entry of the account list.
    QString entry() const { return displayName + u'<' + address + u'>'; }
};

// What the account puts into the options dialog's fields: SMTP port (25 when not
// stored), host, sender address and name; authentication on when the SMTP server has a
// user name, with that name; the POP3 account, host and port (110 when not stored),
// all three cleared (port 110) for an IMAP account.
struct OptionsFields {
    QString smtpPort;
    QString smtpHost;
    QString email;
    QString name;
    bool authentication = false;
    QString smtpUserName;
    QString popAccount;
    QString popHost;
    QString popPort;
};
OptionsFields optionsFields(const MailAccount& account);

// The POP and IMAP accounts of the prefs, in the order of mail.accountmanager.accounts;
// accounts whose server or identity is missing are counted in *unreadable.
QList<MailAccount> accounts(const QHash<QString, QVariant>& prefs, int* unreadable = nullptr);

// Every account of every profile found below home.
struct Found {
    QList<MailAccount> accounts;
    int unreadable = 0; // profiles and accounts that could not be read
    int profiles = 0;   // profile folders found
};
Found find(const QString& home);

// "<n> Thunderbird-Konten oder -Profile konnten nicht gelesen werden ..." for n > 0.
QString unreadableText(int count);

} // namespace ThunderbirdAccounts
