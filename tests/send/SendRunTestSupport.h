#pragma once
#include "common/Messages.h"
#include "common/TextFile.h"
#include "database/AddressTable.h"
#include "database/Catalogue.h"
#include "database/DatabaseTestSupport.h"
#include "send/MimeMessage.h"
#include "send/SendRun.h"
#include "send/SmtpMail.h"
#include "settings/AccountSettings.h"
#include "shell/AppState.h"
#include "shell/SendRunContext.h"
#include "support/ScriptedMessages.h"
#include "support/SmtpTestServer.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <gtest/gtest.h>
#include <optional>

// Account settings pointing at a test server; the account counts as set up.
inline AccountSettings sendRunAccount(const SmtpTestServer& server, int delaySeconds = 0) {
    AccountSettings a;
    a.smtpHost = server.host();
    a.smtpPort = QString::number(server.port());
    a.codeSetIndex = 3;
    a.delaySeconds = delaySeconds;
    return a;
}

inline void writeSendRunSettings(const QString& programFolder, const AccountSettings& a) {
    QString error;
    ASSERT_TRUE(Settings::writeAccountSettings(programFolder + "Quillon.ini", a, &error))
        << error.toStdString();
}

// One record to append: address, name, salutation, marked, invalid.
struct SendRecord {
    QString mail;
    QString name;
    QString anrede = QStringLiteral("Herr");
    bool selected = true;
    bool invalid = false;
};

inline void appendSendRecords(AddressTable* table, const QList<SendRecord>& records) {
    for (const SendRecord& r : records) {
        table->append();
        table->setString(QStringLiteral("Mail"), r.mail);
        table->setString(QStringLiteral("Name"), r.name);
        table->setString(QStringLiteral("Anrede"), r.anrede);
        table->setBool(QStringLiteral("Selected"), r.selected);
        table->setBool(QStringLiteral("Invalid"), r.invalid);
        QString error;
        ASSERT_TRUE(table->post(&error)) << error.toStdString();
    }
}

// The bookkeeping columns of the record with this id.
struct Booked {
    bool selected = false;
    bool invalid = false;
    QDate lastMail;
};
inline Booked bookedOf(AddressTable* table, qint64 id) {
    const QVariantList v = table->recordValues(id);
    Booked b;
    b.selected = v.value(table->fieldIndex(QStringLiteral("Selected"))).toBool();
    b.invalid = v.value(table->fieldIndex(QStringLiteral("Invalid"))).toBool();
    b.lastMail = v.value(table->fieldIndex(QStringLiteral("LetztesMail"))).toDate();
    return b;
}

// Starts the run and turns the event loop until it has finished; its result.
inline SendRun::Result runToEnd(SendRun& run, int timeoutMs = 120000) {
    std::optional<SendRun::Result> result;
    QEventLoop loop;
    const QMetaObject::Connection c =
        QObject::connect(&run, &SendRun::finished, &loop, [&](const SendRun::Result& r) {
            result = r;
            loop.quit();
        });
    EXPECT_TRUE(run.start());
    if (!result) {
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    QObject::disconnect(c);
    EXPECT_TRUE(result.has_value()) << "the run did not finish";
    return result.value_or(SendRun::Result());
}

// A program folder with the standard database open and a private system temp folder.
// The composer's HTML mail made from an e-mail file: the file and the texts read from it.
inline MailTemplate htmlMailFromFile(const QString& path) {
    MimeMessage loaded;
    QString error;
    EXPECT_TRUE(loaded.loadMessageFile(path, &error)) << error.toStdString();
    MailTemplate m;
    m.mode = MailTemplate::Mode::Html;
    m.messageFile = path;
    m.subject = loaded.subjectText();
    m.htmlBody = loaded.htmlText();
    m.plainBody = loaded.plainText();
    return m;
}

class SendRunFixture : public StandardDatabaseTest {
protected:
    SendRunFixture() : StandardDatabaseTest(true) {}
    void beforeOpening() override { state.flags.firstSettingsDone = true; }

    MailTemplate textMail(const QString& subject, const QStringList& body) const {
        MailTemplate m;
        m.subject = subject;
        m.bodyLines = body;
        return m;
    }

    SendRun::Context context() const { return sendRunContext(state); }

    // A run with the usual inputs, observed as the window would observe it.
    void prepare(SendRun& run, const MailTemplate& mail, qint64 marked) {
        run.inputs.mail = mail;
        run.inputs.senderEntry = QStringLiteral("info@firma.de <Firma GmbH>");
        run.inputs.senderCount = 1;
        run.inputs.markedCount = marked;
        run.millisecondsPerDelaySecond = 1;
        QObject::connect(&run, &SendRun::finished, [this](const SendRun::Result& r) {
            if (!r.invalidList.isEmpty())
                invalidShown = r.invalidList;
            closed += r.closeWindow ? 1 : 0;
            closable += r.closable ? 1 : 0;
        });
        QObject::connect(&run, &SendRun::progressChanged,
                         [this](const SendRun::Progress& p) { progress << p; });
        QObject::connect(&run, &SendRun::pauseStarted, [this](int ms) { pauses << ms; });
    }

    // Records "a@example.org" with the name "A", "b@example.org" with "B" and so on.
    void appendLetterRecords(int count) {
        QList<SendRecord> records;
        for (int i = 0; i < count; ++i) {
            const QString letter(QChar('a' + i));
            records.append({letter + QStringLiteral("@example.org"), letter.toUpper()});
        }
        appendSendRecords(table, records);
    }

    SmtpMail mail;
    QStringList invalidShown;
    QList<SendRun::Progress> progress;
    QList<int> pauses;
    int closed = 0;
    int closable = 0;
};
