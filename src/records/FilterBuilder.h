#pragma once
#include <QString>
#include <QStringList>
#include <array>

// The filter expression of the filter dialog, built from two conditions. It holds
// seven parts — field 1, operator 1, value 1, connector, field 2, operator 2, value 2 —
// each at most 40 characters; the expression is the parts joined by blanks.
class FilterBuilder {
public:
    enum Part { Field1, Operator1, Value1, Connector, Field2, Operator2, Value2, PartCount };
    static constexpr int maxPartLength = 40;
    // The first entries of a field box are the core columns ID, Selected, Invalid and
    // LetztesMail: their values are compared whole.
    static constexpr int coreFieldCount = 4;

    static const QStringList& operators();  // "=", "<>", "<", ">"
    static const QStringList& connectors(); // "keine zweite Bedingung", "und", "oder"
    static QString noConnector() { return connectors().first(); }
    static QString nextOperator(const QString& op);
    static QString nextConnector(const QString& connector);
    // "" for "keine zweite Bedingung", "AND" for "und", "OR" for "oder".
    static QString connectorPart(const QString& connector);
    // 'value' for a core field (box entry below coreFieldCount), else 'value*' (every
    // value beginning with the text). Apostrophes are doubled.
    static QString valuePart(const QString& value, int fieldEntry);
    // Cuts a part to maxPartLength. A quoted value that loses its end is left
    // unterminated, so the engine refuses it instead of filtering on a shortened value.
    static QString cutPart(const QString& text);

    void setPart(Part part, const QString& text) { m_parts[part] = cutPart(text); }
    QString part(Part part) const { return m_parts[part]; }
    // Every part followed by one blank, the whole trimmed.
    QString expression() const;

private:
    std::array<QString, PartCount> m_parts;
};
