#pragma once
#include <QByteArray>
#include <QString>

struct ProxySettings;

// Plain HTTP(S) GET requests to the user's web site (the subscription lists and the
// scripts around them). One connection per request, closed afterwards. Certificates
// are verified against the system's authorities, plus an optional extra one (a private
// server's); the proxy of the program's proxy settings is used when it is switched on,
// with basic authentication when a user name is set.
namespace WebHttp {

// Give up when no connection is made within this many seconds, and when the whole
// request has not finished within the second figure (a list of many thousand lines
// still arrives well within it).
inline constexpr long connectTimeoutSeconds = 20;
inline constexpr long totalTimeoutSeconds = 120;
// Larger answers are refused: no subscription list grows to this size.
inline constexpr qint64 maxBodyBytes = 256 * 1024 * 1024;

struct Result {
    bool ok = false;
    int status = 0;  // HTTP status, 0 when no answer came
    QByteArray body; // the answer's body when ok
    QString error;   // German description of the failure when not ok
};

// Runs on a worker thread while the caller's event loop keeps turning.
Result get(const QString& url, const ProxySettings& proxy, const QString& extraCaFile = {});

} // namespace WebHttp
