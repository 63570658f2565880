#pragma once
#include "common/TextFile.h"
#include "shell/AppState.h"

#include <QDir>
#include <QFile>
#include <QString>

// Points the state at programFolder, lays out the shipped Quillon.ini there and makes
// the data folder; definitionName and displayName name the open database.
inline void layOutSettingsFolder(AppState& state, const QString& programFolder,
                                 const QString& definitionName = QStringLiteral("Database.ini"),
                                 const QString& displayName = QStringLiteral("Grundstock")) {
    Q_INIT_RESOURCE(shell);
    state.folders = WorkingFolders::fromProgramFolder(programFolder, QString(), QDir::tempPath());
    QDir().mkpath(state.folders.dataFolder);
    QDir().mkpath(state.folders.helpFolder);
    const QString ini = state.folders.programFolder + QStringLiteral("Quillon.ini");
    QFile::copy(QStringLiteral(":/shipped/Quillon.ini"), ini);
    QFile::setPermissions(ini, QFile::ReadOwner | QFile::WriteOwner);
    state.definitionName = definitionName;
    state.displayName = displayName;
}

inline QStringList linesOf(const QString& path) {
    return TextFile::readLines(path);
}
