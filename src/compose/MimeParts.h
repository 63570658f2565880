#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// Writing a whole e-mail file from its pieces, for the files the program makes itself
// from other sources (an Outlook message, an imported HTML page).
namespace MimeParts {

struct Part {
    QByteArray data;
    QString fileName;
    QString mimeType;  // "image/png"; guessed from name and bytes when empty
    QString contentId; // without angle brackets; set for the inline images of the HTML
};

struct Mailbox {
    QString name;
    QString address;
};

struct Mail {
    QString subject;
    Mailbox from;
    QList<Mailbox> to, cc, bcc;
    QDateTime date; // none when invalid
    QString plain;
    QString html;
    QList<Part> inlineParts; // images of the HTML, referred to by "cid:"
    QList<Part> attachments;
};

// A file as an attachment: its bytes, its name and its type. False with a German
// message when it cannot be read.
bool readAttachment(const QString& path, Part* part, QString* error);

// Writes the mail as MIME with CR LF line ends: alternative(plain, related(html,
// images)), inside mixed when there are attachments; a part that is empty is left out.
// The file is replaced whole or not at all; false with a German message.
bool writeMail(const Mail& mail, const QString& path, QString* error);

} // namespace MimeParts
