#include "send/SendRun.h"

#include "SendRunTestSupport.h"
#include "SendTestSupport.h"

#include "common/IniFile.h"
#include "database/TableStore.h"
#include "send/ServerSession.h"
#include "support/TestServers.h"

#include <QRegularExpression>
#include <QThread>

namespace {

// The text of a header made of RFC 2047 encoded words (B or Q), as UTF-8 bytes.
QByteArray decodeWords(const QByteArray& header) {
    static const QRegularExpression word(QStringLiteral("=\\?([^?]+)\\?([bBqQ])\\?([^?]*)\\?="));
    QByteArray out;
    qsizetype last = 0;
    auto it = word.globalMatch(QString::fromLatin1(header));
    while (it.hasNext()) {
        const auto m = it.next();
        const QByteArray between = header.mid(last, m.capturedStart() - last);
        if (!between.trimmed().isEmpty() || last == 0)
            out += between;
        QByteArray text = m.captured(3).toLatin1();
        if (m.captured(2).toLower() == QStringLiteral("b")) {
            text = QByteArray::fromBase64(text);
        } else {
            text.replace('_', ' ');
            text = decodeQuotedPrintable(text);
        }
        out += text;
        last = m.capturedEnd();
    }
    return out + header.mid(last);
}

} // namespace

// Three marked records, the second without "@": two messages, the second record booked
// invalid and listed, the log of sent addresses holds two lines.
TEST_F(SendRunFixture, ThreeRecordsOneInvalidAddress) {
    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    writeSendRunSettings(state.folders.programFolder, sendRunAccount(server));
    appendSendRecords(table, {{"anna@example.org", "Müller"},
                              {"kein-at.example.org", "Schmidt"},
                              {"  carl@example.org ", "Weber", "Frau"}});
    state.flags.transactionLogEnabled = true;

    ScriptedMessages messages;
    SendRun run(context(), mail, messages);
    prepare(run, textMail("Angebot fuer $NAME", {"$ANREDE $NAME,", "", "viele Grüße"}), 3);
    run.inputs.priority = SendRun::priorityFromText(QStringLiteral("Hoch"));
    QStringList sentEntries;
    QList<QStringList> shownBodies;
    QObject::connect(&run, &SendRun::recordSent,
                     [&](const QString& entry) { sentEntries << entry; });
    QObject::connect(&run, &SendRun::messageMerged,
                     [&](const QString&, const QStringList& lines) { shownBodies << lines; });
    int hidden = 0;
    QObject::connect(&run, &SendRun::preparing, [&] { ++hidden; });
    ASSERT_TRUE(runToEnd(run).reachedLoop);

    const auto got = server.received();
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[0].recipients, QStringList{"anna@example.org"});
    EXPECT_EQ(got[1].recipients, QStringList{"carl@example.org"});
    EXPECT_EQ(got[0].mailFrom, QStringLiteral("info@firma.de"));
    // Merged subject and body; Müller in UTF-8 bytes under code set 3.
    EXPECT_EQ(decodeWords(got[0].header("Subject")), QByteArray("Angebot fuer M\xC3\xBC"
                                                                "ller"));
    EXPECT_EQ(got[1].header("Subject"), QByteArray("Angebot fuer Weber"));
    EXPECT_TRUE(got[0].header("Content-Type").contains("charset=utf-8"));
    EXPECT_TRUE(decodeQuotedPrintable(got[0].body())
                    .contains("Herr M\xC3\xBCller,\r\n\r\nviele Gr\xC3\xBC\xC3\x9F"
                              "e\r\n"));
    EXPECT_TRUE(decodeQuotedPrintable(got[1].body()).contains("Frau Weber,\r\n"));
    EXPECT_EQ(got[0].header("X-Mailer"), QByteArray("XMailer"));
    EXPECT_EQ(got[0].header("X-Priority"), QByteArray("1"));
    EXPECT_TRUE(decodeWords(got[0].header("From")).contains("Firma GmbH"));
    EXPECT_EQ(got[0].connection, got[1].connection) << "one connection for the run";

    // Bookkeeping.
    const auto ids = table->tableIds();
    ASSERT_EQ(ids.size(), 3u);
    const Booked first = bookedOf(table, ids[0]);
    const Booked second = bookedOf(table, ids[1]);
    const Booked third = bookedOf(table, ids[2]);
    EXPECT_FALSE(first.selected);
    EXPECT_FALSE(first.invalid);
    EXPECT_EQ(first.lastMail, QDate::currentDate());
    EXPECT_FALSE(second.selected);
    EXPECT_TRUE(second.invalid);
    EXPECT_FALSE(second.lastMail.isValid());
    EXPECT_FALSE(third.selected);
    EXPECT_EQ(third.lastMail, QDate::currentDate());

    // What the window was told.
    EXPECT_EQ(invalidShown, QStringList{QString::number(ids[1]) + ": kein-at.example.org"});
    EXPECT_EQ(sentEntries, QStringList({"TO: anna@example.org", "TO: carl@example.org"}));
    ASSERT_EQ(shownBodies.size(), 3);
    EXPECT_EQ(shownBodies[1], QStringList({"Herr Schmidt,", "", "viele Grüße"}));
    EXPECT_EQ(hidden, 1);
    EXPECT_EQ(closed, 1);
    EXPECT_GE(closable, 1);
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.last().totalText, QStringLiteral("3 von 3"));
    EXPECT_EQ(pauses.size(), 2);

    // Filter off and cleared afterwards.
    EXPECT_FALSE(table->filtered());
    EXPECT_TRUE(table->filter().isEmpty());
    EXPECT_EQ(table->recordCount(), 3);

    // Files of the run.
    const WorkingFolders& f = state.folders;
    EXPECT_EQ(TextFile::readLines(f.tempFolder + "Gesendete_Mails.log"),
              QStringList({"anna@example.org", "carl@example.org"}));
    const QStringList templateLines = {
        "[SUBJECT]", "Angebot fuer $NAME", "[TEXT]",        "$ANREDE $NAME,",
        "",          "viele Grüße",        "[ATTACHEMENT]", ""};
    EXPECT_EQ(TextFile::readLines(f.systemTempFolder + "temp.mail"), templateLines);
    EXPECT_EQ(TextFile::readLines(f.lettersFolder + "_Zuletzt versande Email.mail"), templateLines);
    EXPECT_TRUE(QFile::exists(f.programFolder + "Logfile.txt"));
    const QString start = "--- START MAIL --- From: info@firma.de  To: ";
    EXPECT_EQ(TextFile::readLines(f.programFolder + "Transaction.log"),
              QStringList({start + "anna@example.org", "--- END MAIL ---", " ",
                           start + "kein-at.example.org", "--- END MAIL ---", " ",
                           start + "carl@example.org", "--- END MAIL ---", " "}));
}

