#include "exchange/ImportMapping.h"
#include "exchange/ImportRun.h"
#include "exchange/TextImport.h"

#include "exchange/ExchangeTestSupport.h"

#include <QFile>
#include <sqlite3.h>

using namespace TextImport;

namespace {

QStringList fields(const QString& line, int count, const QString& delimiter = ";",
                   QChar quote = {}) {
    const QString prepared = prepareLine(line, delimiter);
    QStringList out;
    for (int n = 1; n <= count; ++n)
        out << extractField(prepared, n, delimiter, quote);
    return out;
}

class TextImportTest : public ImportFixture {};

} // namespace

TEST(TextImportRules, LinePreparationAndFieldExtraction) {
    EXPECT_EQ(fields("Anna;;Berlin", 3), QStringList({"Anna", "", "Berlin"}));
    EXPECT_EQ(fields(";Berlin", 2), QStringList({"", "Berlin"}));
    EXPECT_EQ(fields("Anna;Berlin;", 3), QStringList({"Anna", "Berlin", ""}));
    EXPECT_EQ(fields("Anna;*;Berlin", 3), QStringList({"Anna", "", "Berlin"}));
    EXPECT_EQ(prepareLine("Anna;;;Berlin", ";"), "Anna; ; ;Berlin");
    EXPECT_EQ(prepareLine("  \t ", ";"), QString()); // skipped
    // A delimiter at the ends is never trimmed away.
    EXPECT_EQ(fields("\tAnna\t\tBerlin\t", 4, "\t"), QStringList({"", "Anna", "", "Berlin"}));
    // Quotes: removed at both ends; a delimiter inside quotes still splits.
    EXPECT_EQ(fields("'Meier';' Anna '", 2, ";", '\''), QStringList({"Meier", "Anna"}));
    EXPECT_EQ(fields("'Meier; Anna';Berlin", 3, ";", '\''),
              QStringList({"Meier", "Anna", "Berlin"}));
    EXPECT_EQ(fields("\"a\";\"\"", 2, ";", '"'), QStringList({"a", ""}));
    // Space: runs of blanks separate like one, nothing is inserted, blank lines skip.
    EXPECT_EQ(fields("  Anna   Berlin  10115 ", 4, " "),
              QStringList({"Anna", "Berlin", "10115", ""}));
    EXPECT_EQ(prepareLine("     ", " "), QString());
    // "*" as the delimiter is not removed as decoration.
    EXPECT_EQ(fields("Anna*Berlin", 2, "*"), QStringList({"Anna", "Berlin"}));
    EXPECT_EQ(delimiterFromItem("Tab"), "\t");
    EXPECT_EQ(delimiterFromItem("Space"), " ");
    EXPECT_EQ(delimiterFromItem(" | "), "|");
    EXPECT_TRUE(quoteFromItem("keiner").isNull());
    // Column numbers: whole numbers >= 0 only.
    EXPECT_EQ(ImportRun::firstInvalidColumn({"0", " 3 ", "12"}), -1);
    EXPECT_EQ(ImportRun::firstInvalidColumn({"1", "-1"}), 1);
    EXPECT_EQ(ImportRun::firstInvalidColumn({"1.5"}), 0);
    EXPECT_EQ(ImportRun::firstInvalidColumn({""}), 0);
    EXPECT_EQ(ImportRun::firstInvalidColumn({"99999999999999"}), 0);
}

