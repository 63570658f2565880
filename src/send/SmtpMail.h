#pragma once
#include "send/MimeMessage.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

// The SMTP sending component of the composer: the message's values are set on it, then
// SendMail delivers one message. Values persist from one message to the next, and so
// does the server connection: the messages of a run share one connection (and one
// login) until the server closes it, Release is called or the object goes away.
//
// Login: when UserName is not empty the component logs in (AUTH PLAIN or LOGIN, as the
// server offers). TLS: after SslInit and SslStart the connection is encrypted,
// certificates verified against the system's authorities plus the optional CaFile;
// port 465 speaks TLS from the first byte, any other port requires STARTTLS.
//
// Failures come with an error code (LastErrorCode) and a German text
// (LastErrorDescription): the server could not be reached or the connection broke
// (ConnectionError), a login is needed or was refused (AuthenticationRequired), the
// server refused the session itself, its greeting, the sender or the login step, or
// answered a recipient with a protocol error that concerns the session
// (SessionRefused), or the server refused this one message (ServerRefused, with its
// reply). Refusals carry the server's reply.
//
// The greeting (EHLO) names the sender address's domain: servers refuse a bare machine
// name, and a desktop rarely has a fully qualified one.
//
// SendMail runs the transfer on a worker thread and keeps the caller's event loop
// turning; Abort ends a transfer in progress within about a second. A caller driven by
// its own event loop uses BeginMail and waits for transferEnded instead.
namespace BlockingCall {
class Call;
}

class SmtpMail : public QObject {
    Q_OBJECT
public:
    explicit SmtpMail(QObject* parent = nullptr);
    ~SmtpMail() override;

    // Server and login.
    QString ServerAddr;
    int ServerPort = 25;
    QString UserName;
    QString Password;
    int AuthMode = 0; // 1 when the account authenticates; the login follows UserName
    QString LogFileName;
    QString CaFile;            // extra certificate authority (PEM) for a private server
    int ImplicitTlsPort = 465; // the port that speaks TLS from the first byte

    // The message.
    QString FromAddr;
    QString From;
    QString Subject;
    QString BodyText;
    int Priority = 3; // 1 high, 3 normal, 5 low
    QString XMailer;
    // Further header lines of a message built from these values (name, value).
    QList<QPair<QString, QString>> HeaderLines;
    int BodyFormat = 0; // 0 text, 1 HTML (or a finished message in raw_Content)
    int HtmlRunOption = 0;
    int CodeSet = 0; // 0 iso-8859-1, 1 windows-1252, 2 utf-7, 3 utf-8

    void ClearRecipients();
    void AddRecipient(const QString& name, const QString& address, int kind = 0);
    const QList<MimeMessage::Address>& recipients() const { return m_recipients; }
    // An attachment added once travels with every later message.
    void AddAttachment(const QString& path);
    void ClearAttachments();

    // A finished MIME file: ImportMailFile reads it into Content; raw_Content set to
    // anything but empty is sent unchanged (with BodyFormat 1) instead of a message
    // built from the values above. Envelope sender and recipients still come from
    // FromAddr and AddRecipient.
    bool ImportMailFile(const QString& path);
    const QByteArray& Content() const { return m_imported; }
    QByteArray raw_Content;
    // Signs every message built from now on (DKIM); a message that cannot be signed is
    // not sent (SigningFailed).
    std::shared_ptr<const class DkimSigner> Signer;

    // TLS for the following messages. SslInit prepares the certificate store (0 on
    // success), SslStart switches encryption on.
    int SslInit();
    void SslStart();
    bool sslStarted() const { return m_ssl; }

    // Delivers the message: 0 on success, otherwise an error code with the text in
    // LastErrorDescription.
    int SendMail();