// A record already marked invalid is not sent and listed again; an empty merged subject
// goes out as "Kein Betreff"; the attachment travels with every message; temp.mail is
// read again before every record.
TEST_F(SendRunFixture, InvalidRecordsAttachmentAndTemplateReadPerRecord) {
    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    writeSendRunSettings(state.folders.programFolder, sendRunAccount(server));
    appendSendRecords(table, {{"a@example.org", ""},
                              {"b@example.org", "Bauer", "Herr", true, true},
                              {"c@example.org", "Claus"}});
    const QString attachment = folder.file("Preisliste.txt");
    TextFile::writeLines(attachment, {"Preise"});

    ScriptedMessages messages;
    SendRun run(context(), mail, messages);
    MailTemplate m = textMail("$NAME", {"Text"});
    m.attachment = attachment;
    prepare(run, m, 3);
    const QString runTemplate = state.folders.systemTempFolder + "temp.mail";
    QObject::connect(&run, &SendRun::recordSent, [&](const QString&) {
        MailTemplate changed = m;
        changed.subject = QStringLiteral("Neu $NAME");
        writeMailTemplate(runTemplate, changed);
    });
    ASSERT_TRUE(runToEnd(run).reachedLoop);

    const auto got = server.received();
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[0].header("Subject"), QByteArray("Kein Betreff"));
    EXPECT_EQ(got[1].header("Subject"), QByteArray("Neu Claus"));
    for (const auto& r : got)
        EXPECT_TRUE(r.content.contains("Preisliste.txt"));
    const auto ids = table->tableIds();
    EXPECT_EQ(invalidShown, QStringList{QString::number(ids[1]) + ": b@example.org"});
    EXPECT_TRUE(bookedOf(table, ids[1]).invalid);
    EXPECT_FALSE(bookedOf(table, ids[1]).selected);
    EXPECT_FALSE(bookedOf(table, ids[2]).invalid);
}

