// The command line as a user's timer runs it: the built program as a child process,
// against a real SMTP server and a program folder of its own.
#include "common/IniFile.h"
#include "common/TextFile.h"
#include "database/AddressTable.h"
#include "database/Catalogue.h"
#include "database/DatabaseTestSupport.h"
#include "database/WebSettings.h"
#include "platform/SingleInstance.h"
#include "send/SendLimits.h"
#include "settings/AccountSettings.h"
#include "shell/AppState.h"
#include "support/ScriptedMessages.h"
#include "support/SmtpTestServer.h"
#include "support/TempProgramFolder.h"
#include "web/UnsubscribeLink.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid() && temp.isValid() && home.isValid());
        layOutStandardDatabase(state, folder.path());
    }

    // Runs quillon with these arguments; a day of limits passes in 86.4 s at 1 ms per
    // second, a minute in 60 ms.
    Outcome quillon(const QStringList& args, int msPerSecond = 0) {
        QProcess p;
        start(p, args, msPerSecond);
        EXPECT_TRUE(p.waitForFinished(120000)) << "quillon did not end";
        Outcome o;
        o.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        o.out = QString::fromLocal8Bit(p.readAllStandardOutput());
        o.err = QString::fromLocal8Bit(p.readAllStandardError());
        return o;
    }

    void start(QProcess& p, const QStringList& args, int msPerSecond = 0) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QUILLON_HOME", folder.path());
        env.insert("TMPDIR", temp.path()); // the instance lock and the system temp folder
        env.insert("HOME", home.path());
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        if (msPerSecond > 0)
            env.insert("QUILLON_TEST_MS_PER_SECOND", QString::number(msPerSecond));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(QUILLON_PROGRAM), args);
    }

    void account(const SmtpTestServer& server) {
        AccountSettings a;
        a.smtpHost = server.host();
        a.smtpPort = QString::number(server.port());
        a.codeSetIndex = 3;
        QString error;
        ASSERT_TRUE(Settings::writeAccountSettings(folder.file("Quillon.ini"), a, &error));
        TextFile::writeLines(state.folders.dataFolder + "AbsenderMails.ini",
                             {QStringLiteral("info@firma.de <Firma GmbH>")});
    }

    void limits(const QString& minute, const QString& hour, const QString& day) {
        IniFile ini(folder.file("Quillon.ini"));
        ini.writeString("Versandlimits", "ProMinute", minute);
        ini.writeString("Versandlimits", "ProStunde", hour);
        ini.writeString("Versandlimits", "ProTag", day);
    }

    // Records a@example.org, b@... marked, and the template; the table is closed again
    // so the child can open it.
    QString prepare(int records) {
        ScriptedMessages none;
        EXPECT_TRUE(OpenDatabase(state.session, "Database.ini", none));
        AddressTable* t = state.session.currentTable();
        for (int i = 0; i < records; ++i) {
            t->append();
            t->setString("Mail", QString(QChar('a' + i)) + "@example.org");
            t->setString("Name", QString(QChar('A' + i)));
            t->setBool("Selected", true);
            EXPECT_TRUE(t->post());
        }
        CloseDatabase(state.session);
        const QString path = folder.file("Rundbrief.mail");
        TextFile::writeLines(path, {"[SUBJECT]", "Neuigkeiten", "[TEXT]", "Hallo $NAME,",
                                    "es gibt Neues.", "[ATTACHEMENT]", ""});
        return path;
    }

    qint64 stillMarked() {
        ScriptedMessages none;
        EXPECT_TRUE(OpenDatabase(state.session, "Database.ini", none));
        AddressTable* t = state.session.currentTable();
        const qint64 n = qint64(t->tableIds(t->conditionFromFilter("Selected='True'")).size());
        CloseDatabase(state.session);
        return n;
    }

    static QStringList recipients(const SmtpTestServer& server) {
        QStringList r;
        for (const auto& m : server.received())
            r += m.recipients;
        r.sort();
        return r;
    }

    TempProgramFolder folder;
    QTemporaryDir temp;
    QTemporaryDir home;
    AppState state;
};

