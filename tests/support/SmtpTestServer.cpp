#include "SmtpTestServer.h"

#include "TestServers.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const char* const kScript = R"PY(
import json, os, socket, ssl, sys
from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

cfg = json.loads(sys.argv[1])
folder = cfg['folder']
counts = {'connections': 0, 'messages': 0}

class Handler:
    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        if cfg['mail_reply']:
            return cfg['mail_reply']
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
        return '250 OK'

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if cfg['refuse']:
            return '550 5.7.1 Recipient refused by policy'
        if cfg['rcpt_reply']:
            return cfg['rcpt_reply']
        # A server that wants a fully-qualified greeting refuses every recipient of a
        # session that greeted with a bare name.
        if cfg['require_fqdn'] and '.' not in (session.host_name or ''):
            return '504 5.5.2 <%s>: Helo command rejected: need fully-qualified hostname' % session.host_name
        envelope.rcpt_tos.append(address)
        return '250 OK'

    async def handle_DATA(self, server, session, envelope):
        counts['messages'] += 1
        if not cfg['keep']:
            return '250 2.0.0 Message accepted'
        base = os.path.join(folder, '%05d' % counts['messages'])
        login = session.auth_data if session.authenticated else b''
        if isinstance(login, bytes):
            login = login.decode('utf-8', 'replace')
        meta = {'mail_from': envelope.mail_from, 'rcpt_tos': envelope.rcpt_tos,
                'connection': getattr(server, 'connection_number', 0), 'login': str(login),
                'helo': session.host_name or ''}
        with open(base + '.part', 'wb') as f:
            f.write(envelope.original_content)
        with open(base + '.jpart', 'w') as f:
            json.dump(meta, f)
        os.rename(base + '.part', base + '.eml')
        os.rename(base + '.jpart', base + '.json')
        return '250 2.0.0 Message accepted'

def authenticator(server, session, envelope, mechanism, auth_data):
    if (isinstance(auth_data, LoginPassword) and auth_data.login == cfg['user'].encode()
            and auth_data.password == cfg['password'].encode()):
        return AuthResult(success=True, auth_data=auth_data.login)
    return AuthResult(success=False, handled=False)

class CountingController(Controller):
    def factory(self):
        counts['connections'] += 1
        server = SMTP(self.handler, **self.SMTP_kwargs)
        server.connection_number = counts['connections']
        return server

context = None
if cfg['tls'] != 'none':
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cfg['cert'], cfg['key'])

probe = socket.socket()
probe.bind(('127.0.0.1', 0))
port = probe.getsockname()[1]
probe.close()

kwargs = dict(hostname='127.0.0.1', port=port, decode_data=False,
              authenticator=authenticator, auth_require_tls=False,
              auth_required=cfg['require_auth'],
              auth_exclude_mechanism=[m for m in ('PLAIN', 'LOGIN') if m not in cfg['mechanisms']])
if cfg['tls'] == 'starttls':
    kwargs.update(tls_context=context, require_starttls=True)
elif cfg['tls'] == 'implicit':
    kwargs.update(ssl_context=context)
controller = CountingController(Handler(), **kwargs)
controller.start()
print('READY %d' % port, flush=True)
for line in sys.stdin:
    if line.strip() == 'count':
        print('COUNT %d' % counts['messages'], flush=True)
controller.stop()
)PY";

} // namespace

