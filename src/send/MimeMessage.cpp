#include "send/MimeMessage.h"

#include "common/ControlCharacters.h"
#include "compose/MailCharset.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSaveFile>
#include <gmime/gmime.h>
#include <mutex>

namespace {

void ensureGMime() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

// Owns one GObject reference.
template <typename T> struct Ref {
    T* p = nullptr;
    explicit Ref(T* object) : p(object) {}
    ~Ref() {
        if (p)
            g_object_unref(p);
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
};

QByteArray utf8(const QString& text) {
    return MimeMessage::headerSafe(text).toUtf8();
}

MailCharset::Charset charsetOf(const QByteArray& name) {
    for (auto c : {MailCharset::Charset::Iso88591, MailCharset::Charset::Windows1252,
                   MailCharset::Charset::Utf7, MailCharset::Charset::Utf8})
        if (MailCharset::name(c).compare(name, Qt::CaseInsensitive) == 0)
            return c;
    return MailCharset::Charset::Iso88591;
}

// Encoded words use the message's charset when it holds the text; UTF-7 is not fit for
// headers, so it and any text the charset lacks go as UTF-8.
QByteArray headerCharset(const QString& text, const QByteArray& declared) {
    const auto c = charsetOf(declared);
    if (c != MailCharset::Charset::Utf7 && MailCharset::canEncode(text, c))
        return MailCharset::name(c);
    return "utf-8";
}

// An unstructured header value that may go as it is: printable ASCII with nothing a
// reader would take for an encoded word.
bool isPlainHeaderText(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    return !text.contains(QStringLiteral("=?"));
}

// The raw value of an unstructured header made of B-encoded words (RFC 2047): each
// word holds whole characters and is at most 75 characters long, every line at most 76;
// the charset is named as registered. As GMime keeps raw values: a leading blank,
// folded lines, a final line feed.
QByteArray encodedWords(const QByteArray& headerName, const QString& text,
                        const QByteArray& charset) {
    const MailCharset::Charset c = charsetOf(charset);
    const QByteArray prefix = "=?" + charset + "?B?";
    auto maxBytes = [&](int wordLimit) {
        return std::max(3, (wordLimit - int(prefix.size()) - 2) / 4 * 3);
    };
    // The first word shares its line with the header's name.
    int limit = maxBytes(std::min(75, 76 - int(headerName.size()) - 2));
    QList<QByteArray> words;
    QByteArray chunk;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray bytes =
            MailCharset::encode(text.mid(i, length), c, MailCharset::Content::PlainText).bytes;
        i += length - 1;
        if (!chunk.isEmpty() && chunk.size() + bytes.size() > limit) {
            words << prefix + chunk.toBase64() + "?=";
            chunk.clear();
            limit = maxBytes(75);
        }
        chunk += bytes;
    }
    if (!chunk.isEmpty() || words.isEmpty())
        words << prefix + chunk.toBase64() + "?=";
    return " " + words.join("\n ") + "\n";
}

// Sets an unstructured header; a value that is not plain text goes as encoded words.
void setUnstructuredHeader(GMimeObject* object, const char* name, const QString& value,
                           const QByteArray& declaredCharset) {
    const QString safe = MimeMessage::headerSafe(value);
    const QByteArray charset = headerCharset(safe, declaredCharset);
    g_mime_object_set_header(object, name, safe.toUtf8().constData(), charset.constData());
    if (isPlainHeaderText(safe))
        return;
    GMimeHeader* header =
        g_mime_header_list_get_header(g_mime_object_get_header_list(object), name);
    if (header)
        g_mime_header_set_raw_value(header, encodedWords(name, safe, charset).constData());
}

QByteArray domainOf(const QString& address) {
    const auto at = address.lastIndexOf(QChar('@'));
    const QString domain = at >= 0 ? address.mid(at + 1).trimmed() : QString();
    return domain.isEmpty() ? QByteArray("localhost") : domain.toUtf8();
}

GMimePart* textPart(const QString& text, const char* subtype, const QByteArray& charset) {
    const auto content = QByteArray(subtype) == "html" ? MailCharset::Content::Html
                                                       : MailCharset::Content::PlainText;
    const MailCharset::Encoded encoded = MailCharset::encode(text, charsetOf(charset), content);
    GMimePart* part = g_mime_part_new_with_type("text", subtype);
    g_mime_object_set_content_type_parameter(GMIME_OBJECT(part), "charset",
                                             encoded.charset.constData());
    Ref<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(encoded.bytes.constData(), encoded.bytes.size()));
    Ref<GMimeDataWrapper> wrapper(
        g_mime_data_wrapper_new_with_stream(stream.p, GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(part, wrapper.p);
    g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE);
    return part;
}

GMimePart* attachmentPart(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Der Anhang ") + path +
                 QStringLiteral(" kann nicht gelesen werden: ") + file.errorString();
        return nullptr;
    }
    const QByteArray bytes = file.readAll();
    const QString type = QMimeDatabase().mimeTypeForFile(path).name();
    const QStringList parts = type.split(QChar('/'));
    GMimePart* part = parts.size() == 2 ? g_mime_part_new_with_type(parts[0].toUtf8().constData(),
                                                                    parts[1].toUtf8().constData())
                                        : g_mime_part_new_with_type("application", "octet-stream");
    Ref<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.constData(), bytes.size()));
    Ref<GMimeDataWrapper> wrapper(
        g_mime_data_wrapper_new_with_stream(stream.p, GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(part, wrapper.p);
    g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_BASE64);
    g_mime_part_set_filename(part, utf8(QFileInfo(path).fileName()).constData());
    return part;
}

