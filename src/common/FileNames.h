#pragma once

#include <QString>

// Names of the program's own files, used by every module that reads or writes them.
namespace FileNames {

// In ProgramFolder.
inline QString catalogue() {
    return QStringLiteral("Buttons.ini");
}
inline QString generalSettings() {
    return QStringLiteral("Quillon.ini");
}
inline QString proxySettings() {
    return QStringLiteral("proxy.ini");
}
inline QString transactionLog() {
    return QStringLiteral("Transaction.log");
}
inline QString smtpProtocol() {
    return QStringLiteral("Logfile.txt");
}
// Beside the program file (or ProgramFolder): where the working folders are kept.
inline QString folderConfig() {
    return QStringLiteral("config.ini");
}
// In TempFolder.
inline QString sentLog() {
    return QStringLiteral("Gesendete_Mails.log");
}
// In the system temp folder: the merged copies of a text mail for the run and the preview.
inline QString runTemplate() {
    return QStringLiteral("temp.mail");
}
inline QString previewTemplate() {
    return QStringLiteral("Preview.mail");
}
// In DataFolder: the standard database's definition file.
inline QString standardDefinition() {
    return QStringLiteral("Database.ini");
}

} // namespace FileNames
