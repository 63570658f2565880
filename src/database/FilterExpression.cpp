#include "database/FilterExpression.h"

#include "database/SqlFunctions.h"
#include "database/SqlSupport.h"

#include <QDate>
#include <QTime>

namespace {

enum class Tok { End, Name, String, Number, Op, LParen, RParen, And, Or, Not, True, False };

struct Token {
    Tok kind = Tok::End;
    QString text;
    int pos = 0; // 1-based
};

using SqlSupport::quoteIdent;

class Parser {
public:
    Parser(const QString& text, const QList<ColumnDef>& columns)
        : m_text(text), m_columns(columns) {}

    bool run(RecordCondition* out, QString* error) {
        if (!tokenize())
            return fail(error);
        if (m_tokens.size() == 1) { // only End
            *out = {};
            return true;
        }
        QString sql;
        if (!parseExpr(&sql))
            return fail(error);
        if (peek().kind != Tok::End) {
            setError(peek().pos, QStringLiteral("unerwartetes \"%1\"").arg(peek().text));
            return fail(error);
        }
        out->sql = sql;
        out->params = m_params;
        return true;
    }

private:
    bool fail(QString* error) {
        if (error)
            *error = QStringLiteral("Ungültiger Filterausdruck an Position %1: %2")
                         .arg(m_errorPos)
                         .arg(m_errorText);
        return false;
    }
    void setError(int pos, const QString& text) {
        if (m_errorText.isEmpty()) {
            m_errorPos = pos;
            m_errorText = text;
        }
    }

    static bool isNameStart(QChar c) { return c.isLetter() || c == QChar('_'); }
    static bool isNameChar(QChar c) { return c.isLetterOrNumber() || c == QChar('_'); }

    bool tokenize() {
        const int n = int(m_text.size());
        int i = 0;
        while (i < n) {
            const QChar c = m_text.at(i);
            const int pos = i + 1;
            if (c.isSpace()) {
                ++i;
            } else if (c == QChar('(')) {
                m_tokens.append({Tok::LParen, QStringLiteral("("), pos});
                ++i;
            } else if (c == QChar(')')) {
                m_tokens.append({Tok::RParen, QStringLiteral(")"), pos});
                ++i;
            } else if (c == QChar('\'')) {
                QString value;
                ++i;
                bool closed = false;
                while (i < n) {
                    if (m_text.at(i) == QChar('\'')) {
                        if (i + 1 < n && m_text.at(i + 1) == QChar('\'')) {
                            value += QChar('\'');
                            i += 2;
                            continue;
                        }
                        closed = true;
                        ++i;
                        break;
                    }
                    value += m_text.at(i++);
                }
                if (!closed) {
                    setError(pos, QStringLiteral("Der Text in Hochkommas ist nicht abgeschlossen"));
                    return false;
                }
                m_tokens.append({Tok::String, value, pos});
            } else if (c == QChar('[')) {
                const auto close = m_text.indexOf(QChar(']'), i + 1);
                if (close < 0) {
                    setError(pos, QStringLiteral("\"]\" fehlt"));
                    return false;
                }
                m_tokens.append({Tok::Name, m_text.mid(i + 1, close - i - 1).trimmed(), pos});
                i = int(close) + 1;
            } else if (c == QChar('=')) {
                m_tokens.append({Tok::Op, QStringLiteral("="), pos});
                ++i;
            } else if (c == QChar('<') || c == QChar('>') || c == QChar('!')) {
                QString op(c);
                if (i + 1 < n && (m_text.at(i + 1) == QChar('=') ||
                                  (c == QChar('<') && m_text.at(i + 1) == QChar('>'))))
                    op += m_text.at(i + 1);
                if (op == QStringLiteral("!")) {
                    setError(pos, QStringLiteral("unbekannter Operator \"!\""));
                    return false;
                }
                if (op == QStringLiteral("!="))
                    op = QStringLiteral("<>");
                m_tokens.append({Tok::Op, op, pos});
                i += op.size() == 1 ? 1 : 2;
            } else if (c.isDigit() || ((c == QChar('-') || c == QChar('+')) && i + 1 < n &&
                                       m_text.at(i + 1).isDigit())) {
                int j = i + 1;
                while (j < n && (m_text.at(j).isDigit() || m_text.at(j) == QChar('.') ||
                                 m_text.at(j) == QChar(',')))
                    ++j;
                m_tokens.append({Tok::Number, m_text.mid(i, j - i), pos});
                i = j;
            } else if (isNameStart(c)) {
                int j = i + 1;
                while (j < n && isNameChar(m_text.at(j)))
                    ++j;
                const QString word = m_text.mid(i, j - i);
                const QString upper = word.toUpper();
                Tok kind = Tok::Name;
                if (upper == QStringLiteral("AND"))
                    kind = Tok::And;
                else if (upper == QStringLiteral("OR"))
                    kind = Tok::Or;
                else if (upper == QStringLiteral("NOT"))
                    kind = Tok::Not;
                m_tokens.append({kind, word, pos});
                i = j;
            } else {
                setError(pos, QStringLiteral("unerwartetes Zeichen \"%1\"").arg(c));
                return false;
            }
        }
        m_tokens.append({Tok::End, QStringLiteral("Ende"), n + 1});
        return true;
    }

