#include "send/ServerSession.h"

#include "common/IniFile.h"
#include "common/Messages.h"
#include "send/Pop3Login.h"

#include <QFileInfo>

namespace {

const QString kIgnoreHint =
    QStringLiteral("(Falls Sie diese Meldungen nicht mehr wünschen, setzen Sie den Haken "
                   "\"Verbindungsprobleme ignorieren\"");

QString conversionError(const QString& text) {
    return QStringLiteral("\"") + text + QStringLiteral("\" ist kein gültiger ganzzahliger Wert.");
}

} // namespace

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

bool ServerSession::isConnectionProblem(const QString& errorText) {
    const QString upper = errorText.toUpper();
    return upper.contains(QStringLiteral("ERROR WITH CONNECTING SERVER")) ||
           upper.contains(QStringLiteral("MUST BE AUTHENTICATED"));
}

QString ServerSession::stopMessage(const QString& errorText) {
    return QStringLiteral("Fehler in Ihrer Verbindung! Versand wird abgebrochen. Bitte überprüfen "
                          "Sie Ihre Verbindung zum SMTP-Server!\r\r") +
           errorText;
}

QString ServerSession::continueQuestion(const QString& errorText) {
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

bool ServerSession::setUp(const QString& programFolder, const QString& definitionName) {
    m_mail.Initialise();
    m_settingsFile = SettingsFiles::chooseSettingsFile(programFolder, definitionName);
    // Reports a missing Quillon.ini and every missing section or key.
    m_settings = Settings::loadAccountSettings(programFolder, definitionName, m_messages);
    auto failed = [this] {
        if (makeClosable)
            makeClosable();
        return false;
    };
    if (!QFileInfo::exists(m_settingsFile))
        return failed();
    m_caFile = IniFile(m_settingsFile).readString(QStringLiteral("SSL"), QStringLiteral("CAFile"));

    bool ok = true;
    if (m_settings.popBeforeSmtp && !popLogin(m_settings, m_caFile, m_messages)) {
        if (makeClosable)
            makeClosable();
        ok = false;
    }

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

void ServerSession::release(bool deliver) {
    m_mail.ReleaseMail(deliver);
}

void ServerSession::abandon() {
    if (m_beginResult == 0) {
        m_mail.ReleaseMail(false);
        m_mail.EndMail();
    }
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
    if (ignoring() || !isConnectionProblem(outcome.error))
        return outcome;
    if (kind == RunKind::Html || m_settings.sslActive) {
        m_messages.error(stopMessage(outcome.error));
        outcome.stopRun = true;
    } else {
        outcome.stopRun = m_messages.question(continueQuestion(outcome.error));
    }
    return outcome;
}

void ServerSession::finishRun() {
    m_mail.Release();
}

namespace ConnectionTest {

QString addressProblem(const QString& text) {
    if (text == QStringLiteral("Emailadresse eingeben"))
        return QStringLiteral("Bitte geben Sie eine Emailadresse ein");
    if (!text.contains(QChar('@')) || !text.contains(QChar('.')))
        return QStringLiteral("Bitte geben Sie eine gültige Emailadresse ein");
    return {};
}

bool sendTestMail(SmtpMail& mail, const QString& programFolder, const TestMail& values,
                  Messages& messages) {
    mail.Initialise();
    if (!QFileInfo::exists(SettingsFiles::generalSettingsPath(programFolder)))
        messages.error(Settings::missingGeneralFileMessage(programFolder));
    const AccountSettings& a = values.account;

    bool ok = true;
    if (a.popBeforeSmtp && !ServerSession::popLogin(a, values.caFile, messages))
        ok = false;

    const auto port = a.smtpPortNumber();
    if (ok && !port) {
        messages.error(conversionError(a.smtpPort));
        ok = false;
    }
    if (ok) {
        mail.AuthMode = 0;
        mail.ServerAddr = a.smtpHost.trimmed();
        mail.ServerPort = *port;
        if (a.authentication) {
            mail.UserName = a.smtpUserName;
            mail.Password = a.smtpPassword;
        }
        mail.CodeSet = a.codeSetIndex;
        mail.CaFile = values.caFile;
        mail.BodyFormat = 0;
        mail.AddRecipient(values.testAddress, values.testAddress, 0);
        mail.Subject = QStringLiteral("Quillon Test-E-Mail");
        mail.BodyText = QStringLiteral(
            "Dies ist eine Test-E-Mail versendet mit Quillon! Wenn Sie diese E-Mail erhalten "
            "haben ist der Verbindungstest erfolgreich durchgeführt worden.");
        mail.FromAddr = values.senderAddress;
        mail.From = values.senderName;
        mail.Priority = values.priority;
        int result = 0;
        if (a.sslActive) {
            result = mail.SslInit();
            if (result == 0) {
                mail.SslStart();
                result = mail.SendMail();
            }
        } else {
            result = mail.SendMail();
        }
        ok = result == 0;
        if (!ok)
            mail.LogError(mail.LastErrorDescription());
    }
    mail.Release();
    if (ok)
        messages.information(QStringLiteral("Test-E-Mail wurde gesendet!"));
    else
        messages.error(QStringLiteral("Test-E-Mail konnte nicht gesendet werden!"));
    return ok;
}

} // namespace ConnectionTest
