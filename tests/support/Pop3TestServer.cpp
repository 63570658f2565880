#include "Pop3TestServer.h"

#include "TestServers.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

Pop3TestServer::Pop3TestServer(bool tls) {
    const QString dovecot = QStringLiteral("/usr/sbin/dovecot");
    if (!QFile::exists(dovecot)) {
        m_error = QStringLiteral("dovecot fehlt (Paket dovecot-pop3d)");
        return;
    }
    const QString base = m_folder.path();
    // dovecot's login processes run as other users and must reach their sockets here.
    ::chmod(QFile::encodeName(base).constData(), 0755);
    QDir(base).mkpath(QStringLiteral("run"));
    QDir(base).mkpath(QStringLiteral("state"));
    QDir(base).mkpath(QStringLiteral("home/quillon"));

    const bool root = ::getuid() == 0;
    // Mail processes never run as root: as root the mailbox belongs to "nobody".
    uid_t uid = ::getuid();
    gid_t gid = ::getgid();
    QString internalUser;
    if (root) {
        const passwd* nobody = ::getpwnam("nobody");
        uid = nobody ? nobody->pw_uid : 65534;
        gid = nobody ? nobody->pw_gid : 65534;
        const QByteArray home = QFile::encodeName(base + QStringLiteral("/home/quillon"));
        if (::chown(home.constData(), uid, gid) != 0) {
            m_error = QStringLiteral("chown des Postfachs scheitert");
            return;
        }
    } else {
        const passwd* me = ::getpwuid(uid);
        internalUser = me ? QString::fromLocal8Bit(me->pw_name) : QString();
    }

    QFile passwd(base + QStringLiteral("/passwd"));
    if (!passwd.open(QIODevice::WriteOnly) ||
        passwd.write(
            (user() + QStringLiteral(":{PLAIN}") + password() + QStringLiteral("\n")).toUtf8()) <
            0) {
        m_error = QStringLiteral("passwd-Datei nicht schreibbar");
        return;
    }
    passwd.close();

    m_port = TestServers::freePort();
    QString ssl = QStringLiteral("ssl = no\n");
    if (tls) {
        const auto& c = TestServers::certificate();
        if (!c.error.isEmpty()) {
            m_error = c.error;
            return;
        }
        ssl =
            QStringLiteral("ssl = yes\nssl_cert = <%1\nssl_key = <%2\n").arg(c.certFile, c.keyFile);
    }
    QString config =
        QStringLiteral(R"(protocols = pop3
listen = 127.0.0.1
base_dir = %1/run
state_dir = %1/state
log_path = %1/dovecot.log
info_log_path = %1/dovecot.log
auth_verbose = yes
disable_plaintext_auth = no
auth_mechanisms = plain login
first_valid_uid = 1
%2passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u %1/passwd
}
userdb {
  driver = static
  args = uid=%3 gid=%4 home=%1/home/%u
}
mail_location = maildir:~/Maildir
service pop3-login {
  chroot =
  inet_listener pop3 {
    address = 127.0.0.1
    port = %5
  }
  inet_listener pop3s {
    port = 0
  }
}
service anvil {
  chroot =
}
)")
            .arg(base, ssl, QString::number(uid), QString::number(gid), QString::number(m_port));
    if (!root)
        config += QStringLiteral("default_internal_user = %1\ndefault_login_user = %1\n")
                      .arg(internalUser);
    QFile conf(base + QStringLiteral("/dovecot.conf"));
    if (!conf.open(QIODevice::WriteOnly) || conf.write(config.toUtf8()) < 0) {
        m_error = QStringLiteral("dovecot.conf nicht schreibbar");
        return;
    }
    conf.close();

    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(dovecot, {QStringLiteral("-F"), QStringLiteral("-c"), conf.fileName()});
    // Ready when the listener accepts; a dovecot that ends early has failed.
    const QDeadlineTimer deadline(60000);
    while (!TestServers::accepts(m_port)) {
        if (m_process.state() == QProcess::NotRunning || deadline.hasExpired()) {
            m_error = QStringLiteral("dovecot startet nicht: ") +
                      QString::fromLocal8Bit(m_process.readAll());
            QFile log(base + QStringLiteral("/dovecot.log"));
            if (log.open(QIODevice::ReadOnly))
                m_error += QString::fromLocal8Bit(log.readAll());
            return;
        }
        m_process.waitForFinished(50);
    }
}

Pop3TestServer::~Pop3TestServer() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(20000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString Pop3TestServer::caFile() const {
    return TestServers::certificate().certFile;
}

int Pop3TestServer::loginCount() const {
    QFile log(m_folder.path() + QStringLiteral("/dovecot.log"));
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    return int(log.readAll().count("pop3-login: Info: Login: user=<quillon>"));
}

namespace {

// Mailbox files belong to the user the mail processes run as (the home folder's owner).
void ownLikeHome(const QString& path, const QString& home) {
    const QFileInfo owner(home);
    if (::getuid() == 0 &&
        ::chown(QFile::encodeName(path).constData(), owner.ownerId(), owner.groupId()) != 0)
        ADD_FAILURE() << "chown " << path.toStdString();
}

} // namespace

void Pop3TestServer::deliver(const QByteArray& message) {
    static int sequence = 0;
    const QString home = m_folder.path() + QStringLiteral("/home/quillon");
    const QString maildir = home + QStringLiteral("/Maildir");
    for (const char* sub : {"", "/new", "/cur", "/tmp"}) {
        QDir().mkpath(maildir + QLatin1String(sub));
        ownLikeHome(maildir + QLatin1String(sub), home);
    }
    const QString path = maildir + QStringLiteral("/new/%1.%2.quillon-test")
                                       .arg(QDateTime::currentSecsSinceEpoch())
                                       .arg(++sequence);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(message);
    file.close();
    ownLikeHome(path, home);
}

int Pop3TestServer::mailboxCount() const {
    const QString maildir = m_folder.path() + QStringLiteral("/home/quillon/Maildir");
    return int(QDir(maildir + "/new").entryList(QDir::Files).size() +
               QDir(maildir + "/cur").entryList(QDir::Files).size());
}
