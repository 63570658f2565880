#include "compose/Merge.h"

#include "common/TextFile.h"
#include "compose/SalutationFormula.h"
#include "database/AddressTable.h"
#include "database/Catalogue.h"
#include "database/DatabaseTestSupport.h"
#include "database/TableDefinition.h"
#include "support/ScriptedMessages.h"
#include "support/TempProgramFolder.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <random>

namespace {

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

const QStringList standardColumns = {
    "ID",   "Selected", "Invalid", "LetztesMail",     "Mail", "Anrede", "Betreff",
    "Name", "Vorname",  "Firma",   "Ansprechpartner", "Str",  "PLZ",    "Ort",
    "Land", "Tel",      "Fax",     "Kategorie"};

// One record of a table with these columns, by column name.
class Record {
public:
    explicit Record(QStringList columns) : m_columns(std::move(columns)) {
        m_row.resize(m_columns.size());
    }
    Record& set(const QString& column, const QString& value) {
        m_row[m_columns.indexOf(column)] = value;
        return *this;
    }
    MergeColumns columns() const { return MergeColumns::forNames(m_columns); }
    MergeRecord read(SalutationFormula* formula = nullptr) const {
        MergeRecordReader reader(columns(), formula);
        reader.setDate(QDate(2009, 12, 24));
        return reader.read(m_row);
    }

private:
    QStringList m_columns;
    QVariantList m_row;
};

Record sample() {
    Record r(standardColumns + QStringList{"Spalte1", "Spalte12", "Spalte3"});
    r.set("Mail", "hans@example.de")
        .set("Anrede", "Herr")
        .set("Name", u("Müller"))
        .set("Vorname", "Hans")
        .set("Firma", "Muster GmbH")
        .set("Str", "Hauptstr. 1")
        .set("PLZ", "50667")
        .set("Ort", u("Köln"))
        .set("Spalte1", "eins")
        .set("Spalte12", u("zwölf"))
        .set("Spalte3", "drei");
    return r;
}

QString mergeLine(const QString& line, const Record& r) {
    return TextMailMerge({}, {line}, r.columns()).merge(r.read()).lines.first();
}

QString mergeHtml(const QString& text, const Record& r) {
    return mergeHtmlText(text, r.columns(), r.read());
}

} // namespace

TEST(Salutation, LookupRules) {
    const auto entries = SalutationFormula::parse({"Frau|Sehr geehrte Frau", "F|Hallo",
                                                   "Herr|Sehr geehrter Herr", "{LEER}|Guten Tag",
                                                   "|", "|Liebe", "  Familie  |  Liebe Familie  "});
    EXPECT_EQ(SalutationFormula::lookup(entries, "Frau"), "Hallo"); // the last match wins
    EXPECT_EQ(SalutationFormula::lookup(entries, "Herr Dr."), "Sehr geehrter Herr"); // whole
    EXPECT_EQ(SalutationFormula::lookup(entries, "herr"), "herr"); // exact case only
    EXPECT_EQ(SalutationFormula::lookup(entries, ""), "Guten Tag");
    EXPECT_EQ(SalutationFormula::lookup(entries, "Familie Schulz"), "Liebe Familie");
    // "|Liebe" has the key "Liebe" and an empty value, as the word rule reads it.
    EXPECT_EQ(SalutationFormula::lookup(entries, "Lieber Peter"), "");
    EXPECT_EQ(SalutationFormula::lookup(entries, "Hallo Peter"), "Hallo Peter");
    EXPECT_EQ(SalutationFormula::lookup(SalutationFormula::parse({"Herr|X"}), ""), "");
}

