#include "compose/MailTemplate.h"

#include "common/Messages.h"
#include "common/TextFile.h"

#include <QFileInfo>

namespace MailTemplateFile {

QString subjectMarker() {
    return QStringLiteral("[SUBJECT]");
}
QString textMarker() {
    return QStringLiteral("[TEXT]");
}
QString attachmentMarker() {
    return QStringLiteral("[ATTACHEMENT]");
}

QStringList toLines(const MailTemplate& mail) {
    QStringList lines;
    lines.reserve(mail.bodyLines.size() + 5);
    lines << subjectMarker() << mail.subject << textMarker();
    lines += mail.bodyLines;
    lines << attachmentMarker() << mail.attachment;
    return lines;
}

void fromLines(const QStringList& lines, MailTemplate& mail) {
    mail.bodyLines.clear();
    int state = 0;
    for (const QString& line : lines) {
        int next = state;
        if (line == subjectMarker())
            next = 1;
        else if (line == textMarker())
            next = 2;
        else if (line == attachmentMarker())
            next = 3;
        // A marker that changes the section is never content; a repeated marker of
        // the current section is.
        const bool taken = next == state;
        state = next;
        if (!taken)
            continue;
        switch (state) {
        case 1:
            mail.subject = line;
            break;
        case 2:
            mail.bodyLines.append(line);
            break;
        case 3:
            if (!line.isEmpty())
                mail.attachment = line;
            break;
        default:
            break; // lines before the first marker
        }
    }
}

QString missingAttachmentMessage(const QString& path) {
    return QStringLiteral("Achtung! In der Vorlage haben Sie als Anhang die Datei ") + path +
           QStringLiteral(" angegeben. ") + QStringLiteral("\r") +
           QStringLiteral("Die Datei existiert aber nicht mehr!");
}

} // namespace MailTemplateFile

bool readMailTemplate(const QString& path, MailTemplate& mail, Messages& messages, QString* error) {
    QStringList lines;
    if (!TextFile::readLines(path, &lines, error))
        return false;
    MailTemplateFile::fromLines(lines, mail);
    if (!mail.attachment.isEmpty() && !QFileInfo(mail.attachment).isFile()) {
        const QString missing = mail.attachment;
        mail.attachment.clear();
        messages.information(MailTemplateFile::missingAttachmentMessage(missing));
        if (!mail.templatePath.isEmpty()) {
            QString writeError;
            if (!writeMailTemplate(mail.templatePath, mail, &writeError))
                messages.error(writeError);
        }
    }
    return true;
}

bool writeMailTemplate(const QString& path, const MailTemplate& mail, QString* error) {
    return TextFile::writeLines(path, MailTemplateFile::toLines(mail), error);
}
