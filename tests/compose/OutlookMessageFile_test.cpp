#include "compose/OutlookMessageFile.h"

#include "send/MimeMessage.h"
#include "support/TempProgramFolder.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

// The .msg fixtures, written by an independent writer (@tutao/oxmsg on Node.js).
class OutlookMessageFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_folder = new TempProgramFolder;
        QProcess node;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("NODE_PATH"), QStringLiteral(QUILLON_TEST_NODE_MODULES));
        node.setProcessEnvironment(env);
        node.start(
            QStringLiteral("node"),
            {QStringLiteral(QUILLON_TEST_FIXTURES "/write_msg_fixtures.cjs"), s_folder->path()});
        node.waitForFinished(60000);
        s_writerError = QString::fromUtf8(node.readAllStandardError());
        if (node.exitStatus() != QProcess::NormalExit || node.exitCode() != 0)
            s_writerError += QStringLiteral(" (node: ") + node.errorString() + QChar(')');
        else
            s_writerError.clear();
    }
    static void TearDownTestSuite() {
        delete s_folder;
        s_folder = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(s_writerError.isEmpty()) << s_writerError.toStdString(); }

    static QString file(const char* name) { return s_folder->file(QLatin1String(name)); }

    // Python's e-mail package, as a reader independent of ours: defects, headers and
    // the parts in order.
    static QJsonObject pythonView(const QString& eml) {
        static const char* script = R"PY(
import json, sys
from email import policy
from email.parser import BytesParser
m = BytesParser(policy=policy.default).parse(open(sys.argv[1], "rb"))
parts, defects = [], list(m.defects)
for p in m.walk():
    defects += p.defects
    parts.append({"type": p.get_content_type(), "cid": p.get("Content-ID", ""),
                  "name": p.get_filename() or "",
                  "bytes": len(p.get_payload(decode=True) or b"") if not p.is_multipart() else 0})
print(json.dumps({"defects": len(defects), "subject": str(m["subject"]), "from": str(m["from"]),
                  "to": str(m["to"]), "cc": str(m["cc"]), "date": str(m["date"]), "parts": parts}))
)PY";
        QProcess python;
        python.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral("-c"), QString::fromUtf8(script), eml});
        python.waitForFinished(30000);
        return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    }

    static inline TempProgramFolder* s_folder = nullptr;
    static inline QString s_writerError;
};

} // namespace

TEST_F(OutlookMessageFileTest, MessageWithHtmlInlineImageAndAttachmentBecomesAnEmail) {
    const QString eml = file("outlook_trans.eml");
    QString error;
    ASSERT_TRUE(OutlookMessageFile::convertToEml(file("full.msg"), eml, &error))
        << error.toStdString();

    const QJsonObject view = pythonView(eml);
    EXPECT_EQ(view["defects"].toInt(-1), 0);
    EXPECT_EQ(view["subject"].toString(), QString::fromUtf8("Grüße aus Köln – Herbstangebot"));
    EXPECT_EQ(view["from"].toString(), QString::fromUtf8("Jürgen Müller <vertrieb@firma.de>"));
    EXPECT_EQ(view["to"].toString(),
              QString::fromUtf8("Anna Schmidt <anna.schmidt@example.de>, Bernd Weiß "
                                "<bernd@example.org>"));
    EXPECT_EQ(view["cc"].toString(), QStringLiteral("Chefin <chef@firma.de>"));
    EXPECT_TRUE(view["date"].toString().contains(QStringLiteral("03 Nov 2026 09:30:00")))
        << view["date"].toString().toStdString();
    QStringList structure;
    for (const QJsonValue& p : view["parts"].toArray()) {
        const QJsonObject o = p.toObject();
        structure << o["type"].toString() + QChar(' ') + o["cid"].toString() + QChar(' ') +
                         o["name"].toString() + QChar(' ') + QString::number(o["bytes"].toInt());
    }
    // alternative(plain, related(html, image)) in mixed with the attachment.
    EXPECT_EQ(
        structure.join(QStringLiteral(" | ")),
        QString::fromUtf8("multipart/mixed   0 | multipart/alternative   0 | text/plain   69 | "
                          "multipart/related   0 | text/html   148 | image/png "
                          "<logo1@firma.de> logo.png 70 | application/pdf  Angebot "
                          "Größen.pdf 34"));

    // Our own reader takes it as a mail with its texts and kept parts.
    MimeMessage mail;
    ASSERT_TRUE(mail.loadMessageFile(eml, &error)) << error.toStdString();
    EXPECT_TRUE(mail.plainText().contains(QString::fromUtf8("Größen ab 40 – nur heute.")));
    EXPECT_TRUE(mail.htmlText().contains(QStringLiteral("src=\"cid:logo1@firma.de\"")));
    EXPECT_TRUE(mail.htmlText().contains(QString::fromUtf8("für Größen")));
    ASSERT_EQ(mail.inlineParts().size(), 1);
    EXPECT_EQ(mail.inlineParts()[0].contentId, QStringLiteral("logo1@firma.de"));
    ASSERT_EQ(mail.keptAttachments().size(), 1);
    EXPECT_EQ(mail.keptAttachments()[0].fileName, QString::fromUtf8("Angebot Größen.pdf"));
}

