#pragma once
#include "common/Progress.h"

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <optional>

// Types shared by the table store, its views and everything that describes columns or
// conditions on records.

// Column types of an address table, named after the type words of the .pro files.
enum class FieldType {
    String,
    Integer,
    Boolean,
    Float,
    Currency,
    Date,
    Time,
    AutoInc,
    Memo,
    Picture
};

// "ftString" -> FieldType::String ...; nullopt for an unknown word.
std::optional<FieldType> fieldTypeFromName(const QString& typeName);
QString fieldTypeName(FieldType type);

struct ColumnDef {
    QString name;
    FieldType type = FieldType::String;
    int size = 0;
    bool required = false;
};

struct IndexDef {
    QString name;
    QStringList fields;
    bool primary = false;
};

// A condition on records built by the engine (never from text pasted into SQL).
struct RecordCondition {
    QString sql; // parameterised SQL with ? placeholders
    QVariantList params;
    bool isEmpty() const { return sql.isEmpty(); }
};