// "Abbrechen" during a run keeps the current record marked; sending again reaches it and
// the records after it.
TEST_F(SendRunFixture, AbortKeepsTheCurrentRecordMarked) {
    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    writeSendRunSettings(state.folders.programFolder, sendRunAccount(server, 1));
    appendLetterRecords(4);
    const auto ids = table->tableIds();
    {
        ScriptedMessages messages;
        SendRun run(context(), mail, messages);
        prepare(run, textMail("Hallo $NAME", {"x"}), 4);
        int shown = 0;
        QObject::connect(&run, &SendRun::messageMerged, [&](const QString&, const QStringList&) {
            if (++shown == 2)
                run.abort();
        });
        ASSERT_TRUE(runToEnd(run).reachedLoop);
        EXPECT_EQ(pauses.size(), 1) << "no pause after the stop";
        EXPECT_EQ(closed, 1);
    }
    EXPECT_EQ(recipientsOf(server.received()), QStringList{"a@example.org"});
    EXPECT_FALSE(bookedOf(table, ids[0]).selected);
    EXPECT_TRUE(bookedOf(table, ids[1]).selected);
    EXPECT_FALSE(bookedOf(table, ids[1]).invalid);
    EXPECT_TRUE(bookedOf(table, ids[2]).selected);

    // A stop during the pause ends the run before the next record.
    {
        pauses.clear();
        ScriptedMessages messages;
        SendRun run(context(), mail, messages);
        prepare(run, textMail("Hallo $NAME", {"x"}), 3);
        QObject::connect(&run, &SendRun::pauseStarted, [&](int) { run.abort(); });
        ASSERT_TRUE(runToEnd(run).reachedLoop);
    }
    EXPECT_EQ(recipientsOf(server.received()), QStringList({"a@example.org", "b@example.org"}));
    EXPECT_TRUE(bookedOf(table, ids[2]).selected);

    // Sending again delivers the rest.
    {
        ScriptedMessages messages;
        SendRun run(context(), mail, messages);
        prepare(run, textMail("Hallo $NAME", {"x"}), 2);
        ASSERT_TRUE(runToEnd(run).reachedLoop);
    }
    EXPECT_EQ(recipientsOf(server.received()),
              QStringList({"a@example.org", "b@example.org", "c@example.org", "d@example.org"}));
    for (qint64 id : ids)
        EXPECT_FALSE(bookedOf(table, id).selected);
}

// Without a pause the next message is begun while a record is booked, but it cannot be
// complete before that booking: when a booking has been committed the server holds
// exactly the messages booked so far and the one being booked. "Abbrechen" during a
// booking gives the next message up: its record stays marked, and sending again delivers
// it once.
TEST_F(SendRunFixture, NextMessageCompletesOnlyAfterTheBookingBeforeIt) {
    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    writeSendRunSettings(state.folders.programFolder, sendRunAccount(server));
    appendLetterRecords(5);
    const auto ids = table->tableIds();
    {
        ScriptedMessages messages;
        SendRun run(context(), mail, messages);
        prepare(run, textMail("Hallo $NAME", {"x"}), 5);
        QList<int> arrivedAtBooking;
        QObject::connect(table->store(), &TableStore::recordsChanged, &run, [&] {
            settle(200); // time enough for a next message that was not held to arrive
            arrivedAtBooking << int(server.received().size());
            if (arrivedAtBooking.size() == 3)
                run.abort();
        });
        ASSERT_TRUE(runToEnd(run).reachedLoop);
        EXPECT_EQ(arrivedAtBooking, QList<int>({1, 2, 3}));
    }
    EXPECT_EQ(recipientsOf(server.received()),
              QStringList({"a@example.org", "b@example.org", "c@example.org"}));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(bookedOf(table, ids[i]).selected, i >= 3) << i;

    ScriptedMessages messages;
    SendRun again(context(), mail, messages);
    prepare(again, textMail("Hallo $NAME", {"x"}), 2);
    ASSERT_TRUE(runToEnd(again).reachedLoop);
    EXPECT_EQ(recipientsOf(server.received()),
              QStringList({"a@example.org", "b@example.org", "c@example.org", "d@example.org",
                           "e@example.org"}));
}