TEST(Salutation, FileIsReadAgainOnlyAfterAChangeAndMissingFileKeepsTheAnrede) {
    TempProgramFolder folder;
    const QString path = folder.file("Grussformel.txt");
    SalutationFormula formula(path);
    EXPECT_EQ(formula.lookup("Herr"), "Herr"); // no file

    TextFile::writeLines(path, {"Herr|Sehr geehrter Herr"});
    EXPECT_EQ(formula.lookup("Herr"), "Sehr geehrter Herr");

    // The editor's write applies to the very next lookup, even with the same size and
    // within the same time stamp.
    QList<SalutationFormula::Entry> rows = SalutationFormula::readRows(path);
    ASSERT_EQ(rows.size(), 8);
    rows[0].value = "Sehr geehrter Herr"; // same text, then a different one of same size
    rows[0].value = "Lieber Herr Herr Herr";
    ASSERT_TRUE(SalutationFormula::writeRows(path, rows, {}));
    EXPECT_EQ(formula.lookup("Herr"), "Lieber Herr Herr Herr");
    EXPECT_EQ(TextFile::readLines(path).size(), 8);

    // A change by someone else shows through size or time stamp.
    TextFile::writeLines(path, {"Herr|Hallo"});
    EXPECT_EQ(formula.lookup("Herr"), "Hallo");
    // An unchanged file (same size and time stamp) is not read again.
    const QDateTime stamp = QFileInfo(path).lastModified();
    TextFile::writeLines(path, {"Herr|Hullo"});
    auto setStamp = [&](const QDateTime& when) {
        QFile f(path);
        return f.open(QIODevice::ReadWrite) &&
               f.setFileTime(when, QFileDevice::FileModificationTime);
    };
    ASSERT_TRUE(setStamp(stamp));
    EXPECT_EQ(formula.lookup("Herr"), "Hallo");
    ASSERT_TRUE(setStamp(stamp.addSecs(-5)));
    EXPECT_EQ(formula.lookup("Herr"), "Hullo");
    QFile::remove(path);
    EXPECT_EQ(formula.lookup("Herr"), "Herr");
}

TEST(Salutation, EditorRowsKeepLinesBeyondTheEighth) {
    TempProgramFolder folder;
    const QString path = folder.file("Grussformel.txt");
    TextFile::writeLines(path, {"A|1", "B|2", "C|3"});
    QStringList extra;
    auto rows = SalutationFormula::readRows(path, &extra);
    EXPECT_EQ(rows[2].key, "C");
    EXPECT_TRUE(rows[3].key.isEmpty() && rows[7].value.isEmpty());
    ASSERT_TRUE(SalutationFormula::writeRows(path, rows, extra));
    EXPECT_EQ(TextFile::readLines(path),
              QStringList({"A|1", "B|2", "C|3", "|", "|", "|", "|", "|"}));

    TextFile::writeLines(path,
                         {"1|a", "2|b", "3|c", "4|d", "5|e", "6|f", "7|g", "8|h", "9|i", "10|j"});
    rows = SalutationFormula::readRows(path, &extra);
    EXPECT_EQ(extra, QStringList({"9|i", "10|j"}));
    rows[0] = {" Frau ", " Sehr geehrte Frau "};
    ASSERT_TRUE(SalutationFormula::writeRows(path, rows, extra));
    const QStringList written = TextFile::readLines(path);
    EXPECT_EQ(written.first(), "Frau|Sehr geehrte Frau");
    EXPECT_EQ(written.mid(8), QStringList({"9|i", "10|j"}));
}

TEST(Salutation, ShippedFormulaHasEightSensibleLines) {
    Q_INIT_RESOURCE(settings);
    QStringList lines;
    QFile file(":/shipped/Grussformel.txt");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    lines = TextFile::decode(file.readAll()).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 8);
    const auto entries = SalutationFormula::parse(lines);
    EXPECT_EQ(SalutationFormula::lookup(entries, "Herr"), "Sehr geehrter Herr");
    EXPECT_EQ(SalutationFormula::lookup(entries, "Frau"), "Sehr geehrte Frau");
    EXPECT_EQ(SalutationFormula::lookup(entries, "Herr Dr."), "Sehr geehrter Herr Dr.");
    EXPECT_EQ(SalutationFormula::lookup(entries, ""), "Sehr geehrte Damen und Herren");
}