TEST_F(OutlookMessageFileTest, HtmlKeptOnlyAsCompressedRtfIsTakenOut) {
    const QString eml = file("rtf.eml");
    QString error;
    ASSERT_TRUE(OutlookMessageFile::convertToEml(file("rtfonly.msg"), eml, &error))
        << error.toStdString();
    MimeMessage mail;
    ASSERT_TRUE(mail.loadMessageFile(eml, &error)) << error.toStdString();
    EXPECT_EQ(mail.subjectText(), QStringLiteral("Nur RTF"));
    EXPECT_TRUE(mail.htmlText().contains(QString::fromUtf8("<p>Schöne Grüße {aus} Köln €</p>")))
        << mail.htmlText().toStdString();

    // Text outside the HTML tags but marked as RTF only, and RTF that was never HTML.
    EXPECT_EQ(OutlookMessageFile::htmlFromRtf(
                  "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 {\\fonttbl{\\f0 Arial;}}"
                  "{\\*\\htmltag19 <p>}\\htmlrtf {\\b\\htmlrtf0 Gr\\'fc\\'dfe\\htmlrtf }\\htmlrtf0 "
                  "\\u8364?{\\*\\htmltag27 </p>}}"),
              QString::fromUtf8("<p>Grüße€</p>"));
    EXPECT_EQ(OutlookMessageFile::htmlFromRtf("{\\rtf1\\ansi Nur Text\\par}"), QString());
    EXPECT_TRUE(OutlookMessageFile::decompressRtf("kein RTF").isEmpty());
}

TEST_F(OutlookMessageFileTest, FilesThatAreNoUsableMessageAreRefusedInGerman) {
    const QString eml = file("refused.eml");
    QFile text(file("text.msg"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("Das ist keine Outlook-Datei.\r\n");
    text.close();
    QString error;
    EXPECT_FALSE(OutlookMessageFile::convertToEml(file("text.msg"), eml, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Die Datei \""))) << error.toStdString();
    EXPECT_TRUE(error.endsWith(
        QStringLiteral("\" ist keine Outlook-Nachricht (.msg) oder ist beschädigt.")));

    // Cut off in the middle.
    QFile whole(file("full.msg"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    QFile cut(file("cut.msg"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(whole.read(whole.size() / 3));
    cut.close();
    EXPECT_FALSE(OutlookMessageFile::convertToEml(file("cut.msg"), eml, &error));

    EXPECT_FALSE(OutlookMessageFile::convertToEml(file("empty.msg"), eml, &error));
    EXPECT_TRUE(error.endsWith(QStringLiteral("\" enthält keinen Text."))) << error.toStdString();
    EXPECT_FALSE(OutlookMessageFile::convertToEml(file("fehlt.msg"), eml, &error));
    EXPECT_FALSE(QFile::exists(eml));
}
