#pragma once
#include <QByteArray>
#include <QList>
#include <QPair>
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

// A session on the account's mailbox over one connection: the UIDL listing, RETR and
// DELE. Deletions take effect when the session ends with QUIT (close or destruction);
// a session that breaks off deletes nothing. Blocking: run it off the user-interface
// thread.
class Pop3Mailbox {
public:
    explicit Pop3Mailbox(const Pop3Account& account);
    ~Pop3Mailbox();
    Pop3Mailbox(const Pop3Mailbox&) = delete;
    Pop3Mailbox& operator=(const Pop3Mailbox&) = delete;

    // Message numbers with their unique ids.
    bool uids(QList<QPair<int, QByteArray>>* out, QString* error);
    bool retrieve(int number, QByteArray* out, QString* error);
    bool remove(int number, QString* error);
    // QUIT: the deletions are made now.
    bool close(QString* error);

private:
    bool perform(const QByteArray& path, const char* command, bool body, QByteArray* out,
                 QString* error);
    struct Session;
    std::unique_ptr<Session> m_session;
};
