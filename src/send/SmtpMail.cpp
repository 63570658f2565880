#include "send/SmtpMail.h"

#include "platform/AppendFile.h"
#include "send/BlockingCall.h"
#include "send/DkimSigner.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QTemporaryFile>
#include <QUrl>
#include <curl/curl.h>
#include <deque>

namespace {

CURL* handle(void* p) {
    return static_cast<CURL*>(p);
}

bool isSafeHost(const QString& host) {
    if (host.isEmpty())
        return false;
    for (const QChar c : host)
        if (!(c.isLetterOrNumber() || c == QChar('.') || c == QChar('-') || c == QChar('_') ||
              c == QChar(':') || c == QChar('[') || c == QChar(']')))
            return false;
    return true;
}

QString hostForUrl(const QString& host) {
    // An IPv6 literal needs its brackets in a URL.
    return host.contains(QChar(':')) && !host.startsWith(QChar('['))
               ? QChar('[') + host + QChar(']')
               : host;
}

// Every line handed to SMTP must end with CR LF; a finished file may have bare LFs.
QByteArray withCrLf(const QByteArray& in) {
    QByteArray out;
    out.reserve(in.size() + in.size() / 40);
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '\n' && (i == 0 || in[i - 1] != '\r'))
            out.append('\r');
        out.append(c);
    }
    if (!out.endsWith("\r\n"))
        out.append("\r\n");
    return out;
}

QString germanDescription(CURLcode code) {
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        return QStringLiteral("Der Server antwortet nicht");
    case CURLE_USE_SSL_FAILED:
        return QStringLiteral("Der Server bietet keine verschlüsselte Verbindung (STARTTLS) an");
    case CURLE_WEIRD_SERVER_REPLY:
        return QStringLiteral("Der Server antwortet nicht wie ein SMTP-Server");
    default:
        break;
    }
    const QString shared = BlockingCall::transportFailureText(code);
    return shared.isEmpty() ? QStringLiteral("Die Verbindung zum Server ist gestört") : shared;
}

// Failures before the server could answer the message's commands.
bool isConnectionFailure(CURLcode code) {
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_USE_SSL_FAILED:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
        return true;
    default:
        return false;
    }
}

// The server was never reached: no connection was made at all.
bool neverConnected(CURLcode code) {
    return code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_COULDNT_CONNECT ||
           code == CURLE_OPERATION_TIMEDOUT;
}

QString serverText(const QString& host, int port) {
    return QStringLiteral("SMTP-Server ") + MimeMessage::headerSafe(host) +
           QStringLiteral(" (Port ") + QString::number(port) + QChar(')');
}

// A refusal concerns the session rather than the recipient when it answers the
// greeting, the sender, the login or TLS (or comes before any command), or when a
// recipient is answered with a protocol error: an enhanced status of class X.5 ("need
// fully-qualified hostname" is 504 5.5.2), or, without one, a syntax or sequence error.
bool isSessionRefusal(const QByteArray& command, const QByteArray& reply) {
    if (command.isEmpty() || command == "EHLO" || command == "HELO" || command == "MAIL" ||
        command == "AUTH" || command == "STARTTLS")
        return true;
    if (command != "RCPT")
        return false;
    const QList<QByteArray> words = reply.split(' ');
    const QByteArray enhanced = words.value(1);
    const QList<QByteArray> parts = enhanced.split('.');
    if (parts.size() == 3 && (parts[0] == "4" || parts[0] == "5") && !parts[1].isEmpty())
        return parts[1] == "5";
    const int code = reply.left(3).toInt();
    return code == 500 || code == 502 || code == 503 || code == 504;
}

// A server that wants TLS first answers 530 as well; that is no login matter.
bool wantsTls(const QByteArray& reply) {
    return reply.toUpper().contains("TLS");
}

