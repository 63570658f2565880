#include "send/ServerSession.h"

#include "common/IniFile.h"
#include "common/Messages.h"
#include "send/BlockingCall.h"
#include "send/Pop3Login.h"

#include <QFileInfo>

namespace {

const QString kIgnoreHint =
    QStringLiteral("(Falls Sie diese Meldungen nicht mehr wünschen, setzen Sie den Haken "
                   "\"Verbindungsprobleme ignorieren\"");

} // namespace

QString ServerSession::conversionError(const QString& text) {
    return QStringLiteral("\"") + text + QStringLiteral("\" ist kein gültiger ganzzahliger Wert.");
}

ServerSession::ServerSession(SmtpMail& mail, Messages& messages)
    : m_mail(mail), m_messages(messages) {
    auto status = [this](const char* text) {
        if (showStatus)
            showStatus(QLatin1String(text));
    };
    QObject::connect(&m_mail, &SmtpMail::OnConnected, &m_context,
                     [status] { status("Connected"); });
    QObject::connect(&m_mail, &SmtpMail::OnClosed, &m_context,
                     [status] { status("Disconnected"); });
    QObject::connect(&m_mail, &SmtpMail::OnSending, &m_context,
                     [status](qint64, qint64) { status("Sending"); });
    QObject::connect(&m_mail, &SmtpMail::OnError, &m_context,
                     [this](int, const QString& description) {
                         if (transactionLogEnabled)
                             m_mail.LogError(description);
                         if (ignoring())
                             return;
                         if (m_messages.question(errorEventQuestion(description)) && stopRun)
                             stopRun();
                     });
}

ServerSession::~ServerSession() = default;

bool ServerSession::isConnectionProblem(int errorCode) {
    return errorCode == SmtpMail::ConnectionError || errorCode == SmtpMail::AuthenticationRequired;
}

QString ServerSession::stopMessage(const QString& errorText) {
    return QStringLiteral("Fehler in Ihrer Verbindung! Versand wird abgebrochen. Bitte überprüfen "
                          "Sie Ihre Verbindung zum SMTP-Server!\r\r") +
           errorText;
}

QString ServerSession::continueQuestion(const QString& errorText, int errorCode) {
    // A server that never answered reported nothing: the text says what happened.
    if (errorCode == SmtpMail::ConnectionError)
        return QStringLiteral("Fehler in Ihrer Verbindung! ") + errorText +
               QStringLiteral("\r\rMöchten Sie den Versand abbrechen?\r\r") + kIgnoreHint +
               QStringLiteral(")");
    return QStringLiteral("Fehler in Ihrer Verbindung! Ihr SMTP-Server meldet folgenden Fehler: ") +
           errorText + QStringLiteral("\r\r") +
           QStringLiteral("! Möchten Sie den Versand abbrechen?") + QStringLiteral("\r\r") +
           kIgnoreHint + QStringLiteral(")");
}

QString ServerSession::errorEventQuestion(const QString& errorText) {
    return QStringLiteral("Fehler in Ihrer Verbindung! Ihr SMTP-Server meldet folgenden Fehler ") +
           errorText + QStringLiteral("! Möchten Sie den Versand abbrechen?") +
           QStringLiteral("\r\r") + kIgnoreHint;
}

QString ServerSession::mailboxMissingMessage() {
    return QStringLiteral("Richten Sie zuerst Ihr Postfach ein! Gehen Sie hierzu ins Menü "
                          "\"Programm->Optionen\"");
}

bool ServerSession::popLogin(const AccountSettings& settings, const QString& caFile,
                             Messages& messages) {
    const auto port = settings.popPortNumber();
    QString detail;
    const bool ok = port && Pop3Login::login({settings.popHost, *port, settings.popAccount,
                                              settings.popPassword, settings.sslActive, caFile},
                                             &detail);
    if (!ok)
        messages.error(Pop3Login::failureMessage());
    return ok;
}

bool ServerSession::readSettings(const QString& programFolder, const QString& definitionName) {
    m_mail.Initialise();
    m_settingsFile = SettingsFiles::chooseSettingsFile(programFolder, definitionName);
    // Reports a missing Quillon.ini and every missing section or key.
    m_settings = Settings::loadAccountSettings(programFolder, definitionName, m_messages);
    if (!QFileInfo::exists(m_settingsFile)) {
        if (makeClosable)
            makeClosable();
        return false;
    }
    m_caFile = IniFile(m_settingsFile).readString(QStringLiteral("SSL"), QStringLiteral("CAFile"));
    return true;
}

