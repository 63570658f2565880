#include "exchange/WindowsMailContacts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringConverter>
#include <QStringDecoder>
#include <QXmlStreamReader>

namespace WindowsMailContacts {

namespace {

constexpr auto kSuffix = QLatin1String(".contact");

// The file's text when it is well-formed XML (UTF-8 unless a byte-order mark says
// otherwise); false when it is not.
bool xmlText(const QString& path, QString* text) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = f.readAll();
    QXmlStreamReader xml(bytes);
    bool element = false;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement)
            element = true;
    }
    if (xml.hasError() || !element)
        return false;
    const auto encoding = QStringConverter::encodingForData(bytes);
    QStringDecoder decoder(encoding.value_or(QStringConverter::Utf8));
    *text = decoder.decode(bytes);
    if (text->startsWith(QChar(0xFEFF)))
        text->remove(0, 1);
    return true;
}

QString resolveEntities(const QString& raw) {
    if (!raw.contains(u'&'))
        return raw;
    QXmlStreamReader xml(QStringLiteral("<v>") + raw + QStringLiteral("</v>"));
    xml.readNextStartElement();
    const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
    return xml.hasError() ? raw : text;
}

// The file of the listed name, its ".contact" in whatever letter case it was found.
QString contactFile(const QString& folder, const QString& name) {
    const QDir dir(folder);
    const QString exact = dir.filePath(name + kSuffix);
    if (QFileInfo::exists(exact))
        return exact;
    for (const QString& file : dir.entryList({name + QStringLiteral(".*")}, QDir::Files))
        if (file.size() == name.size() + kSuffix.size() &&
            file.endsWith(kSuffix, Qt::CaseInsensitive))
            return dir.filePath(file);
    return exact;
}

} // namespace

QString defaultFolder() {
    return QDir::homePath() + QStringLiteral("/contacts/");
}

QStringList list(const QString& folder, int* unreadable) {
    if (unreadable)
        *unreadable = 0;
    QStringList names;
    const QDir dir(folder);
    for (const QString& file : dir.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase)) {
        if (!file.endsWith(kSuffix, Qt::CaseInsensitive) ||
            file.compare(QLatin1String("Administrator.contact"), Qt::CaseInsensitive) == 0)
            continue;
        QString text;
        if (!xmlText(dir.filePath(file), &text)) {
            if (unreadable)
                ++*unreadable;
            continue;
        }
        names << file.left(file.size() - kSuffix.size());
    }
    return names;
}

QString value(const QString& text, const QString& tag) {
    const QString open = u'<' + tag + u'>';
    const QString close = QStringLiteral("</") + tag + u'>';
    for (QStringView line : QStringView(text).split(u'\n')) {
        const qsizetype from = line.indexOf(open);
        if (from < 0)
            continue;
        const qsizetype to = line.indexOf(close, from + open.size());
        if (to < 0)
            continue;
        const qsizetype start = from + open.size();
        return resolveEntities(line.mid(start, to - start).toString()).trimmed();
    }
    return {};
}

bool read(const QString& folder, const QString& name, Contact* contact) {
    *contact = Contact();
    QString text;
    if (!xmlText(contactFile(folder, name), &text))
        return false;
    contact->mail = value(text, QStringLiteral("c:Address"));
    contact->name = value(text, QStringLiteral("c:FormattedName"));
    return true;
}

QString importedText(int count) {
    return count > 1 ? QStringLiteral("Es wurden %1 Datensätze erfolgreich importiert!").arg(count)
                     : QStringLiteral("Es wurde ein Datensatz erfolgreich importiert!");
}

QString unreadableText(int count) {
    return count == 1 ? QStringLiteral("1 Kontaktdatei ist keine gültige XML-Datei und wurde "
                                       "übersprungen.")
                      : QStringLiteral("%1 Kontaktdateien sind keine gültigen XML-Dateien und "
                                       "wurden übersprungen.")
                            .arg(count);
}

} // namespace WindowsMailContacts
