#pragma once
#include "settings/AccountSettings.h"

#include <QString>

class Messages;
class SmtpMail;

// The test mail of the connection test: sends one message to the address with the
// values the options dialog shows (not those saved), then shows "Test-E-Mail wurde
// gesendet!", or "Test-E-Mail konnte nicht gesendet werden!" followed by the reason.
namespace ConnectionTest {

struct TestMail {
    AccountSettings account; // from the dialog's fields
    QString caFile;
    QString senderAddress;
    QString senderName;
    int priority = 3;
    QString testAddress;
};

// The check of the address field: empty text when the address may be used, else the
// message to show.
QString addressProblem(const QString& text);

// The texts of the outcome.
QString sentMessage();                        // "Test-E-Mail wurde gesendet!"
QString failedMessage(const QString& reason); // "... konnte nicht ..." + reason
QString settingsMissingReason();              // the server is not filled in

// True when the test mail was sent.
bool sendTestMail(SmtpMail& mail, const QString& programFolder, const TestMail& values,
                  Messages& messages);

} // namespace ConnectionTest