bool isAuthenticationReply(long code, const QByteArray& reply) {
    const QByteArray upper = reply.toUpper();
    if (wantsTls(reply))
        return false;
    return code == 530 || upper.contains("AUTHENTICATION REQUIRED") ||
           upper.contains("MUST BE AUTHENTICATED") || upper.contains("NOT AUTHENTICATED");
}

} // namespace

// The messages of one call to the worker: the one it runs and those chained after it.
struct SmtpMail::Chain {
    std::mutex mutex;
    std::deque<std::unique_ptr<Transfer>> queue; // chained, not begun yet
    std::unique_ptr<Transfer> running; // begun by the worker, not yet taken over by EndMail
    bool over = false;                 // the worker begins nothing more
    quint64 lastRun = 0;               // number of the transfer it ran last
};

// The state of one perform, shared by the worker thread and its callbacks.
struct SmtpMail::Transfer {
    SmtpMail* mail = nullptr;
    QByteArray data;
    qsizetype position = 0;
    qsizetype lastReported = 0;
    std::unique_ptr<AppendFile> protocol; // the protocol file, when it could be opened
    QByteArray protocolText;              // its lines, written when the transfer is over
    curl_slist* recipients = nullptr;
    QByteArray from;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    CURLcode result = CURLE_OK;
    bool wasConnected = false; // the kept connection was open when the transfer began
    bool mayHold = false;      // its end waits for ReleaseMail
    quint64 number = 0;        // of the transfers of this component
    bool inAuth = false;
    bool connected = false;   // a new connection was made during this transfer
    QByteArray command;       // the command the next reply answers (EHLO, MAIL, RCPT ...)
    QByteArray failedCommand; // the command the last refusal answered
    QByteArray lastReply;     // the last complete server reply
    QByteArray pendingReply;  // lines of a multi-line reply so far

    ~Transfer() {
        curl_slist_free_all(recipients);
        if (protocol && !protocolText.isEmpty())
            protocol->write(protocolText);
    }

    void protocolLine(const QByteArray& line) {
        if (protocol)
            protocolText += line + "\r\n";
    }

    void serverLines(const QByteArray& text) {
        for (QByteArray line : text.split('\n')) {
            line = line.trimmed();
            if (line.isEmpty())
                continue;
            protocolLine("S: " + line);
            pendingReply += pendingReply.isEmpty() ? line : " " + line;
            // "250-..." continues a reply, "250 ..." ends it.
            if (line.size() < 4 || line[3] != '-') {
                // A refusal is what the failure is about; the "221 Bye" after it is not.
                if (pendingReply.left(3).toInt() >= 400 || lastReply.left(3).toInt() < 400) {
                    if (pendingReply.left(3).toInt() >= 400)
                        failedCommand = command;
                    lastReply = pendingReply;
                }
                pendingReply.clear();
                if (!line.startsWith("334"))
                    inAuth = false;
            }
        }
    }

    // Login data never reaches the protocol: the AUTH command keeps only its mechanism,
    // and every answer to the server's "334" challenges is masked.
    void clientLines(const QByteArray& text) {
        for (QByteArray line : text.split('\n')) {
            line = line.trimmed();
            if (line.isEmpty())
                continue;
            if (!inAuth)
                command = line.split(' ').value(0).toUpper();
            if (line.toUpper().startsWith("AUTH ")) {
                const QList<QByteArray> words = line.split(' ');
                protocolLine("C: AUTH " + words.value(1) + (words.size() > 2 ? " ****" : ""));
                inAuth = true;
            } else if (inAuth) {
                protocolLine("C: ****");
            } else {
                protocolLine("C: " + line);
            }
        }
    }
};

