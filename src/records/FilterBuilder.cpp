#include "records/FilterBuilder.h"

#include "database/FilterExpression.h"

namespace {

QString nextIn(const QStringList& cycle, const QString& current) {
    const qsizetype i = cycle.indexOf(current);
    return cycle.at(i < 0 ? 0 : (i + 1) % cycle.size());
}

} // namespace

const QStringList& FilterBuilder::operators() {
    static const QStringList list = {QStringLiteral("="), QStringLiteral("<>"), QStringLiteral("<"),
                                     QStringLiteral(">")};
    return list;
}

const QStringList& FilterBuilder::connectors() {
    static const QStringList list = {QStringLiteral("keine zweite Bedingung"),
                                     QStringLiteral("und"), QStringLiteral("oder")};
    return list;
}

QString FilterBuilder::nextOperator(const QString& op) {
    return nextIn(operators(), op);
}

QString FilterBuilder::nextConnector(const QString& connector) {
    return nextIn(connectors(), connector);
}

QString FilterBuilder::connectorPart(const QString& connector) {
    if (connector == connectors().at(1))
        return QStringLiteral("AND");
    if (connector == connectors().at(2))
        return QStringLiteral("OR");
    return {};
}

QString FilterBuilder::valuePart(const QString& value, int fieldEntry) {
    const bool core = fieldEntry >= 0 && fieldEntry < coreFieldCount;
    return FilterExpression::quote(core ? value : value + QChar('*'));
}

QString FilterBuilder::cutPart(const QString& text) {
    if (text.size() <= maxPartLength)
        return text;
    QString cut = text.left(maxPartLength);
    // An even number of apostrophes in a cut quoted value would read as a complete,
    // shorter value; one character less leaves it open.
    if (cut.startsWith(QChar('\'')) && cut.count(QChar('\'')) % 2 == 0)
        cut.chop(1);
    return cut;
}

QString FilterBuilder::expression() const {
    QString joined;
    for (const QString& p : m_parts)
        joined += p + QChar(' ');
    return joined.trimmed();
}
