#include "send/MimeMessage.h"

#include "common/ControlCharacters.h"
#include "common/TextFile.h"
#include "compose/MailCharset.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QSet>
#include <QUrl>
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

// The raw value of a plain header folded at its blanks into lines of at most 78
// characters where the words allow; a longer word (a link in angle brackets) is kept
// whole, and the first word stays beside the name, where readers expect the value.
// GMime would write such a word as encoded words, which readers of List-Unsubscribe do
// not decode; a raw value it sends as it stands.
QByteArray foldedPlain(const QByteArray& headerName, const QString& text) {
    constexpr qsizetype kLine = 78;
    QByteArray raw;
    qsizetype length = headerName.size() + 1; // "Name:"
    for (const QByteArray& word : text.toLatin1().split(' ')) {
        // A second blank never starts a line, so no line holds blanks only.
        if (!word.isEmpty() && !raw.trimmed().isEmpty() && length + 1 + word.size() > kLine) {
            raw += '\n';
            length = 0;
        }
        raw += ' ' + word;
        length += 1 + word.size();
    }
    return raw + '\n';
}

// Sets an unstructured header; a value that is not plain text goes as encoded words.
void setUnstructuredHeader(GMimeObject* object, const char* name, const QString& value,
                           const QByteArray& declaredCharset) {
    const QString safe = MimeMessage::headerSafe(value);
    const QByteArray charset = headerCharset(safe, declaredCharset);
    g_mime_object_set_header(object, name, safe.toUtf8().constData(), charset.constData());
    GMimeHeader* header =
        g_mime_header_list_get_header(g_mime_object_get_header_list(object), name);
    if (!header)
        return;
    if (!isPlainHeaderText(safe))
        g_mime_header_set_raw_value(header, encodedWords(name, safe, charset).constData());
    else if (qstrlen(name) + 2 + safe.size() > 78)
        g_mime_header_set_raw_value(header, foldedPlain(name, safe).constData());
}

// A fresh message id ("time.random@domain", without the brackets): the time in
// milliseconds and 64 random bits make it unique; the sender's domain, in its ASCII
// form, says whose it is. Drawn from the process's generator, so a run of many messages
// does not open the system's random source for each one.
QByteArray messageId(const QString& senderAddress) {
    const auto at = senderAddress.lastIndexOf(QChar('@'));
    QByteArray domain = at >= 0 ? QUrl::toAce(senderAddress.mid(at + 1).trimmed()) : QByteArray();
    if (domain.isEmpty())
        domain = "localhost";
    return QByteArray::number(QDateTime::currentMSecsSinceEpoch(), 36).toUpper() + '.' +
           QByteArray::number(QRandomGenerator::global()->generate64(), 36).toUpper() + '@' +
           domain;
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

// The parts of a loaded file that travel unchanged with every message built from it.
struct MimeMessage::Kept {
    std::vector<GMimeObject*> inlineParts; // one reference each
    std::vector<GMimeObject*> attachments;
    // What the last unpacking wrote: file path -> size, so unchanged parts are not
    // written again for every record.
    mutable QHash<QString, qint64> unpacked;
    Kept() = default;
    Kept(const Kept&) = delete;
    Kept& operator=(const Kept&) = delete;
    ~Kept() {
        for (GMimeObject* o : inlineParts)
            g_object_unref(o);
        for (GMimeObject* o : attachments)
            g_object_unref(o);
    }
};

namespace {

// What the parser reported about a file.
struct ParseIssues {
    bool truncated = false;
    bool critical = false;
};

void noteParserWarning(gint64, GMimeParserWarning warning, const char*, gpointer data) {
    auto* issues = static_cast<ParseIssues*>(data);
    if (warning == GMIME_WARN_TRUNCATED_MESSAGE)
        issues->truncated = true;
    else if (warning == GMIME_CRIT_NESTING_OVERFLOW ||
             warning == GMIME_CRIT_PART_WITHOUT_HEADERS_OR_CONTENT ||
             warning == GMIME_CRIT_MULTIPART_WITHOUT_BOUNDARY)
        issues->critical = true;
}

QByteArray decodedContent(GMimePart* part) {
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (!content)
        return {};
    Ref<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(content, stream.p);
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.p));
    return QByteArray(reinterpret_cast<const char*>(bytes->data), qsizetype(bytes->len));
}

