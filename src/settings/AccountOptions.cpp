#include "settings/AccountOptions.h"

#include "common/Messages.h"
#include "database/DatabaseSession.h"
#include "hygiene/EmailAddress.h"
#include "settings/SenderList.h"
#include "shell/ShellFlags.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace AccountOptions {

using SettingsFiles::Level;

bool isDigits(const QString& text) {
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (c < QChar('0') || c > QChar('9'))
            return false;
    return true;
}

QString correctedNumber(const QString& text, const QString& fallback) {
    return isDigits(text) ? text : fallback;
}

QString correctedProxyPort(const QString& text) {
    const QString t = text.trimmed();
    return t.isEmpty() || isDigits(t) ? t : QStringLiteral("3128");
}

OptionsValues loadForDialog(const DatabaseSession& session, Messages& messages,
                            const QString& keepAddress, const QString& keepName) {
    const QString program = session.programFolder();
    if (!QFileInfo::exists(SettingsFiles::generalSettingsPath(program)))
        messages.error(Settings::missingGeneralFileMessage(program));
    OptionsValues v;
    v.account = Settings::readAccountSettingsPlain(
        SettingsFiles::chooseSettingsFile(program, session.definitionName()));
    v.proxy = Settings::loadProxySettings(program);

    v.senderAddress = keepAddress;
    v.senderName = keepName;
    QString error;
    if (SettingsFiles::hasDatabaseSettings(program, session.definitionName()) &&
        !SenderList::ensureDatabaseList(session.dataFolder(), session.definitionName(), &error)) {
        messages.error(error);
        return v;
    }
    QStringList lines;
    if (!SenderList::read(
            SenderList::activePath(program, session.dataFolder(), session.definitionName()), &lines,
            &error)) {
        messages.error(error);
        return v;
    }
    if (!lines.isEmpty()) {
        const SenderList::Sender first = SenderList::parseLine(lines.first());
        v.senderAddress = first.address;
        v.senderName = first.name;
    }
    return v;
}

bool checkSender(const QString& address, const QString& name, Messages& messages) {
    const QString a = address.trimmed();
    const QString n = name.trimmed();
    if (a.isEmpty()) {
        messages.information(QStringLiteral("Bitte geben Sie Ihre Absender-E-Mail-Adresse ein!"));
        return false;
    }
    if (!IsValidEmailAddress(a)) {
        messages.information(QStringLiteral("Absender-E-Mail-Adresse ungültig!"));
        return false;
    }
    if (n.isEmpty()) {
        messages.information(QStringLiteral("Bitte geben Sie Ihren Absender-Namen ein!"));
        return false;
    }
    const QString upper = a.toUpper();
    if (upper.contains(QStringLiteral("WEBMASTER@")) ||
        upper.contains(QStringLiteral("POSTMASTER@")) ||
        upper.contains(QStringLiteral("MAILMASTER@"))) {
        messages.error(QStringLiteral(
            "webmaster@..., postmaster@..., mailmaster@... E-Mail-Adressen in Verbindung mit "
            "Quillon werden von vielen Mail-Providern blockiert. Bitte verwenden Sie eine "
            "andere E-Mail-Adresse!"));
        return false;
    }
    // The sender list separates address and name at "<", and the name ends up in a
    // header line: neither may be broken by the name.
    for (const QChar c : n) {
        if (c == QChar('<') || c.unicode() < 0x20) {
            messages.information(QStringLiteral(
                "Der Absender-Name darf weder das Zeichen \"<\" noch Zeilenumbrüche enthalten!"));
            return false;
        }
    }
    return true;
}

bool saveAtLevel(const DatabaseSession& session, ShellFlags& flags, Level level,
                 const OptionsValues& values, Messages& messages, QStringList* savedSenders) {
    const QString program = session.programFolder();
    const QString data = session.dataFolder();
    const QString settingsFile =
        level == Level::Database
            ? SettingsFiles::databaseSettingsPath(program, session.definitionName())
            : SettingsFiles::generalSettingsPath(program);
    const QString listPath = SettingsFiles::senderListPath(data, session.definitionName(), level);
    if (settingsFile.isEmpty() || listPath.isEmpty()) {
        messages.error(QStringLiteral("Für diese Datenbank können keine eigenen Einstellungen "
                                      "gespeichert werden!"));
        return false;
    }
    QString error;
    // The database's own list starts as a copy of the general one, so the further
    // senders the user keeps there carry over.
    if (level == Level::Database &&
        !SenderList::ensureDatabaseList(data, session.definitionName(), &error)) {
        messages.error(error);
        return false;
    }
    QStringList saved;
    if (!Settings::writeAccountSettings(settingsFile, values.account, &error) ||
        !Settings::writeProxySettings(program, values.proxy, &error) ||
        !SenderList::saveDefaultSender(listPath, values.senderAddress, values.senderName, &saved,
                                       &error)) {
        messages.error(error);
        return false;
    }
    flags.firstSettingsDone = true;
    if (savedSenders)
        *savedSenders = saved;
    return true;
}

bool removeDatabaseLevel(const DatabaseSession& session, Messages& messages) {
    const QString list =
        SettingsFiles::databaseSenderListPath(session.dataFolder(), session.definitionName());
    const QString settings = SettingsFiles::existingDatabaseSettingsPath(session.programFolder(),
                                                                         session.definitionName());
    for (const QString& path : {list, settings}) {
        if (path.isEmpty() || !QFileInfo::exists(path))
            continue;
        if (!QFile::remove(path)) {
            messages.error(QStringLiteral("Die Datei ") + QDir::toNativeSeparators(path) +
                           QStringLiteral(" konnte nicht gelöscht werden!"));
            return false;
        }
    }
    return true;
}

QString levelQuestion(const QString& displayName) {
    return QStringLiteral("Möchten Sie diese Einstellungen nur für\rdie Datenbank ") + displayName +
           QStringLiteral(" benutzen [JA]\roder als Allgemeine Einstellungen [Nein] benutzen?");
}

QString resetQuestion(const QString& displayName) {
    return QStringLiteral("Möchten Sie wirklich die Einstellungen für Datenbank ") + displayName +
           QStringLiteral(" löschen und die allgemeinen Einstellungen verwenden?");
}

bool accept(const DatabaseSession& session, ShellFlags& flags, const OptionsValues& values,
            Messages& messages) {
    if (!checkSender(values.senderAddress, values.senderName, messages))
        return false;
    if (!SettingsFiles::mayHaveOwnSettings(session.definitionName()))
        return saveAtLevel(session, flags, Level::General, values, messages);
    switch (messages.questionYesNoAbort(levelQuestion(session.displayName()))) {
    case Messages::Answer::Yes:
        return saveAtLevel(session, flags, Level::Database, values, messages);
    case Messages::Answer::No:
        return removeDatabaseLevel(session, messages) &&
               saveAtLevel(session, flags, Level::General, values, messages);
    case Messages::Answer::Abort:
        return true;
    }
    return true;
}

bool showsLevelGroup(const DatabaseSession& session) {
    return SettingsFiles::mayHaveOwnSettings(session.definitionName());
}

bool canResetToGeneral(const DatabaseSession& session) {
    const QString list =
        SettingsFiles::databaseSenderListPath(session.dataFolder(), session.definitionName());
    return !list.isEmpty() && QFileInfo::exists(list);
}

} // namespace AccountOptions
