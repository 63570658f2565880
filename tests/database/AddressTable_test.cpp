#include "database/AddressTable.h"
#include "database/FilterExpression.h"
#include "platform/FileLock.h"
#include "support/TempProgramFolder.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

QList<ColumnDef> coreColumns() {
    return {{"ID", FieldType::AutoInc, 0, false},      {"Selected", FieldType::Boolean, 0, false},
            {"Invalid", FieldType::Boolean, 0, false}, {"LetztesMail", FieldType::Date, 0, false},
            {"Mail", FieldType::String, 80, false},    {"Anrede", FieldType::String, 20, false},
            {"Betreff", FieldType::String, 80, false}, {"Name", FieldType::String, 60, false},
            {"Ort", FieldType::String, 40, false},     {"Alter", FieldType::Integer, 0, false}};
}

QList<IndexDef> coreIndexes() {
    return {{"Primary", {"ID"}, true}, {"NameIdx", {"Name"}, false}, {"OrtIdx", {"Ort"}, false}};
}

class AddressTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = folder.file("Data.DB");
        QString error;
        ASSERT_TRUE(AddressTable::create(path, coreColumns(), coreIndexes(), &error))
            << error.toStdString();
        ASSERT_TRUE(table.open(path, &error)) << error.toStdString();
    }

    void add(const QString& name, const QString& mail, const QString& ort = {},
             bool selected = false) {
        table.append();
        ASSERT_TRUE(table.setString("Name", name));
        ASSERT_TRUE(table.setString("Mail", mail));
        ASSERT_TRUE(table.setString("Ort", ort));
        ASSERT_TRUE(table.setBool("Selected", selected));
        QString error;
        ASSERT_TRUE(table.post(&error)) << error.toStdString();
    }

    QStringList namesInView() {
        QStringList names;
        const int col = table.fieldIndex("Name");
        for (qint64 r = 0; r < table.recordCount(); ++r)
            names << table.rowValues(r).at(col).toString();
        return names;
    }

    TempProgramFolder folder;
    QString path;
    AddressTable table;
};

} // namespace

TEST_F(AddressTableTest, NavigationFlagsFollowTheCursor) {
    EXPECT_TRUE(table.eof());
    EXPECT_TRUE(table.bof());
    EXPECT_EQ(table.recordCount(), 0);
    add("Meier", "meier@example.de");
    add("Schulz", "schulz@example.de");
    add("Özdemir", "oez@example.de");
    table.first();
    EXPECT_TRUE(table.bof());
    EXPECT_FALSE(table.eof());
    EXPECT_EQ(table.asString("Name"), "Meier");
    table.next();
    table.next();
    EXPECT_EQ(table.asString("Name"), "Özdemir");
    EXPECT_FALSE(table.eof());
    table.next(); // past the end
    EXPECT_TRUE(table.eof());
    EXPECT_EQ(table.asString("Name"), "Özdemir");
    table.last();
    EXPECT_TRUE(table.eof());
    table.prior();
    EXPECT_EQ(table.asString("Name"), "Schulz");
    table.prior();
    table.prior();
    EXPECT_TRUE(table.bof());

    // A loop in the usual style visits every record once.
    QStringList seen;
    for (table.first(); !table.eof(); table.next())
        seen << table.asString("Name");
    EXPECT_EQ(seen, QStringList({"Meier", "Schulz", "Özdemir"}));
}

TEST_F(AddressTableTest, AppendAssignsIdsAndTypesRoundTrip) {
    table.append();
    table.setString("Name", "Müller");
    table.setDate("LetztesMail", QDate(2026, 12, 24));
    ASSERT_TRUE(table.setString("Alter", "42"));
    ASSERT_TRUE(table.post());
    add("Zweiter", "z@example.de");
    table.first();
    EXPECT_EQ(table.asInteger("ID"), 1);
    EXPECT_EQ(table.asString("LetztesMail"), "24.12.2026");
    EXPECT_EQ(table.asDate("LetztesMail"), QDate(2026, 12, 24));
    EXPECT_EQ(table.asString("Selected"), "False"); // never set reads as false
    EXPECT_FALSE(table.asBool("Selected"));
    EXPECT_EQ(table.asInteger("Alter"), 42);
    table.next();
    EXPECT_EQ(table.asInteger("ID"), 2);

    // Empty text writes an empty value; values that do not fit the type are refused.
    table.edit();
    QString error;
    EXPECT_FALSE(table.setString("Alter", "zwölf", &error));
    EXPECT_NE(error.indexOf("Alter"), -1);
    EXPECT_FALSE(table.setString("LetztesMail", "31.02.2026", &error));
    ASSERT_TRUE(table.setString("Name", ""));
    ASSERT_TRUE(table.post());
    EXPECT_TRUE(table.isNull(table.fieldIndex("Name")));
}

