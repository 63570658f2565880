#include "PythonMail.h"
#include "send/MimeMessage.h"
#include "support/TempProgramFolder.h"

#include <QJsonArray>
#include <gtest/gtest.h>

// E-mail files written by Python's email package are read, unpacked for a browser and
// built again for a record with their inline images and attachment unchanged; what we
// write is read back by Python.

namespace {

QByteArray hexOf(const QJsonObject& leaf) {
    return QByteArray::fromHex(leaf.value(QStringLiteral("hex")).toString().toLatin1());
}

} // namespace

TEST(MimeMessageLoad, ReadsUnpacksAndRebuildsAWrittenMail) {
    TempProgramFolder folder;
    const QString source = folder.file(QStringLiteral("newsletter.eml"));
    ASSERT_TRUE(writeMailByPython(source));
    const QJsonObject original = readMailByPython(source);
    const QList<QJsonObject> originalLeaves = leavesOf(original.value("tree").toObject());

    MimeMessage m;
    QString error;
    ASSERT_TRUE(m.loadMessageFile(source, &error)) << error.toStdString();
    EXPECT_EQ(m.subjectText(), QStringLiteral("Grüße für unsere € Kunden – $NAME"));
    EXPECT_EQ(m.senderName(), QStringLiteral("Jürgen Müller"));
    EXPECT_EQ(m.senderAddress(), QStringLiteral("juergen@firma.de"));
    ASSERT_EQ(m.toRecipients().size(), 1);
    EXPECT_EQ(m.toRecipients()[0].address, QStringLiteral("kunde@example.org"));
    EXPECT_TRUE(m.plainText().contains(QStringLiteral("Preis 5 € - Grüße"))); // iso-8859-15, QP
    EXPECT_TRUE(m.hasHtmlPart());
    EXPECT_TRUE(m.htmlText().contains(QStringLiteral("Hallo $NAME, Grüße €"))); // base64
    ASSERT_EQ(m.inlineParts().size(), 2);
    EXPECT_EQ(m.inlineParts()[0].contentId, QStringLiteral("logo@firma.de"));
    EXPECT_EQ(m.inlineParts()[1].contentId, QStringLiteral("foto.2@firma.de"));
    ASSERT_EQ(m.keptAttachments().size(), 1);
    EXPECT_EQ(m.keptAttachments()[0].fileName, QStringLiteral("preis liste.pdf"));

    // Unpacked: the page refers to the written images, which hold the decoded bytes.
    ASSERT_TRUE(m.unpackHtmlTo(folder.path(), QStringLiteral("innerpreview1.html"),
                               QStringLiteral("images1"), &error))
        << error.toStdString();
    const QByteArray page = readBytes(folder.file(QStringLiteral("innerpreview1.html")));
    EXPECT_TRUE(page.startsWith("\xEF\xBB\xBF"));
    EXPECT_TRUE(page.contains("src=\"images1/bild_1.png\""));
    EXPECT_TRUE(page.contains("src='images1/Foto_%C3%84.jpg'"));
    EXPECT_FALSE(page.contains("cid:"));
    EXPECT_EQ(readBytes(folder.file(QStringLiteral("images1/bild_1.png"))),
              hexOf(originalLeaves[2]));
    // An old file in the parts folder goes; unpacking again gives the same page.
    writeBytes(folder.file(QStringLiteral("images1/alt.gif")), "GIF89a");
    ASSERT_TRUE(m.unpackHtmlTo(folder.path(), QStringLiteral("innerpreview1.html"),
                               QStringLiteral("images1"), &error));
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("images1/alt.gif"))));
    EXPECT_EQ(readBytes(folder.file(QStringLiteral("innerpreview1.html"))), page);

    // Built again for a record, twice over the same object: the texts change, the
    // images and the attachment travel as they came, each header once.
    const QString unmerged = m.htmlText();
    for (const QString& name : {QStringLiteral("Erster"), QStringLiteral("Zweiter Ω")}) {
        m.setHtmlText(QString(unmerged).replace(QStringLiteral("$NAME"), name));
        m.setPlainText(QStringLiteral("Hallo ") + name);
        m.setSubjectText(QStringLiteral("Für ") + name);
        m.setCharsetName("iso-8859-1");
        m.addHeaderLine(QStringLiteral("X-Priority"), QStringLiteral("1"));
        m.setMailerName(QStringLiteral("Microsoft Office Outlook 11"));
        m.clearRecipientLists();
        m.addToRecipient(QString(), QStringLiteral("kunde@example.org"));
    }
    ASSERT_TRUE(m.finishMessage(&error)) << error.toStdString();
    const QString rebuilt = folder.file(QStringLiteral("Sending.eml"));
    ASSERT_TRUE(m.saveMessageFile(rebuilt, &error)) << error.toStdString();
    EXPECT_EQ(readBytes(rebuilt), m.finishedBytes());

    const QJsonObject back = readMailByPython(rebuilt);
    EXPECT_TRUE(back.value("defects").toArray().isEmpty())
        << QJsonDocument(back.value("defects").toArray()).toJson().constData();
    EXPECT_EQ(shapeOf(back.value("tree").toObject()),
              QStringLiteral("multipart/mixed(multipart/alternative(text/plain,multipart/"
                             "related(text/html,image/png,image/jpeg)),application/pdf)"));
    const QList<QJsonObject> leaves = leavesOf(back.value("tree").toObject());
    ASSERT_EQ(leaves.size(), 5);
    // The plain text has a character ISO-8859-1 lacks: it goes as UTF-8. The HTML keeps
    // the declared charset, its page says so too, and Omega is a character reference.
    EXPECT_EQ(leaves[0].value("charset").toString(), QStringLiteral("utf-8"));
    EXPECT_EQ(leaves[0].value("text").toString().trimmed(), QStringLiteral("Hallo Zweiter Ω"));
    EXPECT_EQ(leaves[1].value("charset").toString(), QStringLiteral("iso-8859-1"));
    const QByteArray htmlBytes = QByteArray::fromHex(leaves[1].value("raw").toString().toLatin1());
    EXPECT_TRUE(htmlBytes.contains("Hallo Zweiter &#937;, Gr\xFC\xDF"
                                   "e &#8364;"));
    EXPECT_TRUE(htmlBytes.contains("charset=iso-8859-1"));
    EXPECT_TRUE(htmlBytes.contains("src=\"cid:logo@firma.de\""));
    for (int i : {2, 3, 4}) {
        EXPECT_EQ(leaves[i].value("cid").toString(), originalLeaves[i].value("cid").toString());
        EXPECT_EQ(leaves[i].value("filename").toString(),
                  originalLeaves[i].value("filename").toString());
        EXPECT_EQ(hexOf(leaves[i]), hexOf(originalLeaves[i])) << i;
    }
    const QJsonObject headers = back.value("headers").toObject();
    EXPECT_EQ(headers.value("subject").toArray(), QJsonArray{QStringLiteral("Für Zweiter Ω")});
    EXPECT_EQ(headers.value("x-priority").toArray().size(), 1);
    EXPECT_EQ(headers.value("x-mailer").toArray(),
              QJsonArray{QStringLiteral("Microsoft Office Outlook 11")});
    EXPECT_EQ(headers.value("to").toArray(), QJsonArray{QStringLiteral("kunde@example.org")});
}

