#include "PythonMail.h"
#include "SendRunTestSupport.h"
#include "SendTestSupport.h"

#include "common/FileNames.h"
#include "send/MimeMessage.h"

#include <QJsonArray>
#include <QRegularExpression>

// HTML runs: the opened e-mail file (written by Python's email package) goes to every
// marked record, merged, with its inline images and attachment, and arrives as Python
// and GMime read it.

namespace {

class HtmlSendRunFixture : public SendRunFixture {
protected:
    // The composer's HTML mail: the e-mail file and the texts read from it.
    MailTemplate htmlMail() {
        const QString path = state.folders.programFolder + "newsletter.eml";
        if (!QFile::exists(path)) {
            EXPECT_TRUE(writeMailByPython(path));
        }
        return htmlMailFromFile(path);
    }

    QJsonObject pythonRead(const SmtpTestServer::Received& r) {
        const QString path = state.folders.programFolder + "received.eml";
        writeBytes(path, r.content);
        return readMailByPython(path);
    }
};

QStringList headerValues(const QJsonObject& read, const char* name) {
    QStringList out;
    for (const auto& v : read.value("headers").toObject().value(QLatin1String(name)).toArray())
        out << v.toString();
    return out;
}

} // namespace

TEST_F(HtmlSendRunFixture, SendsTheMergedMailWithItsPartsAndTrackedLinks) {
    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    AccountSettings account = sendRunAccount(server);
    account.codeSetIndex = 0;        // iso-8859-1
    account.clientIdentityIndex = 1; // Outlook Express 6, with X-MimeOLE
    writeSendRunSettings(state.folders.programFolder, account);
    appendSendRecords(table, {{"anna@example.org", "Müller"},
                              {"kein-at.example.org", "Schmidt"},
                              {"bert@example.org", "Żak"},
                              {"carl@example.org\xC3\xBF", "Weber", "Frau", true, true}});

    ScriptedMessages messages;
    SendRun run(context(), mail, messages);
    prepare(run, htmlMail(), 4);
    run.inputs.priority = 1;
    run.inputs.tracking = true;
    run.inputs.statsAddress = QStringLiteral("https://stats.firma.de/nl/");
    ASSERT_TRUE(runToEnd(run).reachedLoop) << messages.shown().join("\n").toStdString();

    // The record marked invalid before goes too (HTML runs do not look at Invalid), its
    // ÿ removed from the address.
    const auto got = server.received();
    ASSERT_EQ(got.size(), 3);
    EXPECT_EQ(recipientsOf(got),
              (QStringList{"anna@example.org", "bert@example.org", "carl@example.org"}));
    EXPECT_EQ(invalidShown.size(), 1);
    EXPECT_TRUE(invalidShown.value(0).endsWith(": kein-at.example.org"));
    EXPECT_FALSE(QFile::exists(state.folders.systemTempFolder + "Sending.eml"));
    EXPECT_EQ(TextFile::readLines(state.folders.tempFolder + FileNames::sentLog()).size(), 3);
    for (qint64 id : table->tableIds()) {
        const Booked b = bookedOf(table, id);
        EXPECT_FALSE(b.selected);
    }

    const QString nid = run.newsletterId();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{12}$")).match(nid).hasMatch())
        << nid.toStdString();
    const QString stats = QStringLiteral("https://stats.firma.de/nl/stats.php?nid=") + nid;
    const QJsonObject original = readMailByPython(state.folders.programFolder + "newsletter.eml");
    const QList<QJsonObject> originalLeaves = leavesOf(original.value("tree").toObject());
    for (int i = 0; i < got.size(); ++i) {
        const QJsonObject read = pythonRead(got[i]);
        EXPECT_TRUE(read.value("defects").toArray().isEmpty()) << i;
        EXPECT_EQ(shapeOf(read.value("tree").toObject()),
                  QStringLiteral("multipart/mixed(multipart/alternative(text/plain,multipart/"
                                 "related(text/html,image/png,image/jpeg)),application/pdf)"));
        const QList<QJsonObject> leaves = leavesOf(read.value("tree").toObject());
        ASSERT_EQ(leaves.size(), 5);
        for (int p : {2, 3, 4}) {
            EXPECT_EQ(leaves[p].value("cid"), originalLeaves[p].value("cid")) << p;
            EXPECT_EQ(leaves[p].value("hex"), originalLeaves[p].value("hex")) << p;
        }
        EXPECT_EQ(leaves[4].value("filename").toString(), QStringLiteral("preis liste.pdf"));
        // One copy of each header, also on the last of many messages.
        EXPECT_EQ(headerValues(read, "x-priority"), QStringList{"1"});
        EXPECT_EQ(headerValues(read, "x-msmail-priority"), QStringList{"High"});
        EXPECT_EQ(headerValues(read, "x-mailer"), QStringList{clientIdentityText(1)});
        EXPECT_EQ(headerValues(read, "x-mimeole"),
                  QStringList{"Produced By Microsoft MimeOLE V6.00.2900.5994"});
        EXPECT_EQ(headerValues(read, "from"), QStringList{"Firma GmbH <info@firma.de>"});
        EXPECT_EQ(headerValues(read, "subject").size(), 1);
        EXPECT_EQ(headerValues(read, "date").size(), 1);
        EXPECT_EQ(headerValues(read, "message-id").size(), 1);
        EXPECT_EQ(headerValues(read, "mime-version").size(), 1);

        const QJsonObject html = leaves[1];
        EXPECT_EQ(html.value("charset").toString(), QStringLiteral("iso-8859-1"));
        const QByteArray bytes = QByteArray::fromHex(html.value("raw").toString().toLatin1());
        EXPECT_TRUE(bytes.contains("Gr\xFC\xDF"
                                   "e &#8364;"))
            << i;
        EXPECT_TRUE(bytes.contains("src=\"cid:logo@firma.de\""));
        // Upper-case HREF and both quote styles lead through the statistics script;
        // the mail link stays.
        const QString text = html.value("text").toString();
        EXPECT_TRUE(text.contains("href=\"" + stats + "&url=https://www.firma.de/a?b=1\""))
            << text.toStdString();
        EXPECT_TRUE(text.contains("href='" + stats + "&url=http://www.firma.de/'"));
        EXPECT_TRUE(text.contains("href=\"mailto:info@firma.de\""));
        EXPECT_EQ(text.count(QStringLiteral("stats.php")), 2);
    }
    // Merged per record: Żak is no ISO-8859-1 character, so the plain part of that
    // message switches to UTF-8 and its HTML writes a reference.
    const QJsonObject second = pythonRead(got[1]);
    const QList<QJsonObject> leaves = leavesOf(second.value("tree").toObject());
    EXPECT_EQ(headerValues(second, "subject"),
              QStringList{QStringLiteral("Grüße für unsere € Kunden – Żak")});
    EXPECT_EQ(leaves[0].value("charset").toString(), QStringLiteral("utf-8"));
    EXPECT_TRUE(leaves[0].value("text").toString().contains(QStringLiteral("Hallo Herr Żak,")));
    EXPECT_TRUE(QByteArray::fromHex(leaves[1].value("raw").toString().toLatin1())
                    .contains("Hallo &#379;ak, Gr\xFC\xDF"
                              "e &#8364;"));

    // GMime reads what arrived just as well.
    MimeMessage back;
    QString error;
    ASSERT_TRUE(back.loadMessageBytes(got[0].content, &error)) << error.toStdString();
    EXPECT_TRUE(back.htmlText().contains(QStringLiteral("Hallo Müller, Grüße &#8364;")));
    ASSERT_EQ(back.inlineParts().size(), 2);
    EXPECT_EQ(back.inlineParts()[1].contentId, QStringLiteral("foto.2@firma.de"));
    EXPECT_EQ(back.keptAttachments().size(), 1);
}

