#include "send/Pop3Login.h"

#include "send/BlockingCall.h"

#include <QFile>
#include <QTemporaryFile>
#include <curl/curl.h>

namespace {

// One login attempt: prepared on the caller's thread, performed on a worker thread.
struct Attempt {
    CURL* curl = nullptr;
    QByteArray url, user, password, caFile;
    QTemporaryFile bundle;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    CURLcode result = CURLE_OK;
    QString refused; // why the attempt could not even be prepared

    ~Attempt() {
        if (curl)
            curl_easy_cleanup(curl);
    }

    void perform() {
        if (!curl)
            return;
        result = curl_easy_perform(curl);
        curl_easy_cleanup(curl); // sends QUIT
        curl = nullptr;
    }

    bool succeeded(QString* detail) const {
        QString why = refused;
        if (why.isEmpty() && result != CURLE_OK)
            why = QString::fromUtf8(errorBuffer[0] ? errorBuffer : curl_easy_strerror(result));
        if (detail)
            *detail = why;
        return why.isEmpty();
    }
};

std::shared_ptr<Attempt> prepare(const Pop3Account& account) {
    auto a = std::make_shared<Attempt>();
    const QString host = account.host.trimmed();
    if (host.isEmpty() || account.port < 1 || account.port > 65535) {
        a->refused = QStringLiteral("POP3-Server oder Port fehlt");
        return a;
    }
    for (const QChar c : host)
        if (!(c.isLetterOrNumber() || c == QChar('.') || c == QChar('-') || c == QChar('_') ||
              c == QChar(':') || c == QChar('[') || c == QChar(']'))) {
            a->refused = QStringLiteral("Ungültiger Servername");
            return a;
        }

    BlockingCall::ensureCurl();
    if (account.ssl && !account.caFile.trimmed().isEmpty() &&
        !BlockingCall::writeCaBundle(account.caFile.trimmed(), &a->bundle)) {
        a->refused = QStringLiteral("Die Zertifikatsdatei kann nicht gelesen werden");
        return a;
    }
    CURL* c = curl_easy_init();
    if (!c) {
        a->refused = QStringLiteral("Die Verbindung kann nicht angelegt werden");
        return a;
    }
    a->curl = c;
    const bool implicitTls = account.ssl && account.port == 995;
    const QString urlHost =
        host.contains(QChar(':')) && !host.startsWith(QChar('[')) ? "[" + host + "]" : host;
    a->url = (implicitTls ? QByteArray("pop3s://") : QByteArray("pop3://")) + urlHost.toUtf8() +
             ':' + QByteArray::number(account.port) + '/';
    a->user = account.login.toUtf8();
    a->password = account.password.toUtf8();
    a->caFile = QFile::encodeName(a->bundle.fileName());
    curl_easy_setopt(c, CURLOPT_URL, a->url.constData());
    curl_easy_setopt(c, CURLOPT_USERNAME, a->user.constData());
    curl_easy_setopt(c, CURLOPT_PASSWORD, a->password.constData());
    // Log in and out only: no listing, no message is fetched.
    curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, 120L);
    curl_easy_setopt(c, CURLOPT_SSLVERSION, long(CURL_SSLVERSION_TLSv1_2));
    if (account.ssl && !implicitTls)
        curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    if (!a->caFile.isEmpty())
        curl_easy_setopt(c, CURLOPT_CAINFO, a->caFile.constData());
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, a->errorBuffer);
    return a;
}

} // namespace

namespace Pop3Login {

QString failureMessage() {
    return QStringLiteral("Es kann keine POP-Verbindung hergestellt werden!");
}

bool login(const Pop3Account& account, QString* detail) {
    const std::shared_ptr<Attempt> attempt = prepare(account);
    if (attempt->refused.isEmpty())
        BlockingCall::run([attempt] { attempt->perform(); });
    return attempt->succeeded(detail);
}

std::unique_ptr<BlockingCall::Call>
start(const Pop3Account& account, std::function<void(bool ok, const QString& detail)> done) {
    const std::shared_ptr<Attempt> attempt = prepare(account);
    auto call = std::make_unique<BlockingCall::Call>([attempt] { attempt->perform(); });
    call->start([attempt, done = std::move(done)] {
        QString detail;
        const bool ok = attempt->succeeded(&detail);
        done(ok, detail);
    });
    return call;
}

} // namespace Pop3Login

// ---- the mailbox ----

struct Pop3Mailbox::Session {
    std::shared_ptr<Attempt> attempt;
    QByteArray base; // the URL up to and with its "/"
};

namespace {

size_t appendBytes(char* data, size_t size, size_t count, void* target) {
    static_cast<QByteArray*>(target)->append(data, qsizetype(size * count));
    return size * count;
}

} // namespace

Pop3Mailbox::Pop3Mailbox(const Pop3Account& account) : m_session(std::make_unique<Session>()) {
    m_session->attempt = prepare(account);
    m_session->base = m_session->attempt->url;
}

Pop3Mailbox::~Pop3Mailbox() {
    QString ignored;
    close(&ignored);
}

bool Pop3Mailbox::perform(const QByteArray& path, const char* command, bool body, QByteArray* out,
                          QString* error) {
    Attempt& a = *m_session->attempt;
    if (!a.refused.isEmpty() || !a.curl) {
        *error = a.refused.isEmpty() ? QStringLiteral("Die Verbindung ist geschlossen") : a.refused;
        return false;
    }
    QByteArray sink;
    const QByteArray url = m_session->base + path;
    a.errorBuffer[0] = 0;
    curl_easy_setopt(a.curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(a.curl, CURLOPT_CUSTOMREQUEST, command);
    curl_easy_setopt(a.curl, CURLOPT_NOBODY, body ? 0L : 1L);
    curl_easy_setopt(a.curl, CURLOPT_WRITEFUNCTION, appendBytes);
    curl_easy_setopt(a.curl, CURLOPT_WRITEDATA, out ? out : &sink);
    a.result = curl_easy_perform(a.curl);
    return a.succeeded(error);
}

bool Pop3Mailbox::uids(QList<QPair<int, QByteArray>>* out, QString* error) {
    QByteArray listing;
    if (!perform({}, "UIDL", true, &listing, error))
        return false;
    out->clear();
    for (const QByteArray& line : listing.split('\n')) {
        const QList<QByteArray> words = line.trimmed().split(' ');
        bool ok = false;
        const int number = words.value(0).toInt(&ok);
        if (ok && words.size() >= 2)
            out->append({number, words.value(1)});
    }
    return true;
}

bool Pop3Mailbox::retrieve(int number, QByteArray* out, QString* error) {
    out->clear();
    return perform(QByteArray::number(number), nullptr, true, out, error);
}

bool Pop3Mailbox::remove(int number, QString* error) {
    return perform(QByteArray::number(number), "DELE", false, nullptr, error);
}

bool Pop3Mailbox::close(QString* error) {
    Attempt& a = *m_session->attempt;
    if (!a.curl)
        return a.refused.isEmpty();
    curl_easy_cleanup(a.curl); // sends QUIT
    a.curl = nullptr;
    if (error)
        error->clear();
    return true;
}
