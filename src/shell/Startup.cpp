#include "shell/Startup.h"

#include "Version.h"

#include "common/FileNames.h"
#include "common/IniFile.h"
#include "common/Messages.h"
#include "database/Catalogue.h"
#include "platform/FileLock.h"
#include "platform/UserFolders.h"
#include "shell/AppState.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

// Resources of a static library must be registered by hand; outside any namespace.
static void initShippedResources() {
    Q_INIT_RESOURCE(shell);
    Q_INIT_RESOURCE(database);
    Q_INIT_RESOURCE(settings);
    Q_INIT_RESOURCE(exchange);
    Q_INIT_RESOURCE(templates);
    Q_INIT_RESOURCE(tracking);
    Q_INIT_RESOURCE(web);
}

namespace Startup {

namespace {

const QString shippedRoot = QStringLiteral(":/shipped/");

QString folderOf(const QString& path) {
    return withTrailingSlash(QDir::cleanPath(path));
}

// Files that hold passwords are readable by their owner only.
bool holdsPasswords(const QString& relativeName) {
    return relativeName.compare(FileNames::generalSettings(), Qt::CaseInsensitive) == 0;
}

} // namespace

QString productName() {
    return QStringLiteral("Quillon");
}

QString productVersion() {
    return QStringLiteral(QUILLON_VERSION);
}

QString resolveProgramFolder(const QString& programFileFolder) {
    const QString home = qEnvironmentVariable("QUILLON_HOME");
    if (!home.isEmpty()) {
        const QString abs = QFileInfo(home).absoluteFilePath();
        QDir().mkpath(abs);
        return folderOf(abs);
    }
    if (!programFileFolder.isEmpty()) {
        const QDir dir(programFileFolder);
        if (dir.exists(FileNames::catalogue()) || dir.exists(QStringLiteral("portable")))
            return folderOf(dir.absolutePath());
    }
    // Never a build or installation folder by accident: the user's data lives apart.
    return UserFolders::appDataFolder();
}

QStringList layOutShippedFiles(const QString& programFolder) {
    initShippedResources();
    QStringList failed;
    const QString root = withTrailingSlash(programFolder);
    QDirIterator it(shippedRoot, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString relative = source.mid(shippedRoot.size());
        const QString target = root + relative;
        if (QFileInfo::exists(target))
            continue; // the user's file wins
        if (!QDir().mkpath(QFileInfo(target).absolutePath()) || !QFile::copy(source, target)) {
            failed.append(relative);
            continue;
        }
        // A copy of a resource is read-only; the program changes these files later.
        QFile::setPermissions(target, holdsPasswords(relative)
                                          ? QFile::ReadOwner | QFile::WriteOwner
                                          : QFile::ReadOwner | QFile::WriteOwner |
                                                QFile::ReadGroup | QFile::ReadOther);
    }
    failed.sort(Qt::CaseInsensitive);
    return failed;
}

QString configPath(const QString& programFolder) {
    return withTrailingSlash(programFolder) + FileNames::folderConfig();
}

ShellConfig readShellConfig(const QString& programFolder) {
    const IniFile ini(configPath(programFolder));
    const QString section = QString::fromLatin1(configSection);
    ShellConfig c;
    c.checkDuplicatesOnInput =
        ini.readBool(section, QString::fromLatin1(keyCheckdoublettes), c.checkDuplicatesOnInput);
    c.transactionLogEnabled =
        ini.readBool(section, QString::fromLatin1(keyTransActLog), c.transactionLogEnabled);
    c.gridEditMode = ini.readBool(section, QString::fromLatin1(keyGridEdit), c.gridEditMode);
    return c;
}

bool writeShellFlag(const QString& programFolder, const char* key, bool on) {
    IniFile ini(configPath(programFolder));
    return ini.writeBool(QString::fromLatin1(configSection), QString::fromLatin1(key), on);
}

QStringList engineLockFileNames() {
    return {QStringLiteral("Pdoxusrs.net"), QStringLiteral("Paradox.lck"),
            QStringLiteral("Pdoxusrs.lck")};
}

QString databaseInUseMessage() {
    return QStringLiteral("Datenbank ist in Benutzung durch einen anderen Benutzer!\r\rBitte "
                          "warten Sie bis der andere Benutzer die Datenbank wieder geschlossen "
                          "hat!");
}

namespace {
// Paths of the lock files present in the data folder, matched without regard to case.
QStringList presentLockFiles(const QString& dataFolder) {
    QStringList found;
    const QDir dir(dataFolder);
    if (!dir.exists())
        return found;
    const QStringList names = engineLockFileNames();
    const auto entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : entries)
        for (const QString& name : names)
            if (entry.compare(name, Qt::CaseInsensitive) == 0)
                found.append(dir.filePath(entry));
    return found;
}
} // namespace

