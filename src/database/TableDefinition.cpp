#include "database/TableDefinition.h"

namespace {

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

TableDefinition TableDefinition::fromLines(const QStringList& proLines, const QStringList& filLines,
                                           const QStringList& cbLines) {
    TableDefinition d;
    d.header = proLines.isEmpty() ? QString() : proLines.first();
    d.fields = parseFieldDefinitions(proLines);
    d.viewFilters = parseViewFilters(filLines);
    d.choiceLists = parseChoiceLists(cbLines);
    return d;
}

bool TableDefinition::showsCaptions() const {
    return header.contains(QStringLiteral("ANZEIGENAME"));
}

QList<FieldDefinition> TableDefinition::targetFields() const {
    return fields.mid(4);
}

const FieldDefinition* TableDefinition::field(const QString& name) const {
    const FieldDefinition* found = nullptr;
    for (const FieldDefinition& f : fields)
        if (sameName(f.name, name))
            found = &f;
    return found;
}

QStringList TableDefinition::choicesFor(const QString& fieldName) const {
    QStringList result;
    for (const ChoiceList& c : choiceLists)
        if (sameName(c.fieldName, fieldName))
            result = c.choices;
    return result;
}

QStringList TableDefinition::booleanFields() const {
    QStringList names;
    for (const FieldDefinition& f : fields)
        if (f.typeName == QStringLiteral("ftBoolean"))
            names.append(f.name);
    return names;
}

QString TableDefinition::sortIndexFor(const QString& fieldName) const {
    for (const FieldDefinition& f : fields)
        if (sameName(f.name, fieldName))
            return f.sortable ? f.indexName : QString();
    return {};
}

void ApplyDisplayCaptions(const TableDefinition& definition, QStringList& titles) {
    if (!definition.showsCaptions())
        return;
    // Match against the field names the titles started with, so a caption that
    // happens to equal a later field's name is not renamed again.
    const QStringList fieldNames = titles;
    for (const FieldDefinition& d : definition.fields)
        for (int i = 0; i < fieldNames.size(); ++i)
            if (sameName(fieldNames[i], d.name))
                titles[i] = d.rawCaption;
}
