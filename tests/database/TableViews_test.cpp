#include "database/AddressTable.h"
#include "database/TableView.h"
#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>

namespace {

// Collects the argument of every emission of a signal of a view (0 for none).
class Recorder {
public:
    Recorder(TableView* view, void (TableView::*signal)(qint64)) {
        QObject::connect(view, signal, &m_context, [this](qint64 v) { values.push_back(v); });
    }
    Recorder(TableView* view, void (TableView::*signal)()) {
        QObject::connect(view, signal, &m_context, [this]() { values.push_back(0); });
    }
    qsizetype count() const { return qsizetype(values.size()); }
    std::vector<qint64> values;

private:
    QObject m_context; // ends the connection with the recorder
};

QList<ColumnDef> columns() {
    return {{"ID", FieldType::AutoInc, 0, false},      {"Selected", FieldType::Boolean, 0, false},
            {"Invalid", FieldType::Boolean, 0, false}, {"Mail", FieldType::String, 80, false},
            {"Name", FieldType::String, 60, false},    {"Ort", FieldType::String, 40, false}};
}

// One table file with its own view (the "grid") and a second view on the same store.
class TableViewsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString path = folder.file("Views.DB");
        QString error;
        ASSERT_TRUE(AddressTable::create(
            path, columns(), {{"Primary", {"ID"}, true}, {"NameIdx", {"Name"}, false}}, &error))
            << error.toStdString();
        ASSERT_TRUE(grid.open(path, &error)) << error.toStdString();
        const char* names[] = {"Adam", "Berta", "Cäsar", "Dora", "Emil", "Fritz"};
        for (int i = 0; i < 6; ++i) {
            grid.append();
            grid.setString("Name", names[i]);
            grid.setString("Ort", i % 2 ? "Bonn" : "Köln");
            ASSERT_TRUE(grid.post());
        }
        grid.first();
        other.setStore(grid.store());
    }

    static QStringList names(const TableView& view) {
        QStringList out;
        const int col = view.fieldIndex("Name");
        for (qint64 r = 0; r < view.recordCount(); ++r)
            out << view.rowValues(r).at(col).toString();
        return out;
    }

    TempProgramFolder folder;
    AddressTable grid;
    TableView other;
};

} // namespace

TEST_F(TableViewsTest, APostThroughOneViewMovesTheRecordInAnother) {
    ASSERT_TRUE(grid.setFilter("Ort='Bonn'"));
    grid.setFiltered(true);
    ASSERT_EQ(names(grid), QStringList({"Berta", "Dora", "Fritz"}));
    grid.moveTo(1); // Dora
    Recorder counts(&grid, &TableView::recordCountChanged);
    Recorder current(&grid, &TableView::currentChanged);

    // Dora moves to Köln through the other view: she leaves the grid, Fritz follows her.
    ASSERT_TRUE(other.locateId(4));
    other.edit();
    other.setString("Ort", "Köln");
    ASSERT_TRUE(other.post());
    EXPECT_EQ(names(grid), QStringList({"Berta", "Fritz"}));
    EXPECT_EQ(grid.asString("Name"), "Fritz");
    ASSERT_EQ(counts.count(), 1);
    EXPECT_EQ(counts.values.front(), 2);
    EXPECT_GE(current.count(), 1);
    EXPECT_EQ(current.values.back(), 1);
    // The other view is unfiltered and keeps her where she was.
    EXPECT_EQ(other.recordCount(), 6);
    EXPECT_EQ(other.asString("Name"), "Dora");

    // Adam enters the grid's filter; the current record stays current.
    ASSERT_TRUE(other.locateId(1));
    other.edit();
    other.setString("Ort", "Bonn");
    ASSERT_TRUE(other.post());
    EXPECT_EQ(names(grid), QStringList({"Adam", "Berta", "Fritz"}));
    EXPECT_EQ(grid.asString("Name"), "Fritz");

    // A record appended through the other view appears at the end of an unfiltered
    // view and in its place in a sorted one; the sorted view keeps its current record.
    grid.setFiltered(false);
    ASSERT_TRUE(grid.setIndexName("NameIdx"));
    grid.locateId(3); // Cäsar
    other.append();
    other.setString("Name", "Anton");
    ASSERT_TRUE(other.post());
    EXPECT_EQ(other.asString("Name"), "Anton");
    EXPECT_EQ(names(grid).mid(0, 3), QStringList({"Adam", "Anton", "Berta"}));
    EXPECT_EQ(grid.asString("Name"), "Cäsar");
}