void addMailbox(InternetAddressList* list, const MimeMessage::Address& a,
                const QByteArray& declared) {
    const QString name = MimeMessage::headerSafe(a.name).trimmed();
    InternetAddress* ia = internet_address_mailbox_new(
        name.isEmpty() ? nullptr : name.toUtf8().constData(), utf8(a.address).constData());
    if (!name.isEmpty())
        internet_address_set_charset(ia, headerCharset(name, declared).constData());
    internet_address_list_add(list, ia);
    g_object_unref(ia);
}

} // namespace

void MimeMessage::setSender(const QString& name, const QString& address) {
    m_sender = {name, address.trimmed()};
}

void MimeMessage::addToRecipient(const QString& name, const QString& address) {
    m_to.append({name, address.trimmed()});
}

void MimeMessage::addHeaderLine(const QString& name, const QString& value) {
    removeHeaderLine(name);
    m_headers.append({name, value});
}

void MimeMessage::removeHeaderLine(const QString& name) {
    m_headers.removeIf([&](const QPair<QString, QString>& h) {
        return h.first.compare(name, Qt::CaseInsensitive) == 0;
    });
}

void MimeMessage::setPriority(int priority) {
    const QString xp = QStringLiteral("X-Priority"), ms = QStringLiteral("X-MSMail-Priority");
    if (priority == 1 || priority == 5) {
        addHeaderLine(xp, QString::number(priority));
        addHeaderLine(ms, priority == 1 ? QStringLiteral("High") : QStringLiteral("Low"));
    } else {
        removeHeaderLine(xp);
        removeHeaderLine(ms);
    }
}

bool MimeMessage::isUsableAddress(const QString& address) {
    if (address.isEmpty())
        return false;
    // The envelope takes the address as it stands, a reader parses the To header: a
    // second "@", a list separator, a comment, a quote or a group would make the two
    // differ, and control and format characters are invisible in the header.
    static const QString kSpecials = QStringLiteral("<>()[]\\,;:\"");
    for (const QChar c : address)
        if (c.unicode() < 0x21 || c.isSpace() || ControlCharacters::isControl(c) ||
            c.category() == QChar::Other_Format || kSpecials.contains(c))
            return false;
    const auto at = address.indexOf(QChar('@'));
    return at > 0 && at < address.size() - 1 && address.indexOf(QChar('@'), at + 1) < 0;
}

QString MimeMessage::headerSafe(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c == QChar(0x2028) || c == QChar(0x2029))
            c = QChar(' ');
    return out;
}