    const Token& peek() const { return m_tokens.at(m_index); }
    Token take() { return m_tokens.at(m_index++); }

    bool parseExpr(QString* sql) {
        QString left;
        if (!parseTerm(&left))
            return false;
        while (peek().kind == Tok::Or) {
            take();
            QString right;
            if (!parseTerm(&right))
                return false;
            left = left + QStringLiteral(" OR ") + right;
        }
        *sql = QStringLiteral("(") + left + QStringLiteral(")");
        return true;
    }

    bool parseTerm(QString* sql) {
        QString left;
        if (!parseFactor(&left))
            return false;
        while (peek().kind == Tok::And) {
            take();
            QString right;
            if (!parseFactor(&right))
                return false;
            left = left + QStringLiteral(" AND ") + right;
        }
        *sql = left;
        return true;
    }

    // Each NOT and each parenthesis nests the SQL one level deeper; SQLite's parser has
    // a fixed depth, so the parser stops well before it (and before its own stack).
    class Nesting {
    public:
        explicit Nesting(int& depth) : m_depth(++depth) {}
        ~Nesting() { --m_depth; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;

    private:
        int& m_depth;
    };

    bool parseFactor(QString* sql) {
        const Token t = peek();
        if (t.kind == Tok::Not || t.kind == Tok::LParen) {
            if (m_depth >= FilterExpression::maxNesting) {
                setError(t.pos, QStringLiteral("Der Ausdruck ist zu tief verschachtelt "
                                               "(höchstens ") +
                                    QString::number(FilterExpression::maxNesting) +
                                    QStringLiteral(" Ebenen aus Klammern und NOT)"));
                return false;
            }
        }
        if (t.kind == Tok::Not) {
            const Nesting nesting(m_depth);
            take();
            QString inner;
            if (!parseFactor(&inner))
                return false;
            *sql = QStringLiteral("NOT (") + inner + QStringLiteral(")");
            return true;
        }
        if (t.kind == Tok::LParen) {
            const Nesting nesting(m_depth);
            take();
            QString inner;
            if (!parseExpr(&inner))
                return false;
            if (peek().kind != Tok::RParen) {
                setError(peek().pos, QStringLiteral("\")\" erwartet"));
                return false;
            }
            take();
            *sql = inner;
            return true;
        }
        return parseComparison(sql);
    }

    const ColumnDef* column(const QString& name) const {
        for (const ColumnDef& c : m_columns)
            if (c.name.compare(name, Qt::CaseInsensitive) == 0)
                return &c;
        return nullptr;
    }

    bool parseComparison(QString* sql) {
        if (++m_comparisons > FilterExpression::maxComparisons) {
            setError(peek().pos, QStringLiteral("Der Ausdruck hat zu viele Vergleiche "
                                                "(höchstens ") +
                                     QString::number(FilterExpression::maxComparisons) +
                                     QChar(')'));
            return false;
        }
        const Token field = take();
        if (field.kind != Tok::Name) {
            setError(field.pos,
                     field.kind == Tok::End
                         ? QStringLiteral("Feldname erwartet")
                         : QStringLiteral("Feldname erwartet statt \"%1\"").arg(field.text));
            return false;
        }
        const ColumnDef* col = column(field.text);
        if (!col) {
            setError(field.pos, QStringLiteral("unbekanntes Feld \"%1\"").arg(field.text));
            return false;
        }
        const Token op = take();
        if (op.kind != Tok::Op) {
            setError(op.pos, QStringLiteral("Vergleichsoperator (=, <>, <, >, <=, >=) erwartet"));
            return false;
        }
        const Token value = take();
        if (value.kind != Tok::String && value.kind != Tok::Number && value.kind != Tok::Name) {
            setError(value.pos, QStringLiteral("Wert erwartet"));
            return false;
        }
        if (value.kind == Tok::Name && value.text.toUpper() != QStringLiteral("TRUE") &&
            value.text.toUpper() != QStringLiteral("FALSE")) {
            setError(value.pos,
                     QStringLiteral("Wert in Hochkommas erwartet statt \"%1\"").arg(value.text));
            return false;
        }
        return comparison(*col, op.text, value, sql);
    }

    QString bind(const QVariant& v) {
        m_params.append(v);
        return QStringLiteral("?");
    }