TEST(TextMerge, FirstOccurrenceAnyCaseInItsOrder) {
    Record r = sample();
    EXPECT_EQ(mergeLine("$NAME und $name", r), u("Müller und $name"));
    EXPECT_EQ(mergeLine("$name und $NAME", r), u("Müller und $NAME"));
    EXPECT_EQ(mergeLine("$Anrede $Vorname $NAME, $plz $ORT", r), u("Herr Hans Müller, 50667 Köln"));
    // $STRASSE before $STR; a second $STRASSE meets the $STR step.
    EXPECT_EQ(mergeLine("$STRASSE / $STR", r), "Hauptstr. 1 / Hauptstr. 1");
    EXPECT_EQ(mergeLine("$STRASSE / $STRASSE", r), "Hauptstr. 1 / Hauptstr. 1ASSE");
    EXPECT_EQ(mergeLine("Datum: $DATUM", r), "Datum: 24.12.2009");
    // A value holding a placeholder is replaced again by a later step: $FIRMA comes before
    // $VORNAME in a body line but last in the subject.
    r.set("Firma", "Firma $vorname");
    const TextMailMerge mail("$FIRMA / $NAME", {"$FIRMA / $NAME"}, r.columns());
    const TextMailMerge::Result merged = mail.merge(r.read());
    EXPECT_EQ(merged.lines.first(), u("Firma Hans / Müller"));
    EXPECT_EQ(merged.subject, u("Firma $vorname / Müller"));
}

TEST(TextMerge, SpalteStepColumnsAndValues) {
    const Record r = sample();
    EXPECT_EQ(mergeLine("$SPALTE12 $SPALTE1 $SPALTE1 $SPALTE3", r), u("zwölf eins eins drei"));
    EXPECT_EQ(mergeLine("$Spalte3", r), "$Spalte3");                     // not in capitals
    EXPECT_EQ(mergeLine("$SPALTE99 $SPALTE2", r), "$SPALTE99 $SPALTE2"); // no such columns
    EXPECT_EQ(mergeHtml("$SPALTE3 $Spalte3 $SPALTE3", r), "drei $Spalte3 drei");
    // Without a column Spalte12, "$SPALTE12" is "$SPALTE1" followed by "2".
    Record few(standardColumns + QStringList{"Spalte1"});
    few.set("Spalte1", "eins");
    EXPECT_EQ(mergeLine("$SPALTE12", few), "eins2");

    // Optional columns the table lacks give nothing; required ones are named.
    Record bare({"ID", "Mail", "Anrede", "Name"});
    bare.set("Name", "Kurz").set("Mail", "k@example.de");
    EXPECT_EQ(mergeLine("$FIRMA|$NAME|$ORT|$MAIL", bare), "|Kurz||k@example.de");
    EXPECT_TRUE(bare.columns().missingRequiredMessage().isEmpty());
    EXPECT_EQ(MergeColumns::forNames({"ID", "Mail", "Name"}).missingRequiredMessage(),
              u("Die Tabelle hat keine Spalte \"Anrede\"; die Platzhalter können nicht ersetzt "
                "werden!"));

    // Values lose blanks and control characters at both ends; a subject stays one line.
    Record messy = sample();
    messy.set("Name", "\t  Lange \r\n").set("Firma", "Erste\r\nZweite");
    EXPECT_EQ(mergeLine("[$NAME]", messy), "[Lange]");
    const auto merged = TextMailMerge("$FIRMA", {"$FIRMA"}, messy.columns()).merge(messy.read());
    EXPECT_EQ(merged.subject, "Erste Zweite");
    EXPECT_EQ(merged.lines, QStringList({"Erste", "Zweite"})); // CR LF in the body
}