bool isValidUtf8(const QByteArray& bytes) {
    return g_utf8_validate(bytes.constData(), bytes.size(), nullptr);
}

QString unknownCharsetMessage(const QString& charset) {
    return QStringLiteral("Die E-Mail-Datei verwendet den Zeichensatz \"") +
           MimeMessage::headerSafe(charset) +
           QStringLiteral("\", der unbekannt ist. Die Datei kann nicht gelesen werden.");
}

// The text of a part in Unicode, decoded by its declared charset. Without a charset the
// bytes count as UTF-8 when they are valid UTF-8, else as Windows-1252; bytes that are
// wrong for the declared charset are read as Windows-1252 rather than lost.
bool partText(GMimePart* part, QString* text, QString* error) {
    const QByteArray bytes = decodedContent(part);
    const char* declared = g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "charset");
    const QByteArray charset = QByteArray(declared ? declared : "").trimmed().toLower();
    if (charset.isEmpty() || charset == "us-ascii" || charset == "ascii") {
        *text = isValidUtf8(bytes) ? QString::fromUtf8(bytes) : TextFile::fromWindows1252(bytes);
        return true;
    }
    if (charset == "utf-8" || charset == "utf8") {
        *text = QString::fromUtf8(bytes);
        return true;
    }
    const char* iconvName = g_mime_charset_iconv_name(charset.constData());
    GIConv converter = g_iconv_open("UTF-8", iconvName);
    if (converter == reinterpret_cast<GIConv>(-1)) {
        *error = unknownCharsetMessage(QString::fromLatin1(charset));
        return false;
    }
    g_iconv_close(converter);
    gsize written = 0;
    gchar* converted =
        g_convert(bytes.constData(), bytes.size(), "UTF-8", iconvName, nullptr, &written, nullptr);
    if (converted) {
        *text = QString::fromUtf8(converted, qsizetype(written));
        g_free(converted);
        return true;
    }
    *text = TextFile::fromWindows1252(bytes);
    return true;
}

QString attributeText(const char* value) {
    return value ? QString::fromUtf8(value) : QString();
}

MimeMessage::PartInfo partInfo(GMimeObject* object, bool withSize = true) {
    MimeMessage::PartInfo info;
    GMimeContentType* type = g_mime_object_get_content_type(object);
    if (type) {
        char* mime = g_mime_content_type_get_mime_type(type);
        info.contentType = QString::fromUtf8(mime).toLower();
        g_free(mime);
    }
    info.contentId = attributeText(g_mime_object_get_content_id(object));
    if (GMIME_IS_PART(object)) {
        info.fileName = attributeText(g_mime_part_get_filename(GMIME_PART(object)));
        if (withSize)
            info.size = decodedContent(GMIME_PART(object)).size();
    }
    return info;
}

// Walks a loaded message: the first text and HTML part that are no attachment are its
// texts; parts with a Content-ID (the images an HTML text refers to) are inline parts;
// everything else is an attachment.
struct LoadWalk {
    GMimePart* plain = nullptr;
    GMimePart* html = nullptr;
    std::vector<GMimeObject*> inlineParts;
    std::vector<GMimeObject*> attachments;

    void visit(GMimeObject* object, bool inRelated) {
        if (GMIME_IS_MULTIPART(object)) {
            GMimeMultipart* multipart = GMIME_MULTIPART(object);
            GMimeContentType* type = g_mime_object_get_content_type(object);
            const bool related = type && g_mime_content_type_is_type(type, "multipart", "related");
            const int count = g_mime_multipart_get_count(multipart);
            for (int i = 0; i < count; ++i)
                visit(g_mime_multipart_get_part(multipart, i), related || inRelated);
            return;
        }
        if (!GMIME_IS_PART(object)) { // an attached message
            attachments.push_back(object);
            return;
        }
        GMimePart* part = GMIME_PART(object);
        const bool attachment = g_mime_part_is_attachment(part);
        GMimeContentType* type = g_mime_object_get_content_type(object);
        if (!attachment && type && g_mime_content_type_is_type(type, "text", "plain") && !plain) {
            plain = part;
            return;
        }
        if (!attachment && type && g_mime_content_type_is_type(type, "text", "html") && !html) {
            html = part;
            return;
        }
        const bool hasId = g_mime_object_get_content_id(object) != nullptr;
        if (hasId && (inRelated || !attachment))
            inlineParts.push_back(object);
        else
            attachments.push_back(object);
    }
};