// Whatever is wrong with a file, it says so in German and the message keeps what it had.
TEST(MimeMessageLoad, RefusesFilesThatAreNoReadableMail) {
    TempProgramFolder folder;
    const QString good = folder.file(QStringLiteral("gut.eml"));
    ASSERT_TRUE(writeMailByPython(good));
    const QByteArray mail = readBytes(good);

    const QByteArray hugeHtml = "From: a@example.org\r\nSubject: gross\r\nMIME-Version: 1.0\r\n"
                                "Content-Type: text/html; charset=utf-8\r\n\r\n<p>" +
                                QByteArray(20 * 1024 * 1024, 'x') + "</p>\r\n";
    const QByteArray unknownCharset =
        QByteArray(mail).replace("charset=\"iso-8859-15\"", "charset=\"x-quillon-unbekannt\"");
    ASSERT_NE(unknownCharset, mail);
    const struct {
        const char* what;
        QByteArray bytes;
        QString expected;
    } cases[] = {
        {"text", "Liebe Grüße,\r\ndies ist nur ein Brief.\r\n", QStringLiteral("keine E-Mail")},
        {"binary", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + QByteArray(500, '\x01'),
         QStringLiteral("keine E-Mail")},
        {"truncated", mail.left(mail.size() * 2 / 3), QStringLiteral("unvollständig")},
        {"charset", unknownCharset, QStringLiteral("x-quillon-unbekannt")},
        {"huge html", hugeHtml, QStringLiteral("zu groß")},
    };
    for (const auto& c : cases) {
        MimeMessage m;
        m.setSubjectText(QStringLiteral("vorher"));
        QString error;
        EXPECT_FALSE(m.loadMessageBytes(c.bytes, &error)) << c.what;
        EXPECT_TRUE(error.contains(c.expected)) << c.what << ": " << error.toStdString();
        EXPECT_EQ(m.subjectText(), QStringLiteral("vorher")) << c.what;
        EXPECT_TRUE(m.inlineParts().isEmpty());
    }
    // A plain text mail in an old charset with an encoded subject and no MIME header
    // for the text reads too.
    MimeMessage plain;
    QString error;
    ASSERT_TRUE(plain.loadMessageBytes("Subject: =?ISO-8859-1?Q?Gr=FC=DFe?=\r\nFrom: "
                                       "a@example.org\r\n\r\nGr\xFC\xDF"
                                       "e\r\n",
                                       &error))
        << error.toStdString();
    EXPECT_EQ(plain.subjectText(), QStringLiteral("Grüße"));
    EXPECT_EQ(plain.plainText().trimmed(), QStringLiteral("Grüße"));
    EXPECT_FALSE(plain.hasHtmlPart());
    EXPECT_FALSE(plain.unpackHtmlTo(folder.path(), "x.html", "img", &error));
}