    // SendMail in steps, for a run that does its own work while a message travels.
    // PrepareMail checks and builds the message from the values now set (the values may
    // change afterwards); BeginMail starts its transfer (preparing it first when that
    // was not done) and returns at once: 0, or the error code of a message that cannot
    // be sent. A message begun `held` goes out up to the end of its text and waits there,
    // before the final ".", for ReleaseMail: true completes it, false gives it up so the
    // server never accepts it. transferEnded is emitted when a begun transfer is over; EndMail then
    // returns at once what SendMail would have returned (called earlier, it keeps the
    // caller's event loop turning until the transfer is over).
    int PrepareMail();
    int BeginMail(bool held);
    // Chains the prepared message to the transfer in progress (after the messages chained
    // already): the worker thread begins it, held, on the same connection as soon as the
    // server has accepted the one before it, without a turn of this thread's loop in
    // between. False when no transfer is in progress, it has ended already or the
    // connection would change; the prepared message then stays for BeginMail. When a
    // transfer fails or Abort comes, the messages chained after it are dropped unsent.
    // After EndMail, transferChained() tells whether the worker went on with the next one:
    // it is then the transfer in progress (transferDone, ReleaseMail and EndMail apply).
    bool ChainMail();
    bool transferChained() const { return m_chainBegun; }
    void ReleaseMail(bool deliver);
    int EndMail();
    bool isTransferring() const { return m_transfer != nullptr; }
    // The begun transfer is over and EndMail will not wait.
    bool transferDone() const;
    QString LastErrorDescription() const { return m_lastError; }
    int LastErrorCode() const { return m_lastCode; }
    // The name the greeting gives for the current sender.
    QString greetingName() const;
    // Whether the last SendMail ended because Abort was called.
    bool wasAborted() const { return m_aborted; }
    // Writes an error text into the protocol file.
    void LogError(const QString& text);

    // Ends a transfer in progress (callable from the event loop during SendMail); a held
    // message is given up.
    void Abort();
    // Closes the connection (QUIT) and forgets TLS; the values stay.
    void Release();
    // Back to a fresh component: every value, recipient, attachment and the connection.
    void Initialise();
    bool isConnected() const;

    // The message as it would be sent now (headers and body), for tests and "Sending.eml".
    bool buildMessage(QByteArray* out, QString* error) const;

    enum ErrorCode {
        Ok = 0,
        ConnectionError = 1,
        AuthenticationRequired = 2,
        ServerRefused = 3,
        MessageError = 4,
        Aborted = 5,
        Busy = 6,
        SessionRefused = 7,
        SigningFailed = 8,
    };

Q_SIGNALS:
    // The transfer begun by BeginMail is over (delivered on the caller's thread).
    void transferEnded();
    void OnConnected();
    void OnClosed();
    void OnSending(qint64 lSent, qint64 lTotal);
    void OnError(int lError, const QString& ErrDescription);

public:
    struct Transfer; // one delivery, shared with the callbacks of libcurl
    // Called by the transfer at the end of a held message: true when it may be delivered.
    bool awaitRelease();

private:
    void closeConnection();
    QString connectionKey() const;
    void fail(int code, const QString& text);
    void writeProtocol(const QByteArray& lines);

    QList<MimeMessage::Address> m_recipients;
    QStringList m_attachments;
    QByteArray m_imported;
    bool m_ssl = false;
    bool m_busy = false;
    bool m_aborted = false;
    int m_lastCode = Ok;
    std::atomic<bool> m_abortRequested{false};
    QString m_lastError;
    QString m_caBundle;       // system authorities plus CaFile, when CaFile is set
    QString m_caBundleSource; // the CaFile it was made from
    std::unique_ptr<class QTemporaryFile> m_caBundleFile;
    void* m_curl = nullptr;  // CURL*, kept so the connection stays open between messages
    QString m_connectionKey; // server, port, login and TLS of the open connection
    bool m_connected = false;
    std::unique_ptr<Transfer> m_idle; // callback target between deliveries
    std::unique_ptr<Transfer> m_prepared;
    int m_preparedCode = Ok;              // why the last PrepareMail failed
    std::unique_ptr<Transfer> m_transfer; // the transfer begun and not yet ended
    // The worker's call runs m_transfer and the messages chained to it, one after another.
    struct Chain;
    std::shared_ptr<Chain> m_chain;
    std::unique_ptr<BlockingCall::Call> m_call;
    quint64 m_transferCount = 0; // numbers the transfers
    quint64 m_endedThrough = 0;  // the transfers up to this number are over (and told)
    bool m_chainBegun = false;   // m_transfer was begun by the worker after the one before
    int m_beginCode = Ok;        // why the last BeginMail started nothing
    enum class Hold { Held, Go, Drop };
    std::mutex m_releaseMutex;
    std::condition_variable m_releaseWake;
    Hold m_hold = Hold::Go;
};
