#include "exchange/ImportMapping.h"

#include "common/TextFile.h"
#include "database/DatabaseSession.h"

#include <QFileInfo>

namespace {

// A mapping file holds a few short lines; anything far bigger is not one.
constexpr qint64 kMaximumSize = 1 << 20;

} // namespace

namespace ImportMapping {

QString path(const DatabaseSession& session) {
    return session.dataFolder() + session.definitionBaseName() + QStringLiteral(".imp");
}

int parseColumn(const QString& text) {
    bool ok = false;
    const QString t = text.trimmed();
    // Digits only: a sign, blanks or a decimal point make it no column number.
    for (QChar c : t)
        if (c < QChar('0') || c > QChar('9'))
            return -1;
    const int n = t.toInt(&ok);
    return ok && n >= 0 ? n : -1;
}

Stored read(const QString& path, int fieldCount) {
    Stored s;
    for (int i = 0; i < fieldCount; ++i)
        s.columns << QStringLiteral("0");
    const QFileInfo info(path);
    if (!info.exists())
        return s;
    QStringList lines;
    QString error;
    if (info.size() > kMaximumSize) {
        s.problem = QStringLiteral("Die Zuordnungsdatei \"%1\" ist keine Zuordnungsdatei (zu "
                                   "groß). Alle Spalten stehen auf 0.")
                        .arg(path);
        return s;
    }
    if (!TextFile::readLines(path, &lines, &error)) {
        s.problem = error;
        return s;
    }
    if (lines.isEmpty())
        return s; // treated as absent
    s.present = true;
    s.delimiter = lines.last();
    // Every line but the last belongs to the target field of the same position.
    for (int i = 0; i + 1 < lines.size() && i < fieldCount; ++i) {
        if (parseColumn(lines[i]) < 0) {
            if (s.problem.isEmpty())
                s.problem = QStringLiteral("Die Zuordnungsdatei \"%1\" enthält in Zeile %2 keine "
                                           "Spaltennummer. Solche Spalten stehen auf 0.")
                                .arg(path)
                                .arg(i + 1);
            continue;
        }
        s.columns[i] = lines[i].trimmed();
    }
    return s;
}

bool write(const QString& path, const QStringList& columns, const QString& delimiter,
           QString* error) {
    QStringList lines = columns;
    lines << delimiter.trimmed();
    return TextFile::writeLines(path, lines, error);
}

} // namespace ImportMapping