// Without a pause the next two messages are begun ahead. One whose record is unmarked
// while its message waits in that chain never completes, and the run goes on with the
// records still marked.
TEST_F(SendRunFixture, RecordUnmarkedWhileItsMessageWaitsAheadIsPassedOver) {
    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    writeSendRunSettings(state.folders.programFolder, sendRunAccount(server));
    appendLetterRecords(5);
    const auto ids = table->tableIds();
    ScriptedMessages messages;
    SendRun run(context(), mail, messages);
    prepare(run, textMail("Hallo $NAME", {"x"}), 5);
    QObject::connect(&run, &SendRun::recordSent, [&](const QString& entry) {
        if (entry == QLatin1String("TO: a@example.org"))
            table->updateRecords({ids[2]}, {{QStringLiteral("Selected"), false}});
    });
    ASSERT_TRUE(runToEnd(run).reachedLoop);
    EXPECT_EQ(recipientsOf(server.received()),
              QStringList({"a@example.org", "b@example.org", "d@example.org", "e@example.org"}));
    EXPECT_FALSE(bookedOf(table, ids[2]).lastMail.isValid());
    EXPECT_EQ(run.sentList().size(), 4);
}

// "Abbrechen" that comes after the server accepted the current message, while its answer
// was on the way: the message arrived, so its record is booked as sent (sending again
// would reach the address twice), and the run stops after it.
TEST_F(SendRunFixture, AcceptedMessageIsBookedWhenTheStopComesLate) {
    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    writeSendRunSettings(state.folders.programFolder, sendRunAccount(server));
    appendLetterRecords(3);
    const auto ids = table->tableIds();
    ScriptedMessages messages;
    SendRun run(context(), mail, messages);
    prepare(run, textMail("Hallo $NAME", {"x"}), 3);
    int shown = 0;
    QObject::connect(&run, &SendRun::messageMerged, [&](const QString&, const QStringList&) {
        if (++shown != 2)
            return;
        // The window is busy while the second message goes out and is accepted; the
        // click on "Abbrechen" is handled only afterwards, before the run hears the end.
        for (int waited = 0; server.received().size() < 2 && waited < 10000; waited += 5)
            QThread::msleep(5);
        QThread::msleep(300); // the server's answer reaches the transfer
        run.abort();
    });
    ASSERT_TRUE(runToEnd(run).reachedLoop);

    EXPECT_EQ(recipientsOf(server.received()), QStringList({"a@example.org", "b@example.org"}));
    EXPECT_FALSE(bookedOf(table, ids[1]).selected);
    EXPECT_EQ(bookedOf(table, ids[1]).lastMail, QDate::currentDate());
    EXPECT_TRUE(bookedOf(table, ids[2]).selected);
    EXPECT_EQ(run.sentList(), QStringList({"TO: a@example.org", "TO: b@example.org"}));
}

// The pause comes between messages, not after the last; its length follows the delay.
TEST_F(SendRunFixture, PausesBetweenMessages) {
    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    writeSendRunSettings(state.folders.programFolder, sendRunAccount(server, 5));
    appendLetterRecords(4);
    ScriptedMessages messages;
    SendRun run(context(), mail, messages);
    prepare(run, textMail("Hallo", {"x"}), 4);
    run.millisecondsPerDelaySecond = 2;
    int sentBeforeLastPause = -1;
    QObject::connect(&run, &SendRun::pauseStarted,
                     [&](int) { sentBeforeLastPause = int(run.sentList().size()); });
    ASSERT_TRUE(runToEnd(run).reachedLoop);
    EXPECT_EQ(pauses, QList<int>({10, 10, 10}));
    EXPECT_EQ(sentBeforeLastPause, 3);
    EXPECT_EQ(server.received().size(), 4);
}

