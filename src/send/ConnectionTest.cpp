#include "send/ConnectionTest.h"

#include "common/Messages.h"
#include "send/Pop3Login.h"
#include "send/ServerSession.h"
#include "send/SmtpMail.h"

#include <QFileInfo>

namespace ConnectionTest {

QString addressProblem(const QString& text) {
    if (text == QStringLiteral("Emailadresse eingeben"))
        return QStringLiteral("Bitte geben Sie eine Emailadresse ein");
    if (!text.contains(QChar('@')) || !text.contains(QChar('.')))
        return QStringLiteral("Bitte geben Sie eine gültige Emailadresse ein");
    return {};
}

QString sentMessage() {
    return QStringLiteral("Test-E-Mail wurde gesendet!");
}

QString failedMessage(const QString& reason) {
    const QString text = QStringLiteral("Test-E-Mail konnte nicht gesendet werden!");
    return reason.isEmpty() ? text : text + QStringLiteral("\r\r") + reason;
}

QString settingsMissingReason() {
    return QStringLiteral("Die Einstellungen sind noch nicht ausgefüllt: Bitte tragen Sie den "
                          "Postausgangsserver (SMTP) Ihres Mailkontos ein.");
}

bool sendTestMail(SmtpMail& mail, const QString& programFolder, const TestMail& values,
                  Messages& messages) {
    mail.Initialise();
    if (!QFileInfo::exists(SettingsFiles::generalSettingsPath(programFolder)))
        messages.error(Settings::missingGeneralFileMessage(programFolder));
    const AccountSettings& a = values.account;

    QString reason;
    const QString host = a.smtpHost.trimmed();
    // The options dialog's preset text is no server.
    if (host.isEmpty() || a.smtpHost == QStringLiteral("Ihr SMTP Server"))
        reason = settingsMissingReason();
    if (reason.isEmpty() && a.popBeforeSmtp && !ServerSession::popLogin(a, values.caFile, messages))
        reason = Pop3Login::failureMessage();

    const auto port = a.smtpPortNumber();
    if (reason.isEmpty() && !port) {
        reason = ServerSession::conversionError(a.smtpPort);
    }
    if (reason.isEmpty()) {
        mail.AuthMode = 0;
        mail.ServerAddr = host;
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
        if (result != 0) {
            reason = mail.LastErrorDescription();
            mail.LogError(reason);
        }
    }
    mail.Release();
    if (reason.isEmpty())
        messages.information(sentMessage());
    else
        messages.error(failedMessage(reason));
    return reason.isEmpty();
}

} // namespace ConnectionTest