TEST(HtmlMerge, EveryOccurrenceExactCaseNoEscaping) {
    Record r = sample();
    r.set("Firma", "<b>A & B</b>");
    EXPECT_EQ(mergeHtml("<p>$NAME, $name, $NAME</p>", r), u("<p>Müller, $name, Müller</p>"));
    EXPECT_EQ(mergeHtml("$FIRMA", r), "<b>A & B</b>");
    EXPECT_EQ(mergeHtml("$STRASSE $STR $STRASSE", r), "Hauptstr. 1 Hauptstr. 1 Hauptstr. 1");
    // $NAME is replaced a second time after $FIRMA; a text line has no such step.
    r.set("Firma", "Firma $NAME");
    EXPECT_EQ(mergeHtml("$FIRMA", r), u("Firma Müller"));
    EXPECT_EQ(mergeLine("$FIRMA", r), "Firma $NAME");

    // In the mail the HTML body gets the values as HTML text, in elements and in
    // attributes alike; subject and plain body keep them as they are.
    r.set("Firma", "<b>A & B</b>").set("Name", "O'Neill \"X\"");
    const auto mail = HtmlMailMerge("$FIRMA", "<a title='$NAME' href=\"x?$NAME\">$FIRMA</a>",
                                    "$FIRMA $NAME", r.columns())
                          .merge(r.read());
    EXPECT_EQ(mail.html, "<a title='O&#39;Neill &quot;X&quot;' href=\"x?O&#39;Neill "
                         "&quot;X&quot;\">&lt;b&gt;A &amp; B&lt;/b&gt;</a>");
    EXPECT_EQ(mail.subject, "<b>A & B</b>");
    EXPECT_EQ(mail.plain, "<b>A & B</b> O'Neill \"X\"");
}

TEST(Merge, SalutationAndRealTableRecord) {
    TempProgramFolder folder;
    AppState state;
    layOutStandardDatabase(state, folder.path());
    ScriptedMessages none;
    ASSERT_TRUE(OpenDatabase(state.session, "Database.ini", none));
    AddressTable* table = state.session.currentTable();
    ASSERT_NE(table, nullptr);
    const char* rows[][3] = {{"Herr", "Schulz", "a@example.de"},
                             {"", "Weiß", "b@example.de"},
                             {"Frau Dr.", "O'Neill", "c@example.de"}};
    for (const auto& row : rows) {
        table->append();
        table->setString("Anrede", u(row[0]));
        table->setString("Name", u(row[1]));
        table->setString("Mail", u(row[2]));
        ASSERT_TRUE(table->post());
    }
    const QString formulaPath = state.folders.programFolder + SalutationFormula::fileName();
    TextFile::writeLines(formulaPath, {"Herr|Sehr geehrter Herr", "Frau|Sehr geehrte Frau",
                                       "Frau Dr.|Sehr geehrte Frau Dr.", "{LEER}|Hallo"});
    SalutationFormula formula(formulaPath);
    MergeRecordReader reader(MergeColumns::forTable(*table), &formula);
    const TextMailMerge mail("Post für $NAME", {"$ANREDE $NAME,", "Ihre Adresse: $MAIL"},
                             reader.columns());
    QStringList greetings;
    for (table->first(); !table->eof(); table->next()) {
        const auto merged = mail.merge(reader.readCurrent(*table));
        greetings << merged.lines.first();
        if (table->recNo() == 0) {
            // A change in the editor reaches the next record.
            auto edited = SalutationFormula::readRows(formulaPath);
            edited[3].value = "Guten Tag";
            ASSERT_TRUE(SalutationFormula::writeRows(formulaPath, edited, {}));
        }
    }
    EXPECT_EQ(greetings, QStringList({"Sehr geehrter Herr Schulz,", u("Guten Tag Weiß,"),
                                      "Sehr geehrte Frau Dr. O'Neill,"}));
}

