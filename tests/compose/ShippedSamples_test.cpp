#include "compose/Merge.h"
#include "send/MimeMessage.h"
#include "send/PythonMail.h"
#include "shell/Startup.h"
#include "support/TempProgramFolder.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

// The five sample newsletters and the empty draft the program ships: laid out into a
// fresh program folder, read by our own reader and by Python's email package.

namespace {

QSet<QString> matches(const QString& text, const QString& pattern) {
    QSet<QString> found;
    auto it = QRegularExpression(pattern).globalMatch(text);
    while (it.hasNext())
        found.insert(it.next().captured(1));
    return found;
}

} // namespace

TEST(ShippedSamples, AreLaidOutAndReadByOurReaderAndByPython) {
    TempProgramFolder pf;
    ASSERT_TRUE(Startup::layOutShippedFiles(pf.path()).isEmpty());

    QSet<QString> known;
    for (int f = 0; f < Merge::FieldCount; ++f)
        known.insert(Merge::placeholder(Merge::Field(f)));

    for (int n = 1; n <= 5; ++n) {
        const QString path = pf.file(QStringLiteral("Vorlagen/Quillon_Bsp%1.eml").arg(n));
        SCOPED_TRACE(path.toStdString());
        const QByteArray raw = readBytes(path);
        ASSERT_FALSE(raw.isEmpty());
        EXPECT_FALSE(QByteArray(raw).replace("\r\n", "").contains('\n')) << "bare line feed";

        MimeMessage m;
        QString error;
        ASSERT_TRUE(m.loadMessageFile(path, &error)) << error.toStdString();
        EXPECT_FALSE(m.subjectText().isEmpty());
        EXPECT_TRUE(m.senderAddress().endsWith(QStringLiteral("@example.com")));
        ASSERT_TRUE(m.hasHtmlPart());
        const QString html = m.htmlText();
        EXPECT_TRUE(html.contains(QStringLiteral("$ANREDE $NAME,")));
        EXPECT_TRUE(m.plainText().contains(QStringLiteral("$ANREDE $NAME,")));
        // Every placeholder is one the merge knows (a typo would reach the recipient).
        const QSet<QString> used =
            matches(html + m.plainText() + m.subjectText(), QStringLiteral("(\\$[A-Z]+)"));
        EXPECT_TRUE(used.contains(QStringLiteral("$MAIL")) || used.contains("$FIRMA"));
        for (const QString& p : used)
            EXPECT_TRUE(known.contains(p)) << p.toStdString();

        // The page refers to exactly the inline images it carries, each with a text.
        QSet<QString> ids;
        for (const MimeMessage::PartInfo& part : m.inlineParts()) {
            EXPECT_TRUE(part.contentType.startsWith(QStringLiteral("image/")));
            EXPECT_GT(part.size, 500);
            ids.insert(part.contentId);
        }
        EXPECT_FALSE(ids.isEmpty());
        EXPECT_EQ(matches(html, QStringLiteral("src=\"cid:([^\"]+)\"")), ids);
        EXPECT_TRUE(m.keptAttachments().isEmpty());
        EXPECT_EQ(html.count(QStringLiteral("<img ")), html.count(QStringLiteral(" alt=\"")));
        // Links only to the reserved domain, nothing that runs or loads from elsewhere.
        const QSet<QString> links = matches(html, QStringLiteral("href=\"([^\"]*)\""));
        EXPECT_GE(links.size(), 2);
        for (const QString& url : links)
            EXPECT_TRUE(url.startsWith(QStringLiteral("https://www.example.com")))
                << url.toStdString();
        EXPECT_FALSE(html.contains(QStringLiteral("<script"), Qt::CaseInsensitive));
        EXPECT_FALSE(html.contains(QStringLiteral("<link"), Qt::CaseInsensitive));

        // An independent reader: no defects, the structure mail clients expect.
        const QJsonObject py = readMailByPython(path);
        EXPECT_TRUE(py.value("defects").toArray().isEmpty());
        const QJsonObject tree = py.value("tree").toObject();
        EXPECT_TRUE(shapeOf(tree).startsWith(
            QStringLiteral("multipart/alternative(text/plain,multipart/related(text/html,image/")))
            << shapeOf(tree).toStdString();
        qsizetype imageBytes = 0;
        for (const QJsonObject& leaf : leavesOf(tree)) {
            if (leaf.value("type").toString().startsWith(QStringLiteral("text/"))) {
                EXPECT_EQ(leaf.value("charset").toString(), QStringLiteral("utf-8"));
                EXPECT_EQ(leaf.value("cte").toString(), QStringLiteral("quoted-printable"));
            } else {
                EXPECT_EQ(leaf.value("cte").toString(), QStringLiteral("base64"));
                imageBytes += leaf.value("hex").toString().size() / 2;
            }
        }
        // Both readers decode the same page (Python gives line feeds only).
        EXPECT_EQ(leavesOf(tree).at(1).value("text").toString(),
                  QString(html).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

        if (n == 4) { // the benchmark's newsletter: about 60 KB of HTML, 200 KB of images
            EXPECT_EQ(ids.size(), 3);
            EXPECT_GT(html.toUtf8().size(), 50 * 1024);
            EXPECT_LT(html.toUtf8().size(), 70 * 1024);
            EXPECT_GT(imageBytes, 170 * 1024);
            EXPECT_LT(imageBytes, 230 * 1024);
        } else {
            EXPECT_LT(raw.size(), 150 * 1024);
        }
    }

    // The empty draft a mail program opens as a new message.
    const QString dummy = pf.file(QStringLiteral("temp/dummy.eml"));
    const QJsonObject py = readMailByPython(dummy);
    EXPECT_TRUE(py.value("defects").toArray().isEmpty());
    const QJsonObject headers = py.value("headers").toObject();
    EXPECT_EQ(headers.value("x-unsent").toArray(), QJsonArray{QStringLiteral("1")});
    EXPECT_EQ(headers.value("subject").toArray(), QJsonArray{QString()});
    const QJsonObject body = py.value("tree").toObject();
    EXPECT_EQ(body.value("type").toString(), QStringLiteral("text/plain"));
    EXPECT_TRUE(body.value("text").toString().trimmed().isEmpty());
}
