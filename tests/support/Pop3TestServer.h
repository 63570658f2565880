#pragma once
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real POP3 server for tests: dovecot with a configuration in a temporary folder, one
// user with a known password, on 127.0.0.1 at a free port. Runs as root (CI) and as an
// ordinary user. With tls it offers STLS on a certificate made at test time.
class Pop3TestServer {
public:
    explicit Pop3TestServer(bool tls = false);
    ~Pop3TestServer();
    Pop3TestServer(const Pop3TestServer&) = delete;
    Pop3TestServer& operator=(const Pop3TestServer&) = delete;

    const QString& error() const { return m_error; } // empty when the server runs
    int port() const { return m_port; }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    QString user() const { return QStringLiteral("quillon"); }
    QString password() const { return QStringLiteral("Pop-Geheim"); }
    QString caFile() const;
    // Puts a message into the user's mailbox, as a delivery agent would (maildir).
    void deliver(const QByteArray& message);
    // The messages in the mailbox now.
    int mailboxCount() const;
    // Successful logins so far, from dovecot's log.
    int loginCount() const;

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    int m_port = 0;
    QString m_error;
};
