#include "compose/HtmlImport.h"

#include "common/TextFile.h"
#include "compose/MimeParts.h"
#include "send/MimeMessage.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QUrl>

namespace HtmlImport {

namespace {

// Where a page names a picture: <img src=...>, background=... on any element and
// url(...) in style sheets and style attributes; the named groups hold the address as
// written, with or without quotes.
const QRegularExpression& referencePattern() {
    static const QRegularExpression pattern(
        QStringLiteral(
            R"re((?:\b(?:src|background)\s*=\s*(?:"(?<dq>[^"]*)"|'(?<sq>[^']*)'|(?<bare>[^\s>"']+)))|(?:url\(\s*(?:"(?<udq>[^"]*)"|'(?<usq>[^']*)'|(?<ubare>[^)\s"']*))\s*\)))re"),
        QRegularExpression::CaseInsensitiveOption);
    return pattern;
}

struct Found {
    qsizetype start = 0;
    qsizetype length = 0;
    QString reference;
};

// The picture addresses of the page with their places; src only inside <img>, since a
// script or frame source is no picture.
QList<Found> findReferences(const QString& html) {
    QList<Found> found;
    auto it = referencePattern().globalMatch(html);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        static const char* groups[] = {"dq", "sq", "bare", "udq", "usq", "ubare"};
        for (const char* g : groups) {
            const QString name = QLatin1String(g);
            if (m.capturedStart(name) < 0)
                continue;
            if (m.captured(0).startsWith(QStringLiteral("src"), Qt::CaseInsensitive)) {
                const qsizetype tag = html.lastIndexOf(QChar('<'), m.capturedStart(0));
                if (tag < 0 ||
                    !html.mid(tag, 5).startsWith(QStringLiteral("<img"), Qt::CaseInsensitive))
                    break;
            }
            found.append({m.capturedStart(name), m.capturedLength(name), m.captured(name)});
            break;
        }
    }
    return found;
}

bool isLocal(const QString& reference) {
    const QString r = reference.trimmed();
    if (r.isEmpty() || r.startsWith(QChar('#')))
        return false;
    const QUrl url(r);
    const QString scheme = url.scheme().toLower();
    // A drive letter ("C:/...") parses as a one-letter scheme.
    return scheme.isEmpty() || scheme == QStringLiteral("file") || scheme.size() == 1;
}

// The file a local reference names, relative to the page's folder; percent-encoded
// names ("Bild%201.png") and file: addresses are taken as the files they stand for.
QString resolve(const QString& reference, const QDir& pageFolder) {
    QString r = reference.trimmed();
    r.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    QStringList candidates;
    if (r.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive)) {
        candidates << QUrl(r).toLocalFile();
    } else {
        const qsizetype cut = r.indexOf(QRegularExpression(QStringLiteral("[?#]")));
        const QString path = cut >= 0 ? r.left(cut) : r;
        candidates << path << QUrl::fromPercentEncoding(path.toUtf8());
    }
    for (const QString& c : candidates) {
        const QString file = QDir::isAbsolutePath(c) ? c : pageFolder.filePath(c);
        if (QFileInfo(file).isFile())
            return QFileInfo(file).absoluteFilePath();
    }
    return {};
}

} // namespace

QStringList localImageReferences(const QString& html) {
    QStringList refs;
    for (const Found& f : findReferences(html))
        if (isLocal(f.reference) && !refs.contains(f.reference))
            refs << f.reference;
    return refs;
}

QString removeTags(const QString& html) {
    QString out;
    out.reserve(html.size());
    bool inTag = false;
    for (qsizetype i = 0; i < html.size(); ++i) {
        const QChar c = html[i];
        if (c == QChar('\r') || c == QChar('\n'))
            continue;
        if (c == QChar('<')) {
            inTag = true;
            continue;
        }
        if (c == QChar('>')) {
            inTag = false;
            continue;
        }
        if (inTag)
            continue;
        if ((c == QChar(' ') || c == QChar('\t')) && i + 1 < html.size()) {
            const QChar n = html[i + 1];
            if (n == QChar('\t') || n == QChar('\n') || n == QChar('\r') || n == QChar(' ') ||
                n == QChar('<'))
                continue;
        }
        out += c;
    }
    // "&lt;" before "&amp;": nothing is decoded twice.
    out.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    out.replace(QStringLiteral("&apos;"), QStringLiteral("'"));
    out.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    out.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    out.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return out;
}

bool importPage(const Options& options, QString* error) {
    auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    const QFileInfo page(options.pagePath);
    if (page.size() > MimeMessage::kMaxHtmlBytes)
        return fail(QStringLiteral("Die HTML-Datei \"%1\" ist zu groß für eine E-Mail.")
                        .arg(QDir::toNativeSeparators(options.pagePath)));
    QString html;
    QString readError;
    if (!TextFile::readText(options.pagePath, &html, &readError))
        return fail(QStringLiteral("Die HTML-Datei \"%1\" kann nicht gelesen werden.")
                        .arg(QDir::toNativeSeparators(options.pagePath)));

    MimeParts::Mail mail;
    mail.subject = options.subject;
    mail.date = QDateTime::currentDateTimeUtc();
    if (options.embedImages) {
        const QDir folder = page.absoluteDir();
        const QList<Found> found = findReferences(html);
        QHash<QString, QString> idOfFile;
        QString rewritten;
        qsizetype done = 0;
        const QString stamp = QString::number(QDateTime::currentMSecsSinceEpoch(), 36);
        for (const Found& f : found) {
            if (!isLocal(f.reference))
                continue;
            const QString file = resolve(f.reference, folder);
            if (file.isEmpty())
                return fail(
                    QStringLiteral("Das Bild \"%1\" der Seite \"%2\" wurde nicht gefunden.")
                        .arg(f.reference.trimmed(), QDir::toNativeSeparators(options.pagePath)));
            QString id = idOfFile.value(file);
            if (id.isEmpty()) {
                MimeParts::Part part;
                QFile image(file);
                if (!image.open(QIODevice::ReadOnly))
                    return fail(QStringLiteral("Das Bild \"%1\" kann nicht gelesen werden: %2")
                                    .arg(QDir::toNativeSeparators(file), image.errorString()));
                part.data = image.readAll();
                part.fileName = QFileInfo(file).fileName();
                id = QStringLiteral("bild%1.%2@quillon").arg(idOfFile.size() + 1).arg(stamp);
                part.contentId = id;
                idOfFile.insert(file, id);
                mail.inlineParts.append(part);
            }
            rewritten += QStringView(html).mid(done, f.start - done);
            rewritten += QStringLiteral("cid:") + id;
            done = f.start + f.length;
        }
        rewritten += QStringView(html).mid(done);
        html = rewritten;
    }
    mail.html = html;
    mail.plain = removeTags(html);
    if (!options.attachment.trimmed().isEmpty()) {
        MimeParts::Part part;
        if (!MimeParts::readAttachment(options.attachment.trimmed(), &part, error))
            return false;
        mail.attachments.append(part);
    }
    return MimeParts::writeMail(mail, options.outPath, error);
}

} // namespace HtmlImport
