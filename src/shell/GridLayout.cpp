#include "shell/GridLayout.h"

#include "common/TextFile.h"

#include <QFileInfo>

namespace {
const QString kHeader = QStringLiteral("Quillon Spaltenlayout 1");

QString clean(QString text) {
    text.replace(QChar('\t'), QChar(' '));
    text.replace(QChar('\r'), QChar(' '));
    text.replace(QChar('\n'), QChar(' '));
    return text;
}
} // namespace

bool GridLayout::load(const QString& path) {
    columns.clear();
    const QFileInfo info(path);
    if (!info.exists() || info.size() <= 100)
        return false;
    QStringList lines;
    if (!TextFile::readLines(path, &lines, nullptr) || lines.isEmpty() ||
        !lines.first().startsWith(kHeader))
        return false;
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList parts = lines[i].split(QChar('\t'));
        if (parts.size() < 6 || parts[0].trimmed().isEmpty())
            continue;
        GridColumnLayout c;
        c.field = parts[0].trimmed();
        c.title = parts[1];
        c.fontFamily = parts[2];
        c.fontPointSize = qBound(4, parts[3].toInt(), 72);
        c.fontBold = parts[4] == QStringLiteral("1");
        c.width = qBound(8, parts[5].toInt(), 2000);
        columns.append(c);
    }
    return !columns.isEmpty();
}

bool GridLayout::save(const QString& path, QString* error) const {
    QStringList lines = {kHeader + QStringLiteral("\tFeld\tTitel\tSchrift\tGröße\tFett\tBreite")};
    for (const GridColumnLayout& c : columns)
        lines << QStringList{clean(c.field),
                             clean(c.title),
                             clean(c.fontFamily),
                             QString::number(c.fontPointSize),
                             c.fontBold ? QStringLiteral("1") : QStringLiteral("0"),
                             QString::number(c.width)}
                     .join(QChar('\t'));
    return TextFile::writeLines(path, lines, error);
}

GridLayout GridLayout::fittedTo(const QStringList& fieldNames) const {
    GridLayout fitted;
    QStringList seen;
    for (const GridColumnLayout& c : columns) {
        const auto it = std::find_if(fieldNames.begin(), fieldNames.end(), [&](const QString& f) {
            return f.compare(c.field, Qt::CaseInsensitive) == 0;
        });
        if (it == fieldNames.end() || seen.contains(it->toLower()))
            continue;
        GridColumnLayout copy = c;
        copy.field = *it;
        fitted.columns.append(copy);
        seen << it->toLower();
    }
    for (const QString& f : fieldNames) {
        if (seen.contains(f.toLower()))
            continue;
        GridColumnLayout c;
        c.field = f;
        c.title = f;
        fitted.columns.append(c);
    }
    return fitted;
}