TEST(SendRunRules, ProgressTextsAndRounding) {
    // The percentage of valid addresses is sent of marked, as its bar shows.
    auto p = SendRun::computeProgress(1, 0, 4);
    EXPECT_EQ(p.validText, QStringLiteral("25.00% (1 Stück)"));
    EXPECT_EQ(p.validBar, 25);
    EXPECT_EQ(p.totalText, QStringLiteral("1 von 4"));
    EXPECT_EQ(p.totalBar, 25);
    EXPECT_EQ(p.invalidText, QStringLiteral("0.00% (0 Stück)"));
    EXPECT_EQ(p.invalidBar, 0);

    p = SendRun::computeProgress(2, 1, 3);
    EXPECT_EQ(p.validText, QStringLiteral("66.67% (2 Stück)"));
    EXPECT_EQ(SendRun::computeProgress(4, 0, 5).validText, QStringLiteral("80.00% (4 Stück)"));
    EXPECT_EQ(SendRun::computeProgress(0, 0, 3).validText, QStringLiteral("0.00% (0 Stück)"));
    EXPECT_EQ(p.invalidText, QStringLiteral("33.33% (1 Stück)"));
    EXPECT_EQ(p.validBar, 67);
    EXPECT_EQ(p.totalBar, 100);

    // Halves go to the even neighbour: 12.5 -> 12, 37.5 -> 38.
    EXPECT_EQ(SendRun::computeProgress(1, 0, 8).validBar, 12);
    EXPECT_EQ(SendRun::computeProgress(3, 0, 8).validBar, 38);
    EXPECT_EQ(SendRun::computeProgress(0, 1, 8).invalidBar, 12);
    // Records unmarked meanwhile: the total ends below the marked count.
    EXPECT_EQ(SendRun::computeProgress(2, 0, 5).totalText, QStringLiteral("2 von 5"));
    // More sent than counted at the start never runs the bars past 100; no marked count
    // divides by nothing.
    EXPECT_EQ(SendRun::computeProgress(6, 0, 5).validBar, 100);
    EXPECT_EQ(SendRun::computeProgress(1, 0, 0).validText, QStringLiteral("0.00% (1 Stück)"));

    // Message size in KB: line lengths / 1024, halves to even, at least 1.
    EXPECT_EQ(SendRun::textMessageSizeKb({}), 1);
    EXPECT_EQ(SendRun::textMessageSizeKb({QString(1536, 'x')}), 2);
    EXPECT_EQ(SendRun::textMessageSizeKb({QString(2048, 'x'), QString(512, 'y')}), 2);
    EXPECT_EQ(SendRun::textMessageSizeKb({QString(3584, 'x')}), 4);
    EXPECT_EQ(SendRun::trafficValueForSize(100), 100);
    EXPECT_EQ(SendRun::trafficValueForSize(101), 350);

    QString address, name;
    SendRun::splitSenderEntry(QStringLiteral(" info@firma.de <Firma Müller GmbH> "), &address,
                              &name);
    EXPECT_EQ(address, QStringLiteral("info@firma.de"));
    EXPECT_EQ(name, QStringLiteral("Firma Müller GmbH"));
    SendRun::splitSenderEntry(QStringLiteral(" chef@firma.de "), &address, &name);
    EXPECT_EQ(address, QStringLiteral("chef@firma.de"));
    EXPECT_TRUE(name.isEmpty());
    EXPECT_EQ(SendRun::priorityFromText(QStringLiteral("Hoch")), 1);
    EXPECT_EQ(SendRun::priorityFromText(QStringLiteral("Normal")), 3);
    EXPECT_EQ(SendRun::priorityFromText(QStringLiteral("Niedrig")), 5);
}

// The display during a run: the progress after each record and the traffic value of the
// message under way.
TEST_F(SendRunFixture, ProgressAndTrafficDuringARun) {
    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    writeSendRunSettings(state.folders.programFolder, sendRunAccount(server));
    appendSendRecords(table, {{"a@example.org", "A"},
                              {"falsch", "B"},
                              {"c@example.org", "C"},
                              {"d@example.org", "D", "Herr", false}});
    ScriptedMessages messages;
    SendRun run(context(), mail, messages);
    prepare(run, textMail("Hallo", {QString(1536, 'x')}), 4);
    int resets = 0;
    QObject::connect(&run, &SendRun::displayReset, [&] { ++resets; });
    QList<SendRun::TrafficPoint> ticks;
    QObject::connect(&run, &SendRun::recordSent,
                     [&](const QString&) { ticks << run.trafficTick(); });
    ASSERT_TRUE(runToEnd(run).reachedLoop);
    EXPECT_EQ(resets, 1);
    ASSERT_GE(progress.size(), 3);
    EXPECT_EQ(progress[0].validText, QStringLiteral("25.00% (1 Stück)"));
    EXPECT_EQ(progress[0].validBar, 25);
    EXPECT_EQ(progress[1].invalidText, QStringLiteral("25.00% (1 Stück)"));
    EXPECT_EQ(progress.last().totalText, QStringLiteral("3 von 4"));
    ASSERT_EQ(ticks.size(), 2);
    EXPECT_EQ(ticks[0].tick, 1);
    EXPECT_EQ(ticks[1].tick, 2);
    EXPECT_EQ(ticks[0].value, 2);
}

