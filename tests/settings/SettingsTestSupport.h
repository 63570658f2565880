#pragma once
#include "common/TextFile.h"
#include "database/Catalogue.h"
#include "shell/AppState.h"
#include "support/ScriptedMessages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

// Opens a database of that definition file name that holds no table, listed in the
// catalogue under displayName: the session then names it as OpenDatabase does.
inline void selectDatabase(AppState& state, const QString& definitionName,
                           const QString& displayName) {
    const QString definition = state.folders.dataFolder + definitionName;
    if (!QFileInfo::exists(definition))
        TextFile::writeLines(definition, {QStringLiteral("TABLE        TABELNAME")});
    if (!QFileInfo::exists(state.session.cataloguePath()))
        TextFile::writeLines(state.session.cataloguePath(), {QStringLiteral("Datenbanken")});
    state.session.reloadCatalogue();
    bool listed = false;
    for (const CatalogEntry& e : catalogueEntries(state.session.catalogueLines()))
        listed = listed || e.definitionName == definitionName;
    QString error;
    if (!listed)
        state.session.appendCatalogueLine(
            displayName + QStringLiteral("| cddrive.bmp|") + definitionName, &error);
    ScriptedMessages none;
    OpenDatabase(state.session, definitionName, none);
}

// Points the state at programFolder, lays out the shipped Quillon.ini there and makes
// the data folder; definitionName and displayName name the open database.
inline void layOutSettingsFolder(AppState& state, const QString& programFolder,
                                 const QString& definitionName = QStringLiteral("Database.ini"),
                                 const QString& displayName = QStringLiteral("Grundstock")) {
    Q_INIT_RESOURCE(shell);
    state.setFolders(WorkingFolders::fromProgramFolder(programFolder, QString(), QDir::tempPath()));
    QDir().mkpath(state.folders.dataFolder);
    QDir().mkpath(state.folders.helpFolder);
    const QString ini = state.folders.programFolder + QStringLiteral("Quillon.ini");
    QFile::copy(QStringLiteral(":/shipped/Quillon.ini"), ini);
    QFile::setPermissions(ini, QFile::ReadOwner | QFile::WriteOwner);
    selectDatabase(state, definitionName, displayName);
}

inline QStringList linesOf(const QString& path) {
    return TextFile::readLines(path);
}
