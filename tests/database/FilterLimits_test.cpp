#include "common/Levenshtein.h"
#include "database/AddressTable.h"
#include "database/ColumnScan.h"
#include "database/FilterExpression.h"
#include "records/Marking.h"
#include "support/TempProgramFolder.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <random>
#include <sqlite3.h>

namespace {

// A table whose column names look like placeholders of QString::arg and hold quotes.
class OddColumnsTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = folder.file("Odd.DB");
        const QList<ColumnDef> columns = {
            {"ID", FieldType::AutoInc, 0, false},     {"Selected", FieldType::Boolean, 0, false},
            {"%1", FieldType::Integer, 0, false},     {"%2", FieldType::String, 40, false},
            {"Na\"me", FieldType::String, 40, false}, {"Mail", FieldType::String, 80, false}};
        QString error;
        ASSERT_TRUE(AddressTable::create(
            path, columns, {{"Primary", {"ID"}, true}, {"ix%2", {"%2"}, false}}, &error))
            << error.toStdString();
        ASSERT_TRUE(table.open(path, &error)) << error.toStdString();
        const char* texts[] = {"Köln", "Bonn", "köln", "Aachen"};
        for (int i = 0; i < 4; ++i) {
            table.append();
            ASSERT_TRUE(table.setString("%1", QString::number(40 + i)));
            ASSERT_TRUE(table.setString("%2", texts[i]));
            ASSERT_TRUE(table.setString("Na\"me", QString("Name %1").arg(i)));
            ASSERT_TRUE(table.post());
        }
        table.first();
    }

    TempProgramFolder folder;
    QString path;
    AddressTable table;
};

// Nested levels of alternating NOT and parentheses around one comparison.
QString nested(int levels) {
    QString open;
    QString close;
    for (int i = 0; i < levels; ++i) {
        open += i % 2 ? QStringLiteral("NOT ") : QStringLiteral("(");
        if (i % 2 == 0)
            close.prepend(QChar(')'));
    }
    // An even number of NOTs keeps the comparison's meaning.
    const int nots = levels / 2;
    return open + (nots % 2 ? QStringLiteral("[%2] <> 'Bonn'") : QStringLiteral("[%2] = 'Bonn'")) +
           close;
}

} // namespace

TEST_F(OddColumnsTest, SqlOfSearchMarkingFiltersAndGroupsQuotesEveryName) {
    // Search over every column, also the numeric one shown as text.
    const RecordCondition hit = table.conditionAnyFieldContains("42");
    EXPECT_EQ(table.findInView(0, true, hit), 2);
    EXPECT_EQ(table.findInView(0, true, table.conditionAnyFieldContains("41", TextMatch::Fuzzy)),
              1);
    EXPECT_EQ(Marking::markByText(&table, "43"), 1);
    EXPECT_EQ(Marking::countMarked(&table), 1);

    // Filters name the columns in brackets; sorting by an index on one works.
    ASSERT_TRUE(table.setFilter("[%2] = 'köln' AND [%1] >= 41"));
    table.setFiltered(true);
    EXPECT_EQ(table.recordCount(), 1);
    table.setFiltered(false);
    ASSERT_TRUE(table.setIndexName("ix%2"));
    table.first();
    EXPECT_EQ(table.asString("%2"), "Aachen");

    // Groups of equal values on both columns, and a set operation on each.
    ColumnScan::GroupFinder byText(*table.store(), table.fieldIndex("%2"));
    EXPECT_EQ(byText.ids({"KÖLN"}), std::vector<qint64>({1, 3}));
    ColumnScan::GroupFinder byNumber(*table.store(), table.fieldIndex("%1"));
    EXPECT_EQ(byNumber.ids({"41", "43"}), std::vector<qint64>({2, 4}));
    EXPECT_EQ(ColumnScan::texts(*table.store(), table.fieldIndex("Na\"me"), {4, 1}),
              QStringList({"Name 3", "Name 0"}));
    EXPECT_EQ(table.updateRecords({1, 2}, {{"%1", 7}, {"Na\"me", "x"}}), 2);
    EXPECT_EQ(table.store()->tableIds(table.conditionFromFilter("[%1] = 7")).size(), 2u);
}