// A file name that cannot leave its folder nor break a path or an address.
QString safeFileName(const QString& name) {
    QString out;
    for (const QChar c : QFileInfo(QString(name).replace(QChar('\\'), QChar('/'))).fileName())
        out += c.isLetterOrNumber() || c == QChar('.') || c == QChar('-') || c == QChar('_')
                   ? c
                   : QChar('_');
    while (out.startsWith(QChar('.')))
        out.remove(0, 1);
    return out.left(100);
}

QString extensionFor(const QString& contentType) {
    const QMimeType type = QMimeDatabase().mimeTypeForName(contentType);
    const QString suffix = type.isValid() ? type.preferredSuffix() : QString();
    return suffix.isEmpty() ? QStringLiteral(".bin") : QChar('.') + suffix;
}

// "<meta ... charset=X": the page declares the charset the message declares, so a mail
// program that goes by the page reads the same as one that goes by the header. Only
// the page's head is looked at.
QString withDeclaredCharset(const QString& html, const QByteArray& charset) {
    qsizetype end = html.indexOf(QStringLiteral("</head"), 0, Qt::CaseInsensitive);
    if (end < 0)
        end = std::min<qsizetype>(html.size(), 4096);
    QString out;
    qsizetype from = 0;
    for (;;) {
        const qsizetype meta = html.indexOf(QStringLiteral("<meta"), from, Qt::CaseInsensitive);
        if (meta < 0 || meta >= end)
            break;
        const qsizetype close = html.indexOf(QChar('>'), meta);
        if (close < 0)
            break;
        const qsizetype at = html.indexOf(QStringLiteral("charset"), meta, Qt::CaseInsensitive);
        if (at >= 0 && at < close) {
            qsizetype v = at + 7;
            while (v < close && (html[v] == QChar(' ') || html[v] == QChar('=') ||
                                 html[v] == QChar('"') || html[v] == QChar('\'')))
                ++v;
            qsizetype e = v;
            while (e < close &&
                   (html[e].isLetterOrNumber() || html[e] == QChar('-') || html[e] == QChar('_') ||
                    html[e] == QChar(':') || html[e] == QChar('.')))
                ++e;
            if (e > v) {
                out += QStringView(html).mid(from, v - from);
                out += QString::fromLatin1(charset);
                from = e;
            }
        }
        if (from < close + 1) {
            out += QStringView(html).mid(from, close + 1 - from);
            from = close + 1;
        }
    }
    if (from == 0)
        return html;
    out += QStringView(html).mid(from);
    return out;
}

} // namespace

MimeMessage::MimeMessage() = default;
MimeMessage::~MimeMessage() = default;
MimeMessage::MimeMessage(const MimeMessage&) = default;
MimeMessage& MimeMessage::operator=(const MimeMessage&) = default;

bool MimeMessage::loadMessageFile(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Die E-Mail-Datei ") + path +
                     QStringLiteral(" kann nicht gelesen werden: ") + file.errorString();
        return false;
    }
    // A mail beyond this is no newsletter; reading it would only tie up the memory.
    constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;
    if (file.size() > kMaxFileBytes) {
        if (error)
            *error = QStringLiteral("Die E-Mail-Datei ") + path +
                     QStringLiteral(" ist mit %1 MB zu groß; höchstens 64 MB sind möglich.")
                         .arg(file.size() / (1024 * 1024));
        return false;
    }
    return loadMessageBytes(file.readAll(), error);
}

