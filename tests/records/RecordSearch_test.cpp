#include "records/RecordSearch.h"

#include "records/RecordsTestSupport.h"

namespace {

const QString kNoFurther = QStringLiteral("Kein weiteres Ergebnis gefunden!");
const QString kNone = QStringLiteral("Kein Ergebnis gefunden!");

class RecordSearchTest : public OpenStandardDatabase {
protected:
    void SetUp() override {
        OpenStandardDatabase::SetUp();
        add({{"Name", "Maier"}, {"Mail", "hans@maier-bau.de"}, {"Ort", "Bonn"}});  // 1
        add({{"Name", "Schulz"}, {"Mail", "s@web.de"}, {"Ort", "Maierhofen"}});    // 2
        add({{"Name", "Meyr"}, {"Mail", "m@web.de"}, {"Ort", "Köln"}});            // 3
        add({{"Name", "Kunz"}, {"Mail", "kunz.maier@web.de"}, {"Ort", "Berlin"}}); // 4
        table->first();
    }

    SearchResult find(const QString& text, bool backwards = false, bool caseSensitive = false,
                      bool fuzzy = false) {
        RecordSearch::Options o;
        o.text = text;
        o.backwards = backwards;
        o.caseSensitive = caseSensitive;
        o.fuzzy = fuzzy;
        return search.step(*table, o);
    }

    RecordSearch search;
};

} // namespace

TEST_F(RecordSearchTest, ForwardsThroughAllHitsUpToTheBoundary) {
    SearchResult r = find("  MAIER ");
    EXPECT_EQ(r.kind, SearchResult::Kind::Hit);
    EXPECT_EQ(r.label1, "ID = 1");
    EXPECT_EQ(r.label2, "Name = Maier");
    // Fields in column order: Mail comes before Name.
    EXPECT_EQ(r.label3, "hans@maier-bau.de");
    EXPECT_TRUE(r.editEnabled && r.deleteEnabled);

    r = find("  MAIER ");
    EXPECT_EQ(r.label1, "ID = 2");
    EXPECT_EQ(r.label3, "Maierhofen");
    r = find("  MAIER ");
    EXPECT_EQ(r.label1, "ID = 4");
    EXPECT_EQ(table->currentId(), 4);

    // The last hit was the table's last record: the step cannot leave it.
    for (int i = 0; i < 2; ++i) {
        r = find("  MAIER ");
        EXPECT_EQ(r.kind, SearchResult::Kind::NoFurtherResult);
        EXPECT_EQ(r.label1, kNoFurther);
        EXPECT_TRUE(r.label2.isEmpty() && r.label3.isEmpty());
        EXPECT_FALSE(r.editEnabled || r.deleteEnabled);
    }
}

TEST_F(RecordSearchTest, RunningOffTheEndAfterAHitAndFindingNothing) {
    EXPECT_EQ(find("Schulz").label1, "ID = 2");
    SearchResult r = find("Schulz");
    EXPECT_EQ(r.label1, kNoFurther);
    EXPECT_EQ(table->currentId(), 4); // ran to the last record

    search.reset();
    table->first();
    r = find("Hamburg");
    EXPECT_EQ(r.kind, SearchResult::Kind::NoResult);
    EXPECT_EQ(r.label1, kNone);
    EXPECT_FALSE(search.found());

    // Every field contains the empty text, yet an empty exact search finds nothing.
    table->first();
    EXPECT_EQ(find("   ").label1, kNone);
}

TEST_F(RecordSearchTest, CaseSensitiveSearchKeepsCase) {
    // maier is found in the lower-case address, not in the name Maier.
    EXPECT_EQ(find("maier", false, true).label3, "hans@maier-bau.de");
    search.reset();
    table->first();
    QStringList hits;
    for (int i = 0; i < 3; ++i)
        hits << find("Maier", false, true).label1;
    EXPECT_EQ(hits, QStringList({"ID = 1", "ID = 2", kNoFurther})); // not kunz.maier
}

TEST_F(RecordSearchTest, BackwardsStartsAtTheLastRecord) {
    table->first();
    EXPECT_EQ(find("maier", true).label1, "ID = 4");
    EXPECT_EQ(find("maier", true).label1, "ID = 2");
    EXPECT_EQ(find("maier", true).label1, "ID = 1");
    // The first record was the last hit backwards.
    EXPECT_EQ(find("maier", true).label1, kNoFurther);
    EXPECT_EQ(table->currentId(), 1);
}

TEST_F(RecordSearchTest, FuzzySearchFindsNearWordsAndNeverOffersDeletion) {
    // MEIER: MAIER is 20 %, a hit; MEYR is 50 %, none.
    SearchResult r = find("Meier", false, false, true);
    EXPECT_EQ(r.label1, "ID = 1");
    EXPECT_EQ(r.label3, "Maier");
    EXPECT_TRUE(r.editEnabled);
    EXPECT_FALSE(r.deleteEnabled);
    r = find("Meier", false, false, true);
    EXPECT_EQ(r.label1, kNoFurther);
    EXPECT_FALSE(r.editEnabled);

    // The fuzzy text is not trimmed: "KUNZ " is one edit (25 %) away from the word KUNZ.
    search.reset();
    table->first();
    EXPECT_EQ(find("Kunz ", false, false, true).label1, kNone);
    search.reset();
    table->first();
    EXPECT_EQ(find("kunz", false, false, true).label1, "ID = 4");
}

TEST(RecordSearch, FuzzyEmptyTextFindsEmptyFieldsAndDoubleBlanks) {
    TempProgramFolder folder;
    const QString path = folder.file("T.DB");
    ASSERT_TRUE(AddressTable::create(path,
                                     {{"ID", FieldType::AutoInc, 0, false},
                                      {"Name", FieldType::String, 40, false},
                                      {"Ort", FieldType::String, 40, false}},
                                     {{"Primary", {"ID"}, true}}, nullptr));
    AddressTable table;
    ASSERT_TRUE(table.open(path));
    for (const auto& [name, ort] :
         QList<QPair<QString, QString>>{{"Anna", "Bonn"}, {"Berta", "Bad  Ems"}, {"Carla", ""}}) {
        table.append();
        table.setString("Name", name);
        table.setString("Ort", ort);
        ASSERT_TRUE(table.post());
    }
    table.first();
    RecordSearch search;
    RecordSearch::Options o;
    o.fuzzy = true;
    SearchResult r = search.step(table, o);
    EXPECT_EQ(r.label2, "Name = Berta");
    EXPECT_EQ(r.label3, "Bad  Ems");
    r = search.step(table, o);
    EXPECT_EQ(r.label2, "Name = Carla");
    EXPECT_EQ(r.label3, "");
    EXPECT_EQ(search.step(table, o).label1, kNoFurther);
}

TEST_F(RecordSearchTest, AnApostropheIsPlainTextInBothModes) {
    add({{"Name", "O'Neill"}, {"Mail", "oneill@web.de"}, {"Ort", "Cork"}}); // 5
    table->first();
    SearchResult r = find("o'neill");
    EXPECT_EQ(r.label1, "ID = 5");
    EXPECT_EQ(r.label3, "O'Neill");
    search.reset();
    table->first();
    r = find("O'Neil", false, false, true); // fuzzy: one letter missing, 14%
    EXPECT_EQ(r.label1, "ID = 5");
}
