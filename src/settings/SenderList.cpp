#include "settings/SenderList.h"

#include "common/ControlCharacters.h"
#include "common/TextFile.h"
#include "common/Words.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace SenderList {

Sender parseLine(const QString& line) {
    Sender s;
    s.address = ExtractWord(1, line, QStringLiteral("<")).trimmed();
    s.name = ExtractWord(2, line, QStringLiteral("<")).trimmed();
    // Only the closing bracket is cut; a line written by hand without one keeps its name.
    if (s.name.endsWith(QChar('>')))
        s.name = s.name.chopped(1).trimmed();
    return s;
}

QString formatLine(const QString& address, const QString& name) {
    // A line break or TAB in a value becomes a blank: it would forge another sender.
    return ControlCharacters::blanked(address).trimmed() + QStringLiteral(" <") +
           ControlCharacters::blanked(name).trimmed() + QChar('>');
}

bool read(const QString& path, QStringList* lines, QString* error) {
    lines->clear();
    if (path.isEmpty() || !QFileInfo::exists(path))
        return true;
    return TextFile::readLines(path, lines, error);
}

QString activePath(const QString& programFolder, const QString& dataFolder,
                   const QString& definitionName) {
    if (SettingsFiles::hasDatabaseSettings(programFolder, definitionName))
        return SettingsFiles::databaseSenderListPath(dataFolder, definitionName);
    return SettingsFiles::generalSenderListPath(dataFolder);
}

bool ensureDatabaseList(const QString& dataFolder, const QString& definitionName, QString* error) {
    const QString own = SettingsFiles::databaseSenderListPath(dataFolder, definitionName);
    if (own.isEmpty() || QFileInfo::exists(own))
        return true;
    QStringList lines;
    if (!read(SettingsFiles::generalSenderListPath(dataFolder), &lines, error))
        return false;
    return TextFile::writeLines(own, lines, error);
}

bool saveDefaultSender(const QString& path, const QString& address, const QString& name,
                       QStringList* saved, QString* error) {
    QStringList old;
    if (!read(path, &old, error))
        return false;
    QStringList lines{formatLine(address, name)};
    lines += old.mid(1);
    if (!TextFile::writeLines(path, lines, error))
        return false;
    if (saved)
        *saved = lines;
    return true;
}

} // namespace SenderList
