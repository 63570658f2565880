#include "settings/AccountSettings.h"

#include "common/FileNames.h"
#include "common/IniFile.h"
#include "common/Messages.h"
#include "database/DatabaseDefinition.h"
#include "shell/WorkingFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace {

const QString kSmtp = QStringLiteral("SMTP");
const QString kAut = QStringLiteral("AUT");
const QString kSsl = QStringLiteral("SSL");
const QString kCodeSet = QStringLiteral("CodeSet");
const QString kPop = QStringLiteral("POP");
const QString kDelay = QStringLiteral("DELAY");
const QString kPopVorSmtp = QStringLiteral("POPvorSMTP");
const QString kXMailer = QStringLiteral("XMAILER");
const QString kFirst = QStringLiteral("FIRSTSETTINGS");
const QString kProxy = QStringLiteral("PROXY");

std::optional<int> portOf(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    for (const QChar c : t)
        if (c < QChar('0') || c > QChar('9'))
            return std::nullopt;
    bool ok = false;
    const int v = t.toInt(&ok);
    return ok ? std::optional<int>(v) : std::nullopt;
}

int inRange(int v, int low, int high) {
    return v < low || v > high ? low : v;
}

} // namespace

std::optional<int> AccountSettings::smtpPortNumber() const {
    return portOf(smtpPort);
}

std::optional<int> AccountSettings::popPortNumber() const {
    return portOf(popPort);
}

std::optional<int> ProxySettings::port() const {
    return portOf(portText);
}

QStringList codeSetItems() {
    return {QStringLiteral("Westeuropäisch (ISO) (Standard)"),
            QStringLiteral("Westeuropäisch (Windows)"), QStringLiteral("UTF 7"),
            QStringLiteral("UTF 8")};
}

QString codeSetCharset(int index) {
    static const QStringList names = {QStringLiteral("iso-8859-1"), QStringLiteral("windows-1252"),
                                      QStringLiteral("utf-7"), QStringLiteral("utf-8")};
    return names.value(inRange(index, 0, 3));
}

QStringList clientIdentityItems() {
    return {QStringLiteral("Quillon"),      QStringLiteral("Outlook Express 6"),
            QStringLiteral("Outlook XP"),   QStringLiteral("Outlook 2003"),
            QStringLiteral("Outlook 2007"), QStringLiteral("Outlook 2010")};
}

QString clientIdentityText(int index) {
    static const QStringList texts = {QStringLiteral("XMailer"),
                                      QStringLiteral("Microsoft Outlook Express 6.00.2900.5931"),
                                      QStringLiteral("Microsoft Outlook, Build 10.0.2627"),
                                      QStringLiteral("Microsoft Office Outlook 11"),
                                      QStringLiteral("Microsoft Office Outlook 12.0"),
                                      QStringLiteral("Microsoft Outlook 14.0")};
    return texts.value(inRange(index, 0, 5));
}

