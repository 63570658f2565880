#include "compose/ComposerRules.h"

namespace ComposerRules {

QString templateOpenFilter() {
    return QStringLiteral("Text Mail|*.mail");
}

QString templateSaveFilter() {
    return QStringLiteral("Quillon|*.mail");
}

QString textFileFilter() {
    return QStringLiteral("Text Datei|*.txt");
}

QString attachmentFilter() {
    return QStringLiteral(
        "Dokumente|*.doc;*.dot;*.rtf*;*.xls;*.ods;*.txt;*.sxc;*.stc;*.ots;*.pdf|Bilder|*.tif;"
        "*.jpg;*.jpeg;*.gif;*.png;*.tiff;*.bmp;*.cdr;*.psd|Office Formate|*.xls;*.ppt;*.pps;"
        "*.doc;*.xlt|Daten Formate|*.csv;*.db;*.html;*.xml|E-Mail Nachrichten|*.eml;*.msg|"
        "Archive|*.zip;*.rar;*.ace;*.tgz;*.tar.gz");
}

QString emailOpenFilter() {
    // Outlook messages are read without Outlook, so they are always offered.
    return QStringLiteral("Outlook / Windows Mail Datei|*.msg;*.eml;");
}

QString wizardTemplateFilter() {
    return QStringLiteral("Quillon|*.mail");
}

QString dialogFilter(const QString& pipeFilter) {
    const QStringList parts = pipeFilter.split(QChar('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts.at(i + 1).split(QChar(';'), Qt::SkipEmptyParts);
        for (QString& p : patterns)
            p = p.trimmed();
        entries << parts.at(i).trimmed() + QStringLiteral(" (") + patterns.join(QChar(' ')) +
                       QChar(')');
    }
    return entries.join(QStringLiteral(";;"));
}

QString placeholderToken(const QString& entry) {
    const qsizetype blank = entry.indexOf(QChar(' '));
    return blank < 0 ? entry : entry.left(blank);
}

QStringList insertPlaceholder(const QStringList& lines, int line, int column,
                              const QString& token) {
    QStringList result = lines;
    if (line < 0 || line >= lines.size()) {
        result.append(token);
        return result;
    }
    const QString& text = lines.at(line);
    const int x = qBound(0, column, int(text.size()));
    const QString left = text.left(x).trimmed();
    const QString right = text.mid(x).trimmed();
    if (x == 0)
        result[line] = token + QChar(' ') + right;
    else
        result[line] = left + QChar(' ') + token + QChar(' ') + right;
    return result;
}

QString noPlaceholderSelectedMessage() {
    return QStringLiteral("Bitte markieren Sie zuerst einen Platzhalter zum einfügen!");
}

QString wordWrapCaption(bool on) {
    return on ? QStringLiteral("Zeilenumbruch ein") : QStringLiteral("Zeilenumbruch aus");
}

QStringList bodyLines(const QString& text) {
    if (text.isEmpty())
        return {};
    return text.split(QChar('\n'));
}

QString bodyText(const QStringList& lines) {
    return lines.join(QChar('\n'));
}

} // namespace ComposerRules