// The component's part of the set-up; ok false when an earlier step failed (the steps
// still run, as the messages of each are shown).
bool ServerSession::configure(bool ok) {
    auto failed = [this] {
        if (makeClosable)
            makeClosable();
        return false;
    };
    if (!ok && makeClosable)
        makeClosable();
    const auto port = m_settings.smtpPortNumber();
    if (!port) {
        m_messages.error(conversionError(m_settings.smtpPort));
        return failed();
    }
    m_mail.AuthMode = 0;
    m_mail.ServerAddr = m_settings.smtpHost.trimmed();
    m_mail.ServerPort = *port;
    m_mail.XMailer = clientIdentityText(m_settings.clientIdentityIndex);
    m_mail.CodeSet = m_settings.codeSetIndex;
    m_mail.CaFile = m_caFile;
    if (m_settings.authentication) {
        m_mail.AuthMode = 1;
        m_mail.UserName = m_settings.smtpUserName;
        m_mail.Password = m_settings.smtpPassword;
    }
    // Without a server there is no mailbox to send through.
    if (m_mail.ServerAddr.isEmpty()) {
        m_messages.error(mailboxMissingMessage());
        return failed();
    }
    return ok;
}

bool ServerSession::setUp(const QString& programFolder, const QString& definitionName) {
    if (!readSettings(programFolder, definitionName))
        return false;
    const bool popOk = !m_settings.popBeforeSmtp || popLogin(m_settings, m_caFile, m_messages);
    return configure(popOk);
}

ServerSession::Step ServerSession::beginSetUp(const QString& programFolder,
                                              const QString& definitionName,
                                              std::function<void(bool ok)> done) {
    if (!readSettings(programFolder, definitionName))
        return Step::Failed;
    if (!m_settings.popBeforeSmtp)
        return configure(true) ? Step::Ready : Step::Failed;
    const auto port = m_settings.popPortNumber();
    if (!port) {
        m_messages.error(Pop3Login::failureMessage());
        return configure(false) ? Step::Ready : Step::Failed;
    }
    // The call stays until the next set-up: it may not be destroyed from its own end.
    m_popCall = Pop3Login::start({m_settings.popHost, *port, m_settings.popAccount,
                                  m_settings.popPassword, m_settings.sslActive, m_caFile},
                                 [this, done = std::move(done)](bool ok, const QString&) {
                                     if (!ok)
                                         m_messages.error(Pop3Login::failureMessage());
                                     done(configure(ok));
                                 });
    return Step::Waiting;
}

ServerSession::Outcome ServerSession::send(RunKind kind) {
    begin(false);
    return finish(kind);
}

void ServerSession::begin(bool held) {
    m_beginResult = 0;
    if (m_settings.sslActive) {
        m_beginResult = m_mail.SslInit();
        if (m_beginResult != 0)
            return;
        m_mail.SslStart();
    }
    m_beginResult = m_mail.BeginMail(held);
}

bool ServerSession::chain() {
    if (m_settings.sslActive && m_mail.SslInit() != 0)
        return false; // a begin of its own reports it
    return m_mail.ChainMail();
}

void ServerSession::release(bool deliver) {
    m_mail.ReleaseMail(deliver);
}

void ServerSession::giveUp() {
    if (m_beginResult == 0)
        m_mail.ReleaseMail(false);
    m_beginResult = 0;
}

ServerSession::Outcome ServerSession::finish(RunKind kind) {
    Outcome outcome;
    const int result = m_beginResult != 0 ? m_beginResult : m_mail.EndMail();
    m_beginResult = 0;
    if (result == 0) {
        outcome.sent = true;
        return outcome;
    }
    outcome.error = m_mail.LastErrorDescription();
    if (m_mail.wasAborted()) {
        outcome.aborted = true;
        return outcome;
    }
    if (result == SmtpMail::SigningFailed) {
        // With signing on no message leaves unsigned.
        m_messages.error(QStringLiteral("Der Versand wird abgebrochen, damit keine E-Mail "
                                        "unsigniert versendet wird.\r\r") +
                         outcome.error);
        outcome.stopRun = true;
        return outcome;
    }
    if (result == SmtpMail::SessionRefused) {
        m_messages.error(stopMessage(outcome.error));
        outcome.stopRun = true;
        return outcome;
    }
    if (ignoring() || !isConnectionProblem(result))
        return outcome;
    if (kind == RunKind::Html || m_settings.sslActive) {
        m_messages.error(stopMessage(outcome.error));
        outcome.stopRun = true;
    } else {
        outcome.stopRun = m_messages.question(continueQuestion(outcome.error, result));
    }
    return outcome;
}

void ServerSession::finishRun() {
    m_mail.Release();
}
