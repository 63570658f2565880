#include "PhpTestServer.h"

#include "TestServers.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <algorithm>

PhpTestServer::PhpTestServer(const QString& docRoot) {
    if (!m_work.isValid()) {
        m_error = QStringLiteral("Kein temporärer Ordner für den PHP-Server");
        return;
    }
    QDir(m_work.path()).mkdir(QStringLiteral("mail"));
    // mail() pipes each message into this script; it stores one file per message, named so
    // that a directory listing sorts them in the order they were sent.
    const QString capture = m_work.filePath(QStringLiteral("capture-mail.sh"));
    QFile script(capture);
    if (!script.open(QIODevice::WriteOnly)) {
        m_error = QStringLiteral("Kann das Mail-Skript nicht schreiben");
        return;
    }
    script.write("#!/bin/sh\ncat > \"" + mailFolder().toLocal8Bit() + "/$(date +%s%N)-$$.eml\"\n");
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    const QString ini = m_work.filePath(QStringLiteral("php.ini"));
    QFile iniFile(ini);
    if (!iniFile.open(QIODevice::WriteOnly)) {
        m_error = QStringLiteral("Kann php.ini nicht schreiben");
        return;
    }
    iniFile.write("sendmail_path = \"" + capture.toLocal8Bit() +
                  "\"\n"
                  "display_errors = stderr\nlog_errors = Off\nerror_reporting = E_ALL\n"
                  "date.timezone = Europe/Berlin\n");
    iniFile.close();

    m_port = TestServers::freePort();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setWorkingDirectory(docRoot);
    m_process.start(QStringLiteral("php"),
                    {QStringLiteral("-c"), ini, QStringLiteral("-S"),
                     QStringLiteral("127.0.0.1:%1").arg(m_port), QStringLiteral("-t"), docRoot});
    if (!m_process.waitForStarted(20000)) {
        m_error = QStringLiteral("php startet nicht: ") + m_process.errorString();
        return;
    }
    const QDeadlineTimer deadline(20000);
    while (!TestServers::accepts(m_port)) {
        if (m_process.state() == QProcess::NotRunning || deadline.hasExpired()) {
            m_error = QStringLiteral("php -S nimmt keine Verbindung an: ") +
                      QString::fromLocal8Bit(log());
            return;
        }
        QThread::msleep(20);
    }
}

PhpTestServer::~PhpTestServer() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString PhpTestServer::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1/").arg(m_port);
}

QString PhpTestServer::mailFolder() const {
    return m_work.filePath(QStringLiteral("mail"));
}

QList<QByteArray> PhpTestServer::capturedMails() const {
    QDir folder(mailFolder());
    QStringList names = folder.entryList({QStringLiteral("*.eml")}, QDir::Files);
    std::sort(names.begin(), names.end());
    QList<QByteArray> mails;
    for (const QString& name : names) {
        QFile file(folder.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            mails << file.readAll();
    }
    return mails;
}

QByteArray PhpTestServer::log() {
    m_log += m_process.readAll();
    return m_log;
}

QString phpLintError(const QString& file) {
    QProcess php;
    php.setProcessChannelMode(QProcess::MergedChannels);
    php.start(QStringLiteral("php"), {QStringLiteral("-l"), file});
    if (!php.waitForFinished(30000))
        return QStringLiteral("php -l läuft nicht: ") + php.errorString();
    if (php.exitStatus() == QProcess::NormalExit && php.exitCode() == 0)
        return {};
    return QString::fromLocal8Bit(php.readAll()).trimmed();
}