// Failures: a server that refuses every recipient counts every record failed without a
// question; a connection problem asks (plain) or stops (TLS) unless an ignore box is
// ticked.
TEST_F(SendRunFixture, FailuresAreClassifiedAndTheIgnoreBoxesSilenceThem) {
    appendLetterRecords(2);
    const auto ids = table->tableIds();
    auto remark = [&] {
        table->first();
        for (qint64 id : ids) {
            ASSERT_TRUE(table->locateId(id));
            table->edit();
            table->setBool("Selected", true);
            table->setBool("Invalid", false);
            ASSERT_TRUE(table->post());
        }
    };
    {
        SmtpTestServer::Options o;
        o.refuseRecipients = true;
        SmtpTestServer server(o);
        ASSERT_SERVER_RUNS(server);
        writeSendRunSettings(state.folders.programFolder, sendRunAccount(server));
        ScriptedMessages messages; // no box
        SendRun run(context(), mail, messages);
        prepare(run, textMail("Hallo", {"x"}), 2);
        ASSERT_TRUE(runToEnd(run).reachedLoop);
        EXPECT_EQ(invalidShown.size(), 2);
        EXPECT_TRUE(bookedOf(table, ids[0]).invalid);
        EXPECT_TRUE(bookedOf(table, ids[1]).invalid);
    }

    SmtpTestServer::Options o;
    o.requireAuth = true; // we do not log in: "must be authenticated"
    SmtpTestServer server(o);
    ASSERT_SERVER_RUNS(server);
    writeSendRunSettings(state.folders.programFolder, sendRunAccount(server));
    {
        // Yes to the question stops at once: the record is not booked.
        remark();
        RecordingMessages messages(true);
        SendRun run(context(), mail, messages);
        prepare(run, textMail("Hallo", {"x"}), 2);
        invalidShown.clear();
        ASSERT_TRUE(runToEnd(run).reachedLoop);
        ASSERT_EQ(messages.shown.size(), 1);
        EXPECT_TRUE(messages.shown[0].startsWith(
            "Q:Fehler in Ihrer Verbindung! Ihr SMTP-Server meldet folgenden Fehler: "));
        EXPECT_TRUE(messages.shown[0].contains("must be authenticated"));
        EXPECT_TRUE(messages.shown[0].endsWith(
            "! Möchten Sie den Versand abbrechen?\r\r(Falls Sie diese Meldungen nicht mehr "
            "wünschen, setzen Sie den Haken \"Verbindungsprobleme ignorieren\")"));
        EXPECT_TRUE(bookedOf(table, ids[0]).selected);
        EXPECT_FALSE(bookedOf(table, ids[0]).invalid);
        EXPECT_TRUE(invalidShown.isEmpty());
    }
    {
        // No goes on: every record asked and failed.
        RecordingMessages messages(false);
        SendRun run(context(), mail, messages);
        prepare(run, textMail("Hallo", {"x"}), 2);
        ASSERT_TRUE(runToEnd(run).reachedLoop);
        EXPECT_EQ(messages.shown.size(), 2);
        EXPECT_EQ(invalidShown.size(), 2);
    }
    // Either ignore box: no question, every record failed.
    for (int box = 0; box < 2; ++box) {
        remark();
        invalidShown.clear();
        RecordingMessages messages(true);
        SendRun run(context(), mail, messages);
        prepare(run, textMail("Hallo", {"x"}), 2);
        if (box == 0)
            run.inputs.ignoreConnectionProblems = true;
        else
            run.setIgnoreConnectionProblems(true);
        ASSERT_TRUE(runToEnd(run).reachedLoop);
        EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join("|").toStdString();
        EXPECT_EQ(invalidShown.size(), 2);
        EXPECT_TRUE(bookedOf(table, ids[1]).invalid);
    }
    EXPECT_TRUE(server.received().isEmpty());
}

TEST_F(SendRunFixture, TlsConnectionProblemStopsWithAMessage) {
    SmtpTestServer::Options o;
    o.tls = SmtpTestServer::Tls::StartTls;
    o.requireAuth = true;
    SmtpTestServer server(o);
    ASSERT_SERVER_RUNS(server);
    AccountSettings a = sendRunAccount(server);
    a.sslActive = true;
    writeSendRunSettings(state.folders.programFolder, a);
    IniFile(state.folders.programFolder + "Quillon.ini")
        .writeString(QStringLiteral("SSL"), QStringLiteral("CAFile"), server.caFile());
    appendLetterRecords(2);
    RecordingMessages messages(true);
    SendRun run(context(), mail, messages);
    prepare(run, textMail("Hallo", {"x"}), 2);
    ASSERT_TRUE(runToEnd(run).reachedLoop);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].startsWith(
        "E:Fehler in Ihrer Verbindung! Versand wird abgebrochen. Bitte überprüfen Sie Ihre "
        "Verbindung zum SMTP-Server!\r\r"));
    EXPECT_EQ(table->recordCount(), 2);
    EXPECT_TRUE(bookedOf(table, table->tableIds()[0]).selected);
}

