#include "shell/WorkingFolders.h"

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