bool MimeMessage::loadMessageBytes(const QByteArray& bytes, QString* error) {
    ensureGMime();
    auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    const QString notMail = QStringLiteral("Die Datei ist keine E-Mail-Datei (RFC 822).");
    ParseIssues issues;
    GMimeParserOptions* options = g_mime_parser_options_new();
    static const char* fallback[] = {"utf-8", "windows-1252", nullptr};
    g_mime_parser_options_set_fallback_charsets(options, fallback);
    g_mime_parser_options_set_warning_callback(options, noteParserWarning, &issues);
    Ref<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.constData(), bytes.size()));
    Ref<GMimeParser> parser(g_mime_parser_new_with_stream(stream.p));
    Ref<GMimeMessage> message(g_mime_parser_construct_message(parser.p, options));
    g_mime_parser_options_free(options);
    if (!message.p)
        return fail(notMail);
    // A mail has at least one of the headers every mail program writes.
    GMimeHeaderList* headers = g_mime_object_get_header_list(GMIME_OBJECT(message.p));
    bool mailHeader = false;
    for (const char* name : {"From", "To", "Subject", "Date", "MIME-Version", "Message-ID"})
        mailHeader = mailHeader || g_mime_header_list_contains(headers, name);
    GMimeObject* body = g_mime_message_get_mime_part(message.p);
    if (!mailHeader || !body || issues.critical)
        return fail(notMail);
    if (issues.truncated)
        return fail(QStringLiteral("Die E-Mail-Datei ist unvollständig (abgeschnitten) und "
                                   "kann nicht gelesen werden."));

    LoadWalk walk;
    walk.visit(body, false);
    if (!walk.plain && !walk.html)
        return fail(QStringLiteral("Die E-Mail-Datei enthält weder einen Text- noch einen "
                                   "HTML-Teil."));
    QString plain, html;
    if (walk.html) {
        const qsizetype size = decodedContent(walk.html).size();
        if (size > kMaxHtmlBytes)
            return fail(QStringLiteral("Der HTML-Teil der E-Mail-Datei ist mit %1 MB zu groß; "
                                       "höchstens %2 MB sind möglich.")
                            .arg(QString::number(double(size) / (1024.0 * 1024.0), 'f', 1)
                                     .replace(QChar('.'), QChar(',')))
                            .arg(kMaxHtmlBytes / (1024 * 1024)));
        QString failure;
        if (!partText(walk.html, &html, &failure))
            return fail(failure);
    }
    if (walk.plain) {
        QString failure;
        if (!partText(walk.plain, &plain, &failure))
            return fail(failure);
    }

    auto kept = std::make_shared<Kept>();
    for (GMimeObject* o : walk.inlineParts)
        kept->inlineParts.push_back(GMIME_OBJECT(g_object_ref(o)));
    for (GMimeObject* o : walk.attachments)
        kept->attachments.push_back(GMIME_OBJECT(g_object_ref(o)));

    *this = MimeMessage();
    m_kept = std::move(kept);
    m_html = html;
    m_plain = plain;
    m_subject = QString::fromUtf8(g_mime_message_get_subject(message.p));
    auto firstMailbox = [](InternetAddressList* list, Address* out) {
        for (int i = 0; list && i < internet_address_list_length(list); ++i) {
            InternetAddress* a = internet_address_list_get_address(list, i);
            if (INTERNET_ADDRESS_IS_MAILBOX(a)) {
                out->name = attributeText(internet_address_get_name(a));
                out->address =
                    attributeText(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(a)));
                return true;
            }
        }
        return false;
    };
    firstMailbox(g_mime_message_get_from(message.p), &m_sender);
    InternetAddressList* to = g_mime_message_get_to(message.p);
    for (int i = 0; to && i < internet_address_list_length(to); ++i) {
        InternetAddress* a = internet_address_list_get_address(to, i);
        if (INTERNET_ADDRESS_IS_MAILBOX(a))
            m_to.append(
                {attributeText(internet_address_get_name(a)),
                 attributeText(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(a)))});
    }
    if (GDateTime* date = g_mime_message_get_date(message.p))
        m_date = QDateTime::fromSecsSinceEpoch(g_date_time_to_unix(date));
    // The charset the HTML text came in, when it is one a message can be sent in.
    if (walk.html || walk.plain) {
        const char* declared = g_mime_object_get_content_type_parameter(
            GMIME_OBJECT(walk.html ? walk.html : walk.plain), "charset");
        const QByteArray name = QByteArray(declared ? declared : "").toLower();
        for (auto c : {MailCharset::Charset::Iso88591, MailCharset::Charset::Windows1252,
                       MailCharset::Charset::Utf7, MailCharset::Charset::Utf8})
            if (MailCharset::name(c) == name)
                m_charset = name;
    }
    return true;
}

