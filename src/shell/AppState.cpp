#include "shell/AppState.h"

#include "common/TextFile.h"
#include "database/AddressTable.h"

#include <QDir>

QString withTrailingSlash(const QString& path) {
    if (path.isEmpty())
        return path;
    if (path.endsWith(QChar('/')) || path.endsWith(QChar('\\')))
        return path;
    return path + QChar('/');
}

WorkingFolders WorkingFolders::fromProgramFolder(const QString& programFolder,
                                                 const QString& documentsFolder,
                                                 const QString& systemTemp) {
    WorkingFolders f;
    f.programFolder = withTrailingSlash(QDir::cleanPath(programFolder));
    f.dataFolder = f.programFolder + QStringLiteral("Data/");
    f.exportFolder = f.programFolder + QStringLiteral("Export/");
    f.helpFolder = f.programFolder + QStringLiteral("Help/");
    f.imagesFolder = f.programFolder + QStringLiteral("Images/");
    f.templatesFolder = f.programFolder + QStringLiteral("Vorlagen/");
    f.lettersFolder = f.programFolder + QStringLiteral("Briefe/");
    f.tempFolder = f.programFolder + QStringLiteral("Temp/");
    f.recomFolder = f.programFolder + QStringLiteral("recom/");
    f.systemTempFolder = withTrailingSlash(systemTemp);
    f.userTemplatesFolder =
        documentsFolder.isEmpty()
            ? QString()
            : withTrailingSlash(QDir::cleanPath(documentsFolder)) + QStringLiteral("Quillon/");
    return f;
}

AppState::AppState(QObject* parent) : QObject(parent) {}

AppState::~AppState() = default;

bool AppState::reloadCatalogue() {
    QStringList lines;
    const bool ok = TextFile::readLines(cataloguePath(), &lines, nullptr);
    catalogueLines = ok ? lines : QStringList();
    return ok;
}

int AppState::catalogueDatabaseCount() const {
    int n = 0;
    for (int i = 1; i < catalogueLines.size(); ++i)
        if (!catalogueLines[i].trimmed().isEmpty())
            ++n;
    return n;
}

AddressTable* AppState::currentTable() const {
    if (tables.empty() || !tables.front() || !tables.front()->isOpen())
        return nullptr;
    return tables.front().get();
}

bool AppState::hasOpenTable() const {
    return currentTable() != nullptr;
}

QString AppState::definitionBaseName() const {
    const auto dot = definitionName.indexOf(QChar('.'));
    return dot < 0 ? definitionName : definitionName.left(dot);
}