// Every delimiter of the delimiter box with a quote character of the quote box.
TEST_F(TextImportTest, EachDelimiterAndQuote) {
    const QStringList items = {";", "|", ",",  ".", "Tab", "Space", "*", "+", "~",
                               "'", "#", "\"", "$", u8"§", "%",     "&", "_", "-"};
    const QStringList quotes = {"\"", "'", u8"´", "`", "~", "#", "*", "+"};
    int k = 0;
    qint64 total = 0;
    for (const QString& item : items) {
        const QString d = delimiterFromItem(item);
        // A quote that is also the delimiter cannot be told apart; take another one.
        QString q = quotes[k++ % quotes.size()];
        if (q == d)
            q = quotes[k++ % quotes.size()];
        const QString line = "Name" + d + "Mail\r\n" + q + QString("Ma") + "ier" + q + d + q + "m" +
                             QString::number(k) + "@x" + q + "\r\n";
        const QString path = file("d" + QString::number(k) + ".csv", TextFile::toWindows1252(line));
        ImportOptions o = optionsFor({{"Name", 1}, {"Mail", 2}}, d);
        o.quote = q.at(0);
        o.skipFirstLine = true;
        ScriptedMessages none;
        qint64 imported = 0;
        ASSERT_TRUE(ImportCVS(path, o, table, none, {}, &imported)) << item.toStdString();
        EXPECT_EQ(imported, 1) << item.toStdString();
        ++total;
        const auto rows = records({"Name", "Mail"});
        ASSERT_EQ(rows.size(), total);
        EXPECT_EQ(rows.last(), QStringList({"Maier", "m" + QString::number(k) + "@x"}))
            << item.toStdString() << " " << q.toStdString();
    }
}

TEST_F(TextImportTest, EncodingsOfFileAndBlacklist) {
    const QString text = u8"Müller;straße@x.de\r\nWeiß;w@x.de\nÖzil;oe@spam.de\r";
    const QString bom = file("bom.csv", "\xEF\xBB\xBF" + text.toUtf8());
    const QString utf8 = file("utf8.csv", text.toUtf8());
    const QString ansi = file("ansi.csv", TextFile::toWindows1252(text));
    // The blacklist in Windows-1252 names a line by its umlaut, in another case.
    const QString blacklist = file("black.txt", TextFile::toWindows1252(u8"  weiß \r\n\r\n"));
    for (const QString& path : {bom, utf8, ansi}) {
        ImportOptions o = optionsFor({{"Name", 1}, {"Mail", 2}});
        o.blacklistPath = blacklist;
        ScriptedMessages none;
        ASSERT_TRUE(ImportCVS(path, o, table, none, {}));
    }
    const QStringList expected[] = {{u8"Müller", u8"straße@x.de"}, {u8"Özil", "oe@spam.de"}};
    const auto rows = records({"Name", "Mail"});
    ASSERT_EQ(rows.size(), 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(rows[i], expected[i % 2]) << i;
}

TEST_F(TextImportTest, MarkedRecordsBlacklistFixedEntryAndProgress) {
    addRecords(table, {{{"Name", "Alt"}, {"Selected", false}}});
    const QString path = file("a.csv", "Name;Mail;Ort\r\n"
                                       "Anna;anna@x.de;Berlin\r\n"
                                       "\r\n"
                                       "Bernd;bernd@SPAM.de;Bonn\r\n"
                                       "Carla;;Celle\r\n"
                                       "ohne Adresse\r\n");
    const QString blacklist = file("b.txt", "\r\n   \r\n@spam.DE\r\n");
    ImportOptions o = optionsFor({{"Name", 1}, {"Mail", 2}, {"Ort", 3}, {"Land", 7}});
    o.skipFirstLine = true;
    o.blacklistPath = blacklist;
    o.fixedEntry = true;
    o.fixedField = "Ort";
    o.fixedValue = "  Messe 2026 ";
    ScriptedMessages none;
    qint64 imported = 0;
    ASSERT_TRUE(ImportCVS(path, o, table, none, feedback(), &imported));
    EXPECT_EQ(imported, 3);
    const auto rows =
        records({"Name", "Mail", "Ort", "Land", "Selected", "LetztesMail", "Invalid"});
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[1], QStringList({"Anna", "anna@x.de", "Messe 2026", "", "1", "", "0"}));
    EXPECT_EQ(rows[2], QStringList({"Carla", "", "Messe 2026", "", "1", "", "0"}));
    EXPECT_EQ(rows[3], QStringList({"ohne Adresse", "", "Messe 2026", "", "1", "", "0"}));
    EXPECT_EQ(rows[0][4], "0"); // the old record is left alone
    EXPECT_EQ(statusTexts, QStringList({"", "Import: 5 von 6", ""}));
    EXPECT_EQ(busyDepth, 0);
    EXPECT_EQ(table->recordCount(), 4); // the table's view follows
}