QList<MimeMessage::PartInfo> MimeMessage::inlineParts() const {
    QList<PartInfo> out;
    if (m_kept)
        for (GMimeObject* o : m_kept->inlineParts)
            out.append(partInfo(o));
    return out;
}

QList<MimeMessage::PartInfo> MimeMessage::keptAttachments() const {
    QList<PartInfo> out;
    if (m_kept)
        for (GMimeObject* o : m_kept->attachments)
            out.append(partInfo(o));
    return out;
}

bool MimeMessage::unpackHtmlTo(const QString& folder, const QString& htmlFile,
                               const QString& partsFolder, QString* error) const {
    auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (m_html.isEmpty())
        return fail(QStringLiteral("Die E-Mail hat keinen HTML-Teil."));
    const QDir dir(folder);
    const QString htmlPath = dir.filePath(htmlFile);
    const QString partsPath = dir.filePath(partsFolder);
    QFile::remove(htmlPath); // a failure shows when the file is written
    if (!QDir().mkpath(partsPath))
        return fail(QStringLiteral("Der Ordner ") + partsPath +
                    QStringLiteral(" kann nicht angelegt werden."));

    // The files this unpacking writes; anything else in the parts folder is an old one.
    QHash<QString, QString> link; // content id -> relative address
    QSet<QString> names;
    QList<std::pair<QString, GMimePart*>> files;
    int number = 0;
    if (m_kept) {
        for (GMimeObject* o : m_kept->inlineParts) {
            if (!GMIME_IS_PART(o))
                continue;
            const PartInfo info = partInfo(o, false);
            ++number;
            QString name = safeFileName(info.fileName);
            if (name.isEmpty())
                name = QStringLiteral("bild%1").arg(number) + extensionFor(info.contentType);
            QString unique = name;
            for (int n = 2; names.contains(unique.toLower()); ++n)
                unique =
                    QFileInfo(name).completeBaseName() + QStringLiteral("_%1").arg(n) +
                    (QFileInfo(name).suffix().isEmpty() ? QString()
                                                        : QChar('.') + QFileInfo(name).suffix());
            names.insert(unique.toLower());
            files.append({unique, GMIME_PART(o)});
            link.insert(info.contentId, QString::fromLatin1(QUrl::toPercentEncoding(partsFolder)) +
                                            QChar('/') +
                                            QString::fromLatin1(QUrl::toPercentEncoding(unique)));
        }
    }
    const QDir parts(partsPath);
    for (const QString& old : parts.entryList(QDir::Files | QDir::Hidden))
        if (!names.contains(old.toLower()))
            QFile::remove(parts.filePath(old));
    for (const auto& [name, part] : files) {
        const QString path = parts.filePath(name);
        const auto seen = m_kept->unpacked.constFind(path);
        if (seen != m_kept->unpacked.constEnd() && QFileInfo(path).size() == *seen)
            continue;
        const QByteArray bytes = decodedContent(part);
        QSaveFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
            return fail(QStringLiteral("Die Datei ") + path +
                        QStringLiteral(" kann nicht geschrieben werden: ") + out.errorString());
        m_kept->unpacked.insert(path, bytes.size());
    }

    // "cid:" + id (any case of the scheme) -> the written file.
    QString html;
    html.reserve(m_html.size());
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = m_html.indexOf(QStringLiteral("cid:"), from, Qt::CaseInsensitive);
        if (at < 0)
            break;
        qsizetype end = at + 4;
        while (end < m_html.size() && !QStringLiteral("\"'()<> \t\r\n").contains(m_html[end]))
            ++end;
        const QString id = m_html.mid(at + 4, end - at - 4);
        auto target = link.constFind(id);
        if (target == link.constEnd())
            target = link.constFind(QUrl::fromPercentEncoding(id.toUtf8()));
        html += QStringView(m_html).mid(from, at - from);
        html +=
            target != link.constEnd() ? *target : QStringView(m_html).mid(at, end - at).toString();
        from = end;
    }
    html += QStringView(m_html).mid(from);

    QSaveFile out(htmlPath);
    const QByteArray bytes = "\xEF\xBB\xBF" + html.toUtf8();
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        return fail(QStringLiteral("Die Datei ") + htmlPath +
                    QStringLiteral(" kann nicht geschrieben werden: ") + out.errorString());
    return true;
}

