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
