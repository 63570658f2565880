#include "shell/GridSetup.h"

#include "database/DatabaseDefinition.h"
#include "database/DatabaseSession.h"
#include "database/TableDefinition.h"

namespace GridSetup {

QString layoutPath(const DatabaseSession& session) {
    const QString base = session.definitionBaseName();
    if (base.isEmpty() || session.dataFolder().isEmpty())
        return {};
    return dataFilePath(session.dataFolder(), base + QStringLiteral(".grd"));
}

GridLayout openingLayout(const QString& path, const QStringList& fieldNames,
                         const TableDefinition& definition, bool* fromFile) {
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
    ApplyDisplayCaptions(definition, titles);
    for (int i = 0; i < layout.columns.size(); ++i)
        layout.columns[i].title = titles[i];
    return layout;
}

} // namespace GridSetup