// A message that cannot be built is booked failed and never sent; the next run sends
// with the default identity and priority and without tracking: no mailer or priority
// header, links as they are.
TEST_F(HtmlSendRunFixture, AMessageThatCannotBeBuiltIsBookedFailed) {
    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    writeSendRunSettings(state.folders.programFolder, sendRunAccount(server));
    appendLetterRecords(2);
    state.flags.transactionLogEnabled = true;
    // "Sending.eml" cannot be written: a folder stands in its place.
    ASSERT_TRUE(QDir().mkpath(state.folders.systemTempFolder + "Sending.eml/x"));
    {
        ScriptedMessages messages;
        SendRun run(context(), mail, messages);
        prepare(run, htmlMail(), 2);
        ASSERT_TRUE(runToEnd(run).reachedLoop);
    }
    EXPECT_TRUE(server.received().isEmpty());
    EXPECT_EQ(invalidShown.size(), 2);
    for (qint64 id : table->tableIds()) {
        EXPECT_TRUE(bookedOf(table, id).invalid);
        EXPECT_FALSE(bookedOf(table, id).selected);
    }
    EXPECT_TRUE(TextFile::readLines(state.folders.programFolder + "Transaction.log")
                    .join("\n")
                    .contains("Sending.eml"));

    ASSERT_TRUE(QDir(state.folders.systemTempFolder + "Sending.eml").removeRecursively());
    table->updateRecords(table->tableIds(), {{"Selected", true}});
    {
        ScriptedMessages messages;
        SendRun run(context(), mail, messages);
        prepare(run, htmlMail(), 2);
        ASSERT_TRUE(runToEnd(run).reachedLoop);
        EXPECT_TRUE(run.newsletterId().isEmpty());
    }
    const auto got = server.received();
    ASSERT_EQ(got.size(), 2);
    const QJsonObject read = pythonRead(got[1]);
    for (const char* absent : {"x-mailer", "x-priority", "x-msmail-priority", "x-mimeole"})
        EXPECT_TRUE(headerValues(read, absent).isEmpty()) << absent;
    const QList<QJsonObject> leaves = leavesOf(read.value("tree").toObject());
    EXPECT_EQ(leaves[1].value("charset").toString(), QStringLiteral("utf-8"));
    EXPECT_TRUE(leaves[1].value("text").toString().contains(
        QStringLiteral("HREF=\"https://www.firma.de/a?b=1\"")));

    // A message file that is gone ends the run before anything is sent.
    MailTemplate gone = htmlMail();
    gone.messageFile += QStringLiteral(".weg");
    RecordingMessages messages;
    SendRun run(context(), mail, messages);
    prepare(run, gone, 2);
    EXPECT_FALSE(runToEnd(run).reachedLoop);
    EXPECT_TRUE(messages.shown.join("\n").contains("kann nicht gelesen werden"));
    MailTemplate none = htmlMail();
    none.messageFile.clear();
    RecordingMessages messages2;
    SendRun run2(context(), mail, messages2);
    prepare(run2, none, 2);
    EXPECT_FALSE(runToEnd(run2).reachedLoop);
    EXPECT_EQ(messages2.shown, QStringList{"I:Mail Datei mit HTML-Mail nicht geöffnet?"});
}
