#include "exchange/BccExport.h"
#include "exchange/CsvExport.h"
#include "exchange/SpreadsheetExport.h"

#include "exchange/ExchangeTestSupport.h"
#include "exchange/ExportReaders.h"

#include <QDir>
#include <QFile>

namespace {

QByteArray cp1252(const char* utf8) {
    return TextFile::toWindows1252(QString::fromUtf8(utf8));
}

class ExportTest : public ImportFixture {
protected:
    // A small table: Selected, Mail of size 12 (22 wide), Name of size 3 (13 wide).
    void openSmallTable(bool withSelection = true) {
        QStringList pro = {idLine()};
        if (withSelection)
            pro << "Selected | ftBoolean | False | 0 |  |  |  | FALSE | Markiert";
        pro << "Mail | ftString | False | 12 |  |  |  | FALSE | E-Mail"
            << "Name | ftString | False | 3 |  |  |  | FALSE | Name";
        writeCustomDatabase(state, "Klein", pro);
        ScriptedMessages none;
        ASSERT_TRUE(OpenDatabase(state.session, "Klein.ini", none));
        table = state.session.currentTable();
    }
    bool csv(const CsvExportOptions& o, const QString& path, QString* error = nullptr) {
        QString e;
        const bool ok =
            CsvExport::write(*table, state.session.definition(), o, path, feedback(), &e);
        if (error)
            *error = e;
        return ok;
    }
    CsvExportOptions fields(std::initializer_list<const char*> names) const {
        CsvExportOptions o;
        for (const char* n : names)
            o.fields << table->fieldIndex(QLatin1String(n));
        return o;
    }
};

} // namespace

TEST_F(ExportTest, CsvPadsHeaderAndValuesAndEndsEveryLineWithTheDelimiter) {
    ASSERT_NO_FATAL_FAILURE(openSmallTable());
    addRecords(table, {{{"Selected", true}, {"Mail", "a@x.de"}, {"Name", QString(u8"Jörg Müller")}},
                       {{"Selected", false}, {"Mail", "b;c@x.de"}, {"Name", "Bo"}},
                       {{"Selected", true}, {"Mail", ""}, {"Name", "Ute"}}});
    const QString path = folder.file("out.csv");
    ASSERT_TRUE(csv(fields({"ID", "Selected", "Mail", "Name"}), path));
    EXPECT_EQ(readBytes(path),
              "ID        ;Selected  ;Mail                  ;Name         ;\r\n"
              "1         ;True      ;a@x.de                ;" +
                  cp1252("Jörg Müller  ") +
                  ";\r\n"
                  "2         ;False     ;b;c@x.de              ;Bo           ;\r\n"
                  "3         ;True      ;                      ;Ute          ;\r\n");
    EXPECT_EQ(busyDepth, 0);
    EXPECT_EQ(statusTexts.last(), "");

    // Trim: the header stays padded, values are unpadded; a delimiter of several
    // characters (a TAB among them) is used as typed and still ends every line. Only
    // the marked records of the view, in its order, with the view's filter applied.
    CsvExportOptions o = fields({"Name", "Selected"});
    o.delimiter = "\t|";
    o.trim = true;
    o.onlyMarked = true;
    ASSERT_TRUE(table->setIndexName(""));
    ASSERT_TRUE(table->setFilter("Name <> 'Bo'"));
    table->setFiltered(true);
    ASSERT_TRUE(table->locateId(3));
    ASSERT_TRUE(csv(o, path));
    EXPECT_EQ(readBytes(path), "Name         \t|Selected  \t|\r\n" + cp1252("Jörg Müller") +
                                   "\t|True\t|\r\nUte\t|True\t|\r\n");
    // The export moves neither the cursor nor the filter.
    EXPECT_EQ(table->currentId(), 3);
    EXPECT_TRUE(table->filtered());

    // Without a header; a value in a script Windows-1252 lacks turns the file to UTF-8
    // with a mark, nothing is lost.
    table->setFiltered(false);
    addRecords(table, {{{"Name", QString(u8"Ελένη")}}});
    o = fields({"Name"});
    o.header = false;
    o.trim = true;
    ASSERT_TRUE(csv(o, path));
    EXPECT_EQ(QString::fromUtf8(readBytes(path)),
              QString(u8"\uFEFFJörg Müller;\r\nBo;\r\nUte;\r\nΕλένη;\r\n"));
}

