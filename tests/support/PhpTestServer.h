#pragma once
#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// PHP's own web server (`php -S`) on 127.0.0.1 at a free port, serving a folder the test
// fills, the way a user's web space runs the kit's scripts. Mail the scripts send with
// mail() goes through sendmail_path to a capture script: each message lands as a file in
// mailFolder(), so a test reads what a visitor would have received.
class PhpTestServer {
public:
    // docRoot: the folder served; it must exist while the server runs.
    explicit PhpTestServer(const QString& docRoot);
    ~PhpTestServer();
    PhpTestServer(const PhpTestServer&) = delete;
    PhpTestServer& operator=(const PhpTestServer&) = delete;

    // Empty when the server runs; otherwise why it does not (a test then fails).
    const QString& error() const { return m_error; }
    int port() const { return m_port; }
    // "http://127.0.0.1:PORT/" - with the trailing slash, as a user enters a server path.
    QString baseUrl() const;

    QString mailFolder() const;
    // The raw messages mail() handed over so far, oldest first.
    QList<QByteArray> capturedMails() const;
    // What the server wrote to its log (requests, PHP warnings and errors).
    QByteArray log();

private:
    QTemporaryDir m_work;
    QProcess m_process;
    QByteArray m_log;
    QString m_error;
    int m_port = 0;
};

// Runs `php -l` on a file: empty when PHP accepts its syntax, PHP's complaint otherwise.
QString phpLintError(const QString& file);
