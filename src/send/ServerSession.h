#pragma once
#include "send/SmtpMail.h"
#include "settings/AccountSettings.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class Messages;
namespace BlockingCall {
class Call;
}

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
    // The same for a caller that must not wait for the POP3 login: Ready or Failed when
    // the set-up is over at once, Waiting when the login runs; done is then called with
    // the set-up's result on the caller's thread.
    enum class Step { Ready, Failed, Waiting };
    Step beginSetUp(const QString& programFolder, const QString& definitionName,
                    std::function<void(bool ok)> done);
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
    // answers a failure by its error code: a connection problem or a missing login stops
    // an HTML run and a TLS text run with a message, and asks in a plain text run; a
    // ticked ignore box suppresses both. A refused session (greeting, sender, login step)
    // always stops the run with a message: every further message would be refused the
    // same way and its good address booked invalid. Any other failure lets the run go on.
    Outcome send(RunKind kind);
    // The same in steps (see SmtpMail::BeginMail): begin starts the transfer, held or
    // not; release lets a held message end or gives it up; finish waits for it and
    // answers a failure as send does.
    void begin(bool held);
    // Chains the prepared message to the one under way (SmtpMail::ChainMail).
    bool chain();
    void release(bool deliver);
    Outcome finish(RunKind kind);
    // Gives up a begun message without waiting: a held message is let go undelivered;
    // its transfer then ends on its own (the component's transferEnded).
    void giveUp();
    // Whether the last begin started a transfer.
    bool begunTransfer() const { return m_beginResult == 0 && m_mail.isTransferring(); }

    // After a run: the connection is closed (and TLS forgotten).
    void finishRun();

    // The classification and its texts. The question names the server's report, or, when
    // no connection could be made, says just that.
    static bool isConnectionProblem(int errorCode);
    static QString stopMessage(const QString& errorText);
    static QString continueQuestion(const QString& errorText,
                                    int errorCode = SmtpMail::AuthenticationRequired);
    static QString errorEventQuestion(const QString& errorText);
    static QString mailboxMissingMessage();
    static QString conversionError(const QString& text); // a port that is no number

    // POP-before-SMTP with the given values; shows the failure message. True on success.
    static bool popLogin(const AccountSettings& settings, const QString& caFile,
                         Messages& messages);

private:
    bool readSettings(const QString& programFolder, const QString& definitionName);
    bool configure(bool ok);
    bool ignoring() const { return ignoreConnectionProblems && ignoreConnectionProblems(); }

    SmtpMail& m_mail;
    Messages& m_messages;
    QObject m_context; // ends the component's connections with the session
    AccountSettings m_settings;
    QString m_settingsFile;
    QString m_caFile;
    int m_beginResult = 0; // why the last begin started nothing
    std::unique_ptr<BlockingCall::Call> m_popCall;
};