TEST_F(CommandLineTest, HelpAndWrongUseAreAnsweredInGermanWithoutWork) {
    const Outcome help = quillon({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* part : {"quillon senden --datenbank NAME", "importieren", "exportieren",
                             "pruefen", "sichern ORDNER", "Rückgabewerte", "systemd", "cron"})
        EXPECT_TRUE(help.out.contains(QString::fromUtf8(part))) << part;

    const Outcome unknown = quillon({"senden", "--datenbank", "Database", "--schnell"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.err.contains(QString::fromUtf8("Unbekannte Option \"--schnell\"")))
        << unknown.err.toStdString();
    EXPECT_EQ(quillon({"versenden"}).status, 2);
    EXPECT_EQ(quillon({"senden", "--datenbank"}).status, 2);
    const Outcome priority = quillon(
        {"senden", "--datenbank", "Database", "--vorlage", "x.mail", "--prioritaet", "dringend"});
    EXPECT_EQ(priority.status, 2);
}

TEST_F(CommandLineTest, BadInputSendsNothingAndKeepsEveryRecordMarked) {
    SmtpTestServer server;
    ASSERT_TRUE(server.error().isEmpty()) << server.error().toStdString();
    const QString mail = prepare(2);

    // The account was never set up.
    Outcome o = quillon({"senden", "--datenbank", "Database", "--vorlage", mail});
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.err.contains("Mailkonto")) << o.err.toStdString();
    account(server);

    o = quillon({"senden", "--datenbank", "Gibtsnicht", "--vorlage", mail});
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.err.contains("Grundstockdatenbank")) << o.err.toStdString();

    const QString noTemplate = folder.file("kaputt.mail");
    TextFile::writeLines(noTemplate, {"Das ist keine Vorlage"});
    o = quillon({"senden", "--datenbank", "Database", "--vorlage", noTemplate});
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.err.contains(QString::fromUtf8("keine Vorlage"))) << o.err.toStdString();

    for (const QString& wrong :
         {QStringLiteral("0"), QStringLiteral("-5"), QStringLiteral("viele")}) {
        limits(QString(), wrong, QString());
        o = quillon({"senden", "--datenbank", "Database", "--vorlage", mail});
        EXPECT_EQ(o.status, 1) << wrong.toStdString();
        EXPECT_TRUE(o.err.contains("Versandlimit pro Stunde")) << o.err.toStdString();
    }

    // A state file that is not ours stays as it is.
    limits(QString(), QString(), "10");
    const QByteArray garbage("Dies ist keine Datenbank, sondern Text.\n");
    writeBytes(folder.file(SendLimits::stateFileName()), garbage);
    o = quillon({"senden", "--datenbank", "Database", "--vorlage", mail});
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.err.contains(QString::fromUtf8("beschädigt"))) << o.err.toStdString();
    EXPECT_EQ(readBytes(folder.file(SendLimits::stateFileName())), garbage);

    EXPECT_EQ(server.acceptedCount(), 0);
    EXPECT_EQ(stillMarked(), 2);
}

TEST_F(CommandLineTest, MinuteLimitWaitsAndEveryRecordGoesOnce) {
    SmtpTestServer server;
    ASSERT_TRUE(server.error().isEmpty()) << server.error().toStdString();
    account(server);
    const QString mail = prepare(5);
    limits("2", QString(), QString());
    QElapsedTimer clock;
    clock.start();
    // A minute lasts 1.2 s: two messages, wait, two, wait, one.
    const Outcome o = quillon({"senden", "--datenbank", "Database", "--vorlage", mail}, 20);
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    EXPECT_GE(clock.elapsed(), 2 * 1200 - 200);
    EXPECT_TRUE(o.err.contains("Minutenlimit erreicht: weiter um ")) << o.err.toStdString();
    EXPECT_TRUE(o.err.contains("gesendet: e@example.org")) << o.err.toStdString();
    EXPECT_EQ(recipients(server), QStringList({"a@example.org", "b@example.org", "c@example.org",
                                               "d@example.org", "e@example.org"}));
    EXPECT_EQ(stillMarked(), 0);
}

// The command line sends with the same engine: a database with a web kit puts the
// one-click unsubscribe headers into every message.
TEST_F(CommandLineTest, RunOfADatabaseWithAWebKitCarriesTheUnsubscribeHeaders) {
    SmtpTestServer server;
    ASSERT_TRUE(server.error().isEmpty()) << server.error().toStdString();
    account(server);
    const QString mail = prepare(2);
    WebSettings web(state.folders.dataFolder, QStringLiteral("Database.ini"));
    ASSERT_TRUE(web.setOnlinePath("http://www.firma.de/newsletter/"));
    ASSERT_TRUE(web.setOnlinePassword("geheim42"));
    const Outcome o = quillon({"senden", "--datenbank", "Database", "--vorlage", mail});
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    ASSERT_EQ(server.received().size(), 2);
    const UnsubscribeLink link("http://www.firma.de/newsletter/", "geheim42", true);
    for (const auto& m : server.received()) {
        ASSERT_EQ(m.recipients.size(), 1);
        EXPECT_TRUE(m.content.contains("\r\nList-Unsubscribe: <" +
                                       link.url(m.recipients[0]).toLatin1() + ">\r\n"))
            << m.content.left(800).constData();
        EXPECT_TRUE(
            m.content.contains("\r\nList-Unsubscribe-Post: List-Unsubscribe=One-Click\r\n"));
    }
}