bool clearStaleLockFiles(const QString& dataFolder, Messages& messages) {
    for (const QString& path : presentLockFiles(dataFolder))
        FileLock::removeIfStale(path);
    if (presentLockFiles(dataFolder).isEmpty())
        return true;
    messages.information(databaseInUseMessage());
    return false;
}

void refreshUserTemplates(const QString& templatesFolder, const QString& userTemplatesFolder) {
    if (userTemplatesFolder.isEmpty() || !QDir().mkpath(userTemplatesFolder))
        return;
    const QDir source(templatesFolder);
    if (!source.exists())
        return;
    const QDir target(userTemplatesFolder);
    const auto files = source.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo& info : files) {
        if (info.fileName().startsWith(QChar('.')))
            continue;
        QFile in(info.absoluteFilePath());
        if (!in.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = in.readAll();
        // Written through a temporary file, so a failed copy keeps the user's file.
        QSaveFile out(target.filePath(info.fileName()));
        if (out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size())
            out.commit();
    }
}

bool prepareState(AppState& state, Messages& messages) {
    // Program folder, with every shipped file that is missing laid out into it.
    const QString programFolder = resolveProgramFolder(QCoreApplication::applicationDirPath());
    const QStringList missing = layOutShippedFiles(programFolder);
    if (!missing.isEmpty())
        messages.error(QStringLiteral("Folgende Programmdateien fehlen in ") + programFolder +
                       QStringLiteral(" und konnten nicht angelegt werden:\r") +
                       missing.join(QChar('\r')));

    // The table engine needs no control folders: SQLite keeps everything in its files.

    const ShellConfig config = readShellConfig(programFolder);
    state.flags.checkDuplicatesOnInput = config.checkDuplicatesOnInput;
    state.flags.transactionLogEnabled = config.transactionLogEnabled;
    state.flags.gridEditMode = config.gridEditMode;

    state.setFolders(WorkingFolders::fromProgramFolder(
        programFolder, UserFolders::documentsFolder(), UserFolders::systemTempFolder()));
    state.session.reloadCatalogue();
    const QStringList faults = catalogueFaults(state.session.catalogueLines());
    if (!faults.isEmpty())
        messages.error(QStringLiteral("Die Datenbankliste \"") +
                       QDir::toNativeSeparators(state.session.cataloguePath()) +
                       QStringLiteral("\" enthält Zeilen, die keine Datenbank beschreiben. Sie "
                                      "werden übergangen:\r") +
                       faults.join(QChar('\r')));

    return clearStaleLockFiles(state.folders.dataFolder, messages);
}

bool run(AppState& state, Messages& messages) {
    if (!prepareState(state, messages))
        return false;
    const QString programFolder = state.folders.programFolder;
    const QString definition = readLastOpenDatabase(programFolder);
    if (!definition.isEmpty())
        OpenDatabase(state.session, definition, messages);

    refreshUserTemplates(state.folders.templatesFolder, state.folders.userTemplatesFolder);

    // No Outlook automation on this platform.
    state.flags.outlookAvailable = false;
    return true;
}

bool checkActivation(const QString& programFolder, Messages& messages) {
    const QString ini = withTrailingSlash(programFolder) + FileNames::generalSettings();
    if (!QFileInfo::exists(ini))
        messages.error(QStringLiteral("Inifile ") + ini + QStringLiteral(" not found!"));
    return ReadRequiredString(ini, QStringLiteral("FIRSTSETTINGS"),
                              QStringLiteral("FirstSettingsDone"), QString(),
                              messages) == QStringLiteral("Done");
}

} // namespace Startup
