#pragma once
#include <QString>
#include <QStringList>

class AppState;
class Messages;

// The steps of start-up and shutdown that need no window: where the program folder
// is, the shipped files, config.ini, the engine's lock files, the database to open,
// the user's template copy and the check run on each activation of the main window.
namespace Startup {

QString productName();    // "Quillon"
QString productVersion(); // e.g. "0.1.0"

// $QUILLON_HOME when set; else the program file's folder when it already holds
// Buttons.ini or a file named "portable"; else the per-user data folder (created).
// The result ends with "/".
QString resolveProgramFolder(const QString& programFileFolder);

// Copies every file compiled in under ":/shipped/" into programFolder when it is
// missing there, creating folders on the way; an existing file is never touched.
// Returns the relative names that could not be laid out.
QStringList layOutShippedFiles(const QString& programFolder);

// config.ini, section Database.
struct ShellConfig {
    bool checkDuplicatesOnInput = true; // Checkdoublettes
    bool transactionLogEnabled = false; // TransActLog
    bool gridEditMode = false;          // GridEdit
};
inline constexpr char configSection[] = "Database";
inline constexpr char keyCheckdoublettes[] = "Checkdoublettes";
inline constexpr char keyTransActLog[] = "TransActLog";
inline constexpr char keyGridEdit[] = "GridEdit";

QString configPath(const QString& programFolder);
// A missing file, section or key gives the default.
ShellConfig readShellConfig(const QString& programFolder);
// Writes "1" or "0"; the file is created when missing.
bool writeShellFlag(const QString& programFolder, const char* key, bool on);

// The engine's lock files in the data folder.
QStringList engineLockFileNames(); // "Pdoxusrs.net", "Paradox.lck", "Pdoxusrs.lck"
// Deletes every lock file no running process holds (names compared without regard to
// case). When one is still there afterwards, another user has the data open: shows the
// message and returns false, and the program must end.
bool clearStaleLockFiles(const QString& dataFolder, Messages& messages);
QString databaseInUseMessage();

// Copies every file of the templates folder whose name does not begin with "." into
// the user's folder (created with its parents), replacing files of the same name.
// Failures are ignored: the user's copy is a convenience.
void refreshUserTemplates(const QString& templatesFolder, const QString& userTemplatesFolder);

// The first start-up steps, shared with the command line: program folder and the
// shipped files, config.ini into the flags, the working folders, the catalogue and the
// engine's lock files. False when another user holds the data (the message was shown).
bool prepareState(AppState& state, Messages& messages);

// The start-up steps that need no window, in their order: program folder and the
// shipped files, config.ini into the flags, the working folders, the catalogue, the
// engine's lock files, the last database, the user's templates, OutlookAvailable.
// False when another user holds the data: the message was shown and the program must
// end without opening a window.
bool run(AppState& state, Messages& messages);

// Run on each activation of the main window: reports a missing Quillon.ini and reads
// FIRSTSETTINGS/FirstSettingsDone; returns true exactly when that value is "Done".
bool checkActivation(const QString& programFolder, Messages& messages);

} // namespace Startup
