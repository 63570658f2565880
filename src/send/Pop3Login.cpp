#include "send/Pop3Login.h"

#include "send/BlockingCall.h"

#include <QFile>
#include <QTemporaryFile>
#include <curl/curl.h>

namespace Pop3Login {

QString failureMessage() {
    return QStringLiteral("Es kann keine POP-Verbindung hergestellt werden!");
}

bool login(const Pop3Account& account, QString* detail) {
    auto failed = [&](const QString& why) {
        if (detail)
            *detail = why;
        return false;
    };
    const QString host = account.host.trimmed();
    if (host.isEmpty() || account.port < 1 || account.port > 65535)
        return failed(QStringLiteral("POP3-Server oder Port fehlt"));
    for (const QChar c : host)
        if (!(c.isLetterOrNumber() || c == QChar('.') || c == QChar('-') || c == QChar('_') ||
              c == QChar(':') || c == QChar('[') || c == QChar(']')))
            return failed(QStringLiteral("Ungültiger Servername"));

    BlockingCall::ensureCurl();
    CURL* c = curl_easy_init();
    if (!c)
        return failed(QStringLiteral("Die Verbindung kann nicht angelegt werden"));
    const bool implicitTls = account.ssl && account.port == 995;
    const QString urlHost =
        host.contains(QChar(':')) && !host.startsWith(QChar('[')) ? "[" + host + "]" : host;
    const QByteArray url = (implicitTls ? QByteArray("pop3s://") : QByteArray("pop3://")) +
                           urlHost.toUtf8() + ':' + QByteArray::number(account.port) + '/';
    const QByteArray user = account.login.toUtf8(), password = account.password.toUtf8();
    QTemporaryFile bundle;
    if (account.ssl && !account.caFile.trimmed().isEmpty() &&
        !BlockingCall::writeCaBundle(account.caFile.trimmed(), &bundle))
        return failed(QStringLiteral("Die Zertifikatsdatei kann nicht gelesen werden"));
    const QByteArray caFile = QFile::encodeName(bundle.fileName());
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
    curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
    // Log in and out only: no listing, no message is fetched.
    curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, 120L);
    curl_easy_setopt(c, CURLOPT_SSLVERSION, long(CURL_SSLVERSION_TLSv1_2));
    if (account.ssl && !implicitTls)
        curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    if (!caFile.isEmpty())
        curl_easy_setopt(c, CURLOPT_CAINFO, caFile.constData());
    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);

    CURLcode result = CURLE_OK;
    BlockingCall::run([&] {
        result = curl_easy_perform(c);
        curl_easy_cleanup(c); // sends QUIT
    });
    if (result != CURLE_OK)
        return failed(QString::fromUtf8(errorBuffer[0] ? errorBuffer : curl_easy_strerror(result)));
    return true;
}

} // namespace Pop3Login
