#include "settings/AccountOptions.h"

#include "common/Messages.h"
#include "hygiene/EmailAddress.h"
#include "settings/SenderList.h"
#include "shell/AppState.h"

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

OptionsValues loadForDialog(AppState& state, Messages& messages, const QString& keepAddress,
                            const QString& keepName) {
    const QString program = state.folders.programFolder;
    if (!QFileInfo::exists(SettingsFiles::generalSettingsPath(program)))
        messages.error(Settings::missingGeneralFileMessage(program));
    OptionsValues v;
    v.account = Settings::readAccountSettingsPlain(
        SettingsFiles::chooseSettingsFile(program, state.definitionName));
    v.proxy = Settings::loadProxySettings(program);
    state.sslActive = v.account.sslActive;
    state.codeSetIndex = v.account.codeSetIndex;

    v.senderAddress = keepAddress;
    v.senderName = keepName;
    QString error;
    if (SettingsFiles::hasDatabaseSettings(program, state.definitionName) &&
        !SenderList::ensureDatabaseList(state.folders.dataFolder, state.definitionName, &error)) {
        messages.error(error);
        return v;
    }
    QStringList lines;
    if (!SenderList::read(
            SenderList::activePath(program, state.folders.dataFolder, state.definitionName), &lines,
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

bool saveAtLevel(AppState& state, Level level, const OptionsValues& values, Messages& messages) {
    const QString program = state.folders.programFolder;
    const QString data = state.folders.dataFolder;
    const QString settingsFile =
        level == Level::Database
            ? SettingsFiles::databaseSettingsPath(program, state.definitionName)
            : SettingsFiles::generalSettingsPath(program);
    const QString listPath = SettingsFiles::senderListPath(data, state.definitionName, level);
    if (settingsFile.isEmpty() || listPath.isEmpty()) {
        messages.error(QStringLiteral("Für diese Datenbank können keine eigenen Einstellungen "
                                      "gespeichert werden!"));
        return false;
    }
    QString error;
    // The database's own list starts as a copy of the general one, so the further
    // senders the user keeps there carry over.
    if (level == Level::Database &&
        !SenderList::ensureDatabaseList(data, state.definitionName, &error)) {
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
    state.firstSettingsDone = true;
    state.sslActive = values.account.sslActive;
    state.codeSetIndex = values.account.codeSetIndex;
    state.senderLines = saved;
    state.notifySenderListChanged();
    return true;
}

bool removeDatabaseLevel(AppState& state, Messages& messages) {
    const QString list =
        SettingsFiles::databaseSenderListPath(state.folders.dataFolder, state.definitionName);
    const QString settings = SettingsFiles::existingDatabaseSettingsPath(
        state.folders.programFolder, state.definitionName);
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

bool accept(AppState& state, const OptionsValues& values, Messages& messages) {
    if (!checkSender(values.senderAddress, values.senderName, messages))
        return false;
    if (!SettingsFiles::mayHaveOwnSettings(state.definitionName))
        return saveAtLevel(state, Level::General, values, messages);
    switch (messages.questionYesNoAbort(levelQuestion(state.displayName))) {
    case Messages::Answer::Yes:
        return saveAtLevel(state, Level::Database, values, messages);
    case Messages::Answer::No:
        return removeDatabaseLevel(state, messages) &&
               saveAtLevel(state, Level::General, values, messages);
    case Messages::Answer::Abort:
        return true;
    }
    return true;
}

bool showsLevelGroup(const AppState& state) {
    return SettingsFiles::mayHaveOwnSettings(state.definitionName);
}

bool canResetToGeneral(const AppState& state) {
    const QString list =
        SettingsFiles::databaseSenderListPath(state.folders.dataFolder, state.definitionName);
    return !list.isEmpty() && QFileInfo::exists(list);
}

} // namespace AccountOptions