QString MimeMessage::headerValue(const QString& name) const {
    for (const auto& [n, v] : m_headers)
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return v;
    return {};
}

bool MimeMessage::finishMessage(QString* error) {
    m_finished.clear();
    QByteArray bytes;
    if (!toBytes(&bytes, error))
        return false;
    m_finished = bytes;
    return true;
}

void MimeMessage::setSender(const QString& name, const QString& address) {
    m_finished.clear();
    m_sender = {name, address.trimmed()};
}

void MimeMessage::addToRecipient(const QString& name, const QString& address) {
    m_finished.clear();
    m_to.append({name, address.trimmed()});
}

void MimeMessage::addHeaderLine(const QString& name, const QString& value) {
    removeHeaderLine(name);
    m_headers.append({name, value});
}

void MimeMessage::removeHeaderLine(const QString& name) {
    m_finished.clear();
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

    g_mime_message_set_message_id(message.p, messageId(m_sender.address).constData());

    for (const auto& [name, value] : m_headers)
        setUnstructuredHeader(GMIME_OBJECT(message.p), utf8(name).constData(), value, m_charset);

    // The text part, an alternative of text and HTML (the HTML with its inline parts in
    // a related part), and the attachments around them.
    GMimeObject* htmlBody = nullptr;
    if (!m_html.isEmpty()) {
        htmlBody =
            GMIME_OBJECT(textPart(withDeclaredCharset(m_html, m_charset), "html", m_charset));
        if (m_kept && !m_kept->inlineParts.empty()) {
            GMimeMultipart* related = g_mime_multipart_new_with_subtype("related");
            g_mime_object_set_content_type_parameter(GMIME_OBJECT(related), "type", "text/html");
            g_mime_multipart_add(related, htmlBody);
            g_object_unref(htmlBody);
            for (GMimeObject* part : m_kept->inlineParts)
                g_mime_multipart_add(related, part);
            htmlBody = GMIME_OBJECT(related);
        }
    }
    GMimeObject* body = nullptr;
    if (!htmlBody) {
        body = GMIME_OBJECT(textPart(m_plain, "plain", m_charset));
    } else if (m_plain.isEmpty()) {
        body = htmlBody;
    } else {
        GMimeMultipart* alternative = g_mime_multipart_new_with_subtype("alternative");
        GMimePart* plain = textPart(m_plain, "plain", m_charset);
        g_mime_multipart_add(alternative, GMIME_OBJECT(plain));
        g_mime_multipart_add(alternative, htmlBody);
        g_object_unref(plain);
        g_object_unref(htmlBody);
        body = GMIME_OBJECT(alternative);
    }
    const bool keptAttachments = m_kept && !m_kept->attachments.empty();
    if (!m_attachments.isEmpty() || keptAttachments) {
        GMimeMultipart* mixed = g_mime_multipart_new_with_subtype("mixed");
        g_mime_multipart_add(mixed, body);
        g_object_unref(body);
        body = GMIME_OBJECT(mixed);
        if (keptAttachments)
            for (GMimeObject* part : m_kept->attachments)
                g_mime_multipart_add(mixed, part);
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
    QByteArray bytes = m_finished;
    if (bytes.isEmpty() && !toBytes(&bytes, error))
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
