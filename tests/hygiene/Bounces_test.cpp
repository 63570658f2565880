#include "hygiene/Bounces.h"

#include "send/Pop3Login.h"
#include "send/SendRunTestSupport.h"
#include "send/SendTestSupport.h"
#include "support/Pop3TestServer.h"

#include <QDir>

// Bounce processing against a real POP3 server (dovecot) holding the reports of the
// large mail servers as they write them, next to mails that are no bounces.

namespace {

QByteArray fixture(const QString& name) {
    QByteArray bytes = readBytes(QStringLiteral(QUILLON_TEST_FIXTURES "/bounces/") + name);
    bytes.replace("\r\n", "\n");
    return bytes.replace("\n", "\r\n");
}

struct Expected {
    const char* file;
    BounceReport::Kind kind;
    const char* address; // the one address found, or empty
    bool hard;
};

const QList<Expected> kFixtures = {
    {"postfix-dsn.eml", BounceReport::Kind::Bounce, "anna@example.org", true},
    {"postfix-delayed.eml", BounceReport::Kind::Bounce, "bert@example.org", false},
    {"exim.eml", BounceReport::Kind::Bounce, "carl@example.org", true},
    {"qmail.eml", BounceReport::Kind::Bounce, "dora@example.org", true},
    {"outlook-mailbox-full.eml", BounceReport::Kind::Bounce, "emil@example.org", false},
    {"gmail.eml", BounceReport::Kind::Bounce, "frida@example.org", true},
    {"exim-not-in-table.eml", BounceReport::Kind::Bounce, "niemand@anderswo.example", true},
    {"dsn-without-final-recipient.eml", BounceReport::Kind::Unrecognised, "", false},
    {"broken-mime.eml", BounceReport::Kind::Unrecognised, "", false},
    {"auto-reply.eml", BounceReport::Kind::NoBounce, "", false},
    {"normal.eml", BounceReport::Kind::NoBounce, "", false},
};

} // namespace

TEST(Bounces, EachFormatGivesItsAddressAndKind) {
    for (const Expected& e : kFixtures) {
        SCOPED_TRACE(e.file);
        const BounceReport r = Bounces::parse(fixture(QLatin1String(e.file)));
        EXPECT_EQ(int(r.kind), int(e.kind));
        if (*e.address) {
            ASSERT_EQ(r.recipients.size(), 1);
            EXPECT_EQ(r.recipients[0].address, QLatin1String(e.address));
            EXPECT_EQ(r.recipients[0].hard, e.hard) << r.recipients[0].reason.toStdString();
            EXPECT_FALSE(r.recipients[0].reason.isEmpty());
        } else {
            EXPECT_TRUE(r.recipients.isEmpty());
        }
    }
    EXPECT_EQ(Bounces::parse(fixture("dsn-without-final-recipient.eml")).skippedEntries, 1);
    EXPECT_EQ(int(Bounces::parse("no mail at all").kind), int(BounceReport::Kind::Unrecognised));
}

class BounceMailboxTest : public StandardDatabaseTest {};

TEST_F(BounceMailboxTest, HardBouncesMarkTheTableAndOnlyProcessedMailsAreDeleted) {
    Pop3TestServer server(true); // STLS on a test certificate
    ASSERT_TRUE(server.error().isEmpty()) << server.error().toStdString();
    for (const Expected& e : kFixtures)
        server.deliver(fixture(QLatin1String(e.file)));
    ASSERT_EQ(server.mailboxCount(), int(kFixtures.size()));
    appendSendRecords(table, {{"anna@example.org", "A", "Frau", false},
                              {"Bert@Example.org", "B", "Herr", false},
                              {" carl@example.org", "C", "Herr", false},
                              {"dora@example.org", "D", "Frau", false},
                              {"emil@example.org", "E", "Herr", false},
                              {"FRIDA@example.org", "F", "Frau", false},
                              {"gustav@example.org", "G", "Herr", false},
                              {"helga@example.org", "H", "Frau", false}});

    Pop3Account account{server.host(),     server.port(), server.user(),
                        server.password(), true,          server.caFile()};
    int progressCalls = 0;
    const Bounces::Scan scan = Bounces::readMailbox(account, [&](int done, int total) {
        ++progressCalls;
        EXPECT_EQ(total, int(kFixtures.size()));
        EXPECT_LE(done, total);
    });
    ASSERT_TRUE(scan.error.isEmpty()) << scan.error.toStdString();
    EXPECT_EQ(scan.messages, 11);
    EXPECT_EQ(scan.bounces, 7);
    EXPECT_EQ(scan.unrecognised, 2);
    EXPECT_EQ(scan.noBounces, 2);
    EXPECT_EQ(progressCalls, 11);
    EXPECT_EQ(server.mailboxCount(), 11); // reading deletes nothing

    const Bounces::Applied applied = Bounces::apply(*table, scan.recipients());
    ASSERT_TRUE(applied.error.isEmpty()) << applied.error.toStdString();
    EXPECT_EQ(applied.marked, 4);
    EXPECT_EQ(applied.soft, 2);
    EXPECT_EQ(applied.hardNotInTable, 1);
    QStringList invalid;
    for (qint64 id : table->store()->tableIds())
        if (bookedOf(table, id).invalid)
            invalid
                << table->recordValues(id).value(table->fieldIndex("Mail")).toString().trimmed();
    EXPECT_EQ(invalid, (QStringList{"anna@example.org", "carl@example.org", "dora@example.org",
                                    "FRIDA@example.org"}));

    // Reopened from the file: the marks were committed.
    CloseDatabase(state.session);
    ScriptedMessages none;
    ASSERT_TRUE(OpenDatabase(state.session, "Database.ini", none));
    table = state.session.currentTable();
    qint64 stored = 0;
    for (qint64 id : table->store()->tableIds())
        stored += bookedOf(table, id).invalid ? 1 : 0;
    EXPECT_EQ(stored, 4);

    QString error;
    EXPECT_EQ(Bounces::deleteProcessed(account, scan.mails, &error), 7) << error.toStdString();
    EXPECT_EQ(server.mailboxCount(), 4); // the unreadable ones and the two normal mails

    // What is left is read again and nothing is a bounce any more.
    const Bounces::Scan again = Bounces::readMailbox(account);
    EXPECT_EQ(again.messages, 4);
    EXPECT_EQ(again.bounces, 0);
    EXPECT_EQ(Bounces::deleteProcessed(account, again.mails, &error), 0);
    EXPECT_EQ(server.mailboxCount(), 4);
}

TEST(Bounces, AWrongLoginIsReportedInGerman) {
    Pop3TestServer server;
    ASSERT_TRUE(server.error().isEmpty()) << server.error().toStdString();
    Pop3Account account{server.host(), server.port(), server.user(), "falsch", false, {}};
    const Bounces::Scan scan = Bounces::readMailbox(account);
    EXPECT_TRUE(scan.error.startsWith("Das Postfach kann nicht gelesen werden"))
        << scan.error.toStdString();
    EXPECT_TRUE(scan.mails.isEmpty());
}
