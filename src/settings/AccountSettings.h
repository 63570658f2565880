#pragma once
#include <QString>
#include <QStringList>
#include <optional>

class Messages;

// The SMTP and POP3 account values in force for the open database.
struct AccountSettings {
    QString smtpHost;
    QString smtpPort; // text of digits
    bool authentication = false;
    QString smtpUserName;
    QString smtpPassword; // empty whenever authentication is off
    bool sslActive = false;
    int codeSetIndex = 0; // 0 iso-8859-1, 1 windows-1252, 2 utf-7, 3 utf-8
    QString popHost;
    QString popAccount;
    QString popPassword;
    QString popPort = QStringLiteral("110");
    bool popBeforeSmtp = false;
    int delaySeconds = 0;
    int clientIdentityIndex = 0; // 0..5, see clientIdentityText

    // The SMTP port as a number; nullopt when the text is no port number.
    std::optional<int> smtpPortNumber() const;
    std::optional<int> popPortNumber() const;
};

// The proxy for the program's web requests (proxy.ini, always general).
struct ProxySettings {
    bool useProxy = false;
    QString server;
    QString portText;
    QString userName;
    QString password;

    // The port as a number; nullopt when the text is empty or no number, which makes a
    // request through the proxy fail.
    std::optional<int> port() const;
};

// The items of the character set box and the charsets they stand for.
QStringList codeSetItems();
QString codeSetCharset(int index); // "iso-8859-1", "windows-1252", "utf-7", "utf-8"
// The items of the client identity box and the mailer identity each one sends.
QStringList clientIdentityItems();
QString clientIdentityText(int index);

// Where the settings live. Settings exist at the general level (Quillon.ini and
// AbsenderMails.ini) and, for a database other than the standard one, at the database
// level (a settings file named like its definition file in the program folder, and
// "Absender-" + definition file name in the data folder).
namespace SettingsFiles {

enum class Level { General, Database };

bool isStandardDatabase(const QString& definitionName);
// False for the standard database and for a definition file name that would make the
// database settings file one of the program's own files (Quillon.ini, proxy.ini,
// Buttons.ini, config.ini): such a database always uses the general settings.
bool mayHaveOwnSettings(const QString& definitionName);

QString generalSettingsPath(const QString& programFolder);
QString proxyPath(const QString& programFolder);
// The database settings file: the definition file name with its first ".ini" (any
// case) taken off and ".ini" put back, in the program folder; an existing file of that
// name in another letter case is used as it is. Empty when the database cannot have
// settings of its own.
QString databaseSettingsPath(const QString& programFolder, const QString& definitionName);
// The existing database settings file (name compared without regard to case), or empty.
QString existingDatabaseSettingsPath(const QString& programFolder, const QString& definitionName);
bool hasDatabaseSettings(const QString& programFolder, const QString& definitionName);
// The file the settings are read from: the database settings file when it exists,
// else Quillon.ini.
QString chooseSettingsFile(const QString& programFolder, const QString& definitionName);

QString generalSenderListPath(const QString& dataFolder);
QString databaseSenderListPath(const QString& dataFolder, const QString& definitionName);
QString senderListPath(const QString& dataFolder, const QString& definitionName, Level level);

// Creates the file, readable and writable by its owner only, when it does not exist
// yet, so a password written into it is never readable by others, not even briefly.
bool ensurePrivateFile(const QString& path);

} // namespace SettingsFiles

// Reading the settings. The reads that check for missing entries report them through
// messages; a missing Quillon.ini is reported once and the defaults are used.
namespace Settings {

QString missingGeneralFileMessage(const QString& programFolder);

// Loads the account settings of the database by the choice rule, with the checking
// reads. When the chosen file does not exist only the missing-file message is shown.
AccountSettings loadAccountSettings(const QString& programFolder, const QString& definitionName,
                                    Messages& messages);

// Plain reads of every key of one settings file, no checks (the options dialog).
AccountSettings readAccountSettingsPlain(const QString& settingsFile);

ProxySettings loadProxySettings(const QString& programFolder);

// Writes every key of the settings table into the file, FIRSTSETTINGS included; the
// file is created owner-only. False with a German message in *error on failure.
bool writeAccountSettings(const QString& settingsFile, const AccountSettings& settings,
                          QString* error);
bool writeProxySettings(const QString& programFolder, const ProxySettings& proxy, QString* error);

} // namespace Settings
