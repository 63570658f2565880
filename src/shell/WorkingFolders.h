#pragma once
#include <QString>

// Working folders; every path is absolute and ends with "/".
struct WorkingFolders {
    QString programFolder;
    QString dataFolder;
    QString exportFolder;
    QString helpFolder;
    QString imagesFolder;
    QString templatesFolder;
    QString lettersFolder;
    QString tempFolder;
    QString systemTempFolder;
    QString userTemplatesFolder;
    QString recomFolder; // header pictures

    // Forms every folder from the program folder and the user's documents folder.
    static WorkingFolders fromProgramFolder(const QString& programFolder,
                                            const QString& documentsFolder,
                                            const QString& systemTemp);
};

// Appends "/" by the one rule used everywhere: empty stays empty, anything else gets
// "/" unless it already ends with one (or with a backslash).
QString withTrailingSlash(const QString& path);
