#include "shell/GridSetup.h"

#include "database/DatabaseDefinition.h"
#include "shell/AppState.h"

namespace GridSetup {

QString sortIndexForField(const QStringList& proLines, const QString& fieldName) {
    for (const FieldDefinition& d : parseFieldDefinitions(proLines)) {
        if (d.name.compare(fieldName, Qt::CaseInsensitive) != 0)
            continue;
        return d.sortable ? d.indexName : QString();
    }
    return {};
}

QStringList booleanFields(const QStringList& proLines) {
    QStringList names;
    for (const FieldDefinition& d : parseFieldDefinitions(proLines))
        if (d.typeName == QStringLiteral("ftBoolean"))
            names << d.name;
    return names;
}

QString layoutPath(const AppState& state) {
    const QString base = state.definitionBaseName();
    if (base.isEmpty() || state.folders.dataFolder.isEmpty())
        return {};
    return dataFilePath(state.folders.dataFolder, base + QStringLiteral(".grd"));
}

GridLayout openingLayout(const QString& path, const QStringList& fieldNames,
                         const QStringList& proLines, bool* fromFile) {
    GridLayout saved;
    const bool loaded = !path.isEmpty() && saved.load(path);
    if (fromFile)
        *fromFile = loaded;
    GridLayout layout = saved.fittedTo(fieldNames);
    QStringList titles;
    for (GridColumnLayout& c : layout.columns) {
        const bool inFile =
            std::any_of(saved.columns.begin(), saved.columns.end(), [&](const auto& s) {
                return s.field.compare(c.field, Qt::CaseInsensitive) == 0;
            });
        if (!inFile) {
            c.width = 0;
            c.fontFamily.clear();
            c.fontBold = false;
        }
        titles << c.title;
    }
    // Captions replace titles that still read as field names; a title the user's
    // layout already holds as a caption stays.
    ApplyDisplayCaptions(proLines, titles);
    for (int i = 0; i < layout.columns.size(); ++i)
        layout.columns[i].title = titles[i];
    return layout;
}

} // namespace GridSetup