TEST(Merge, FastWayEqualsTheStepByStepRules) {
    // Texts built from placeholder pieces, case variants and "$" in odd places, merged
    // both ways, with values that do and do not bring a "$" of their own.
    const QStringList pieces = {
        "$ANREDE",  "$name",     "$NAME",    "$Vorname", "$STRASSE", "$STR",   "$str",
        "$SPALTE1", "$SPALTE12", "$SPALTE3", "$Spalte3", "$DATUM",   "$FIRMA", "$ANSPRECHPARTNER",
        "$LAND",    "$",         "$$",       " ",        "Text ",    "ASSE",   "12",
        "<p>",      u("ä€"),     "\r\n"};
    std::mt19937 rng(12345);
    Record plain = sample();
    Record dollars = sample();
    dollars.set("Firma", "$NAME & $str").set("Vorname", "$SPALTE1").set("Spalte12", "$LAND");
    int planned = 0;
    for (int round = 0; round < 3000; ++round) {
        QString text;
        const int n = 1 + int(rng() % 12);
        for (int i = 0; i < n; ++i) {
            text += pieces[int(rng() % pieces.size())];
            // Mostly far apart (the prepared way), sometimes close (the step-by-step way).
            text += QString(rng() % 4 ? 16 + int(rng() % 8) : int(rng() % 6), QChar('.'));
        }
        for (const Record* r : {&plain, &dollars}) {
            const MergeColumns columns = r->columns();
            const MergeRecord record = r->read();
            for (auto mode :
                 {MergeText::Mode::Subject, MergeText::Mode::Line, MergeText::Mode::Html}) {
                const MergeText prepared(text, mode, columns);
                ASSERT_EQ(prepared.merge(record),
                          MergeText::mergeStepByStep(text, mode, columns, record))
                    << text.toStdString() << " mode " << int(mode);
            }
        }
        bool apart = text.contains(QChar('$'));
        for (qsizetype at = text.indexOf(QChar('$')), next; at >= 0; at = next) {
            next = text.indexOf(QChar('$'), at + 1);
            apart = apart && (next < 0 || next - at >= 16);
        }
        planned += apart;
    }
    EXPECT_GT(planned, 300); // both ways are compared often
}

TEST(Merge, PlaceholderListAndMessage) {
    Q_INIT_RESOURCE(database);
    QFile file(":/shipped/Data/Database.pro");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList pro = TextFile::decode(file.readAll()).split(QRegularExpression("\r?\n"));
    pro.append("Spalte1         | ftString   | False      |40     |                 |              "
               "   |           | FALSE       |   ");
    const QStringList list = Merge::placeholderList(TableDefinition::fromLines(pro));
    EXPECT_EQ(list.first(), u("$MAIL für E-Mail"));
    EXPECT_TRUE(list.contains(u("$STR für Straße")));
    EXPECT_TRUE(list.contains("$SPALTE1")); // no caption: no " für "
    EXPECT_EQ(list.last(), "$DATUM");
    EXPECT_EQ(list.size(), 16); // Mail to Kategorie, Spalte1, $DATUM
    const QString message = Merge::placeholderMessage(TableDefinition::fromLines(pro));
    EXPECT_TRUE(message.startsWith(
        u("Folgende Platzhalter können Sie in Ihrer Vorlage benutzen!\rDiese werden dann von "
          "Quillon während des Versandes ersetzt!\r\r$MAIL für E-Mail\r$ANREDE für Anrede\r")));
    EXPECT_TRUE(message.endsWith(u("$SPALTE1\r$DATUM für aktuelles Datum\r")));
    EXPECT_EQ(message.count("$DATUM"), 1);
}

TEST(TextMerge, LineBreaksInValuesBecomeBodyLinesOrBlanks) {
    Record r = sample();
    r.set("Name", u("Wagen\rrücklauf")).set("Str", "Weg 1\nHof 2\r\nTor 3");
    const TextMailMerge mail("Ihr $NAME ($STR)", {"Betrifft: $NAME!", "$STRASSE", "Ende"},
                             r.columns());
    const TextMailMerge::Result merged = mail.merge(r.read());
    EXPECT_EQ(merged.subject, u("Ihr Wagen rücklauf (Weg 1 Hof 2 Tor 3)"));
    EXPECT_EQ(merged.lines,
              QStringList({"Betrifft: Wagen", u("rücklauf!"), "Weg 1", "Hof 2", "Tor 3", "Ende"}));
    // An HTML text gets CR LF for every line break, its own ones included.
    EXPECT_EQ(mergeHtml("<p>$NAME</p>\n<p>$ORT</p>", r),
              u("<p>Wagen\r\nrücklauf</p>\r\n<p>Köln</p>"));
    EXPECT_EQ(mergeHtmlText("$NAME", r.columns(), r.read(), true), u("Wagen rücklauf"));
}
