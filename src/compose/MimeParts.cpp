#include "compose/MimeParts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSaveFile>
#include <gmime/gmime.h>
#include <memory>
#include <mutex>

namespace MimeParts {

namespace {

void ensureGMime() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

struct Unref {
    void operator()(void* p) const {
        if (p)
            g_object_unref(p);
    }
};

QString typeOf(const Part& p) {
    if (p.mimeType.contains(QChar('/')))
        return p.mimeType.trimmed().toLower();
    static const QMimeDatabase types;
    return types.mimeTypeForFileNameAndData(p.fileName, p.data).name();
}

GMimeObject* binaryPart(const Part& p, bool inlined) {
    const QByteArray type = typeOf(p).toLatin1();
    const qsizetype slash = type.indexOf('/');
    GMimePart* part =
        g_mime_part_new_with_type(type.left(slash).constData(), type.mid(slash + 1).constData());
    std::unique_ptr<GMimeStream, Unref> stream(
        g_mime_stream_mem_new_with_buffer(p.data.constData(), size_t(p.data.size())));
    std::unique_ptr<GMimeDataWrapper, Unref> content(
        g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(part, content.get());
    g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_BASE64);
    g_mime_object_set_disposition(GMIME_OBJECT(part), inlined ? "inline" : "attachment");
    if (!p.fileName.isEmpty())
        g_mime_part_set_filename(part, p.fileName.toUtf8().constData());
    if (inlined && !p.contentId.isEmpty())
        g_mime_part_set_content_id(part, p.contentId.toUtf8().constData());
    return GMIME_OBJECT(part);
}

GMimeObject* textPart(const char* subtype, const QString& text) {
    GMimeTextPart* part = g_mime_text_part_new_with_subtype(subtype);
    g_mime_text_part_set_text(part, text.toUtf8().constData());
    g_mime_part_set_content_encoding(GMIME_PART(part), GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE);
    return GMIME_OBJECT(part);
}

// Adds child to the multipart and gives up our reference to it.
void add(GMimeMultipart* multipart, GMimeObject* child) {
    g_mime_multipart_add(multipart, child);
    g_object_unref(child);
}

GMimeObject* body(const Mail& mail) {
    GMimeObject* html = nullptr;
    if (!mail.html.isEmpty()) {
        html = textPart("html", mail.html);
        if (!mail.inlineParts.isEmpty()) {
            GMimeMultipart* related = g_mime_multipart_new_with_subtype("related");
            g_mime_object_set_content_type_parameter(GMIME_OBJECT(related), "type", "text/html");
            add(related, html);
            for (const Part& p : mail.inlineParts)
                add(related, binaryPart(p, true));
            html = GMIME_OBJECT(related);
        }
    }
    GMimeObject* text = nullptr;
    if (html && !mail.plain.isEmpty()) {
        GMimeMultipart* alternative = g_mime_multipart_new_with_subtype("alternative");
        add(alternative, textPart("plain", mail.plain));
        add(alternative, html);
        text = GMIME_OBJECT(alternative);
    } else {
        text = html ? html : textPart("plain", mail.plain);
    }
    if (mail.attachments.isEmpty())
        return text;
    GMimeMultipart* mixed = g_mime_multipart_new_with_subtype("mixed");
    add(mixed, text);
    for (const Part& p : mail.attachments)
        add(mixed, binaryPart(p, false));
    return GMIME_OBJECT(mixed);
}

void addMailboxes(GMimeMessage* message, GMimeAddressType type, const QList<Mailbox>& boxes) {
    for (const Mailbox& b : boxes)
        if (!b.address.trimmed().isEmpty())
            g_mime_message_add_mailbox(message, type, b.name.toUtf8().constData(),
                                       b.address.trimmed().toUtf8().constData());
}

} // namespace

bool readAttachment(const QString& path, Part* part, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Der Dateianhang \"%1\" kann nicht gelesen werden: %2")
                         .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    part->data = file.readAll();
    part->fileName = QFileInfo(path).fileName();
    part->mimeType.clear();
    part->contentId.clear();
    return true;
}

bool writeMail(const Mail& mail, const QString& path, QString* error) {
    ensureGMime();
    std::unique_ptr<GMimeMessage, Unref> message(g_mime_message_new(TRUE));
    g_mime_message_set_subject(message.get(), mail.subject.toUtf8().constData(), "utf-8");
    addMailboxes(message.get(), GMIME_ADDRESS_TYPE_FROM, {mail.from});
    addMailboxes(message.get(), GMIME_ADDRESS_TYPE_TO, mail.to);
    addMailboxes(message.get(), GMIME_ADDRESS_TYPE_CC, mail.cc);
    addMailboxes(message.get(), GMIME_ADDRESS_TYPE_BCC, mail.bcc);
    if (mail.date.isValid()) {
        GDateTime* date = g_date_time_new_from_unix_utc(mail.date.toSecsSinceEpoch());
        g_mime_message_set_date(message.get(), date);
        g_date_time_unref(date);
    }
    GMimeObject* content = body(mail);
    g_mime_message_set_mime_part(message.get(), content);
    g_object_unref(content);

    GMimeFormatOptions* options = g_mime_format_options_new();
    g_mime_format_options_set_newline_format(options, GMIME_NEWLINE_FORMAT_DOS);
    char* text = g_mime_object_to_string(GMIME_OBJECT(message.get()), options);
    g_mime_format_options_free(options);
    const QByteArray bytes(text ? text : "");
    g_free(text);

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        if (error)
            *error = QStringLiteral("Die Datei \"%1\" kann nicht geschrieben werden: %2")
                         .arg(QDir::toNativeSeparators(path), out.errorString());
        return false;
    }
    return true;
}

} // namespace MimeParts