TEST_F(AddressTableTest, RequiredColumnRefusesEmptyPostWithGermanMessage) {
    table.close();
    QList<ColumnDef> cols = coreColumns();
    cols[4].required = true; // Mail
    QString error;
    ASSERT_TRUE(AddressTable::create(path, cols, coreIndexes(), &error));
    ASSERT_TRUE(table.open(path, &error));
    table.append();
    table.setString("Name", "Ohne Adresse");
    EXPECT_FALSE(table.post(&error));
    EXPECT_EQ(error, "Das Feld \"Mail\" muss einen Wert enthalten.");
    EXPECT_EQ(table.state(), AddressTable::State::Insert); // the entry stays unsaved
    table.setString("Mail", "a@b.de");
    EXPECT_TRUE(table.post(&error));
    EXPECT_EQ(table.recordCount(), 1);
}

TEST_F(AddressTableTest, PostLeavingTheFilterMakesTheNextRecordCurrent) {
    add("A", "a@x.de", "", true);
    add("B", "b@x.de", "", true);
    add("C", "c@x.de", "", true);
    add("D", "d@x.de", "", false);
    ASSERT_TRUE(table.setFilter("Selected='True'"));
    table.setFiltered(true);
    EXPECT_EQ(table.recordCount(), 3);
    table.first();
    // The send-run pattern: unmark and post, the filter moves on by itself.
    QStringList visited;
    while (!table.eof() && table.recordCount() > 0) {
        visited << table.asString("Name");
        table.edit();
        table.setBool("Selected", false);
        ASSERT_TRUE(table.post());
    }
    EXPECT_EQ(visited, QStringList({"A", "B", "C"}));
    EXPECT_EQ(table.recordCount(), 0);
    table.setFiltered(false);
    EXPECT_EQ(table.recordCount(), 4);
}

TEST_F(AddressTableTest, DeleteMakesTheFollowingRecordCurrent) {
    for (const char* n : {"A", "B", "C"})
        add(n, QString(n) + "@x.de");
    table.first();
    table.next();
    ASSERT_TRUE(table.deleteRecord());
    EXPECT_EQ(table.asString("Name"), "C");
    ASSERT_TRUE(table.deleteRecord());
    EXPECT_TRUE(table.eof()); // no record followed
    EXPECT_EQ(table.asString("Name"), "A");
    table.first();
    while (!table.eof() && table.recordCount() > 0)
        table.deleteRecord();
    EXPECT_EQ(table.recordCount(), 0);
}

TEST_F(AddressTableTest, BookmarksReturnToTheRecord) {
    for (const char* n : {"A", "B", "C", "D"})
        add(n, QString(n) + "@x.de");
    table.first();
    table.next();
    table.next();
    const auto mark = table.bookmark();
    table.first();
    EXPECT_TRUE(table.gotoBookmark(mark));
    EXPECT_EQ(table.asString("Name"), "C");
    table.freeBookmark(mark);
    EXPECT_FALSE(table.gotoBookmark(0));
}

TEST_F(AddressTableTest, IndexOrderIgnoresCaseAndUmlauts) {
    add("zander", "1@x.de");
    add("Äbel", "2@x.de");
    add("Adam", "3@x.de");
    add("Ärger", "4@x.de");
    add("adler", "5@x.de");
    ASSERT_TRUE(table.setIndexName("NameIdx"));
    const QStringList sorted = namesInView();
    EXPECT_EQ(sorted.first(), "Adam");
    EXPECT_EQ(sorted.at(1), "adler");
    EXPECT_EQ(sorted.last(), "Ärger"); // umlauts sort after z by code, case ignored
    EXPECT_EQ(sorted.indexOf("Äbel") + 1, sorted.indexOf("Ärger"));
    QString error;
    EXPECT_FALSE(table.setIndexName("Gibtsnicht", &error));
    EXPECT_FALSE(error.isEmpty());
    ASSERT_TRUE(table.setIndexName(""));
    EXPECT_EQ(namesInView().first(), "zander");
}

