#pragma once
#include "database/DatabaseDefinition.h"

#include <QList>
#include <QString>
#include <QStringList>

// The definition of the open table, read once from its .pro, .fil and .cb files when
// the table opens: its columns, its view modes and the choice lists of its fields.
struct TableDefinition {
    QString header; // first line of the .pro file
    QList<FieldDefinition> fields;
    QList<ViewFilter> viewFilters;
    QList<ChoiceList> choiceLists;

    static TableDefinition fromLines(const QStringList& proLines, const QStringList& filLines = {},
                                     const QStringList& cbLines = {});

    bool isEmpty() const { return fields.isEmpty(); }
    // The grid titles show the captions: the .pro header contains "ANZEIGENAME".
    bool showsCaptions() const;
    // The field definitions from the fifth on (the first four are the system columns
    // ID, Selected, Invalid, LetztesMail).
    QList<FieldDefinition> targetFields() const;
    // The last definition of that field name in any case; nullptr when none.
    const FieldDefinition* field(const QString& name) const;
    // The choices offered for a field (name compared without regard to case); empty when
    // the field has no choice list.
    QStringList choicesFor(const QString& fieldName) const;
    // Names of the fields defined with type "ftBoolean".
    QStringList booleanFields() const;
    // The index a click on this field's title sorts by: word 5 of the field's line when
    // that line is sortable. Empty when the field cannot be sorted.
    QString sortIndexFor(const QString& fieldName) const;
};

// titles holds one field name per grid column. When the definition shows captions,
// each title that names a defined field becomes that field's caption, also when the
// caption is empty.
void ApplyDisplayCaptions(const TableDefinition& definition, QStringList& titles);