TEST_F(TextImportTest, HostileValuesArePlainText) {
    const QString path = file("h.csv", "O'Brien;a|b@x.de;=1+2\r\n"
                                       "x' OR '1'='1;DROP TABLE records --;\"quoted\r"
                                       "rest\";Name = 'A*'\r\n");
    ImportOptions o = optionsFor({{"Name", 1}, {"Mail", 2}, {"Ort", 3}});
    ScriptedMessages none;
    ASSERT_TRUE(ImportCVS(path, o, table, none, {}));
    const auto rows = records({"Name", "Mail", "Ort"});
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0], QStringList({"O'Brien", "a|b@x.de", "=1+2"}));
    EXPECT_EQ(rows[1], QStringList({"x' OR '1'='1", "DROP TABLE records --", "\"quoted"}));
    EXPECT_EQ(rows[2], QStringList({"rest\"", "Name = 'A'", ""})); // "*" is removed
}

TEST_F(TextImportTest, BadFilesSayWhatIsWrongAndKeepWhatWasImported) {
    const ImportOptions o = optionsFor({{"Name", 1}, {"Mail", 2}});
    {
        ScriptedMessages m;
        m.expectError("Die Datei \"" + folder.file("bin.csv") +
                      "\" ist keine Textdatei mit einem Datensatz pro Zeile (Zeile 2 enthält "
                      "Nullbytes). Es wurde nichts importiert.");
        EXPECT_FALSE(ImportCVS(file("bin.csv", QByteArray("a;b\r\n\x01\x00\x02;x\r\n", 12)), o,
                               table, m, {}));
    }
    {
        ScriptedMessages m;
        m.expectError("Die Datei \"" + folder.file("long.csv") +
                      "\" ist keine Textdatei mit einem Datensatz pro Zeile (eine Zeile ist "
                      "länger als 1 MB). Es wurde nichts importiert.");
        EXPECT_FALSE(ImportCVS(file("long.csv", "a;b\n" + QByteArray(10 << 20, 'x') + "\n"), o,
                               table, m, {}));
    }
    {
        ScriptedMessages m;
        m.expectAnyError();
        EXPECT_FALSE(ImportCVS(folder.file("missing.csv"), o, table, m, {}));
    }
    EXPECT_EQ(table->recordCount(), 0);

    // A file cut short while it is read: the finished batches stay, the count is told.
    QByteArray many;
    for (int i = 0; i < 50000; ++i)
        many += "Name" + QByteArray::number(i) + ";m" + QByteArray::number(i) + "@x.de\r\n";
    const QString path = file("many.csv", many);
    Progress cut;
    cut.status = [&](const QString& t) {
        if (!t.isEmpty())
            QFile(path).resize(100);
    };
    ScriptedMessages m;
    m.expectAnyError();
    qint64 imported = 0;
    EXPECT_FALSE(ImportCVS(path, o, table, m, cut, &imported));
    EXPECT_GE(imported, 20000); // the first batch at least
    EXPECT_LT(imported, 50000);
    EXPECT_EQ(table->recordCount(), imported);
    ASSERT_EQ(m.shown().size(), 1);
    EXPECT_TRUE(m.shown()[0].startsWith("Der Import wurde abgebrochen: "))
        << m.shown()[0].toStdString();
    EXPECT_TRUE(m.shown()[0].contains(u8"verkürzt")) << m.shown()[0].toStdString();
    EXPECT_TRUE(
        m.shown()[0].endsWith(QString::number(imported) + u8" Datensätze wurden importiert."))
        << m.shown()[0].toStdString();
    // The cut-off import made its address index; the others wait until a view needs them.
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(table->handle(),
                                 "SELECT (SELECT COUNT(*) FROM sqlite_master WHERE type='index' "
                                 "AND sql IS NOT NULL), (SELECT COUNT(*) FROM "
                                 "quillon_pending_indexes)",
                                 -1, &s, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(s, 0), 1);
    EXPECT_EQ(sqlite3_column_int(s, 1), 7);
    sqlite3_finalize(s);
}