TEST_F(TableViewsTest, SetOperationsAndDeletionsReachEveryView) {
    Recorder rows(&grid, &TableView::rowChanged);
    Recorder resets(&grid, &TableView::viewReset);
    grid.moveTo(2);
    // Values changed in place: the unfiltered view names the rows and rebuilds nothing.
    EXPECT_EQ(grid.store()->updateRecords({2, 5}, {{"Selected", true}}), 2);
    ASSERT_EQ(rows.count(), 2);
    EXPECT_EQ(rows.values[0], 1);
    EXPECT_EQ(rows.values[1], 4);
    EXPECT_EQ(resets.count(), 0);

    // A filtered view gains and loses records by the same operation.
    ASSERT_TRUE(other.setFilter("Selected='True'"));
    other.setFiltered(true);
    EXPECT_EQ(names(other), QStringList({"Berta", "Emil"}));
    grid.store()->updateRecords(grid.store()->tableIds(), {{"Selected", false}},
                                grid.store()->conditionFieldBetween("ID", 5, 6));
    grid.store()->updateRecords({1}, {{"Selected", true}});
    EXPECT_EQ(names(other), QStringList({"Adam", "Berta"}));

    // Deleting the current record and the one after it makes the next survivor current
    // in the grid; the other view loses its deleted record too.
    grid.moveTo(1); // Berta
    QString error;
    EXPECT_EQ(grid.store()->deleteRecords({2, 3}, {}, {}, &error), 2) << error.toStdString();
    EXPECT_EQ(names(grid), QStringList({"Adam", "Dora", "Emil", "Fritz"}));
    EXPECT_EQ(grid.asString("Name"), "Dora");
    EXPECT_FALSE(grid.eof());
    EXPECT_EQ(names(other), QStringList({"Adam"}));

    // Deleting the last records sets the end flag, as a loop that advances by deleting
    // expects.
    grid.last();
    EXPECT_EQ(grid.store()->deleteRecords({6}), 1);
    EXPECT_TRUE(grid.eof());
    EXPECT_EQ(grid.asString("Name"), "Emil");
}

TEST_F(TableViewsTest, AnEditKeepsItsBaseWhileOthersWrite) {
    // The grid edits Cäsar's name while a set operation marks him: the post writes the
    // name only and the mark stays.
    grid.locateId(3);
    grid.edit();
    grid.setString("Name", "Caesar");
    EXPECT_EQ(grid.store()->updateRecords({3}, {{"Selected", true}}), 1);
    EXPECT_EQ(grid.asString("Name"), "Caesar"); // the edit buffer is untouched
    ASSERT_TRUE(grid.post());
    EXPECT_EQ(grid.asString("Name"), "Caesar");
    EXPECT_TRUE(grid.asBool("Selected"));

    // A record deleted under an edit ends the edit.
    grid.locateId(4);
    grid.edit();
    grid.setString("Name", "Doris");
    EXPECT_EQ(grid.store()->deleteRecords({4}), 1);
    EXPECT_EQ(grid.state(), TableView::State::Browse);
    EXPECT_EQ(grid.asString("Name"), "Emil");
    EXPECT_EQ(grid.store()->tableIds().size(), 5u);
}

TEST_F(TableViewsTest, ClosingTheStoreEmptiesEveryView) {
    Recorder counts(&other, &TableView::recordCountChanged);
    grid.close();
    EXPECT_FALSE(other.isOpen());
    EXPECT_EQ(other.recordCount(), 0);
    EXPECT_EQ(other.state(), TableView::State::Inactive);
    ASSERT_EQ(counts.count(), 1);
    EXPECT_EQ(counts.values.front(), 0);
}
