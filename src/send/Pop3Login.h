#pragma once
#include <QString>
#include <functional>
#include <memory>

namespace BlockingCall {
class Call;
}

// The POP3 login some providers demand before they accept mail ("POP vor SMTP"): connect,
// log in, log out. With TLS, port 995 speaks TLS from the first byte and any other port
// requires STLS; certificates are verified as for SMTP. The call keeps the caller's
// event loop turning.
struct Pop3Account {
    QString host;
    int port = 110;
    QString login;
    QString password;
    bool ssl = false;
    QString caFile; // extra certificate authority (PEM), optional
};

namespace Pop3Login {

// The message of every failed login.
QString failureMessage(); // "Es kann keine POP-Verbindung hergestellt werden!"

// True when the login succeeded; otherwise the reason (for the protocol) in *detail.
bool login(const Pop3Account& account, QString* detail = nullptr);

// The same without waiting: the login runs on a worker thread and done is called on the
// caller's thread afterwards (never within this call when an application runs). The
// returned call must be kept until then; destroying it earlier waits for the login.
std::unique_ptr<BlockingCall::Call> start(const Pop3Account& account,
                                          std::function<void(bool ok, const QString& detail)> done);

} // namespace Pop3Login
