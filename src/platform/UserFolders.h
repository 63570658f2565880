#pragma once
#include <QString>

// Folders the platform gives the user; each ends with "/" (empty when unknown).
namespace UserFolders {

// The user's documents folder.
QString documentsFolder();
// The per-user data folder of this program; created when missing.
QString appDataFolder();
// The system's folder for temporary files.
QString systemTempFolder();

} // namespace UserFolders
