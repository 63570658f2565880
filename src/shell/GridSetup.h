#pragma once
#include "shell/GridLayout.h"

#include <QString>
#include <QStringList>

class AppState;

// What the address grid takes from the open table's definition lines: which titles
// sort, which columns show pictures, and the column layout shown when a database opens.
namespace GridSetup {

// The index a click on this field's title sorts by: word 5 of the field's .pro line when
// that line is sortable (word 8 "TRUE" in any case). Empty when the field cannot be
// sorted, so the click is ignored.
QString sortIndexForField(const QStringList& proLines, const QString& fieldName);

// Names of the fields defined with type "ftBoolean"; their cells show True.bmp/False.bmp.
QStringList booleanFields(const QStringList& proLines);

// DataFolder + definition base name + ".grd"; empty while no database was opened.
QString layoutPath(const AppState& state);

// The layout the grid takes when a database opens: the saved layout when its file is
// larger than 100 bytes, else one column per field with the field name as title; then
// fitted to the table's fields and the titles passed through ApplyDisplayCaptions.
// Columns that did not come from the file get width 0 ("choose a width").
GridLayout openingLayout(const QString& path, const QStringList& fieldNames,
                         const QStringList& proLines, bool* fromFile = nullptr);

} // namespace GridSetup