TEST_F(AddressTableTest, FilterGrammarPrefixCaseAndApostrophes) {
    add("Meier", "m1@x.de", "Köln", true);
    add("MEISTER", "m2@x.de", "KÖLN");
    add("meise", "m3@x.de", "Bonn");
    add("O'Brien", "ob@x.de", "Bonn");
    add("Schulz", "s@x.de", "");

    struct Case {
        const char* expression;
        int count;
    } cases[] = {
        {"Name = 'Mei*'", 3},
        {"name='mei*'", 3},
        {"Name <> 'Mei*'", 2},
        {"Ort = 'köln'", 2},
        {"Ort = 'Köln' AND Name = 'meier'", 1},
        {"Ort = 'Bonn' OR Selected='True'", 3},
        {"NOT (Ort = 'Bonn')", 3},
        {"Name = 'O''Brien'", 1},
        {"Ort = ''", 1},
        {"Ort <> ''", 4},
        {"Selected = 'False'", 4},
        {"Selected = True", 1},
        {"[Name] >= 'N' AND Name < 'P'", 1},
        {"ID >= 2 AND ID <= '4'", 3},
        {"", 5},
    };
    for (const Case& c : cases) {
        QString error;
        ASSERT_TRUE(table.setFilter(c.expression, &error))
            << c.expression << ": " << error.toStdString();
        table.setFiltered(true);
        EXPECT_EQ(table.recordCount(), c.count) << c.expression;
    }
    // Values are bound, never pasted: a hostile value matches nothing and harms nothing.
    ASSERT_TRUE(
        table.setFilter("Name = " + FilterExpression::quote("x'); DROP TABLE records; --")));
    EXPECT_EQ(table.recordCount(), 0);
    table.setFiltered(false);
    EXPECT_EQ(table.recordCount(), 5);
}

TEST_F(AddressTableTest, RefusedFilterNamesThePositionAndKeepsThePreviousOne) {
    add("Meier", "m@x.de", "Köln", true);
    add("Schulz", "s@x.de");
    ASSERT_TRUE(table.setFilter("Selected='True'"));
    table.setFiltered(true);
    struct Case {
        const char* expression;
        const char* message;
    } cases[] = {
        {"Name = 'offen",
         "Ungültiger Filterausdruck an Position 8: Der Text in Hochkommas ist nicht abgeschlossen"},
        {"Nam = 'x'", "Ungültiger Filterausdruck an Position 1: unbekanntes Feld \"Nam\""},
        {"Name 'x'", "Ungültiger Filterausdruck an Position 6: Vergleichsoperator (=, <>, <, >, "
                     "<=, >=) erwartet"},
        {"(Name = 'x'", "Ungültiger Filterausdruck an Position 12: \")\" erwartet"},
        {"Selected = 'vielleicht'", "Ungültiger Filterausdruck an Position 12: \"vielleicht\" ist "
                                    "kein Wahrheitswert ('True' oder 'False')"},
        {"Name = 'x' AND", "Ungültiger Filterausdruck an Position 15: Feldname erwartet"},
        {"Name = 'x' ; Ort = 'y'",
         "Ungültiger Filterausdruck an Position 12: unerwartetes Zeichen \";\""},
        {"ID = 'zwei'",
         "Ungültiger Filterausdruck an Position 6: \"zwei\" ist keine Zahl (Feld ID)"},
    };
    for (const Case& c : cases) {
        QString error;
        EXPECT_FALSE(table.setFilter(c.expression, &error)) << c.expression;
        EXPECT_EQ(error.toStdString(), std::string(c.message));
    }
    EXPECT_EQ(table.filter(), "Selected='True'");
    EXPECT_EQ(table.recordCount(), 1);
}

TEST_F(AddressTableTest, BatchedUpdateCoversTheViewAndReportsProgress) {
    const int n = AddressTable::batchSize * 2 + 17;
    table.disableControls();
    for (int i = 0; i < n; ++i)
        add(QString("N%1").arg(i), QString("n%1@x.de").arg(i), i % 2 ? "Bonn" : "Köln");
    table.enableControls();
    ASSERT_TRUE(table.setFilter("Ort='Köln'"));
    table.setFiltered(true);
    const qint64 inView = table.recordCount();
    table.moveTo(5);
    const qint64 keep = table.currentId();

    QList<qint64> reports;
    QString error;
    const qint64 changed = table.updateRecords(
        table.viewIds(), {{"Selected", true}}, {},
        [&](qint64 done, qint64 total) {
            EXPECT_EQ(total, inView);
            reports << done;
        },
        &error);
    EXPECT_EQ(changed, inView) << error.toStdString();
    EXPECT_EQ(reports.size(), (inView + AddressTable::batchSize - 1) / AddressTable::batchSize);
    EXPECT_EQ(reports.last(), inView);
    EXPECT_EQ(table.currentId(), keep); // the cursor stays on its record

    table.setFiltered(false);
    ASSERT_TRUE(table.setFilter("Selected='True'"));
    table.setFiltered(true);
    EXPECT_EQ(table.recordCount(), inView); // only the view's records were marked

    // A condition narrows the set: IDs 3..7 of the whole table.
    table.setFiltered(false);
    table.updateRecords(table.tableIds(), {{"Invalid", true}},
                        table.conditionFieldBetween("ID", 3, 7));
    ASSERT_TRUE(table.setFilter("Invalid='True'"));
    table.setFiltered(true);
    EXPECT_EQ(table.recordCount(), 5);
}

