#include "web/WebHttp.h"

#include "send/BlockingCall.h"
#include "settings/AccountSettings.h"

#include <QFile>
#include <QTemporaryFile>
#include <QUrl>
#include <curl/curl.h>
#include <optional>

namespace WebHttp {

namespace {

QString describe(CURLcode code) {
    switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
        return QStringLiteral("Die Adresse ist keine gültige http- oder https-Adresse");
    case CURLE_COULDNT_RESOLVE_PROXY:
        return QStringLiteral("Der Name des Proxy-Servers kann nicht aufgelöst werden");
    case CURLE_OPERATION_TIMEDOUT:
        return QStringLiteral("Der Server antwortet nicht (Zeitüberschreitung)");
    case CURLE_FILESIZE_EXCEEDED:
    case CURLE_WRITE_ERROR:
        return QStringLiteral("Die Antwort des Servers ist zu groß");
    case CURLE_PARTIAL_FILE:
        return QStringLiteral("Die Verbindung zum Server ist abgebrochen");
    case CURLE_WEIRD_SERVER_REPLY:
        return QStringLiteral("Der Server antwortet nicht wie ein Webserver");
    default:
        break;
    }
    const QString shared = BlockingCall::transportFailureText(code);
    return shared.isEmpty() ? QStringLiteral("Die Verbindung zum Server ist gestört") : shared;
}

size_t collect(char* data, size_t size, size_t count, void* user) {
    auto* body = static_cast<QByteArray*>(user);
    const size_t n = size * count;
    if (qint64(body->size()) + qint64(n) > maxBodyBytes)
        return 0; // ends the transfer with CURLE_WRITE_ERROR
    body->append(data, qsizetype(n));
    return n;
}

QString prefixed(const QString& url, const QString& why) {
    return QStringLiteral("Die Adresse\r") + url +
           QStringLiteral("\rkann nicht abgerufen werden: ") + why + QChar('.');
}

} // namespace

Result get(const QString& url, const ProxySettings& proxy, const QString& extraCaFile) {
    Result r;
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || parsed.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        r.error = prefixed(url, describe(CURLE_URL_MALFORMAT));
        return r;
    }
    std::optional<int> proxyPort;
    if (proxy.useProxy) {
        proxyPort = proxy.port();
        // As the proxy dialog says: a port that is no number stops the request before
        // any connection is made.
        if (!proxyPort || *proxyPort < 1 || *proxyPort > 65535) {
            r.error = QStringLiteral("\"") + proxy.portText +
                      QStringLiteral("\" ist kein gültiger Port für den Proxy-Server.");
            return r;
        }
    }

    BlockingCall::ensureCurl();
    QTemporaryFile bundle;
    if (!extraCaFile.trimmed().isEmpty() &&
        !BlockingCall::writeCaBundle(extraCaFile.trimmed(), &bundle)) {
        r.error = prefixed(url, describe(CURLE_SSL_CACERT_BADFILE));
        return r;
    }

    CURL* c = curl_easy_init();
    if (!c) {
        r.error = prefixed(url, describe(CURLE_FAILED_INIT));
        return r;
    }
    const QByteArray urlBytes = parsed.toEncoded();
    const QByteArray proxyHost = proxy.server.trimmed().toUtf8();
    const QByteArray proxyUser = proxy.userName.toUtf8();
    const QByteArray proxyPassword = proxy.password.toUtf8();
    const QByteArray caPath = QFile::encodeName(bundle.fileName());
    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(c, CURLOPT_URL, urlBytes.constData());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, connectTimeoutSeconds);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, totalTimeoutSeconds);
    curl_easy_setopt(c, CURLOPT_SSLVERSION, long(CURL_SSLVERSION_TLSv1_2));
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &r.body);
    if (bundle.isOpen())
        curl_easy_setopt(c, CURLOPT_CAINFO, caPath.constData());
    if (proxy.useProxy) {
        curl_easy_setopt(c, CURLOPT_PROXY, proxyHost.constData());
        curl_easy_setopt(c, CURLOPT_PROXYPORT, long(*proxyPort));
        curl_easy_setopt(c, CURLOPT_PROXYTYPE, long(CURLPROXY_HTTP));
        if (!proxy.userName.isEmpty()) {
            curl_easy_setopt(c, CURLOPT_PROXYAUTH, long(CURLAUTH_BASIC));
            curl_easy_setopt(c, CURLOPT_PROXYUSERNAME, proxyUser.constData());
            curl_easy_setopt(c, CURLOPT_PROXYPASSWORD, proxyPassword.constData());
        }
    } else {
        // Neither the environment's proxy variables: the proxy settings decide.
        curl_easy_setopt(c, CURLOPT_PROXY, "");
    }

    CURLcode code = CURLE_OK;
    long status = 0;
    BlockingCall::run([&] {
        code = curl_easy_perform(c);
        curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    });
    curl_easy_cleanup(c);
    r.status = int(status);
    if (code != CURLE_OK) {
        r.body.clear();
        r.error = prefixed(url, describe(code));
        return r;
    }
    if (status == 407) {
        r.body.clear();
        r.error = prefixed(url, QStringLiteral("Der Proxy-Server verlangt eine gültige Anmeldung "
                                               "(HTTP-Status 407)"));
        return r;
    }
    if (status >= 400 || status < 200) {
        r.body.clear();
        r.error = prefixed(url, QStringLiteral("Der Server antwortet mit dem HTTP-Status ") +
                                    QString::number(status));
        return r;
    }
    r.ok = true;
    return r;
}

} // namespace WebHttp
