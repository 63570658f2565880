#pragma once
#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <array>
#include <functional>
#include <vector>

struct TableDefinition;

class AddressTable;
class SalutationFormula;

// The placeholder merge of serial e-mails. The merge works on Unicode text; the
// character set of the account decides only how the finished message is encoded
// (see MailCharset.h), so a value is never converted twice.
namespace Merge {

enum Field : int {
    Anrede,
    Name,
    Vorname,
    Ansprechpartner,
    Land,
    Kategorie,
    Betreff,
    Strasse,
    Str,
    Plz,
    Ort,
    Tel,
    Fax,
    Mail,
    Datum,
    Firma,
    AbmeldeLink, // the one-click unsubscribe link; set by the sender, empty without a web kit
    FieldCount
};

QString placeholder(Field field); // "$ANREDE", ...
// "Anrede", ...; "Str" for $STRASSE and $STR; empty for $DATUM and $ABMELDELINK
QString columnName(Field field);
bool isRequired(Field field); // Anrede, Name and Mail must exist in the table

// The orders in which the placeholders are replaced.
const std::vector<Field>& subjectOrder();
const std::vector<Field>& lineOrder();
const std::vector<Field>& htmlOrder(); // $NAME twice

// A value as the merge inserts it: leading and trailing blanks and control characters
// removed.
QString cleanValue(const QString& text);
// Today's date in German short form, e.g. "24.12.2009".
QString germanDate(const QDate& date);

// The placeholder list: "$" + column name in capitals, followed by " für " and the
// caption when there is one, for the target fields (the columns from Mail on); then
// "$DATUM". With unsubscribeLink (the database has a web kit) "$ABMELDELINK" comes
// before "$DATUM".
QStringList placeholderList(const TableDefinition& definition, bool unsubscribeLink = false);
// The text of "Platzhalter anzeigen".
QString placeholderMessage(const TableDefinition& definition, bool unsubscribeLink = false);

} // namespace Merge

// Where the placeholders' columns are in one table; found once per table.
class MergeColumns {
public:
    struct Spalte {
        int number;          // n of "Spalte" + n, 1..150
        int column;          // position in the table
        QString placeholder; // "$SPALTE" + n
    };

    MergeColumns();
    static MergeColumns forTable(const AddressTable& table);
    // Column names in table order (the position of a name is its column index).
    static MergeColumns forNames(const QStringList& columnNames);

    int column(Merge::Field field) const { return m_columns[field]; }
    // The existing "Spalte" + n columns, n descending.
    const std::vector<Spalte>& spalten() const { return m_spalten; }
    // A German message naming a required column the table lacks; empty when none lacks.
    QString missingRequiredMessage() const;

private:
    std::array<int, Merge::FieldCount> m_columns;
    std::vector<Spalte> m_spalten;
};

// The values of one record, read once before any replacement.
struct MergeRecord {
    std::array<QString, Merge::FieldCount> values; // $ANREDE already through the formula
    std::vector<QString> spalten;                  // aligned with MergeColumns::spalten()
    bool hasDollar = false; // a value holds "$" and may be replaced again by a later step

    // A value that does not come from a column ($ABMELDELINK).
    void set(Merge::Field field, const QString& value) {
        values[field] = value;
        hasDollar = hasDollar || value.contains(QLatin1Char('$'));
    }
};

// Reads the merge values of records.
class MergeRecordReader {
public:
    // formula may be null: the Anrede then stays as it is.
    MergeRecordReader(MergeColumns columns, SalutationFormula* formula);

    const MergeColumns& columns() const { return m_columns; }
    // The date for $DATUM; today's when not set.
    void setDate(const QDate& date) { m_fixedDate = date; }

    // valueAt(column position) gives the text of that column.
    MergeRecord read(const std::function<QString(int)>& valueAt);
    MergeRecord readCurrent(const AddressTable& table); // the table's current record
    MergeRecord read(const QVariantList& row);          // one value per column

private:
    QString dateText();

    MergeColumns m_columns;
    SalutationFormula* m_formula;
    QDate m_fixedDate;
    QDate m_lastDate;
    QString m_lastDateText;
};

// One text prepared for merging many records. Text mode: each placeholder step
// replaces its first occurrence, letters in any case. HTML mode: each step replaces
// every occurrence in exact case. Both end with the $SPALTE step (exact case, from
// column 150 down). Values are inserted as they are.
class MergeText {
public:
    enum class Mode { Subject, Line, Html };

    MergeText() = default;
    MergeText(const QString& text, Mode mode, const MergeColumns& columns);

    // singleLine turns control characters of the result into blanks (for a subject,
    // which becomes a header line).
    QString merge(const MergeRecord& record, bool singleLine = false) const;

    // The replacement steps one after another, as the rules state them. merge() gives
    // the same result faster when no value holds "$" and no two "$" of the text stand
    // close together; otherwise it takes this way.
    static QString mergeStepByStep(const QString& text, Mode mode, const MergeColumns& columns,
                                   const MergeRecord& record);

private:
    struct Token {
        qsizetype start;
        qsizetype length;
        int value; // Merge::Field, or FieldCount + index into the spalten
    };

    QString m_text;
    Mode m_mode = Mode::Line;
    MergeColumns m_columns;
    bool m_hasDollar = false;
    bool m_planned = false;
    std::vector<Token> m_tokens; // replaced stretches of the text, in text order
};

// The text mail: subject and body lines.
class TextMailMerge {
public:
    struct Result {
        QString subject;
        QStringList lines;
    };

    TextMailMerge(const QString& subject, const QStringList& lines, const MergeColumns& columns);
    Result merge(const MergeRecord& record) const;

private:
    MergeText m_subject;
    std::vector<MergeText> m_lines;
};

// The texts of an HTML mail, prepared once for merging many records. The values go
// into the HTML body escaped as HTML text, into the subject and the plain body as
// they are.
class HtmlMailMerge {
public:
    struct Result {
        QString subject; // one line
        QString html;    // line breaks as CR LF
        QString plain;
    };
    HtmlMailMerge(const QString& subject, const QString& html, const QString& plain,
                  const MergeColumns& columns);
    Result merge(const MergeRecord& record) const;

private:
    MergeText m_subject;
    MergeText m_html;
    MergeText m_plain;
};

// One text of an HTML mail (HTML body, plain body or subject) for one record.
QString mergeHtmlText(const QString& text, const MergeColumns& columns, const MergeRecord& record,
                      bool singleLine = false);