namespace {

int debugCallback(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    auto* t = static_cast<SmtpMail::Transfer*>(user);
    const QByteArray text(data, qsizetype(size));
    switch (type) {
    case CURLINFO_TEXT:
        if (text.startsWith("Connected to ")) {
            t->connected = true;
            SmtpMail* mail = t->mail;
            QMetaObject::invokeMethod(
                mail, [mail] { Q_EMIT mail->OnConnected(); }, Qt::QueuedConnection);
        }
        t->protocolLine("* " + text.trimmed());
        break;
    case CURLINFO_HEADER_IN:
        t->serverLines(text);
        break;
    case CURLINFO_HEADER_OUT:
        t->clientLines(text);
        break;
    default:
        break; // the message itself is not logged
    }
    return 0;
}

size_t readCallback(char* buffer, size_t size, size_t count, void* user) {
    auto* t = static_cast<SmtpMail::Transfer*>(user);
    // A held message is completed only when it may be delivered: its text goes out at
    // once but for its last line break, which (and with it libcurl's final ".") waits for
    // the release. A message given up never gets its "." and is not accepted. libcurl
    // knows the size, so it never asks past the end: the hold must come before it.
    const qsizetype heldBack = std::min<qsizetype>(2, t->data.size());
    if (t->mayHold && t->position >= t->data.size() - heldBack) {
        if (!t->mail->awaitRelease())
            return CURL_READFUNC_ABORT;
        t->mayHold = false;
    }
    const qsizetype end = t->mayHold ? t->data.size() - heldBack : t->data.size();
    const qsizetype n = std::min<qsizetype>(qsizetype(size * count), end - t->position);
    memcpy(buffer, t->data.constData() + t->position, size_t(n));
    t->position += n;
    // curl asks once more after the end; that call moves nothing and wakes nobody.
    if (n > 0 && (t->position - t->lastReported >= 64 * 1024 || t->position == t->data.size() ||
                  t->lastReported == 0)) {
        t->lastReported = t->position;
        SmtpMail* mail = t->mail;
        const qint64 sent = t->position, total = t->data.size();
        QMetaObject::invokeMethod(
            mail, [mail, sent, total] { Q_EMIT mail->OnSending(sent, total); },
            Qt::QueuedConnection);
    }
    return size_t(n);
}

int progressCallback(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* abort = static_cast<std::atomic<bool>*>(user);
    return abort->load() ? 1 : 0;
}

} // namespace

SmtpMail::SmtpMail(QObject* parent) : QObject(parent), m_idle(std::make_unique<Transfer>()) {
    BlockingCall::ensureCurl();
    m_idle->mail = this;
}

SmtpMail::~SmtpMail() {
    // A message still under way (or held) is given up, and one chained after it that
    // had begun already.
    while (m_transfer) {
        Abort();
        EndMail();
    }
    if (m_curl) {
        // The QUIT of an open connection must not hold up the caller for long.
        curl_easy_setopt(handle(m_curl), CURLOPT_SERVER_RESPONSE_TIMEOUT, 2L);
        curl_easy_cleanup(handle(m_curl));
    }
}

void SmtpMail::ClearRecipients() {
    m_recipients.clear();
}

void SmtpMail::AddRecipient(const QString& name, const QString& address, int) {
    m_recipients.append({name, address.trimmed()});
}

void SmtpMail::AddAttachment(const QString& path) {
    if (!path.trimmed().isEmpty())
        m_attachments.append(path);
}

void SmtpMail::ClearAttachments() {
    m_attachments.clear();
}

bool SmtpMail::ImportMailFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_lastError = QStringLiteral("Die Datei ") + path +
                      QStringLiteral(" kann nicht gelesen werden: ") + file.errorString();
        m_imported.clear();
        return false;
    }
    m_imported = file.readAll();
    return true;
}

