#include "exchange/ForeignTable.h"
#include "exchange/TableImport.h"

#include "exchange/ExchangeTestSupport.h"

#include <QFile>
extern "C" {
#include <paradox.h>
}

namespace {

class TableImportTest : public ImportFixture {
protected:
    // A dBase III table with a memo, written by python3-dbf in the given code page.
    QString writeDbase(const QString& name, const QString& codepage) {
        const QString path = folder.file(name);
        writeWithPython(R"(
import dbf, datetime, sys
t = dbf.Table(sys.argv[1], 'name C(20); plz N(5,0); betrag N(8,2); geb D; aktiv L; notiz M',
              codepage=sys.argv[2], dbf_type='db3')
t.open(dbf.READ_WRITE)
t.append(('  Müller ', 1234, 12.5, datetime.date(1970, 3, 4), True, 'Notiz mit ä und ß'))
t.append(('Gelöscht', 1, 1, None, False, ''))
t.append(("O'Brien; =1|2", None, None, None, False, ''))
dbf.delete(t[1])
t.close()
)",
                        {path, codepage});
        return path;
    }
};

} // namespace

TEST_F(TableImportTest, DbaseRecordsColumnsAndCodePages) {
    const QString cp850 = writeDbase("cp850.dbf", "cp850");
    EXPECT_EQ(quint8(readBytes(cp850).at(29)), 0x02); // the language driver of code page 850
    const ImportOptions o = optionsFor({{"Name", 1},
                                        {"PLZ", 2},
                                        {"Ort", 3},
                                        {"Land", 4},
                                        {"Tel", 5},
                                        {"Fax", 6},
                                        {"Kategorie", 9}});
    ScriptedMessages none;
    qint64 imported = 0;
    ASSERT_TRUE(ImportDataBase(cp850, o, table, none, feedback(), &imported));
    EXPECT_EQ(imported, 2); // the deleted record is not part of the table
    const QStringList fields = {"Name", "PLZ", "Ort",       "Land",
                                "Tel",  "Fax", "Kategorie", "Selected"};
    auto rows = records(fields);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0], QStringList({u8"Müller", "1234", "12,50", "04.03.1970", "True",
                                    u8"Notiz mit ä und ß", "", "1"}));
    EXPECT_EQ(rows[1], QStringList({"O'Brien; =1|2", "", "", "", "False", "", "", "1"}));
    EXPECT_EQ(statusTexts, QStringList({"", "Import: 2 von 3", ""}));
    EXPECT_EQ(busyDepth, 0);

    // Without a declared code page the texts are Windows-1252; with 1252 declared too.
    const QString cp1252 = writeDbase("cp1252.dbf", "cp1252");
    QByteArray bytes = readBytes(cp1252);
    bytes[29] = 0;
    const QString none0 = file("none.dbf", bytes);
    QFile::copy(folder.file("cp1252.dbt"), folder.file("none.dbt"));
    for (const QString& path : {cp1252, none0}) {
        ASSERT_TRUE(ImportDataBase(path, o, table, none, {}));
        rows = records(fields);
        EXPECT_EQ(rows[rows.size() - 2][0], u8"Müller");
        EXPECT_EQ(rows[rows.size() - 2][5], u8"Notiz mit ä und ß");
    }
}

