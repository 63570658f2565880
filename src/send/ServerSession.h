#pragma once
#include "send/SmtpMail.h"
#include "settings/AccountSettings.h"

#include <QObject>
#include <QString>
#include <functional>

class Messages;

// The connection to the user's mail provider during a send run: reading the account
// settings, the optional POP3 login before sending, handing server and login to the
// SMTP component, sending one message and answering its failures (stop, ask or go on),
// and the component's events (status texts, the error question).
class ServerSession {
public:
    enum class RunKind { Text, Html };

    ServerSession(SmtpMail& mail, Messages& messages);
    ~ServerSession();
    ServerSession(const ServerSession&) = delete;
    ServerSession& operator=(const ServerSession&) = delete;

    // Hooks to the window; each may be left empty.
    std::function<void()> makeClosable;             // the composer may now be closed
    std::function<void()> stopRun;                  // like the composer's "Abbrechen"
    std::function<bool()> ignoreConnectionProblems; // either ignore box, read live
    std::function<void(const QString&)> showStatus; // "Connected", "Disconnected", "Sending"
    bool transactionLogEnabled = false;

    // Connection set-up before a run: reads the account settings in force for the
    // database (its own settings file, else Quillon.ini, in the program folder), performs
    // the POP3 login when it is switched on, and gives server, port, login, code set and
    // mailer identity to the component (which is initialised first). False when the run
    // must not start; every message has been shown then.
    bool setUp(const QString& programFolder, const QString& definitionName);
    const AccountSettings& settings() const { return m_settings; }
    QString settingsFile() const { return m_settingsFile; }
    QString caFile() const { return m_caFile; }

    struct Outcome {
        bool sent = false;    // the server accepted the message
        bool aborted = false; // "Abbrechen" ended the transfer: nothing to book
        bool stopRun = false; // the failure ends the run (after its message or question)
        QString error;        // LastErrorDescription of a failure
    };
    // Sends the message set on the component, with TLS when the settings say so, and
    // answers a failure: an error that names a connection problem or a missing login
    // stops an HTML run and a TLS text run with a message, and asks in a plain text run;
    // any other failure lets the run go on. A ticked ignore box suppresses both.
    Outcome send(RunKind kind);
    // The same in steps (see SmtpMail::BeginMail): begin starts the transfer, held or
    // not; release lets a held message end or gives it up; finish waits for it and
    // answers a failure as send does.
    void begin(bool held);
    void release(bool deliver);
    Outcome finish(RunKind kind);
    // Gives up a begun message without a question: it is not delivered.
    void abandon();

    // After a run: the connection is closed (and TLS forgotten).
    void finishRun();

    // The texts of the classification.
    static bool isConnectionProblem(const QString& errorText);
    static QString stopMessage(const QString& errorText);
    static QString continueQuestion(const QString& errorText);
    static QString errorEventQuestion(const QString& errorText);
    static QString mailboxMissingMessage();

    // POP-before-SMTP with the given values; shows the failure message. True on success.
    static bool popLogin(const AccountSettings& settings, const QString& caFile,
                         Messages& messages);

private:
    bool ignoring() const { return ignoreConnectionProblems && ignoreConnectionProblems(); }

    SmtpMail& m_mail;
    Messages& m_messages;
    QObject m_context; // ends the component's connections with the session
    AccountSettings m_settings;
    QString m_settingsFile;
    QString m_caFile;
    int m_beginResult = 0; // why the last begin started nothing
};

// The test mail of the connection test: sends one message to the address with the
// values the options dialog shows (not those saved), then shows "Test-E-Mail wurde
// gesendet!" or "Test-E-Mail konnte nicht gesendet werden!". True when it was sent.
namespace ConnectionTest {

struct TestMail {
    AccountSettings account; // from the dialog's fields
    QString caFile;
    QString senderAddress;
    QString senderName;
    int priority = 3;
    QString testAddress;
};

// The check of the address field: empty text when the address may be used, else the
// message to show.
QString addressProblem(const QString& text);

bool sendTestMail(SmtpMail& mail, const QString& programFolder, const TestMail& values,
                  Messages& messages);

} // namespace ConnectionTest