// A server that refuses the session (here the greeting, at each recipient, as Postfix
// does) never makes good addresses invalid: the run stops with the server's reply and
// every record stays marked, ignore boxes or not. Greeting with the sender's domain, the
// same server takes every message.
TEST_F(SendRunFixture, RefusedSessionStopsTheRunAndKeepsTheRecordsMarked) {
    appendLetterRecords(3);
    const auto ids = table->tableIds();
    const QString reply =
        QStringLiteral("504 5.5.2 <vm>: Helo command rejected: need fully-qualified hostname");
    for (const bool ignore : {false, true}) {
        SmtpTestServer::Options o;
        o.rcptReply = reply;
        SmtpTestServer server(o);
        ASSERT_SERVER_RUNS(server);
        writeSendRunSettings(state.folders.programFolder, sendRunAccount(server));
        RecordingMessages messages(false);
        SendRun run(context(), mail, messages);
        prepare(run, textMail("Hallo", {"x"}), 3);
        run.inputs.ignoreConnectionProblems = ignore;
        const SendRun::Result result = runToEnd(run);
        ASSERT_EQ(messages.shown.size(), 1) << messages.shown.join("|").toStdString();
        EXPECT_TRUE(messages.shown[0].startsWith(
            "E:Fehler in Ihrer Verbindung! Versand wird abgebrochen. Bitte überprüfen Sie Ihre "
            "Verbindung zum SMTP-Server!\r\r"));
        EXPECT_TRUE(messages.shown[0].contains(reply));
        EXPECT_TRUE(result.invalidList.isEmpty());
        for (qint64 id : ids) {
            EXPECT_TRUE(bookedOf(table, id).selected) << id;
            EXPECT_FALSE(bookedOf(table, id).invalid) << id;
        }
    }

    SmtpTestServer::Options fqdn;
    fqdn.requireFullyQualifiedGreeting = true;
    SmtpTestServer server(fqdn);
    ASSERT_SERVER_RUNS(server);
    writeSendRunSettings(state.folders.programFolder, sendRunAccount(server));
    ScriptedMessages messages;
    SendRun run(context(), mail, messages);
    prepare(run, textMail("Hallo", {"x"}), 3);
    ASSERT_TRUE(runToEnd(run).reachedLoop);
    ASSERT_EQ(server.received().size(), 3);
    EXPECT_EQ(server.received()[0].greeting, QStringLiteral("firma.de"));
    for (qint64 id : ids)
        EXPECT_FALSE(bookedOf(table, id).invalid) << id;
}

// A server nobody answers for: the question says that no connection could be made, with
// host and port, in plain German.
TEST_F(SendRunFixture, NoConnectionIsSaidPlainly) {
    appendLetterRecords(1);
    AccountSettings a;
    a.smtpHost = QStringLiteral("127.0.0.1");
    const int port = TestServers::freePort();
    a.smtpPort = QString::number(port);
    writeSendRunSettings(state.folders.programFolder, a);
    RecordingMessages messages(true);
    SendRun run(context(), mail, messages);
    prepare(run, textMail("Hallo", {"x"}), 1);
    runToEnd(run);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown[0],
              "Q:Fehler in Ihrer Verbindung! Es kann keine Verbindung zum SMTP-Server 127.0.0.1 "
              "(Port " +
                  QString::number(port) +
                  ") hergestellt werden: Der Server nimmt keine Verbindung an.\r\rMöchten Sie den "
                  "Versand abbrechen?\r\r(Falls Sie diese Meldungen nicht mehr wünschen, setzen "
                  "Sie den Haken \"Verbindungsprobleme ignorieren\")");
    EXPECT_TRUE(bookedOf(table, table->tableIds()[0]).selected);
}