TEST_F(AddressTableTest, AnyFieldContainsLooksAtEveryColumnAsShown) {
    add("Maier", "info@maier.de", "Bonn");
    add("Schulz", "post@schulz.de", "Maierhofen");
    add("Kurz", "kurz@example.de", "Köln");
    add("Ömer", "oe@example.de", "KÖLN");
    auto count = [&](const QString& text) {
        return qint64(table.tableIds(table.conditionAnyFieldContains(text)).size());
    };
    EXPECT_EQ(count("MAIER"), 2);
    EXPECT_EQ(count("köln"), 2);
    EXPECT_EQ(count("false"), 4); // booleans read as False
    EXPECT_EQ(count("o'"), 0);
}

TEST_F(AddressTableTest, OpenHoldsTheLockFileAndRefusesBrokenFiles) {
    const QString lock = folder.file("Paradox.lck");
    EXPECT_TRUE(FileLock::isHeldElsewhere(lock));
    EXPECT_FALSE(FileLock::removeIfStale(lock));
    table.close();
    EXPECT_FALSE(QFile::exists(lock));

    QFile garbage(folder.file("Kaputt.DB"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();
    QString error;
    EXPECT_FALSE(table.open(folder.file("Kaputt.DB"), &error));
    EXPECT_TRUE(error.startsWith("Die Tabelle")) << error.toStdString();
    EXPECT_FALSE(table.isOpen());
    EXPECT_FALSE(table.open(folder.file("Fehlt.DB"), &error));
    EXPECT_FALSE(QFile::exists(lock)); // a failed open keeps no lock
    ASSERT_TRUE(table.open(path, &error));
}

TEST_F(AddressTableTest, MaintenanceChecksAndCompactsAClosedTable) {
    add("A", "a@x.de");
    table.close();
    QString report;
    EXPECT_TRUE(AddressTable::maintain(path, &report));
    EXPECT_NE(report.indexOf("Prüfung ohne Befund"), -1) << report.toStdString();
    EXPECT_NE(report.indexOf("verdichtet"), -1);
    ASSERT_TRUE(table.open(path));
    EXPECT_EQ(table.recordCount(), 1);
}

TEST(AddressTableCreate, RefusesBadDefinitionsAndLeavesNoFile) {
    TempProgramFolder folder;
    const QString path = folder.file("Bad.DB");
    QString error;
    EXPECT_FALSE(AddressTable::create(
        path, {{"A", FieldType::String, 10, false}, {"a", FieldType::String, 10, false}}, {},
        &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(AddressTable::create(path, {{"A", FieldType::String, 10, false}},
                                      {{"X", {"Fehlt"}, false}}, &error));
    EXPECT_NE(error.indexOf("Fehlt"), -1);
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(AddressTableTest, FindInViewSearchesBothWaysInViewOrder) {
    const int n = AddressTable::batchSize + 50;
    for (int i = 0; i < n; ++i)
        add(i == 3 || i == n - 2 ? QString("Maier %1").arg(i) : QString("N%1").arg(i),
            QString("n%1@x.de").arg(i), i == 10 ? "Schmitt" : "Bonn");
    const auto exact = table.conditionAnyFieldContains("maier");
    EXPECT_EQ(table.findInView(0, true, exact), 3);
    EXPECT_EQ(table.findInView(4, true, exact), n - 2);
    EXPECT_EQ(table.findInView(n - 3, false, exact), 3);
    EXPECT_EQ(table.findInView(n - 1, true, exact), -1);
    EXPECT_EQ(table.findInView(0, true,
                               table.conditionAnyFieldContains(
                                   "maier", AddressTable::TextMatch::ContainsCaseSensitive)),
              -1);
    // Fuzzy: SCHMIDT against the word SCHMITT is 14%, a hit.
    EXPECT_EQ(
        table.findInView(
            0, true, table.conditionAnyFieldContains("Schmidt", AddressTable::TextMatch::Fuzzy)),
        10);
}
