#pragma once
#include "shell/GridLayout.h"

#include <QString>
#include <QStringList>

class DatabaseSession;
struct TableDefinition;

// The column layout the address grid shows when a database opens, and where it is kept.
namespace GridSetup {

// DataFolder + definition base name + ".grd"; empty while no database was opened.
QString layoutPath(const DatabaseSession& session);

// The layout the grid takes when a database opens: the saved layout when its file is
// larger than 100 bytes, else one column per field with the field name as title; then
// fitted to the table's fields and the titles passed through ApplyDisplayCaptions.
// Columns that did not come from the file get width 0 ("choose a width").
GridLayout openingLayout(const QString& path, const QStringList& fieldNames,
                         const TableDefinition& definition, bool* fromFile = nullptr);

} // namespace GridSetup