// The checks before anything is sent.
TEST_F(SendRunFixture, EarlyChecks) {
    SmtpTestServer server;
    ASSERT_SERVER_RUNS(server);
    writeSendRunSettings(state.folders.programFolder, sendRunAccount(server));
    appendSendRecords(table, {{"a@example.org", "A"}});
    const QString transactionLog = state.folders.programFolder + "Transaction.log";
    {
        // Several senders: the question; No ends the click, Transaction.log is gone.
        TextFile::writeLines(transactionLog, {"alt"});
        ScriptedMessages messages;
        messages.expectQuestion(
            "Wollen Sie die Email mit dem Absender: info@firma.de <Firma GmbH>versenden", false);
        SendRun run(context(), mail, messages);
        prepare(run, textMail("Hallo", {"x"}), 1);
        run.inputs.senderCount = 2;
        EXPECT_FALSE(runToEnd(run).reachedLoop);
        EXPECT_FALSE(QFile::exists(transactionLog));
        EXPECT_EQ(closed, 0);
    }
    {
        // Account never set up: message, the window closes.
        state.flags.firstSettingsDone = false;
        ScriptedMessages messages;
        messages.expectInformation(
            "Die Einstellungen für Ihr Mailkonto sind noch nicht durchgeführt worden. Gehen Sie "
            "hierzu in den Menüpunkt \"Programm - Optionen\"");
        SendRun run(context(), mail, messages);
        prepare(run, textMail("Hallo", {"x"}), 1);
        EXPECT_FALSE(runToEnd(run).reachedLoop);
        EXPECT_EQ(closed, 1);
        state.flags.firstSettingsDone = true;
    }
    {
        // No subject: the window stays open, and no file of the run was written: the last
        // sent mail is still the one of the run before.
        closed = 0;
        const QString lastMail = state.folders.lettersFolder + "_Zuletzt versande Email.mail";
        QDir().mkpath(state.folders.lettersFolder);
        const QStringList before = {"[SUBJECT]", "Vorher", "[TEXT]", "alt", "[ATTACHEMENT]", ""};
        TextFile::writeLines(lastMail, before);
        ScriptedMessages messages;
        messages.expectInformation("Kein Betreff eingegeben! - E-Mail wird nicht versendet!");
        SendRun run(context(), mail, messages);
        prepare(run, textMail("   ", {"x"}), 1);
        EXPECT_FALSE(runToEnd(run).reachedLoop);
        EXPECT_EQ(closed, 0);
        EXPECT_FALSE(QFile::exists(state.folders.systemTempFolder + "temp.mail"));
        EXPECT_EQ(TextFile::readLines(lastMail), before);
    }
    {
        // A missing attachment would fail every message: the run does not start.
        ScriptedMessages messages;
        MailTemplate m = textMail("Hallo", {"x"});
        m.attachment = folder.file("weg.pdf");
        messages.expectInformation("Achtung! In der Vorlage haben Sie als Anhang die Datei " +
                                   m.attachment +
                                   " angegeben. \rDie Datei existiert aber nicht mehr!");
        SendRun run(context(), mail, messages);
        prepare(run, m, 1);
        EXPECT_FALSE(runToEnd(run).reachedLoop);
        EXPECT_FALSE(table->filtered());
    }
    {
        // The options dialog's preset host: message, filter off, window closes.
        AccountSettings a = sendRunAccount(server);
        a.smtpHost = "Ihr SMTP Server";
        writeSendRunSettings(state.folders.programFolder, a);
        ScriptedMessages messages;
        messages.expectInformation("Sie haben die Einstellungen noch nicht bearbeitet!\rBitte "
                                   "bearbeiten Sie diese im Menü unter Programm/Optionen!");
        SendRun run(context(), mail, messages);
        prepare(run, textMail("Hallo", {"x"}), 1);
        int busy = 0;
        QObject::connect(&run, &SendRun::busy, [&](bool on) { busy += on ? 1 : -1; });
        EXPECT_FALSE(runToEnd(run).reachedLoop);
        EXPECT_EQ(closed, 1);
        EXPECT_EQ(busy, 0) << "the cursor is reset";
        EXPECT_FALSE(table->filtered());
    }
    {
        // The connection set-up fails (no settings file): filter off, the window stays.
        closed = 0;
        closable = 0;
        QFile::remove(state.folders.programFolder + "Quillon.ini");
        ScriptedMessages messages;
        messages.expectError("Inifile " + state.folders.programFolder + "Quillon.ini not found!");
        SendRun run(context(), mail, messages);
        prepare(run, textMail("Hallo", {"x"}), 1);
        EXPECT_FALSE(runToEnd(run).reachedLoop);
        EXPECT_EQ(closed, 0);
        EXPECT_EQ(closable, 1);
        EXPECT_FALSE(table->filtered());
    }
    EXPECT_TRUE(server.received().isEmpty());
    EXPECT_TRUE(bookedOf(table, table->tableIds()[0]).selected);
}