TEST_F(ExportTest, CsvOnlyMarkedWithoutSelectionColumnExportsAllAndFailuresLeaveNoFile) {
    ASSERT_NO_FATAL_FAILURE(openSmallTable(false));
    addRecords(table, {{{"Name", "A"}}, {{"Name", "B"}}});
    CsvExportOptions o = fields({"Name"});
    o.onlyMarked = true;
    o.trim = true;
    o.header = false;
    const QString path = folder.file("alle.csv");
    ASSERT_TRUE(csv(o, path));
    EXPECT_EQ(readBytes(path), "A;\r\nB;\r\n");

    // A folder that does not exist: a German message naming the file, nothing written.
    QString error;
    EXPECT_FALSE(csv(o, folder.file("fehlt/x.csv"), &error));
    EXPECT_TRUE(error.startsWith(u8"Die Datei ")) << error.toStdString();
    EXPECT_TRUE(error.contains("x.csv"));
    EXPECT_FALSE(QFileInfo::exists(folder.file("fehlt")));
    // No temporary file stays beside the target.
    EXPECT_EQ(QDir(folder.path()).entryList({"*alle*"}, QDir::Files), QStringList({"alle.csv"}));
}

TEST_F(ExportTest, XlsReadBackByFreexlKeepsTitlesCellsAndAllOfUnicode) {
    // Enough distinct strings and a long one, so the shared strings run over several
    // continuation records, one of them split inside a string. (freexl reads a string
    // split over two records, not one over three.)
    QList<QList<QPair<QString, QVariant>>> rows;
    const QString longText = QString(6000, QChar(0x03A9)) + u8"Ende";
    rows.append(
        {{"Mail", QString(u8"jörg@x.de")}, {"Name", longText}, {"Ort", QString(u8"東京 😀")}});
    rows.append({{"Mail", "b@x.de"}, {"Name", ""}, {"Ort", QString(u8"Köln")}, {"Selected", true}});
    for (int i = 0; i < 1500; ++i)
        rows.append({{"Name", QString(u8"Name ü %1").arg(i)}, {"Ort", QString(u8"Köln")}});
    addRecords(table, rows);
    const QList<ExportColumn> columns = {{table->fieldIndex("Ort"), "Ort"},
                                         {table->fieldIndex("Mail"), "E-Mail"},
                                         {table->fieldIndex("Name"), u8"Name äöü"},
                                         {table->fieldIndex("Selected"), "Markiert"}};
    const QString path = folder.file(u8"Export mit Ümlaut.xls");
    writeBytes(path, "alt");
    QString error;
    ASSERT_TRUE(SpreadsheetExport::write(SpreadsheetExport::Format::Xls, *table, columns, path,
                                         feedback(), &error))
        << error.toStdString();
    const ReadWorkbook book = readXls(path);
    EXPECT_EQ(book.sheets, QStringList({"Quillon_Export"}));
    ASSERT_EQ(book.rows.size(), 1503);
    EXPECT_EQ(book.rows[0], QStringList({"Ort", "E-Mail", u8"Name äöü", "Markiert"}));
    EXPECT_EQ(book.rows[1], QStringList({u8"東京 😀", u8"jörg@x.de", longText, "False"}));
    EXPECT_EQ(book.rows[2], QStringList({u8"Köln", "b@x.de", "", "True"}));
    EXPECT_EQ(book.rows[1502], QStringList({u8"Köln", "", u8"Name ü 1499", "False"}));
    EXPECT_EQ(busyDepth, 0);

    // The same through the modern workbook.
    const QString xlsx = folder.file("export.xlsx");
    ASSERT_TRUE(SpreadsheetExport::write(SpreadsheetExport::Format::Xlsx, *table, columns, xlsx,
                                         feedback(), &error))
        << error.toStdString();
    const ReadWorkbook modern = readXlsx(xlsx);
    EXPECT_EQ(modern.sheets, QStringList({"Quillon_Export"}));
    ASSERT_EQ(modern.rows.size(), 1503);
    EXPECT_EQ(modern.rows[0], book.rows[0]);
    EXPECT_EQ(modern.rows[1], book.rows[1]);
    EXPECT_EQ(modern.rows[1502], book.rows[1502]);

    // An export into a folder that does not exist says so and writes nothing.
    EXPECT_FALSE(SpreadsheetExport::write(SpreadsheetExport::Format::Xls, *table, columns,
                                          folder.file("fehlt/a.xls"), feedback(), &error));
    EXPECT_TRUE(error.contains("a.xls")) << error.toStdString();
    EXPECT_FALSE(SpreadsheetExport::write(SpreadsheetExport::Format::Xlsx, *table, columns,
                                          folder.file("fehlt/a.xlsx"), feedback(), &error));
    EXPECT_TRUE(error.contains("a.xlsx")) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(folder.file("fehlt")));
}

