#pragma once
#include <QString>
#include <QStringList>

class Messages;

// The serial e-mail held by the composer window.
struct MailTemplate {
    enum class Mode { Text, Html };

    Mode mode = Mode::Text;
    QString subject;
    QStringList bodyLines; // text mode
    QString attachment;    // full path of at most one file, or empty (text mode)
    QString templatePath;  // the .mail file it came from; saved again when the
                           // attachment goes missing or is removed
    QString messageFile;   // HTML mode: private copy of the opened e-mail file
    QString htmlBody;      // HTML mode: bodies read from the message file
    QString plainBody;
};

// The .mail template file: "[SUBJECT]", subject, "[TEXT]", body lines,
// "[ATTACHEMENT]", attachment path (empty line when none); CR LF, Windows code page.
namespace MailTemplateFile {

QString subjectMarker();    // "[SUBJECT]"
QString textMarker();       // "[TEXT]"
QString attachmentMarker(); // "[ATTACHEMENT]"

// The six-part layout of the template's subject, body lines and attachment.
QStringList toLines(const MailTemplate& mail);
// Reads lines into the template by the section rule: the body is emptied first, the
// subject and the attachment are replaced only by what the lines hold.
void fromLines(const QStringList& lines, MailTemplate& mail);

QString missingAttachmentMessage(const QString& path);

} // namespace MailTemplateFile

// Reads the template file into mail. When its attachment no longer exists, the
// attachment is cleared, the message is shown and, when mail.templatePath is set, the
// template is written there again at once without the attachment. False with a German
// message in *error when the file cannot be read (mail keeps its values then).
bool readMailTemplate(const QString& path, MailTemplate& mail, Messages& messages,
                      QString* error = nullptr);

// Writes the template's subject, body lines and attachment in the six-part layout.
bool writeMailTemplate(const QString& path, const MailTemplate& mail, QString* error = nullptr);
