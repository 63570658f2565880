#pragma once
#include "shell/Startup.h"
#include "support/PhpTestServer.h"
#include "support/TempProgramFolder.h"
#include "web/WebKit.h"

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QString>
#include <QUrl>
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

// An answer of the test site.
struct HttpAnswer {
    long status = 0;
    QByteArray body;
    QString error;
    QString redirect; // where a redirect would lead; empty for none
};

// A plain GET as a browser sends it, or with a form body a POST of that body
// (application/x-www-form-urlencoded). cookies: a curl cookie file kept between requests
// (a visitor's session), empty for none.
inline HttpAnswer httpRequest(const QString& url, const QString& cookies,
                              const std::optional<QByteArray>& formBody) {
    HttpAnswer answer;
    CURL* curl = curl_easy_init();
    const QByteArray address = url.toUtf8();
    const QByteArray jar = cookies.toLocal8Bit();
    curl_easy_setopt(curl, CURLOPT_URL, address.constData());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
    if (formBody) {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, formBody->constData());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, long(formBody->size()));
    }
    if (!cookies.isEmpty()) {
        curl_easy_setopt(curl, CURLOPT_COOKIEFILE, jar.constData());
        curl_easy_setopt(curl, CURLOPT_COOKIEJAR, jar.constData());
    }
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer.body);
    curl_easy_setopt(
        curl, CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t n, void* out) {
            static_cast<QByteArray*>(out)->append(data, qsizetype(size * n));
            return size * n;
        });
    const CURLcode rc = curl_easy_perform(curl);
    if (rc != CURLE_OK)
        answer.error = QString::fromUtf8(curl_easy_strerror(rc));
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
    char* redirect = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &redirect) == CURLE_OK && redirect)
        answer.redirect = QString::fromUtf8(redirect);
    curl_easy_cleanup(curl);
    return answer;
}

inline HttpAnswer httpGet(const QString& url, const QString& cookies = {}) {
    return httpRequest(url, cookies, std::nullopt);
}

inline HttpAnswer httpPost(const QString& url, const QByteArray& formBody) {
    return httpRequest(url, {}, formBody);
}

// A query value as a browser encodes it.
inline QString q(const QString& value) {
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

// A program folder with the shipped files, the kit generated into online/newsletter by
// our generator, and PHP's web server serving online/ - as the user's web space would
// after the upload.
class KitSite {
public:
    explicit KitSite(bool doubleOptIn = false, bool captcha = false,
                     const QString& password = QStringLiteral("geheim42")) {
        Startup::layOutShippedFiles(folder.path());
        QDir().mkpath(folder.path() + QStringLiteral("online"));
        server = std::make_unique<PhpTestServer>(folder.path() + QStringLiteral("online"));
        values.serverPath = server->baseUrl() + QStringLiteral("newsletter/");
        values.password = password;
        values.title = QStringLiteral("Newsletter");
        values.doubleOptIn = doubleOptIn;
        values.captcha = captcha;
        values.subscribeMessage = {QString::fromUtf8("Danke für Ihre Bestellung.")};
        values.subject = QString::fromUtf8("Newsletter Bestellung bestätigen");
        values.emailText = {QStringLiteral("Bitte klicken Sie auf diesen Link")};
        values.databaseName = QStringLiteral("Grundstock");
        values.version = QStringLiteral("Version 0.1.0");
        fields = {{QStringLiteral("Mail"), QStringLiteral("E-Mail"), true},
                  {QStringLiteral("Anrede"), QStringLiteral("Anrede"), true},
                  {QStringLiteral("Name"), QStringLiteral("Name"), true},
                  {QStringLiteral("Ort"), QStringLiteral("Ort"), true}};
        errors = WebKit::generate(values, fields, folder.path(), kit());
    }

    QString kit() const { return folder.path() + QStringLiteral("online/newsletter"); }
    QString kitFile(const QString& name) const { return kit() + QLatin1Char('/') + name; }
    QString url(const QString& rest) const { return values.serverPath + rest; }

    // An order as the generated form sends it (hidden fields from the kit's settings).
    HttpAnswer order(const QString& mail, const QString& name, const QString& extra = {}) const {
        return httpGet(url(
            QStringLiteral("mailin.php?send=ok&action=sign&double=") +
            (values.doubleOptIn ? QStringLiteral("on") : QStringLiteral("off")) +
            QStringLiteral("&cap=") + (values.captcha ? QStringLiteral("1") : QStringLiteral("0")) +
            QStringLiteral("&Mail=") + q(mail) + QStringLiteral("&Anrede=Herr&Name=") + q(name) +
            QStringLiteral("&Ort=Bad%20Hamm") + extra));
    }
    HttpAnswer cancel(const QString& mail) const {
        return httpGet(url(QStringLiteral("mailin.php?send=ok&action=delete&Mail=") + q(mail)));
    }
    // The list as the program fetches it: the lines of the answer, empty ones dropped.
    QStringList fetch(const char* list, const QString& password) const {
        const HttpAnswer a =
            httpGet(url(QLatin1String(list) + QStringLiteral("?password=") + q(password)));
        QStringList lines;
        for (const QByteArray& line : a.body.split('\n'))
            if (!line.trimmed().isEmpty())
                lines << QString::fromLatin1(line.trimmed());
        return lines;
    }

    TempProgramFolder folder;
    std::unique_ptr<PhpTestServer> server;
    WebKit::Values values;
    QList<WebKit::Field> fields;
    QStringList errors;
};