bool MimeMessage::toBytes(QByteArray* out, QString* error) const {
    ensureGMime();
    QString failure;
    if (!isUsableAddress(m_sender.address))
        failure = QStringLiteral("Die Absenderadresse \"") + headerSafe(m_sender.address) +
                  QStringLiteral("\" ist ungültig.");
    for (const Address& a : m_to)
        if (failure.isEmpty() && !isUsableAddress(a.address))
            failure = QStringLiteral("Die Empfängeradresse \"") + headerSafe(a.address) +
                      QStringLiteral("\" ist ungültig.");
    if (!failure.isEmpty()) {
        if (error)
            *error = failure;
        return false;
    }

    Ref<GMimeMessage> message(g_mime_message_new(TRUE));
    addMailbox(g_mime_message_get_from(message.p), m_sender, m_charset);
    for (const Address& a : m_to)
        addMailbox(g_mime_message_get_to(message.p), a, m_charset);
    setUnstructuredHeader(GMIME_OBJECT(message.p), "Subject", m_subject, m_charset);

    const QDateTime when = m_date.isValid() ? m_date : QDateTime::currentDateTime();
    GTimeZone* zone = g_time_zone_new_offset(when.offsetFromUtc());
    GDateTime* date =
        g_date_time_new(zone, when.date().year(), when.date().month(), when.date().day(),
                        when.time().hour(), when.time().minute(), when.time().second());
    g_mime_message_set_date(message.p, date);
    g_date_time_unref(date);
    g_time_zone_unref(zone);

    char* id = g_mime_utils_generate_message_id(domainOf(m_sender.address).constData());
    g_mime_message_set_message_id(message.p, id);
    g_free(id);

    for (const auto& [name, value] : m_headers)
        setUnstructuredHeader(GMIME_OBJECT(message.p), utf8(name).constData(), value, m_charset);

    // The text part, an alternative of text and HTML, and the attachments around them.
    GMimeObject* body = nullptr;
    if (m_html.isEmpty()) {
        body = GMIME_OBJECT(textPart(m_plain, "plain", m_charset));
    } else if (m_plain.isEmpty()) {
        body = GMIME_OBJECT(textPart(m_html, "html", m_charset));
    } else {
        GMimeMultipart* alternative = g_mime_multipart_new_with_subtype("alternative");
        GMimePart* plain = textPart(m_plain, "plain", m_charset);
        GMimePart* html = textPart(m_html, "html", m_charset);
        g_mime_multipart_add(alternative, GMIME_OBJECT(plain));
        g_mime_multipart_add(alternative, GMIME_OBJECT(html));
        g_object_unref(plain);
        g_object_unref(html);
        body = GMIME_OBJECT(alternative);
    }
    if (!m_attachments.isEmpty()) {
        GMimeMultipart* mixed = g_mime_multipart_new_with_subtype("mixed");
        g_mime_multipart_add(mixed, body);
        g_object_unref(body);
        body = GMIME_OBJECT(mixed);
        for (const QString& path : m_attachments) {
            GMimePart* part = attachmentPart(path, &failure);
            if (!part) {
                g_object_unref(body);
                if (error)
                    *error = failure;
                return false;
            }
            g_mime_multipart_add(mixed, GMIME_OBJECT(part));
            g_object_unref(part);
        }
    }
    g_mime_message_set_mime_part(message.p, body);
    g_object_unref(body);

    GMimeFormatOptions* options = g_mime_format_options_clone(nullptr);
    g_mime_format_options_set_newline_format(options, GMIME_NEWLINE_FORMAT_DOS);
    Ref<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(GMIME_OBJECT(message.p), options, stream.p);
    g_mime_format_options_free(options);
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.p));
    *out = QByteArray(reinterpret_cast<const char*>(bytes->data), qsizetype(bytes->len));
    return true;
}

bool MimeMessage::saveMessageFile(const QString& path, QString* error) const {
    QByteArray bytes;
    if (!toBytes(&bytes, error))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = QStringLiteral("Die Datei ") + path +
                     QStringLiteral(" kann nicht geschrieben werden: ") + file.errorString();
        return false;
    }
    return true;
}
