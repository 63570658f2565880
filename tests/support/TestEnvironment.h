#pragma once
#include "common/Messages.h"
#include "database/AddressTable.h"
#include "database/DatabaseDefinition.h"
#include "shell/Startup.h"
#include "support/TempProgramFolder.h"

#include <QByteArray>
#include <QSettings>
#include <QStringList>
#include <gtest/gtest.h>
#include <vector>

// Gives one test a program folder, home folder and settings store of its own (and, if
// asked, its own system temp folder) and puts the environment back afterwards, so no
// test sees another's files or settings.
class IsolatedEnvironment {
public:
    explicit IsolatedEnvironment(bool ownSystemTemp = false) {
        for (const char* name : {"QUILLON_HOME", "HOME", "XDG_CONFIG_HOME", "TMPDIR"})
            m_saved.push_back({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
        qputenv("QUILLON_HOME", program.path().toLocal8Bit());
        qputenv("HOME", home.path().toLocal8Bit());
        if (ownSystemTemp)
            qputenv("TMPDIR", temp.path().toLocal8Bit());
        qunsetenv("XDG_CONFIG_HOME");
        for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope,
                               home.path() + QStringLiteral("settings"));
    }
    ~IsolatedEnvironment() {
        for (const auto& s : m_saved) {
            if (s.was)
                qputenv(s.name, s.value);
            else
                qunsetenv(s.name);
        }
    }
    IsolatedEnvironment(const IsolatedEnvironment&) = delete;
    IsolatedEnvironment& operator=(const IsolatedEnvironment&) = delete;

    QString programFolder() const { return program.path(); }
    QString dataFolder() const { return program.path() + QStringLiteral("Data/"); }
    QString systemTemp() const { return temp.path(); }

    TempProgramFolder program;
    TempProgramFolder home;
    TempProgramFolder temp;

private:
    struct Saved {
        const char* name;
        bool was;
        QByteArray value;
    };
    std::vector<Saved> m_saved;
};

// Lays out the shipped files in programFolder and fills the standard database with one
// record per row: the row's UTF-8 texts go into the named fields, in order. Call it
// under ASSERT_NO_FATAL_FAILURE.
inline void layOutFilledStandardDatabase(const QString& programFolder, const QStringList& fields,
                                         const std::vector<std::vector<const char*>>& rows) {
    Startup::layOutShippedFiles(programFolder);
    const QString dataFolder = programFolder + QStringLiteral("Data/");
    SilentMessages silent;
    ASSERT_TRUE(CreateTableFromDefinition(dataFolder, QStringLiteral("Database"), silent));
    AddressTable table;
    ASSERT_TRUE(table.open(dataFolder + QStringLiteral("Database.DB")));
    for (const auto& row : rows) {
        table.append();
        for (int i = 0; i < fields.size(); ++i)
            table.setString(fields.at(i), QString::fromUtf8(row.at(i)));
        ASSERT_TRUE(table.post());
    }
}