// A timer's service stopped (SIGTERM) while the run waits: "Abbrechen" at once.
TEST_F(CommandLineTest, TerminationWhileWaitingStopsLikeAbbrechen) {
    SmtpTestServer server;
    ASSERT_TRUE(server.error().isEmpty()) << server.error().toStdString();
    account(server);
    const QString mail = prepare(3);
    limits("1", QString(), QString());
    QProcess p;
    start(p, {"senden", "--datenbank", "Database", "--vorlage", mail}); // a real minute
    QString err;
    for (int waited = 0; !err.contains("Minutenlimit") && waited < 30000; waited += 50) {
        p.waitForReadyRead(50);
        err += QString::fromLocal8Bit(p.readAllStandardError());
    }
    ASSERT_TRUE(err.contains("Minutenlimit")) << err.toStdString();
    QElapsedTimer clock;
    clock.start();
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_EQ(server.acceptedCount(), 1);
    EXPECT_EQ(stillMarked(), 2);
}

TEST_F(CommandLineTest, DayLimitStopsAndTheNextRunResumesWithTheRest) {
    SmtpTestServer server;
    ASSERT_TRUE(server.error().isEmpty()) << server.error().toStdString();
    account(server);
    const QString mail = prepare(5);
    limits(QString(), QString(), "3");

    Outcome o = quillon({"senden", "--datenbank", "Database", "--vorlage", mail});
    EXPECT_EQ(o.status, 3) << o.err.toStdString();
    EXPECT_TRUE(o.err.contains("Tageslimit erreicht: weiter am ")) << o.err.toStdString();
    EXPECT_EQ(server.acceptedCount(), 3);
    EXPECT_EQ(stillMarked(), 2);

    // The count holds across program starts: the same day sends nothing more.
    o = quillon({"senden", "--datenbank", "Database", "--vorlage", mail});
    EXPECT_EQ(o.status, 3) << o.err.toStdString();
    EXPECT_EQ(server.acceptedCount(), 3);

    // Once the limit allows, exactly the remaining records go.
    limits(QString(), QString(), "10");
    o = quillon({"senden", "--datenbank", "Grundstockdatenbank", "--vorlage", mail});
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    EXPECT_EQ(recipients(server), QStringList({"a@example.org", "b@example.org", "c@example.org",
                                               "d@example.org", "e@example.org"}));
    EXPECT_EQ(stillMarked(), 0);
}

TEST_F(CommandLineTest, SecondInstanceIsRefused) {
    SmtpTestServer server;
    account(server);
    const QString mail = prepare(1);
    SingleInstance window(temp.path() + "/Quillon.instance.lock");
    ASSERT_TRUE(window.acquire());
    const Outcome o = quillon({"senden", "--datenbank", "Database", "--vorlage", mail});
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(o.err.contains("Quillon ist bereits gestartet!")) << o.err.toStdString();
    EXPECT_EQ(server.acceptedCount(), 0);
    window.release();
    EXPECT_EQ(quillon({"pruefen", "--datenbank", "Database"}).status, 0);
}

TEST_F(CommandLineTest, ImportExportCheckAndBackupUseTheEngine) {
    prepare(0);
    // The saved mapping: Mail from column 2, Name from column 1.
    ScriptedMessages none;
    ASSERT_TRUE(OpenDatabase(state.session, "Database.ini", none));
    QStringList columns;
    for (const FieldDefinition& f : state.session.definition().targetFields())
        columns << (f.name == "Mail" ? "2" : f.name == "Name" ? "1" : "0");
    CloseDatabase(state.session);
    ASSERT_TRUE(TextFile::writeLines(state.folders.dataFolder + "Database.imp",
                                     columns + QStringList{";"}));
    const QString csv = folder.file("neu.csv");
    TextFile::writeLines(csv, {"Meier;meier@example.org", "Schulz;kein-at-zeichen"});

    Outcome o = quillon({"importieren", "--datenbank", "Database", csv});
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    EXPECT_EQ(stillMarked(), 2); // imported records come marked

    o = quillon({"pruefen", "--datenbank", "Database"});
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    EXPECT_TRUE(o.err.contains("1 ung")) << o.err.toStdString();

    const QString exported = folder.file("Export/alle.csv");
    o = quillon({"exportieren", "--datenbank", "Database", "--csv", exported, "--nur-markierte"});
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    const QString text = TextFile::readLines(exported).join("\n");
    EXPECT_TRUE(text.contains("meier@example.org") && text.contains("kein-at-zeichen"))
        << text.toStdString();

    const QString target = home.path() + "/Sicherung";
    QDir().mkpath(target);
    o = quillon({"sichern", target});
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(target + "/Quillon_Backup.bup")) << o.err.toStdString();

    EXPECT_EQ(quillon({"importieren", "--datenbank", "Database", folder.file("fehlt.csv")}).status,
              1);
}

} // namespace