int SmtpMail::SslInit() {
    // A run prepares TLS before every message: the store made for the same certificate
    // file is kept, or every message would need a connection (and a login) of its own.
    if (m_caBundleFile && !CaFile.trimmed().isEmpty() && m_caBundleSource == CaFile.trimmed())
        return Ok;
    m_caBundle.clear();
    m_caBundleSource.clear();
    m_caBundleFile.reset();
    if (CaFile.trimmed().isEmpty())
        return Ok;
    m_caBundleFile = std::make_unique<QTemporaryFile>();
    if (!BlockingCall::writeCaBundle(CaFile.trimmed(), m_caBundleFile.get())) {
        m_caBundleFile.reset();
        fail(ConnectionError, QStringLiteral("Die Zertifikatsdatei ") + CaFile +
                                  QStringLiteral(" für den ") +
                                  serverText(ServerAddr.trimmed(), ServerPort) +
                                  QStringLiteral(" kann nicht gelesen werden."));
        return ConnectionError;
    }
    m_caBundle = m_caBundleFile->fileName();
    m_caBundleSource = CaFile.trimmed();
    return Ok;
}

void SmtpMail::SslStart() {
    m_ssl = true;
}

void SmtpMail::fail(int code, const QString& text) {
    m_lastCode = code;
    m_lastError = text;
}

QString SmtpMail::greetingName() const {
    const QString from = FromAddr.trimmed();
    const qsizetype at = from.lastIndexOf(QChar('@'));
    if (at >= 0 && from.indexOf(QChar('.'), at) > at + 1)
        return from.mid(at + 1).toLower();
    // Without a sender domain: the machine's name, fully qualified when it has one.
    return QSysInfo::machineHostName();
}

void SmtpMail::writeProtocol(const QByteArray& lines) {
    if (LogFileName.isEmpty())
        return;
    QFile file(LogFileName);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(lines);
}

void SmtpMail::LogError(const QString& text) {
    writeProtocol("! " + MimeMessage::headerSafe(text).toUtf8() + "\r\n");
}

bool SmtpMail::isConnected() const {
    return m_connected;
}

void SmtpMail::Release() {
    // A message still under way (or held) is given up first, and one chained after it
    // that had begun already.
    while (m_transfer) {
        Abort();
        EndMail();
    }
    closeConnection();
    m_ssl = false;
}

void SmtpMail::closeConnection() {
    if (m_curl) {
        // The QUIT goes out on the worker thread and nobody waits for its answer; the
        // handle no longer reports to this object, which may be gone by then.
        CURL* curl = handle(m_curl);
        m_curl = nullptr;
        curl_easy_setopt(curl, CURLOPT_VERBOSE, 0L);
        curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, nullptr);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 1L);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, nullptr);
        curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, 2L);
        BlockingCall::detach([curl] { curl_easy_cleanup(curl); });
    }
    if (m_connected) {
        m_connected = false;
        Q_EMIT OnClosed();
    }
    m_connectionKey.clear();
}

void SmtpMail::Initialise() {
    Release();
    ServerAddr.clear();
    ServerPort = 25;
    UserName.clear();
    Password.clear();
    AuthMode = 0;
    LogFileName.clear();
    CaFile.clear();
    FromAddr.clear();
    From.clear();
    Subject.clear();
    BodyText.clear();
    Priority = 3;
    XMailer.clear();
    HeaderLines.clear();
    BodyFormat = 0;
    HtmlRunOption = 0;
    CodeSet = 0;
    m_recipients.clear();
    m_attachments.clear();
    m_prepared.reset();
    m_imported.clear();
    raw_Content.clear();
    Signer.reset();
    m_lastError.clear();
    m_lastCode = Ok;
    m_caBundle.clear();
    m_caBundleSource.clear();
    m_caBundleFile.reset();
    m_aborted = false;
}