TEST_F(TextImportTest, PreviewShowsOnlyWhatItReads) {
    // Lines far behind the shown ones are never read: a NUL byte there does no harm.
    QByteArray bytes = "Name;Mail\r\nAnna;a@x.de\r\nBernd;b@spam.de\r\nCarla;c@x.de\r\n";
    bytes += QByteArray(200000, 'y') + "\r\n" + QByteArray("z\x00z", 3) + "\r\n";
    const QString path = file("p.csv", bytes);
    ImportOptions o = optionsFor({{"Name", 1}, {"Mail", 2}});
    o.skipFirstLine = true;
    QList<QStringList> cells;
    QString error;
    ASSERT_TRUE(preview(path, o, 2, &cells, &error)) << error.toStdString();
    ASSERT_EQ(cells.size(), 2);
    const int name = int(o.fieldNames.indexOf("Name"));
    const int mail = int(o.fieldNames.indexOf("Mail"));
    EXPECT_EQ(cells[0][name], "Anna");
    EXPECT_EQ(cells[1][mail], "b@spam.de");
    EXPECT_EQ(cells[0].size(), o.fieldNames.size());
    // Blacklisted lines are passed over (case respected), later rows move on with them.
    o.blacklistPath = file("b.txt", "spam\r\nSPAM.DE\r\n");
    ASSERT_TRUE(preview(path, o, 2, &cells, &error));
    EXPECT_EQ(cells[1][name], "Carla");
    // A file of one line shows it even when the header is to be skipped.
    ASSERT_TRUE(preview(file("one.csv", "Solo;s@x.de"), o, 5, &cells, &error));
    EXPECT_EQ(cells[0][name], "Solo");
    EXPECT_EQ(cells[1][name], ""); // beyond the end
    // Reading that reaches the bad line says so.
    EXPECT_FALSE(preview(path, o, 20, &cells, &error));
    EXPECT_TRUE(error.contains("Nullbytes")) << error.toStdString();
}

TEST_F(TextImportTest, MappingFileByItsRules) {
    const QString path = ImportMapping::path(state.session);
    EXPECT_EQ(path, state.folders.dataFolder + "Database.imp");
    ImportMapping::Stored s = ImportMapping::read(path, 3);
    EXPECT_FALSE(s.present);
    EXPECT_EQ(s.columns, QStringList({"0", "0", "0"}));
    QString error;
    ASSERT_TRUE(ImportMapping::write(path, {"2", "0", " 5"}, "\t", &error));
    EXPECT_EQ(readBytes(path), "2\r\n0\r\n 5\r\n\r\n"); // a tab delimiter is an empty line
    s = ImportMapping::read(path, 4);
    EXPECT_TRUE(s.present);
    EXPECT_EQ(s.columns, QStringList({"2", "0", "5", "0"}));
    EXPECT_EQ(s.delimiter, "");
    // Garbage lines become 0 and are reported; the last line is never a column.
    writeBytes(path, QByteArray("7\r\nabc\r\n\x01\x02\r\n3\r\n;\r\n"));
    s = ImportMapping::read(path, 5);
    EXPECT_EQ(s.columns, QStringList({"7", "0", "0", "3", "0"}));
    EXPECT_EQ(s.delimiter, ";");
    EXPECT_EQ(s.problem, "Die Zuordnungsdatei \"" + path +
                             "\" enthält in Zeile 2 keine Spaltennummer. Solche Spalten stehen "
                             "auf 0.");
    writeBytes(path, "");
    EXPECT_FALSE(ImportMapping::read(path, 2).present);
}