TEST_F(ExportTest, XlsRefusesMoreRowsThanItHolds) {
    qint64 n = 0;
    table->appendRecords([&](QVariantList& row) {
        if (n == SpreadsheetExport::maxRecords(SpreadsheetExport::Format::Xls) + 1)
            return false;
        row = QVariantList(table->fieldCount());
        row[table->fieldIndex("Name")] = QString::number(n++);
        return true;
    });
    table->refresh();
    const QString path = folder.file("gross.xls");
    QString error;
    EXPECT_FALSE(SpreadsheetExport::write(SpreadsheetExport::Format::Xls, *table,
                                          {{table->fieldIndex("Name"), "Name"}}, path, feedback(),
                                          &error));
    EXPECT_EQ(error, u8"Eine Excel 97-2003 Datei (.xls) fasst höchstens 65.535 Datensätze unter "
                     u8"der Titelzeile; die Tabelle zeigt 65.536. Es wurde nichts exportiert.");
    EXPECT_FALSE(QFileInfo::exists(path));
    // One fewer fits exactly.
    ASSERT_TRUE(table->setFilter("Name <> '0'"));
    table->setFiltered(true);
    ASSERT_TRUE(SpreadsheetExport::write(SpreadsheetExport::Format::Xls, *table,
                                         {{table->fieldIndex("Name"), "Name"}}, path, feedback(),
                                         &error))
        << error.toStdString();
    const ReadWorkbook book = readXls(path);
    ASSERT_EQ(book.rows.size(), 65536);
    EXPECT_EQ(book.rows[1], QStringList({"1"}));
    EXPECT_EQ(book.rows[65535], QStringList({"65535"}));
}

TEST_F(ExportTest, BccFilesHold245AddressesEachAndReplaceTheOldOnes) {
    const QString exportFolder = folder.file("Neuer Export/");
    auto list = [](int n) {
        QStringList a;
        for (int i = 1; i <= n; ++i)
            a << QString("a%1@x.de").arg(i);
        return a;
    };
    auto line = [](const QStringList& a, int from, int n) {
        return (a.mid(from, n).join("; ") + "\r\n").toLatin1();
    };
    QString error;
    // 0: no file, the folder is made.
    EXPECT_EQ(BccExport::writeFiles(exportFolder, "", &error), 0);
    EXPECT_TRUE(QFileInfo(exportFolder).isDir());
    EXPECT_TRUE(filesIn(exportFolder).isEmpty());

    const QStringList a491 = list(491);
    EXPECT_EQ(BccExport::writeFiles(exportFolder, a491.join("; "), &error), 3);
    EXPECT_EQ(filesIn(exportFolder), QStringList({"BCC001.bcc", "BCC002.bcc", "BCC003.bcc"}));
    EXPECT_EQ(readBytes(exportFolder + "BCC001.bcc"), line(a491, 0, 245));
    EXPECT_EQ(readBytes(exportFolder + "BCC002.bcc"), line(a491, 245, 245));
    EXPECT_EQ(readBytes(exportFolder + "BCC003.bcc"), "a491@x.de\r\n");

    // 245 give exactly one file; the old ones go, whatever the case of their ending, and
    // other files stay.
    writeBytes(exportFolder + "ALT.BCC", "x");
    writeBytes(exportFolder + "liste.txt", "x");
    const QStringList a245 = list(245);
    EXPECT_EQ(BccExport::writeFiles(exportFolder, a245.join("; "), &error), 1);
    EXPECT_EQ(filesIn(exportFolder), QStringList({"BCC001.bcc", "liste.txt"}));
    EXPECT_EQ(readBytes(exportFolder + "BCC001.bcc"), line(a245, 0, 245));

    // 246: the second file holds one address; "-1" counts as an address.
    EXPECT_EQ(BccExport::writeFiles(exportFolder, (list(245) << "-1").join("; "), &error), 2);
    EXPECT_EQ(readBytes(exportFolder + "BCC002.bcc"), "-1\r\n");

    EXPECT_EQ(BccExport::fileName(1000), "BCC1000.bcc");
    // A folder that cannot be made.
    writeBytes(folder.file("datei"), "x");
    EXPECT_EQ(BccExport::writeFiles(folder.file("datei/sub/"), "a@x.de", &error), -1);
    EXPECT_TRUE(error.contains("datei")) << error.toStdString();
}
