#include "compose/HtmlImport.h"

#include "send/MimeMessage.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

void write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

// Python's e-mail package reads the result: defects, subject, the parts with their
// Content-IDs, and the HTML text.
QJsonObject pythonView(const QString& eml) {
    static const char* script = R"PY(
import json, sys
from email import policy
from email.parser import BytesParser
m = BytesParser(policy=policy.default).parse(open(sys.argv[1], "rb"))
parts, defects, html = [], list(m.defects), ""
for p in m.walk():
    defects += p.defects
    if p.is_multipart():
        parts.append(p.get_content_type())
        continue
    parts.append(p.get_content_type() + " " + p.get("Content-ID", "") + " " + (p.get_filename() or ""))
    if p.get_content_type() == "text/html":
        html = p.get_content()
print(json.dumps({"defects": len(defects), "subject": str(m["subject"]), "parts": parts, "html": html}))
)PY";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(script), eml});
    python.waitForFinished(30000);
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

} // namespace

TEST(HtmlImport, LocalImagesBecomeRelatedPartsAndRemoteOnesStay) {
    TempProgramFolder dir;
    const QString folder = dir.path() + "Seite/";
    write(folder + "bilder/Kopf Bild.png", QByteArray("\x89PNG\r\n\x1a\nkopf", 12));
    write(folder + QString::fromUtf8("Grüße.gif"), "GIF89a-gruss");
    write(dir.path() + "hintergrund.jpg", "\xff\xd8\xff-hintergrund");
    const QString page = folder + "newsletter.html";
    const QString text = QString::fromUtf8(
        "<html><body background='../hintergrund.jpg'>\r\n<IMG SRC=\"bilder/Kopf%20Bild.png\" "
        "alt=\"Kopf\"><img src=\"bilder/Kopf Bild.png\">\r\n<div style=\"background: "
        "url(Grüße.gif)\">Grüße &amp; mehr</div>\r\n<img src=\"https://www.example.com/logo.png\">"
        "<img src='file://");
    write(page, (text + folder + QString::fromUtf8("Grüße.gif'></body></html>")).toUtf8());
    EXPECT_EQ(HtmlImport::localImageReferences(QString::fromUtf8(
                  "<img src=\"a.png\"><img src=\"https://x/b.png\"><script src=\"c.js\">"
                  "<td background=\"d.gif\"><p style=\"x:url('e.png')\">")),
              QStringList({"a.png", "d.gif", "e.png"}));

    HtmlImport::Options options;
    options.pagePath = page;
    options.subject = QString::fromUtf8("Herbstgrüße");
    options.attachment = dir.path() + "hintergrund.jpg";
    options.outPath = dir.path() + "out.eml";
    QString error;
    ASSERT_TRUE(HtmlImport::importPage(options, &error)) << error.toStdString();

    const QJsonObject view = pythonView(options.outPath);
    EXPECT_EQ(view["defects"].toInt(-1), 0);
    EXPECT_EQ(view["subject"].toString(), QString::fromUtf8("Herbstgrüße"));
    QStringList parts;
    for (const QJsonValue& v : view["parts"].toArray())
        parts << v.toString();
    // Three files, each once, although the page names two of them twice.
    ASSERT_EQ(parts.size(), 9) << parts.join(" | ").toStdString();
    EXPECT_EQ(parts.mid(0, 4), QStringList({"multipart/mixed", "multipart/alternative",
                                            "text/plain  ", "multipart/related"}));
    EXPECT_TRUE(parts[4].startsWith("text/html"));
    const QString html = view["html"].toString();
    for (int i = 5; i <= 7; ++i) {
        const QString cid = parts[i].section(' ', 1, 1);
        ASSERT_TRUE(cid.startsWith('<') && cid.endsWith('>')) << parts[i].toStdString();
        EXPECT_TRUE(html.contains("cid:" + cid.mid(1, cid.size() - 2))) << cid.toStdString();
    }
    EXPECT_TRUE(parts[5].startsWith("image/jpeg")) << parts[5].toStdString();
    EXPECT_TRUE(parts[6].endsWith("Kopf Bild.png")) << parts[6].toStdString();
    EXPECT_TRUE(parts[7].endsWith(QString::fromUtf8("Grüße.gif"))) << parts[7].toStdString();
    EXPECT_EQ(parts[8], "image/jpeg  hintergrund.jpg");
    EXPECT_TRUE(html.contains("src=\"https://www.example.com/logo.png\""));
    EXPECT_FALSE(html.contains("Kopf%20Bild"));

    // Our own reader takes it as an HTML mail with its plain text.
    MimeMessage mail;
    ASSERT_TRUE(mail.loadMessageFile(options.outPath, &error)) << error.toStdString();
    EXPECT_EQ(mail.inlineParts().size(), 3);
    ASSERT_EQ(mail.keptAttachments().size(), 1);
    EXPECT_EQ(mail.keptAttachments()[0].fileName, "hintergrund.jpg");
    EXPECT_TRUE(mail.plainText().contains(QString::fromUtf8("Grüße & mehr")));

    // External images: the page as it stands.
    options.embedImages = false;
    options.attachment.clear();
    ASSERT_TRUE(HtmlImport::importPage(options, &error)) << error.toStdString();
    ASSERT_TRUE(mail.loadMessageFile(options.outPath, &error));
    EXPECT_TRUE(mail.inlineParts().isEmpty());
    EXPECT_TRUE(mail.htmlText().contains("SRC=\"bilder/Kopf%20Bild.png\""));

    // A missing image names the file; the result of before is kept.
    write(page, "<img src=\"fehlt/bild.png\">");
    options.embedImages = true;
    EXPECT_FALSE(HtmlImport::importPage(options, &error));
    EXPECT_EQ(error, "Das Bild \"fehlt/bild.png\" der Seite \"" + QDir::toNativeSeparators(page) +
                         "\" wurde nicht gefunden.");
    EXPECT_TRUE(mail.loadMessageFile(options.outPath, &error));
}

TEST(HtmlImport, TagsAreRemovedInOnePassAndEntitiesDecodedOnce) {
    EXPECT_EQ(HtmlImport::removeTags("a&amp;lt;b"), "a&lt;b");
    EXPECT_EQ(HtmlImport::removeTags(""), "");
    EXPECT_EQ(HtmlImport::removeTags("<p>Hallo  \t Welt </p>\r\n<p>&quot;zwei&quot; &gt; "
                                     "&apos;eins&apos;</p>"),
              "Hallo Welt\"zwei\" > 'eins'");
}