TEST_F(OddColumnsTest, NestingAndLengthStayWithinWhatSqliteTakes) {
    RecordCondition cond;
    QString error;
    // Deep nesting is refused with the position of the level too many, without a
    // crash, whether it is built of parentheses or of NOT.
    for (const QString& deep :
         {QString(3000, QChar('(')) + "Mail = 'x'" + QString(3000, QChar(')')),
          QString("NOT ").repeated(30000) + "Mail = 'x'"}) {
        EXPECT_FALSE(FilterExpression::parse(deep, table.columns(), &cond, &error));
        EXPECT_TRUE(error.startsWith("Ungültiger Filterausdruck an Position "))
            << error.toStdString();
        EXPECT_TRUE(error.contains("zu tief verschachtelt")) << error.toStdString();
    }
    EXPECT_TRUE(error.startsWith(QString("Ungültiger Filterausdruck an Position %1:")
                                     .arg(4 * FilterExpression::maxNesting + 1)));

    // At the limit SQLite takes the expression everywhere the table uses a condition.
    const QString deepest = nested(FilterExpression::maxNesting);
    ASSERT_TRUE(table.setFilter(deepest, &error)) << error.toStdString();
    table.setFiltered(true);
    EXPECT_EQ(table.recordCount(), 1);
    EXPECT_EQ(table.asString("%2"), "Bonn");
    const RecordCondition atLimit = table.conditionFromFilter(deepest);
    EXPECT_EQ(table.store()->tableIds(atLimit), std::vector<qint64>({2}));
    EXPECT_EQ(table.store()->matching({1, 2, 3}, atLimit), std::vector<qint64>({2}));
    EXPECT_TRUE(table.store()->recordMatches(2, atLimit));
    EXPECT_EQ(table.store()->findFirst({1, 2, 3, 4}, 0, true, atLimit), 1);
    EXPECT_EQ(table.updateRecords({1, 2}, {{"Selected", true}}, atLimit), 1);
    EXPECT_FALSE(FilterExpression::parse(nested(FilterExpression::maxNesting + 1), table.columns(),
                                         &cond, &error));

    // As many comparisons as allowed, nested as deep as allowed, still run.
    QStringList many;
    for (int i = 1; i < FilterExpression::maxComparisons; ++i)
        many << "[%1] = " + QString::number(1000 + i);
    const QString longest = many.join(" OR ") + " OR " + deepest;
    ASSERT_TRUE(table.setFilter(longest, &error)) << error.toStdString();
    EXPECT_EQ(table.recordCount(), 1);
    EXPECT_FALSE(table.setFilter(longest + " OR Mail = 'x'", &error));
    EXPECT_TRUE(error.contains("zu viele Vergleiche")) << error.toStdString();
    EXPECT_EQ(table.filter(), longest);
}

TEST_F(OddColumnsTest, FilterSqliteRefusesIsReportedAndThePreviousOneStays) {
    ASSERT_TRUE(table.setFilter("[%2] = 'Bonn'"));
    table.setFiltered(true);
    ASSERT_EQ(table.recordCount(), 1);
    // A connection allowed only shallow expressions refuses what the parser accepts.
    sqlite3_limit(table.handle(), SQLITE_LIMIT_EXPR_DEPTH, 10);
    const QString refused = nested(20);
    QString error;
    EXPECT_FALSE(table.setFilter(refused, &error));
    EXPECT_EQ(error, "Der Filter kann nicht angewendet werden: Die Abfrage ist für die Datenbank "
                     "zu umfangreich.");
    EXPECT_EQ(table.filter(), "[%2] = 'Bonn'");
    EXPECT_EQ(table.recordCount(), 1);
    EXPECT_EQ(table.asString("%2"), "Bonn");
    // Also while the filter is off.
    table.setFiltered(false);
    EXPECT_FALSE(table.checkFilter(refused));
    EXPECT_FALSE(table.setFilter(refused));
    EXPECT_EQ(table.filter(), "[%2] = 'Bonn'");
    EXPECT_EQ(table.recordCount(), 4);
}

