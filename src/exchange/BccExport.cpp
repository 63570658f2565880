#include "exchange/BccExport.h"

#include "common/TextFile.h"

#include <QDir>

namespace BccExport {

QString fileName(int number) {
    return QStringLiteral("BCC%1.bcc").arg(number, 3, 10, QChar('0'));
}

int writeFiles(const QString& folder, const QString& list, QString* error) {
    QDir dir(folder);
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("Der Ordner \"%1\" kann nicht angelegt werden.")
                         .arg(QDir::toNativeSeparators(folder));
        return -1;
    }
    // Name filters ignore case unless told otherwise, as file names do on Windows.
    for (const QString& old : dir.entryList({QStringLiteral("*.bcc")}, QDir::Files)) {
        if (!dir.remove(old)) {
            if (error)
                *error = QStringLiteral("Die alte Datei \"%1\" kann nicht gelöscht werden.")
                             .arg(QDir::toNativeSeparators(dir.filePath(old)));
            return -1;
        }
    }

    // The words of the list as ExtractWord on ";" sees them (a run of delimiters
    // separates like one), taken in one pass rather than word by word.
    QStringList addresses = list.split(QChar(';'), Qt::SkipEmptyParts);
    for (QString& a : addresses)
        a = a.trimmed();

    int files = 0;
    for (qsizetype start = 0; start < addresses.size(); start += addressesPerFile) {
        const QString path = dir.filePath(fileName(files + 1));
        if (!TextFile::writeLines(
                path, {addresses.mid(start, addressesPerFile).join(QStringLiteral("; "))}, error)) {
            for (int n = 1; n <= files; ++n)
                dir.remove(fileName(n));
            return -1;
        }
        ++files;
    }
    return files;
}

} // namespace BccExport