    bool comparison(const ColumnDef& col, const QString& op, const Token& value, QString* sql) {
        const QString f = quoteIdent(col.name);
        const QString text = value.text;
        switch (col.type) {
        case FieldType::Boolean: {
            const QString u = text.trimmed().toUpper();
            int b;
            if (u == QStringLiteral("TRUE") || u == QStringLiteral("1"))
                b = 1;
            else if (u == QStringLiteral("FALSE") || u == QStringLiteral("0") || u.isEmpty())
                b = 0;
            else {
                setError(value.pos,
                         QStringLiteral("\"%1\" ist kein Wahrheitswert ('True' oder 'False')")
                             .arg(text));
                return false;
            }
            *sql = QStringLiteral("COALESCE(") + f + QStringLiteral(",0) ") + op + QChar(' ') +
                   bind(b);
            return true;
        }
        case FieldType::Integer:
        case FieldType::AutoInc:
        case FieldType::Float:
        case FieldType::Currency: {
            if (text.endsWith(QChar('*')) &&
                (op == QStringLiteral("=") || op == QStringLiteral("<>"))) {
                *sql = QLatin1String(SqlFunctions::prefixFunction) + QStringLiteral("(CAST(") + f +
                       QStringLiteral(" AS TEXT), ") + bind(text.chopped(1)) +
                       QStringLiteral(") ") + op + QStringLiteral(" 1");
                return true;
            }
            if (text.trimmed().isEmpty()) {
                *sql = emptyCheck(f, op, value);
                return !sql->isEmpty();
            }
            QString t = text.trimmed();
            t.replace(QChar(','), QChar('.'));
            bool ok = false;
            const double d = t.toDouble(&ok);
            if (!ok) {
                setError(value.pos,
                         QStringLiteral("\"%1\" ist keine Zahl (Feld %2)").arg(text, col.name));
                return false;
            }
            *sql = QStringLiteral("COALESCE(") + f + QChar(' ') + op + QChar(' ') + bind(d) +
                   QStringLiteral(", 0)");
            return true;
        }
        case FieldType::Date:
        case FieldType::Time: {
            if (text.trimmed().isEmpty()) {
                *sql = emptyCheck(f, op, value);
                return !sql->isEmpty();
            }
            const QString stored = col.type == FieldType::Date ? SqlFunctions::dateToStorage(text)
                                                               : SqlFunctions::timeToStorage(text);
            if (stored.isEmpty()) {
                setError(value.pos,
                         col.type == FieldType::Date
                             ? QStringLiteral("\"%1\" ist kein Datum (TT.MM.JJJJ)").arg(text)
                             : QStringLiteral("\"%1\" ist keine Uhrzeit (HH:MM)").arg(text));
                return false;
            }
            *sql = QStringLiteral("COALESCE(") + f + QChar(' ') + op + QChar(' ') + bind(stored) +
                   QStringLiteral(", 0)");
            return true;
        }
        default:
            break;
        }
        // Text columns.
        if (text.endsWith(QChar('*')) &&
            (op == QStringLiteral("=") || op == QStringLiteral("<>"))) {
            *sql = QLatin1String(SqlFunctions::prefixFunction) + QChar('(') + f +
                   QStringLiteral(", ") + bind(text.chopped(1)) + QStringLiteral(") ") + op +
                   QStringLiteral(" 1");
            return true;
        }
        if (text.isEmpty() && (op == QStringLiteral("=") || op == QStringLiteral("<>"))) {
            *sql = emptyCheck(f, op, value);
            return true;
        }
        // An empty field compares as empty text, so NOT never meets an unknown value.
        *sql = QStringLiteral("COALESCE(") + f + QStringLiteral(",'') ") + op + QChar(' ') +
               bind(text) + QStringLiteral(" COLLATE ") + QLatin1String(SqlFunctions::collation);
        return true;
    }

    // Comparison with an empty value: = means "has no value", <> "has a value".
    QString emptyCheck(const QString& f, const QString& op, const Token& value) {
        if (op == QStringLiteral("="))
            return QChar('(') + f + QStringLiteral(" IS NULL OR ") + f + QStringLiteral(" = '')");
        if (op == QStringLiteral("<>"))
            return QChar('(') + f + QStringLiteral(" IS NOT NULL AND ") + f +
                   QStringLiteral(" <> '')");
        setError(value.pos,
                 QStringLiteral("ein leerer Wert kann nur mit = oder <> verglichen werden"));
        return {};
    }

    QString m_text;
    const QList<ColumnDef>& m_columns;
    QList<Token> m_tokens;
    int m_index = 0;
    QVariantList m_params;
    int m_depth = 0;
    int m_comparisons = 0;
    int m_errorPos = 0;
    QString m_errorText;
};

} // namespace

namespace FilterExpression {

bool parse(const QString& expression, const QList<ColumnDef>& columns, RecordCondition* out,
           QString* error) {
    Parser parser(expression, columns);
    RecordCondition result;
    if (!parser.run(&result, error))
        return false;
    *out = result;
    return true;
}

QString quote(const QString& value) {
    QString q = value;
    q.replace(QChar('\''), QStringLiteral("''"));
    return QChar('\'') + q + QChar('\'');
}

} // namespace FilterExpression