TEST(FuzzyComparison, AgreesWithTheDistanceAndComparesOnlyTheFirstCharacters) {
    // The cases of the search dialog, and random short words against the plain distance.
    EXPECT_TRUE(LevenshteinPercentBelow(u"MEIER", u"MAIER", 25));
    EXPECT_FALSE(LevenshteinPercentBelow(u"MEIER", u"MEYR", 25));
    EXPECT_FALSE(LevenshteinPercentBelow(u"AB", u"AC", 25));
    EXPECT_TRUE(LevenshteinPercentBelow(u"SCHMIDT", u"SCHMITT", 25));
    EXPECT_TRUE(LevenshteinPercentBelow(u"", u"", 25));
    EXPECT_FALSE(LevenshteinPercentBelow(u"", u"A", 25));
    EXPECT_FALSE(LevenshteinPercentBelow(u"A", u"", 25));
    std::mt19937 rng(7);
    for (int round = 0; round < 20000; ++round) {
        QString a;
        QString b;
        for (int i = int(rng() % 12); i > 0; --i)
            a += QChar('A' + int(rng() % 3));
        for (int i = int(rng() % 12); i > 0; --i)
            b += QChar('A' + int(rng() % 3));
        for (int percent : {25, 50, 10})
            ASSERT_EQ(LevenshteinPercentBelow(a, b, percent), LevenshteinPercent(a, b) < percent)
                << a.toStdString() << " / " << b.toStdString() << " " << percent;
    }
    // Long texts are compared by their first characters: the same beginning is a hit
    // however the rest differs.
    const QString start(fuzzyCompareLength, QChar('A'));
    EXPECT_TRUE(LevenshteinPercentBelow(start + QString(400, QChar('B')),
                                        start + QString(400, QChar('C')), 25));
    EXPECT_FALSE(LevenshteinPercentBelow(QString(400, QChar('B')) + start,
                                         QString(400, QChar('C')) + start, 25));
}

TEST_F(OddColumnsTest, FuzzySearchOverHugeValuesEnds) {
    // A value of a million characters without a blank, searched with itself.
    QString huge(1000000, QChar('x'));
    huge[500000] = QChar('y');
    table.locateId(4);
    table.edit();
    ASSERT_TRUE(table.setString("Mail", huge));
    ASSERT_TRUE(table.post());
    table.first();
    EXPECT_EQ(table.findInView(0, true, table.conditionAnyFieldContains(huge, TextMatch::Fuzzy)),
              3);
}

TEST(TableFileCheck, NothingIsWrittenToAFileThatIsNoTable) {
    TempProgramFolder folder;
    for (const QByteArray& content :
         {QByteArray(), QByteArray("kein SQLite"), QByteArray(4096, '\x01')}) {
        const QString path = folder.file("Leer.DB");
        writeBytes(path, content);
        AddressTable table;
        QString error;
        EXPECT_FALSE(table.open(path, &error));
        EXPECT_TRUE(error.startsWith("Die Tabelle \"")) << error.toStdString();
        EXPECT_EQ(error.count("kann nicht geöffnet werden"), 1) << error.toStdString();
        EXPECT_TRUE(error.endsWith(content.isEmpty()
                                       ? "Die Datei ist leer und keine Adresstabelle."
                                       : "Die Datei ist beschädigt oder keine Adresstabelle."))
            << error.toStdString();
        EXPECT_EQ(readBytes(path), content);
        EXPECT_FALSE(QFileInfo::exists(path + "-wal"));
        EXPECT_FALSE(QFileInfo::exists(path + "-shm"));
        EXPECT_FALSE(QFileInfo::exists(path + "-journal"));
    }
}