namespace SettingsFiles {

bool isStandardDatabase(const QString& definitionName) {
    return definitionName.trimmed().compare(FileNames::standardDefinition(), Qt::CaseInsensitive) ==
           0;
}

namespace {

// The definition file name with its first ".ini" (any case) taken off and ".ini" put
// back.
QString databaseSettingsName(const QString& definitionName) {
    QString name = definitionName.trimmed();
    const auto at = name.indexOf(QStringLiteral(".ini"), 0, Qt::CaseInsensitive);
    if (at >= 0)
        name.remove(at, 4);
    return name + QStringLiteral(".ini");
}

// Files of the program folder that a database settings file must never be.
bool isProgramFile(const QString& fileName) {
    for (const QString& own : {FileNames::generalSettings(), FileNames::proxySettings(),
                               FileNames::catalogue(), FileNames::folderConfig()})
        if (fileName.compare(own, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

bool mayHaveOwnSettings(const QString& definitionName) {
    const QString name = definitionName.trimmed();
    if (name.isEmpty() || isStandardDatabase(name) || !isPlainFileName(name))
        return false;
    return !isProgramFile(name) && !isProgramFile(databaseSettingsName(name));
}

QString generalSettingsPath(const QString& programFolder) {
    return QDir(programFolder).filePath(FileNames::generalSettings());
}

QString proxyPath(const QString& programFolder) {
    return QDir(programFolder).filePath(QStringLiteral("proxy.ini"));
}

QString databaseSettingsPath(const QString& programFolder, const QString& definitionName) {
    if (!mayHaveOwnSettings(definitionName))
        return {};
    return dataFilePath(programFolder, databaseSettingsName(definitionName));
}

QString existingDatabaseSettingsPath(const QString& programFolder, const QString& definitionName) {
    if (!mayHaveOwnSettings(definitionName))
        return {};
    return resolveDataFile(programFolder, definitionName.trimmed());
}

bool hasDatabaseSettings(const QString& programFolder, const QString& definitionName) {
    return !existingDatabaseSettingsPath(programFolder, definitionName).isEmpty();
}

QString chooseSettingsFile(const QString& programFolder, const QString& definitionName) {
    const QString own = existingDatabaseSettingsPath(programFolder, definitionName);
    return own.isEmpty() ? generalSettingsPath(programFolder) : own;
}

QString generalSenderListPath(const QString& dataFolder) {
    return dataFilePath(dataFolder, QStringLiteral("AbsenderMails.ini"));
}

QString databaseSenderListPath(const QString& dataFolder, const QString& definitionName) {
    if (!mayHaveOwnSettings(definitionName))
        return {};
    return dataFilePath(dataFolder, QStringLiteral("Absender-") + definitionName.trimmed());
}

QString senderListPath(const QString& dataFolder, const QString& definitionName, Level level) {
    return level == Level::Database ? databaseSenderListPath(dataFolder, definitionName)
                                    : generalSenderListPath(dataFolder);
}

bool ensurePrivateFile(const QString& path) {
    if (QFileInfo::exists(path))
        return true;
    QFile file(path);
    // Created with owner-only permissions from the first moment; later writes through a
    // temporary file keep the permissions of the file they replace.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return false;
    file.close();
    return true;
}

} // namespace SettingsFiles

namespace Settings {

QString missingGeneralFileMessage(const QString& programFolder) {
    return QStringLiteral("Inifile ") + withTrailingSlash(programFolder) +
           QStringLiteral("Quillon.ini not found!");
}

AccountSettings loadAccountSettings(const QString& programFolder, const QString& definitionName,
                                    Messages& messages) {
    AccountSettings s;
    if (!QFileInfo::exists(SettingsFiles::generalSettingsPath(programFolder)))
        messages.error(missingGeneralFileMessage(programFolder));
    const QString file = SettingsFiles::chooseSettingsFile(programFolder, definitionName);
    // A missing file was reported just now; reporting each of its keys as well would
    // bury the user under a score of boxes saying the same.
    if (!QFileInfo::exists(file))
        return s;

    auto text = [&](const QString& section, const char* key, const QString& def = {}) {
        return ReadRequiredString(file, section, QLatin1String(key), def, messages);
    };
    s.smtpHost = text(kSmtp, "host");
    s.smtpPort = text(kSmtp, "port");
    s.authentication =
        text(kAut, "Authentification", QStringLiteral("False")) == QStringLiteral("True");
    s.smtpUserName = text(kSmtp, "username");
    if (s.authentication)
        s.smtpPassword = text(kSmtp, "password");
    s.popHost = text(kPop, "host");
    s.popAccount = text(kPop, "konto");
    s.popPassword = text(kPop, "password");
    s.popPort = text(kPop, "port", QStringLiteral("110"));
    s.popBeforeSmtp =
        text(kPopVorSmtp, "POPvorSMTP", QStringLiteral("False")) == QStringLiteral("True");
    s.delaySeconds =
        std::max(0, ReadRequiredInteger(file, kDelay, QStringLiteral("delay"), 0, messages));

    const IniFile ini(file);
    s.sslActive = ini.readBool(kSsl, QStringLiteral("active"), false);
    s.codeSetIndex = inRange(ini.readInteger(kCodeSet, QStringLiteral("Index"), 0), 0, 3);
    s.clientIdentityIndex = inRange(ini.readInteger(kXMailer, QStringLiteral("Type"), 0), 0, 5);
    return s;
}

AccountSettings readAccountSettingsPlain(const QString& settingsFile) {
    const IniFile ini(settingsFile);
    AccountSettings s;
    s.smtpHost = ini.readString(kSmtp, QStringLiteral("host"));
    s.smtpPort = ini.readString(kSmtp, QStringLiteral("port"));
    s.smtpUserName = ini.readString(kSmtp, QStringLiteral("username"));
    s.smtpPassword = ini.readString(kSmtp, QStringLiteral("password"));
    s.authentication = ini.readBoolWord(kAut, QStringLiteral("Authentification"), false);
    s.sslActive = ini.readBool(kSsl, QStringLiteral("active"), false);
    s.codeSetIndex = inRange(ini.readInteger(kCodeSet, QStringLiteral("Index"), 0), 0, 3);
    s.popHost = ini.readString(kPop, QStringLiteral("host"));
    s.popAccount = ini.readString(kPop, QStringLiteral("konto"));
    s.popPassword = ini.readString(kPop, QStringLiteral("password"));
    s.popPort = ini.readString(kPop, QStringLiteral("port"), QStringLiteral("110"));
    s.delaySeconds = std::max(0, ini.readInteger(kDelay, QStringLiteral("delay"), 0));
    s.popBeforeSmtp = ini.readBoolWord(kPopVorSmtp, QStringLiteral("POPvorSMTP"), false);
    s.clientIdentityIndex = inRange(ini.readInteger(kXMailer, QStringLiteral("Type"), 0), 0, 5);
    return s;
}

ProxySettings loadProxySettings(const QString& programFolder) {
    const IniFile ini(SettingsFiles::proxyPath(programFolder));
    ProxySettings p;
    p.useProxy = ini.readBool(kProxy, QStringLiteral("BasicAuthentification"), false);
    p.server = ini.readString(kProxy, QStringLiteral("ProxyServer"));
    p.portText = ini.readString(kProxy, QStringLiteral("ProxyPort"));
    p.userName = ini.readString(kProxy, QStringLiteral("ProxyUsername"));
    p.password = ini.readString(kProxy, QStringLiteral("ProxyPassword"));
    return p;
}

namespace {

QString writeFailure(const QString& path) {
    return QStringLiteral("Die Einstellungen konnten nicht in ") + QDir::toNativeSeparators(path) +
           QStringLiteral(" gespeichert werden!");
}

// A private ini file whose writes all succeeded, or the first failure.
class PrivateWriter {
public:
    explicit PrivateWriter(const QString& path) : m_ini(path) {
        m_ini.setPrivate(true);
        m_ok = SettingsFiles::ensurePrivateFile(path);
    }
    // A line break in a value would end its line and start a forged entry.
    void text(const QString& section, const char* key, QString value) {
        value.remove(QChar('\r'));
        value.remove(QChar('\n'));
        if (m_ok)
            m_ok = m_ini.writeString(section, QLatin1String(key), value);
    }
    bool ok() const { return m_ok; }

private:
    IniFile m_ini;
    bool m_ok = true;
};

} // namespace

bool writeAccountSettings(const QString& settingsFile, const AccountSettings& s, QString* error) {
    PrivateWriter w(settingsFile);
    const QString trueWord = QStringLiteral("True"), falseWord = QStringLiteral("False");
    w.text(kSmtp, "host", s.smtpHost);
    w.text(kSmtp, "port", s.smtpPort);
    w.text(kSmtp, "username", s.smtpUserName);
    w.text(kSmtp, "password", s.smtpPassword);
    w.text(kPop, "host", s.popHost);
    w.text(kPop, "konto", s.popAccount);
    w.text(kPop, "password", s.popPassword);
    w.text(kPop, "port", s.popPort);
    w.text(kXMailer, "Type", QString::number(inRange(s.clientIdentityIndex, 0, 5)));
    w.text(kSsl, "active", s.sslActive ? QStringLiteral("1") : QStringLiteral("0"));
    w.text(kCodeSet, "Index", QString::number(inRange(s.codeSetIndex, 0, 3)));
    w.text(kPopVorSmtp, "POPvorSMTP", s.popBeforeSmtp ? trueWord : falseWord);
    w.text(kAut, "Authentification", s.authentication ? trueWord : falseWord);
    w.text(kDelay, "delay", QString::number(std::max(0, s.delaySeconds)));
    w.text(kFirst, "FirstSettingsDone", QStringLiteral("Done"));
    if (!w.ok() && error)
        *error = writeFailure(settingsFile);
    return w.ok();
}

bool writeProxySettings(const QString& programFolder, const ProxySettings& p, QString* error) {
    const QString path = SettingsFiles::proxyPath(programFolder);
    PrivateWriter w(path);
    w.text(kProxy, "BasicAuthentification", p.useProxy ? QStringLiteral("1") : QStringLiteral("0"));
    w.text(kProxy, "ProxyServer", p.server);
    w.text(kProxy, "ProxyPort", p.portText);
    w.text(kProxy, "ProxyUsername", p.userName);
    w.text(kProxy, "ProxyPassword", p.password);
    if (!w.ok() && error)
        *error = writeFailure(path);
    return w.ok();
}

} // namespace Settings
