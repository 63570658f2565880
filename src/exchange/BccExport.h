#pragma once
#include <QString>
#include <QStringList>

// The BCC files: lists of marked addresses for the BCC line of an ordinary mail program.
namespace BccExport {

constexpr int addressesPerFile = 245;

// "BCC001.bcc", "BCC002.bcc", ... (more digits from 1000 on).
QString fileName(int number);

// Removes every "*.bcc" file of folder (creating it when missing), then writes the
// addresses of list (separated by ";") in order, addressesPerFile to a file, each file
// one line joined by "; ", numbered from 1. An empty list writes no file. Returns the
// number of files written; -1 with a German message when the folder or a file cannot
// be written (the files written up to then are removed again, so no partial set is left).
int writeFiles(const QString& folder, const QString& list, QString* error);

} // namespace BccExport