bool SmtpMail::buildMessage(QByteArray* out, QString* error) const {
    if (BodyFormat == 1 && !raw_Content.isEmpty()) {
        *out = withCrLf(raw_Content);
        return true;
    }
    MimeMessage message;
    message.setSender(From, FromAddr);
    for (const auto& r : m_recipients)
        message.addToRecipient(r.name, r.address);
    message.setSubjectText(Subject);
    static const QByteArray charsets[] = {"iso-8859-1", "windows-1252", "utf-7", "utf-8"};
    message.setCharsetName(charsets[CodeSet >= 0 && CodeSet <= 3 ? CodeSet : 0]);
    if (BodyFormat == 1)
        message.setHtmlText(BodyText);
    else
        message.setPlainText(BodyText);
    message.setPriority(Priority);
    if (!XMailer.isEmpty())
        message.setMailerName(XMailer);
    for (const auto& [name, value] : HeaderLines)
        message.addHeaderLine(name, value);
    for (const QString& path : m_attachments)
        message.attachFile(path);
    return message.toBytes(out, error);
}

int SmtpMail::SendMail() {
    if (const int code = BeginMail(false); code != Ok)
        return code;
    return EndMail();
}

int SmtpMail::PrepareMail() {
    m_prepared.reset();
    m_preparedCode = Ok;
    auto refuse = [this](int code, const QString& text) {
        fail(code, text);
        m_preparedCode = code;
        return code;
    };
    const QString host = ServerAddr.trimmed();
    if (!isSafeHost(host) || ServerPort < 1 || ServerPort > 65535)
        return refuse(ConnectionError, QStringLiteral("Servername oder Port des ") +
                                           serverText(host, ServerPort) +
                                           QStringLiteral(" sind ungültig."));
    if (!MimeMessage::isUsableAddress(FromAddr.trimmed()))
        return refuse(MessageError, QStringLiteral("Die Absenderadresse \"") +
                                        MimeMessage::headerSafe(FromAddr) +
                                        QStringLiteral("\" ist ungültig."));
    if (m_recipients.isEmpty())
        return refuse(MessageError, QStringLiteral("Die Nachricht hat keinen Empfänger."));
    for (const auto& r : m_recipients)
        if (!MimeMessage::isUsableAddress(r.address))
            return refuse(MessageError, QStringLiteral("Die Empfängeradresse \"") +
                                            MimeMessage::headerSafe(r.address) +
                                            QStringLiteral("\" ist ungültig."));

    auto transfer = std::make_unique<Transfer>();
    transfer->mail = this;
    QString buildError;
    if (!buildMessage(&transfer->data, &buildError))
        return refuse(MessageError, buildError);
    if (Signer && !Signer->sign(&transfer->data, &buildError))
        return refuse(SigningFailed, buildError);
    transfer->from = '<' + FromAddr.trimmed().toUtf8() + '>';
    for (const auto& r : m_recipients)
        transfer->recipients =
            curl_slist_append(transfer->recipients, ('<' + r.address.toUtf8() + '>').constData());
    // Opened now so that beginning the transfer costs as little as possible. Its lines
    // reach the file when the transfer is over; transfers end in the order they ran, so
    // the file keeps that order.
    if (!LogFileName.isEmpty()) {
        auto file = std::make_unique<AppendFile>(LogFileName);
        if (file->isOpen())
            transfer->protocol = std::move(file);
        else
            Q_EMIT OnError(MessageError, QStringLiteral("Die Protokolldatei ") + LogFileName +
                                             QStringLiteral(" kann nicht geschrieben werden: ") +
                                             file->errorString());
    }
    m_prepared = std::move(transfer);
    return Ok;
}

bool SmtpMail::awaitRelease() {
    std::unique_lock lock(m_releaseMutex);
    m_releaseWake.wait(lock, [this] { return m_hold != Hold::Held || m_abortRequested.load(); });
    return m_hold == Hold::Go && !m_abortRequested.load();
}

void SmtpMail::ReleaseMail(bool deliver) {
    {
        std::lock_guard lock(m_releaseMutex);
        if (m_hold == Hold::Held)
            m_hold = deliver ? Hold::Go : Hold::Drop;
    }
    m_releaseWake.notify_all();
}

void SmtpMail::Abort() {
    m_abortRequested = true;
    std::lock_guard lock(m_releaseMutex);
    m_releaseWake.notify_all();
}

