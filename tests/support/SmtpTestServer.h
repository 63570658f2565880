#pragma once
#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A real SMTP server for tests: aiosmtpd, run by /usr/bin/python3 through a small
// controller script, on 127.0.0.1 at a free port. Every accepted message is stored as a
// file with its envelope, so a test reads back exactly what arrived.
class SmtpTestServer {
public:
    enum class Tls { None, StartTls, Implicit };
    struct Options {
        Tls tls = Tls::None;
        bool requireAuth = false;
        QStringList mechanisms{QStringLiteral("PLAIN"), QStringLiteral("LOGIN")};
        bool refuseRecipients = false; // every RCPT gets "550 5.7.1 ..."
        QString mailReply;             // when set, every MAIL FROM gets this reply
        QString rcptReply;             // when set, every RCPT gets this reply
        // Every RCPT of a session that greeted with a name without a dot gets "504 5.5.2
        // ... need fully-qualified hostname", as Postfix answers.
        bool requireFullyQualifiedGreeting = false;
        bool keepMessages = true; // false: a sink that only counts what it accepts
        QString user = QStringLiteral("quillon");
        QString password = QStringLiteral("Ge:heim 5%");
    };

    explicit SmtpTestServer(const Options& options);
    SmtpTestServer() : SmtpTestServer(Options{}) {}
    ~SmtpTestServer();
    SmtpTestServer(const SmtpTestServer&) = delete;
    SmtpTestServer& operator=(const SmtpTestServer&) = delete;

    // Empty when the server runs; otherwise why it does not (a test then fails).
    const QString& error() const { return m_error; }
    int port() const { return m_port; }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    // The certificate a client must trust in the TLS modes.
    QString caFile() const;
    const Options& options() const { return m_options; }

    struct Received {
        QString mailFrom;
        QStringList recipients;
        QByteArray content; // the message as it arrived, CR LF line ends
        int connection = 0; // number of the connection that carried it
        QString login;      // the authenticated user, empty without login
        QString greeting;   // the name the client gave in EHLO or HELO
        // The value of the first header of that name (unfolded), empty when absent.
        QByteArray header(const QByteArray& name) const;
        QByteArray body() const; // everything after the header block
    };
    QList<Received> received() const;
    // How many messages the server has accepted so far (kept or not); -1 on no answer.
    int acceptedCount();

private:
    Options m_options;
    QTemporaryDir m_folder;
    QProcess m_process;
    int m_port = 0;
    QString m_error;
};