TEST_F(TableImportTest, DbaseFromShapelibTools) {
    const QString path = folder.file("shp.dbf");
    auto run = [](const QStringList& args) {
        QProcess p;
        p.start(args.first(), args.mid(1));
        ASSERT_TRUE(p.waitForFinished(30000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    };
    run({"dbfcreate", path, "-s", "Name", "30", "-n", "Nummer", "6", "0"});
    run({"dbfadd", path, "Alpha", "7"});
    run({"dbfadd", path, "Beta", "42"});
    ScriptedMessages none;
    const ImportOptions o = optionsFor({{"Name", 1}, {"Vorname", 2}, {"Firma", 3}});
    ASSERT_TRUE(ImportDataBase(path, o, table, none, {}));
    EXPECT_EQ(records({"Name", "Vorname", "Firma"}),
              QList<QStringList>({{"Alpha", "7", ""}, {"Beta", "42", ""}}));
}

TEST_F(TableImportTest, ParadoxWrittenByPxlib) {
    const QString path = folder.file("adressen.db");
    {
        pxdoc_t* px = PX_new();
        ASSERT_NE(px, nullptr);
        auto* f = static_cast<pxfield_t*>(px->malloc(px, 5 * sizeof(pxfield_t), "fields"));
        const struct {
            const char* name;
            char type;
            int len;
        } defs[] = {{"Name", pxfAlpha, 30},
                    {"Nummer", pxfLong, 4},
                    {"Geboren", pxfDate, 4},
                    {"Aktiv", pxfLogical, 1},
                    {"Betrag", pxfCurrency, 8}};
        for (int i = 0; i < 5; ++i) {
            f[i].px_fname = PX_strdup(px, defs[i].name);
            f[i].px_ftype = defs[i].type;
            f[i].px_flen = defs[i].len;
            f[i].px_fdc = 0;
        }
        ASSERT_EQ(
            PX_create_file(px, f, 5, QFile::encodeName(path).constData(), pxfFileTypNonIndexDB), 0);
        ASSERT_EQ(PX_set_value(px, "codepage", 850), 0);
        // Names in code page 850: "ü" is 0x81, "ß" is 0xE1.
        const QByteArray names[] = {"M\x81ller  ", "Wei\xE1", "O'Brien|="};
        for (int r = 0; r < 3; ++r) {
            pxval_t* values[5];
            for (auto& v : values) {
                MAKE_PXVAL(px, v);
            }
            values[0]->type = pxfAlpha;
            values[0]->value.str.val = const_cast<char*>(names[r].constData());
            values[0]->value.str.len = int(names[r].size());
            values[1]->type = pxfLong;
            values[1]->value.lval = 100 + r;
            values[2]->type = pxfDate;
            values[2]->value.lval = PX_GregorianToSdn(1990 + r, 12, 24) - 1721425;
            values[3]->type = pxfLogical;
            values[3]->value.lval = r % 2;
            values[4]->type = pxfCurrency;
            values[4]->value.dval = 12.5 * r;
            if (r == 2)
                values[2]->isnull = 1;
            ASSERT_GE(PX_insert_record(px, values), 0);
            for (auto* v : values)
                FREE_PXVAL(px, v);
        }
        PX_close(px);
        PX_delete(px);
    }
    ScriptedMessages none;
    const ImportOptions o =
        optionsFor({{"Name", 1}, {"PLZ", 2}, {"Ort", 3}, {"Land", 4}, {"Tel", 5}});
    qint64 imported = 0;
    ASSERT_TRUE(ImportDataBase(path, o, table, none, {}, &imported));
    EXPECT_EQ(imported, 3);
    EXPECT_EQ(records({"Name", "PLZ", "Ort", "Land", "Tel"}),
              QList<QStringList>({{u8"Müller", "100", "24.12.1990", "False", "0,00"},
                                  {u8"Weiß", "101", "24.12.1991", "True", "12,50"},
                                  {"O'Brien|=", "102", "", "False", "25,00"}}));
}

TEST_F(TableImportTest, RefusedAndTruncatedFiles) {
    const ImportOptions o = optionsFor({{"Name", 1}});
    for (const char* name : {"garbage.dbf", "garbage.db", "empty.dbf"}) {
        const QString path =
            file(name, QString(name) == "empty.dbf" ? QByteArray() : QByteArray(3000, '\x07'));
        ScriptedMessages m;
        m.expectError(u8"Ungültiges Datenbankformat!");
        EXPECT_FALSE(ImportDataBase(path, o, table, m, {})) << name;
    }
    // Our own address tables are SQLite files named .DB: no Paradox table either.
    {
        ScriptedMessages m;
        m.expectError(u8"Ungültiges Datenbankformat!");
        EXPECT_FALSE(ImportDataBase(folder.file("Data/Database.DB"), o, table, m, {}));
    }
    EXPECT_EQ(table->recordCount(), 0);

    // A table cut off in its last record: the records before it stay.
    QByteArray bytes = readBytes(writeDbase("full.dbf", "cp850"));
    bytes.chop(20);
    const QString cut = file("cut.dbf", bytes);
    ScriptedMessages m;
    m.expectError(u8"Der Import wurde abgebrochen: Datensatz 3 kann nicht gelesen werden (Datei "
                  u8"verkürzt oder beschädigt).\r1 Datensatz wurde importiert.");
    qint64 imported = 0;
    EXPECT_FALSE(ImportDataBase(cut, o, table, m, {}, &imported));
    EXPECT_EQ(imported, 1);
    EXPECT_EQ(records({"Name"}), QList<QStringList>({{u8"Müller"}}));
}