QString SmtpMail::connectionKey() const {
    return QStringList{ServerAddr.trimmed(),
                       QString::number(ServerPort),
                       UserName,
                       Password,
                       m_ssl ? QStringLiteral("tls") : QString(),
                       m_caBundle,
                       greetingName()}
        .join(QChar(0));
}

namespace {

// Points the connection's callbacks and envelope at a transfer.
void aimAt(CURL* c, SmtpMail::Transfer* t) {
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, t->from.constData());
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, t->recipients);
    curl_easy_setopt(c, CURLOPT_READDATA, t);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, t);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, curl_off_t(t->data.size()));
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, t->errorBuffer);
}

void perform(CURL* c, SmtpMail::Transfer* t, const std::atomic<bool>& abortRequested) {
    t->result = curl_easy_perform(c);
    // A kept connection that the server dropped while idle is tried once more on a
    // fresh one, but only when nothing of the message went out, so nothing arrives
    // twice.
    if (t->result != CURLE_OK && t->result != CURLE_ABORTED_BY_CALLBACK && t->wasConnected &&
        !t->connected && t->position == 0 && !abortRequested.load()) {
        t->protocolLine("* Verbindung neu aufbauen");
        t->lastReply.clear();
        t->failedCommand.clear();
        curl_easy_setopt(c, CURLOPT_FRESH_CONNECT, 1L);
        t->errorBuffer[0] = 0;
        t->result = curl_easy_perform(c);
        curl_easy_setopt(c, CURLOPT_FRESH_CONNECT, 0L);
    }
}

} // namespace

int SmtpMail::BeginMail(bool held) {
    if (m_busy) {
        fail(Busy, QStringLiteral("Es wird bereits eine Nachricht gesendet."));
        return Busy;
    }
    m_aborted = false;
    m_abortRequested = false;
    m_beginCode = Ok;
    if (!m_prepared && PrepareMail() != Ok) {
        m_beginCode = m_preparedCode;
        return m_beginCode;
    }
    std::unique_ptr<Transfer> transfer = std::move(m_prepared);

    // A changed server, login or TLS choice needs a connection of its own.
    const QString host = ServerAddr.trimmed();
    const bool implicitTls = m_ssl && ServerPort == ImplicitTlsPort;
    const QString key = connectionKey();
    if (m_curl && key != m_connectionKey)
        closeConnection();
    if (!m_curl) {
        m_curl = curl_easy_init();
        if (!m_curl) {
            fail(ConnectionError, QStringLiteral("Die Verbindung zum ") +
                                      serverText(host, ServerPort) +
                                      QStringLiteral(" kann nicht angelegt werden."));
            m_beginCode = ConnectionError;
            return m_beginCode;
        }
        m_connectionKey = key;
        CURL* c = handle(m_curl);
        // libcurl greets with the URL's path.
        const QByteArray url = (implicitTls ? QByteArray("smtps://") : QByteArray("smtp://")) +
                               hostForUrl(host).toUtf8() + ':' + QByteArray::number(ServerPort) +
                               '/' + QUrl::toPercentEncoding(greetingName());
        curl_easy_setopt(c, CURLOPT_URL, url.constData());
        curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 30L);
        curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, 120L);
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, 120L);
        curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
        curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, debugCallback);
        curl_easy_setopt(c, CURLOPT_DEBUGDATA, m_idle.get());
        curl_easy_setopt(c, CURLOPT_READFUNCTION, readCallback);
        curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, progressCallback);
        curl_easy_setopt(c, CURLOPT_XFERINFODATA, &m_abortRequested);
        curl_easy_setopt(c, CURLOPT_SSLVERSION, long(CURL_SSLVERSION_TLSv1_2));
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
        if (m_ssl && !implicitTls)
            curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
        if (m_ssl && !m_caBundle.isEmpty())
            curl_easy_setopt(c, CURLOPT_CAINFO, QFile::encodeName(m_caBundle).constData());
        if (!UserName.isEmpty()) {
            curl_easy_setopt(c, CURLOPT_USERNAME, UserName.toUtf8().constData());
            curl_easy_setopt(c, CURLOPT_PASSWORD, Password.toUtf8().constData());
        }
    }
    CURL* c = handle(m_curl);
    aimAt(c, transfer.get());

    // Without an application the transfer runs in place and nobody could release it.
    held = held && QCoreApplication::instance();
    {
        std::lock_guard lock(m_releaseMutex);
        m_hold = held ? Hold::Held : Hold::Go;
    }
    m_busy = true;
    transfer->wasConnected = m_connected;
    transfer->mayHold = held;
    transfer->number = ++m_transferCount;
    m_transfer = std::move(transfer);
    auto chain = std::make_shared<Chain>();
    m_chain = chain;
    Transfer* first = m_transfer.get();
    m_call = std::make_unique<BlockingCall::Call>([this, c, first, chain] {
        for (Transfer* t = first;;) {
            perform(c, t, m_abortRequested);
            Transfer* next = nullptr;
            {
                std::lock_guard lock(chain->mutex);
                chain->lastRun = t->number;
                if (t->result == CURLE_OK && !chain->queue.empty() && !m_abortRequested.load()) {
                    chain->running = std::move(chain->queue.front());
                    chain->queue.pop_front();
                    next = chain->running.get();
                } else {
                    chain->over = true;
                    chain->queue.clear(); // never begun, never sent
                }
            }
            if (!next)
                return; // the call's end tells of the last one
            {
                std::lock_guard lock(m_releaseMutex);
                m_hold = Hold::Held;
            }
            next->wasConnected = true;
            next->mayHold = true;
            aimAt(c, next);
            const quint64 ended = t->number;
            QMetaObject::invokeMethod(
                this,
                [this, ended] {
                    m_endedThrough = std::max(m_endedThrough, ended);
                    Q_EMIT transferEnded();
                },
                Qt::QueuedConnection);
            t = next;
        }
    });
    m_call->start([this, chain] {
        m_endedThrough = std::max(m_endedThrough, chain->lastRun);
        // A separate turn of the loop: the call may be destroyed by the receivers.
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT transferEnded(); }, Qt::QueuedConnection);
    });
    return Ok;
}

