#pragma once
#include "common/Progress.h"
#include "common/TextFile.h"
#include "database/AddressTable.h"
#include "database/Catalogue.h"
#include "database/DatabaseDefinition.h"
#include "database/DatabaseTestSupport.h"
#include "shell/AppState.h"
#include "support/ScriptedMessages.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QStringList>
#include <gtest/gtest.h>

// Writes the definition files of a database whose only table has the given .pro
// entry lines (header added), for tables without the standard layout.
inline void writeCustomDatabase(const AppState& state, const QString& base,
                                const QStringList& proEntries) {
    const QString data = state.folders.dataFolder;
    TextFile::writeLines(data + base + ".ini", {"TABLE        TABELNAME", "Table1      |" + base});
    QStringList pro = {"FELDNAME | TYP | PFLICHT | GROESSE | INDEXNAME | INDEXFELDER | PRIMAER | "
                       "SORTIERBAR | ANZEIGENAME"};
    pro += proEntries;
    TextFile::writeLines(data + base + ".pro", pro);
}

inline QString idLine() {
    return "ID | ftAutoInc | False | 0 | ID | ID | ixPrimary | FALSE | ID";
}
inline QString textLine(const QString& name, bool indexed = false) {
    return name + " | ftString | False | 80 | " + (indexed ? name + " | " + name : "  |  ") +
           " |   | TRUE | " + name;
}

// Appends records to the table: one map of field -> value per record.
inline void addRecords(AddressTable* table, const QList<QList<QPair<QString, QVariant>>>& rows) {
    for (const auto& row : rows) {
        table->append();
        for (const auto& [field, value] : row) {
            if (value.typeId() == QMetaType::Bool)
                table->setBool(field, value.toBool());
            else
                table->setString(field, value.toString());
        }
        QString error;
        ASSERT_TRUE(table->post(&error)) << error.toStdString();
    }
    table->first();
}

// Ids of the records satisfying a filter expression, in id order.
inline QList<qint64> idsWhere(const AddressTable* table, const QString& expression) {
    QList<qint64> ids;
    for (qint64 id : table->tableIds(table->conditionFromFilter(expression)))
        ids << id;
    return ids;
}

inline QList<qint64> allIds(const AddressTable* table) {
    QList<qint64> ids;
    for (qint64 id : table->tableIds())
        ids << id;
    return ids;
}

// A program folder with the standard database opened and a private system temp
// folder, so lists written there do not meet those of other tests.
class HygieneFixture : public StandardDatabaseTest {
protected:
    HygieneFixture() : StandardDatabaseTest(true) {}

    // The record count beside the grid follows the table's notification.
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(StandardDatabaseTest::SetUp());
        QObject::connect(table, &AddressTable::recordCountChanged, [this] { ++countRefreshes; });
    }

    Progress feedback() {
        Progress f;
        f.status = [this](const QString& t) { statusTexts << t; };
        f.busy = [this](bool on) { busyDepth += on ? 1 : -1; };
        return f;
    }

    QStringList statusTexts;
    int busyDepth = 0;
    int countRefreshes = 0;
};
