#pragma once
#include "common/TextFile.h"
#include "shell/AppState.h"

#include <QDir>
#include <QFile>
#include <QStringList>

// Lays out the shipped standard database (from the compiled-in resources) into the
// data folder of programFolder, writes a catalogue holding it, and points the state's
// folders there.
inline void layOutStandardDatabase(AppState& state, const QString& programFolder,
                                   const QStringList& extraCatalogueLines = {}) {
    Q_INIT_RESOURCE(database);
    state.folders = WorkingFolders::fromProgramFolder(programFolder, QString(), QDir::tempPath());
    QDir().mkpath(state.folders.dataFolder);
    for (const char* name : {"Database.ini", "Database.pro", "Database.fil", "Database.cb"}) {
        const QString target = state.folders.dataFolder + QLatin1String(name);
        QFile::copy(QStringLiteral(":/shipped/Data/") + QLatin1String(name), target);
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    }
    QStringList catalogue = {QStringLiteral("Datenbanken"),
                             QStringLiteral("Grundstockdatenbank| cddrive.bmp|Database.ini")};
    catalogue += extraCatalogueLines;
    TextFile::writeLines(state.cataloguePath(), catalogue);
    state.reloadCatalogue();
}

// The file names in a folder, sorted.
inline QStringList filesIn(const QString& folder) {
    QStringList names = QDir(folder).entryList(QDir::Files, QDir::Name);
    return names;
}