SmtpTestServer::SmtpTestServer(const Options& options) : m_options(options) {
    if (!QFile::exists(QStringLiteral("/usr/bin/python3"))) {
        m_error = QStringLiteral("/usr/bin/python3 fehlt (Paket python3-aiosmtpd)");
        return;
    }
    QString cert, key;
    if (options.tls != Tls::None) {
        const auto& c = TestServers::certificate();
        if (!c.error.isEmpty()) {
            m_error = c.error;
            return;
        }
        cert = c.certFile;
        key = c.keyFile;
    }
    QJsonArray mechanisms;
    for (const QString& m : options.mechanisms)
        mechanisms.append(m);
    const QJsonObject config{
        {QStringLiteral("folder"), m_folder.path()},
        {QStringLiteral("refuse"), options.refuseRecipients},
        {QStringLiteral("mail_reply"), options.mailReply},
        {QStringLiteral("rcpt_reply"), options.rcptReply},
        {QStringLiteral("require_fqdn"), options.requireFullyQualifiedGreeting},
        {QStringLiteral("keep"), options.keepMessages},
        {QStringLiteral("require_auth"), options.requireAuth},
        {QStringLiteral("mechanisms"), mechanisms},
        {QStringLiteral("user"), options.user},
        {QStringLiteral("password"), options.password},
        {QStringLiteral("tls"), options.tls == Tls::None       ? QStringLiteral("none")
                                : options.tls == Tls::StartTls ? QStringLiteral("starttls")
                                                               : QStringLiteral("implicit")},
        {QStringLiteral("cert"), cert},
        {QStringLiteral("key"), key}};
    const QString script = m_folder.filePath(QStringLiteral("controller.py"));
    QFile file(script);
    if (!file.open(QIODevice::WriteOnly) || file.write(kScript) < 0) {
        m_error = QStringLiteral("Steuerskript nicht schreibbar");
        return;
    }
    file.close();
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(
        QStringLiteral("/usr/bin/python3"),
        {script, QString::fromUtf8(QJsonDocument(config).toJson(QJsonDocument::Compact))});
    QByteArray output;
    while (!output.contains('\n') && m_process.waitForReadyRead(60000))
        output += m_process.readAllStandardOutput();
    if (!output.startsWith("READY ")) {
        m_error = QStringLiteral("aiosmtpd startet nicht: ") +
                  QString::fromLocal8Bit(output + m_process.readAllStandardError());
        return;
    }
    m_port = output.mid(6).trimmed().toInt();
}

SmtpTestServer::~SmtpTestServer() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel(); // the script stops its server at the end of its input
    if (!m_process.waitForFinished(20000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString SmtpTestServer::caFile() const {
    return TestServers::certificate().certFile;
}

QByteArray SmtpTestServer::Received::header(const QByteArray& name) const {
    const qsizetype end = content.indexOf("\r\n\r\n");
    const QByteArray head = content.left(end < 0 ? content.size() : end);
    const QList<QByteArray> lines = head.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines[i].chopped(lines[i].endsWith('\r') ? 1 : 0);
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || line.left(colon).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        QByteArray value = line.mid(colon + 1).trimmed();
        // Folded continuation lines start with a blank.
        for (qsizetype j = i + 1;
             j < lines.size() && (lines[j].startsWith(' ') || lines[j].startsWith('\t')); ++j)
            value += ' ' + lines[j].trimmed();
        return value;
    }
    return {};
}

QByteArray SmtpTestServer::Received::body() const {
    const qsizetype end = content.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : content.mid(end + 4);
}

int SmtpTestServer::acceptedCount() {
    m_process.readAllStandardOutput();
    m_process.write("count\n");
    QByteArray line;
    while (!line.contains('\n') && m_process.waitForReadyRead(10000))
        line += m_process.readAllStandardOutput();
    return line.startsWith("COUNT ") ? line.mid(6).trimmed().toInt() : -1;
}

QList<SmtpTestServer::Received> SmtpTestServer::received() const {
    QList<Received> list;
    const QDir dir(m_folder.path());
    for (const QString& name : dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        QFile meta(dir.filePath(name));
        QFile eml(dir.filePath(name.chopped(5) + QStringLiteral(".eml")));
        if (!meta.open(QIODevice::ReadOnly) || !eml.open(QIODevice::ReadOnly))
            continue;
        const QJsonObject o = QJsonDocument::fromJson(meta.readAll()).object();
        Received r;
        r.mailFrom = o.value(QStringLiteral("mail_from")).toString();
        for (const auto& v : o.value(QStringLiteral("rcpt_tos")).toArray())
            r.recipients.append(v.toString());
        r.connection = o.value(QStringLiteral("connection")).toInt();
        r.login = o.value(QStringLiteral("login")).toString();
        r.greeting = o.value(QStringLiteral("helo")).toString();
        r.content = eml.readAll();
        list.append(r);
    }
    return list;
}