bool SmtpMail::ChainMail() {
    if (!m_transfer || !m_prepared || !m_chain || connectionKey() != m_connectionKey)
        return false;
    std::lock_guard lock(m_chain->mutex);
    if (m_chain->over)
        return false;
    m_prepared->number = ++m_transferCount;
    m_chain->queue.push_back(std::move(m_prepared));
    return true;
}

bool SmtpMail::transferDone() const {
    return m_transfer && m_endedThrough >= m_transfer->number;
}

int SmtpMail::EndMail() {
    if (!m_transfer) {
        const int code = m_beginCode;
        m_beginCode = Ok;
        return code == Ok ? int(MessageError) : code;
    }
    std::unique_ptr<Transfer> followUp;
    {
        std::unique_lock lock(m_chain->mutex);
        if (!transferDone()) {
            // Called before the end: nothing more is begun after this transfer.
            m_chain->queue.clear();
            const bool followed = m_chain->running != nullptr;
            lock.unlock();
            if (followed) {
                // The worker went on with the next message already: this transfer's end
                // is on its way to this thread.
                QEventLoop loop;
                const auto connection = connect(this, &SmtpMail::transferEnded, &loop, [&] {
                    if (transferDone())
                        loop.quit();
                });
                if (!transferDone())
                    loop.exec();
                disconnect(connection);
            } else {
                m_call->wait(); // keeps the caller's loop turning until the call is over
                m_endedThrough = std::max(m_endedThrough, m_transfer->number);
            }
            lock.lock();
        }
        followUp = std::move(m_chain->running);
    }
    std::unique_ptr<Transfer> transfer = std::move(m_transfer);
    const CURLcode result = transfer->result;
    CURL* c = handle(m_curl);
    if (transfer->connected)
        m_connected = true;
    if (followUp) {
        // The worker goes on with the next message on this connection; the handle is
        // its own until that call is over.
        m_transfer = std::move(followUp);
        m_chainBegun = true;
    } else {
        m_call->wait(); // over: returns at once
        m_call.reset();
        m_chain.reset();
        m_chainBegun = false;
        m_busy = false;
        // The closing QUIT may come much later; its callbacks must not see this transfer.
        curl_easy_setopt(c, CURLOPT_DEBUGDATA, m_idle.get());
        curl_easy_setopt(c, CURLOPT_READDATA, m_idle.get());
        curl_easy_setopt(c, CURLOPT_MAIL_RCPT, nullptr);
        curl_easy_setopt(c, CURLOPT_ERRORBUFFER, nullptr);

        curl_socket_t socket = CURL_SOCKET_BAD;
        curl_easy_getinfo(c, CURLINFO_ACTIVESOCKET, &socket);
        if (socket == CURL_SOCKET_BAD && m_connected) {
            m_connected = false;
            Q_EMIT OnClosed();
        }
    }

    if (result == CURLE_OK) {
        m_lastError.clear();
        m_lastCode = Ok;
        return Ok;
    }
    const QString reply = QString::fromUtf8(transfer->lastReply);
    const int replyCode = transfer->lastReply.left(3).toInt();
    const QString detail = QString::fromUtf8(transfer->errorBuffer).trimmed();
    const QString server = serverText(ServerAddr.trimmed(), ServerPort);
    int code = ConnectionError;
    QString text;
    bool givenUp = false;
    {
        std::lock_guard lock(m_releaseMutex);
        givenUp = m_hold == Hold::Drop;
        m_hold = Hold::Go;
    }
    if (!detail.isEmpty())
        transfer->protocolLine("* " + detail.toUtf8());
    if (result == CURLE_ABORTED_BY_CALLBACK && (m_abortRequested || givenUp)) {
        m_aborted = true;
        code = Aborted;
        text = QStringLiteral("Der Versand wurde abgebrochen.");
    } else if (result == CURLE_LOGIN_DENIED ||
               (replyCode >= 400 && isAuthenticationReply(replyCode, transfer->lastReply))) {
        code = AuthenticationRequired;
        text = QStringLiteral("Anmeldung am Server erforderlich (must be authenticated): ") +
               (reply.isEmpty() ? germanDescription(result) : reply);
    } else if (replyCode >= 400 && wantsTls(transfer->lastReply)) {
        text = QStringLiteral("Der ") + server +
               QStringLiteral(" verlangt eine verschlüsselte Verbindung (SSL): ") + reply;
    } else if (replyCode >= 400 && replyCode != 421 && !isConnectionFailure(result)) {
        // 421 means the server is closing the connection: a connection problem.
        if (isSessionRefusal(transfer->failedCommand, transfer->lastReply)) {
            code = SessionRefused;
            text = QStringLiteral("Der ") + server +
                   QStringLiteral(" hat die Verbindung abgelehnt: ") + reply;
        } else {
            code = ServerRefused;
            text = QStringLiteral("Der Server hat die Nachricht abgelehnt: ") + reply;
        }
    } else if (neverConnected(result)) {
        text = QStringLiteral("Es kann keine Verbindung zum ") + server +
               QStringLiteral(" hergestellt werden: ") + germanDescription(result) + QChar('.');
    } else {
        text = QStringLiteral("Die Verbindung zum ") + server + QStringLiteral(" ist gestört: ") +
               germanDescription(result) + QChar('.');
        if (!reply.isEmpty())
            text += QStringLiteral(" Antwort des Servers: ") + reply;
    }
    transfer->protocolLine("! " + text.toUtf8());
    fail(code, text);
    return code;
}
