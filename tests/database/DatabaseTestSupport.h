#pragma once
#include "common/TextFile.h"
#include "database/AddressTable.h"
#include "database/Catalogue.h"
#include "shell/AppState.h"
#include "support/ScriptedMessages.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <gtest/gtest.h>

// Lays out the shipped standard database (from the compiled-in resources) into the
// data folder of programFolder, writes a catalogue holding it, and points the state's
// folders there.
inline void layOutStandardDatabase(AppState& state, const QString& programFolder,
                                   const QStringList& extraCatalogueLines = {}) {
    Q_INIT_RESOURCE(database);
    state.setFolders(WorkingFolders::fromProgramFolder(programFolder, QString(), QDir::tempPath()));
    QDir().mkpath(state.folders.dataFolder);
    for (const char* name : {"Database.ini", "Database.pro", "Database.fil", "Database.cb"}) {
        const QString target = state.folders.dataFolder + QLatin1String(name);
        QFile::copy(QStringLiteral(":/shipped/Data/") + QLatin1String(name), target);
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    }
    QStringList catalogue = {QStringLiteral("Datenbanken"),
                             QStringLiteral("Grundstockdatenbank| cddrive.bmp|Database.ini")};
    catalogue += extraCatalogueLines;
    TextFile::writeLines(state.session.cataloguePath(), catalogue);
    state.session.reloadCatalogue();
}

// Lays out the standard database and creates its empty table file; returns the file's
// path, or an empty text when it cannot be created.
inline QString createStandardTable(AppState& state, const QString& programFolder) {
    layOutStandardDatabase(state, programFolder);
    ScriptedMessages none;
    return CreateTableFromDefinition(state.folders.dataFolder, "Database", none)
               ? state.folders.dataFolder + "Database.DB"
               : QString();
}

// The file names in a folder, sorted.
inline QStringList filesIn(const QString& folder) {
    QStringList names = QDir(folder).entryList(QDir::Files, QDir::Name);
    return names;
}

// A program folder with the standard database open; with privateSystemTemp its own
// system temp folder, so lists written there do not meet those of other tests.
class StandardDatabaseTest : public ::testing::Test {
protected:
    explicit StandardDatabaseTest(bool privateSystemTemp = false)
        : m_privateSystemTemp(privateSystemTemp) {}

    void SetUp() override {
        layOutStandardDatabase(state, folder.path());
        if (m_privateSystemTemp) {
            state.folders.systemTempFolder = folder.path() + "systemp/";
            QDir().mkpath(state.folders.systemTempFolder);
        }
        beforeOpening();
        ScriptedMessages none;
        ASSERT_TRUE(OpenDatabase(state.session, "Database.ini", none));
        table = state.session.currentTable();
        ASSERT_NE(table, nullptr);
    }
    void TearDown() override { CloseDatabase(state.session); }

    // Changes to the state that must be made before the database opens.
    virtual void beforeOpening() {}

    TempProgramFolder folder;
    AppState state;
    AddressTable* table = nullptr;

private:
    bool m_privateSystemTemp;
};
