// A reader of Outlook .msg files: the compound file is opened with libgsf, its MAPI
// properties are read from the property streams and the "__substg1.0_" streams, and the
// message is written again as MIME. The compressed RTF body is expanded by
// libytnef; the HTML it may carry is taken out by our own reader of the RTF.
#include "compose/OutlookMessageFile.h"

#include "compose/MimeParts.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QTimeZone>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>
#include <memory>
#include <mutex>
#include <optional>

extern "C" {
#include <ytnef.h>
}
// libytnef's headers define these as macros; nothing below may see them.
#undef BYTE
#undef WORD
#undef DWORD
#undef DDWORD

namespace OutlookMessageFile {

namespace {

// Property ids (MS-OXPROPS) and types.
enum : quint16 {
    PidSubject = 0x0037,
    PidClientSubmitTime = 0x0039,
    PidSentRepresentingName = 0x0042,
    PidSentRepresentingEmail = 0x0065,
    PidSenderName = 0x0C1A,
    PidSenderEmail = 0x0C1F,
    PidRecipientType = 0x0C15,
    PidMessageDeliveryTime = 0x0E06,
    PidBody = 0x1000,
    PidRtfCompressed = 0x1009,
    PidHtml = 0x1013,
    PidDisplayName = 0x3001,
    PidEmailAddress = 0x3003,
    PidAttachDataBinary = 0x3701,
    PidAttachFilename = 0x3704,
    PidAttachMethod = 0x3705,
    PidAttachLongFilename = 0x3707,
    PidAttachMimeTag = 0x370E,
    PidAttachContentId = 0x3712,
    PidSmtpAddress = 0x39FE,
    PidInternetCodepage = 0x3FDE,
    PidMessageCodepage = 0x3FFD,
    PidSenderSmtpAddress = 0x5D01,
    PidSentRepresentingSmtpAddress = 0x5D02,
};
enum : quint16 {
    TypeInteger32 = 0x0003,
    TypeString8 = 0x001E,
    TypeUnicode = 0x001F,
    TypeTime = 0x0040,
    TypeBinary = 0x0102,
};

// No stream of a message is read beyond this; a larger one is no mail we can send.
constexpr gsf_off_t kMaxStreamBytes = 64 * 1024 * 1024;

template <typename T> struct GObjectDeleter {
    void operator()(T* p) const {
        if (p)
            g_object_unref(p);
    }
};
template <typename T> using GPtr = std::unique_ptr<T, GObjectDeleter<T>>;

void ensureLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        gsf_init();
        // A damaged file is reported to the user in German; the library's own complaints
        // about it would only clutter the terminal.
        for (const char* domain : {"libgsf:msole", "libgsf"})
            g_log_set_handler(
                domain, GLogLevelFlags(G_LOG_LEVEL_MASK),
                [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    });
}

QString decodeCodepage(const QByteArray& bytes, int codepage) {
    if (bytes.isEmpty())
        return {};
    if (codepage == 65001)
        return QString::fromUtf8(bytes);
    const QByteArray charset =
        QByteArray("CP") + QByteArray::number(codepage > 0 ? codepage : 1252);
    gsize written = 0;
    gchar* utf8 = g_convert(bytes.constData(), bytes.size(), "UTF-8", charset.constData(), nullptr,
                            &written, nullptr);
    if (!utf8) // an unknown or wrong code page: the bytes as Windows-1252
        utf8 = g_convert(bytes.constData(), bytes.size(), "UTF-8", "CP1252", nullptr, &written,
                         nullptr);
    if (!utf8)
        return QString::fromLatin1(bytes);
    QString text = QString::fromUtf8(utf8, qsizetype(written));
    g_free(utf8);
    return text;
}

// Streams of a compound file are infiles too, without children (-1).
bool isStorage(GsfInput* input) {
    return GSF_IS_INFILE(input) && gsf_infile_num_children(GSF_INFILE(input)) >= 0;
}

// One storage of the file (the message, a recipient or an attachment) and its properties.
class Storage {
public:
    Storage(GsfInfile* infile, int headerBytes) : m_infile(infile) {
        const QByteArray props = stream("__properties_version1.0");
        for (qsizetype at = headerBytes; at + 16 <= props.size(); at += 16) {
            const auto* p = reinterpret_cast<const uchar*>(props.constData() + at);
            const quint32 tag =
                quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
            m_fixed.insert(tag, props.mid(at + 8, 8));
        }
    }

    QByteArray stream(const char* name) const {
        GPtr<GsfInput> input(gsf_infile_child_by_name(m_infile, name));
        return readAll(input.get());
    }
    static QByteArray readAll(GsfInput* input) {
        if (!input || isStorage(input))
            return {};
        const gsf_off_t size = gsf_input_size(input);
        if (size <= 0 || size > kMaxStreamBytes)
            return {};
        QByteArray bytes(qsizetype(size), Qt::Uninitialized);
        if (!gsf_input_read(input, size_t(size), reinterpret_cast<guint8*>(bytes.data())))
            return {};
        return bytes;
    }

    QByteArray binary(quint16 id) const { return stream(substgName(id, TypeBinary).constData()); }
    bool hasBinary(quint16 id) const {
        GPtr<GsfInput> input(gsf_infile_child_by_name(m_infile, substgName(id, TypeBinary)));
        return input != nullptr;
    }
    QString text(quint16 id, int codepage) const {
        const QByteArray wide = stream(substgName(id, TypeUnicode).constData());
        if (!wide.isEmpty()) {
            QString s = QString::fromUtf16(reinterpret_cast<const char16_t*>(wide.constData()),
                                           wide.size() / 2);
            while (s.endsWith(QChar(0)))
                s.chop(1);
            return s;
        }
        QByteArray narrow = stream(substgName(id, TypeString8).constData());
        while (narrow.endsWith('\0'))
            narrow.chop(1);
        return decodeCodepage(narrow, codepage);
    }
    std::optional<qint64> integer(quint16 id) const {
        const auto it = m_fixed.constFind(quint32(id) << 16 | TypeInteger32);
        if (it == m_fixed.cend() || it->size() < 4)
            return std::nullopt;
        const auto* p = reinterpret_cast<const uchar*>(it->constData());
        return qint32(quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 |
                      quint32(p[3]) << 24);
    }
    QDateTime time(quint16 id) const {
        const auto it = m_fixed.constFind(quint32(id) << 16 | TypeTime);
        if (it == m_fixed.cend() || it->size() < 8)
            return {};
        quint64 ticks = 0;
        for (int i = 7; i >= 0; --i)
            ticks = ticks << 8 | uchar(it->at(i));
        // 100 ns steps since 1601-01-01 UTC.
        constexpr qint64 kEpochDifferenceMs = 11644473600000LL;
        if (ticks == 0)
            return {};
        return QDateTime::fromMSecsSinceEpoch(qint64(ticks / 10000) - kEpochDifferenceMs,
                                              QTimeZone::utc());
    }

    // The child storages whose names start with prefix, in the file's order.
    QList<GsfInfile*> children(const char* prefix) const {
        QList<GsfInfile*> found;
        const int n = gsf_infile_num_children(m_infile);
        for (int i = 0; i < n; ++i) {
            const char* name = gsf_infile_name_by_index(m_infile, i);
            if (!name || std::strncmp(name, prefix, std::strlen(prefix)) != 0)
                continue;
            GsfInput* child = gsf_infile_child_by_index(m_infile, i);
            if (child && isStorage(child))
                found << GSF_INFILE(child);
            else if (child)
                g_object_unref(child);
        }
        return found;
    }

private:
    static QByteArray substgName(quint16 id, quint16 type) {
        char name[32];
        std::snprintf(name, sizeof name, "__substg1.0_%04X%04X", unsigned(id), unsigned(type));
        return QByteArray(name);
    }

    GsfInfile* m_infile;
    QHash<quint32, QByteArray> m_fixed;
};

// A real SMTP address, not an Exchange one ("/O=ORG/OU=...").
QString smtpOf(const QString& candidate) {
    const QString a = candidate.trimmed();
    return a.contains(QChar('@')) && !a.startsWith(QChar('/')) ? a : QString();
}

QString fileError(const QString& path) {
    return QStringLiteral(
               "Die Datei \"%1\" ist keine Outlook-Nachricht (.msg) oder ist beschädigt.")
        .arg(QDir::toNativeSeparators(path));
}

} // namespace

bool convertToEml(const QString& msgPath, const QString& emlPath, QString* error) {
    ensureLibraries();
    auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    GError* gerr = nullptr;
    GPtr<GsfInput> input(gsf_input_stdio_new(QFile::encodeName(msgPath).constData(), &gerr));
    if (!input) {
        g_clear_error(&gerr);
        return fail(QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden.")
                        .arg(QDir::toNativeSeparators(msgPath)));
    }
    GPtr<GsfInfile> root(gsf_infile_msole_new(input.get(), &gerr));
    if (!root) {
        g_clear_error(&gerr);
        return fail(fileError(msgPath));
    }

    // The top level of a message file has a 32-byte header before its properties.
    const Storage message(root.get(), 32);
    const int codepage = int(message.integer(PidInternetCodepage)
                                 .value_or(message.integer(PidMessageCodepage).value_or(0)));

    const QString plain = message.text(PidBody, codepage);
    QString html;
    if (message.hasBinary(PidHtml)) {
        html = decodeCodepage(message.binary(PidHtml), codepage > 0 ? codepage : 65001);
    } else {
        html = message.text(PidHtml, codepage);
    }
    if (html.isEmpty() && message.hasBinary(PidRtfCompressed))
        html = htmlFromRtf(decompressRtf(message.binary(PidRtfCompressed)));
    while (html.endsWith(QChar(0)))
        html.chop(1);
    if (plain.trimmed().isEmpty() && html.trimmed().isEmpty())
        return fail(QStringLiteral("Die Outlook-Nachricht \"%1\" enthält keinen Text.")
                        .arg(QDir::toNativeSeparators(msgPath)));

    MimeParts::Mail mail;
    mail.subject = message.text(PidSubject, codepage);
    mail.plain = plain;
    mail.html = html;

    mail.from.name = message.text(PidSenderName, codepage);
    mail.from.address = smtpOf(message.text(PidSenderSmtpAddress, codepage));
    if (mail.from.address.isEmpty())
        mail.from.address = smtpOf(message.text(PidSenderEmail, codepage));
    if (mail.from.address.isEmpty())
        mail.from.address = smtpOf(message.text(PidSentRepresentingSmtpAddress, codepage));
    if (mail.from.address.isEmpty())
        mail.from.address = smtpOf(message.text(PidSentRepresentingEmail, codepage));
    if (mail.from.name.isEmpty())
        mail.from.name = message.text(PidSentRepresentingName, codepage);

    for (GsfInfile* child : message.children("__recip_version1.0_")) {
        GPtr<GsfInfile> owned(child);
        const Storage recipient(child, 8);
        QString address = smtpOf(recipient.text(PidSmtpAddress, codepage));
        if (address.isEmpty())
            address = smtpOf(recipient.text(PidEmailAddress, codepage));
        if (address.isEmpty())
            continue;
        const qint64 kind = recipient.integer(PidRecipientType).value_or(1);
        QList<MimeParts::Mailbox>& list = kind == 2 ? mail.cc : kind == 3 ? mail.bcc : mail.to;
        list.append({recipient.text(PidDisplayName, codepage), address});
    }

    mail.date = message.time(PidClientSubmitTime);
    if (!mail.date.isValid())
        mail.date = message.time(PidMessageDeliveryTime);

    // Attachments: those the HTML refers to by Content-ID are its inline images.
    for (GsfInfile* child : message.children("__attach_version1.0_")) {
        GPtr<GsfInfile> owned(child);
        const Storage attach(child, 8);
        // Only attachments by value carry their bytes; links and embedded messages are
        // left out.
        const qint64 method = attach.integer(PidAttachMethod).value_or(1);
        if (method != 1)
            continue;
        MimeParts::Part part;
        part.data = attach.binary(PidAttachDataBinary);
        part.fileName = attach.text(PidAttachLongFilename, codepage);
        if (part.fileName.isEmpty())
            part.fileName = attach.text(PidAttachFilename, codepage);
        if (part.fileName.isEmpty())
            part.fileName = attach.text(PidDisplayName, codepage);
        part.fileName = QFileInfo(part.fileName).fileName();
        part.mimeType = attach.text(PidAttachMimeTag, codepage);
        part.contentId = attach.text(PidAttachContentId, codepage).trimmed();
        if (part.contentId.startsWith(QChar('<')) && part.contentId.endsWith(QChar('>')))
            part.contentId = part.contentId.mid(1, part.contentId.size() - 2);
        const bool referenced =
            !part.contentId.isEmpty() &&
            html.contains(QStringLiteral("cid:") + part.contentId, Qt::CaseInsensitive);
        (referenced ? mail.inlineParts : mail.attachments).append(part);
    }
    return MimeParts::writeMail(mail, emlPath, error);
}

QByteArray decompressRtf(const QByteArray& compressed) {
    // Header: compressed size, raw size, "LZFu" (compressed) or "MELA" (stored), CRC.
    if (compressed.size() < 16)
        return {};
    const QByteArray magic = compressed.mid(8, 4);
    if (magic == "MELA")
        return compressed.mid(16);
    if (magic != "LZFu")
        return {};
    QByteArray copy = compressed; // libytnef takes a writable buffer
    variableLength data;
    data.data = reinterpret_cast<unsigned char*>(copy.data());
    data.size = int(copy.size());
    int size = 0;
    unsigned char* raw = DecompressRTF(&data, &size);
    if (!raw)
        return {};
    QByteArray rtf(reinterpret_cast<const char*>(raw), size > 0 ? size : 0);
    std::free(raw);
    return rtf;
}

QString htmlFromRtf(const QByteArray& rtf) {
    if (!rtf.startsWith("{\\rtf") || !rtf.contains("\\fromhtml"))
        return {};
    // The HTML is the text of the \*\htmltag groups and the text outside them that is
    // not marked \htmlrtf; other destinations (font table, colours, ...) are skipped.
    struct Group {
        bool skip = false;     // a destination that holds no HTML
        bool htmlTag = false;  // inside \*\htmltagN
        bool suppress = false; // \htmlrtf ... \htmlrtf0
        int unicodeSkip = 1;   // \ucN
    };
    QList<Group> stack{Group{}};
    QString out;
    QByteArray bytes; // \'hh bytes waiting for their code page
    int codepage = 1252;
    int pendingSkip = 0; // fallback characters after \uN still to skip
    auto flushBytes = [&] {
        if (!bytes.isEmpty()) {
            out += decodeCodepage(bytes, codepage);
            bytes.clear();
        }
    };
    auto emitText = [&](QChar c) {
        flushBytes();
        out += c;
    };
    auto visible = [&] {
        const Group& g = stack.last();
        return !g.skip && (g.htmlTag || !g.suppress);
    };
    bool destinationNext = false; // after "\*"
    const qsizetype n = rtf.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = rtf[i];
        if (c == '{') {
            Group g = stack.last();
            stack.append(g);
            destinationNext = false;
            continue;
        }
        if (c == '}') {
            if (stack.size() > 1)
                stack.removeLast();
            destinationNext = false;
            continue;
        }
        if (c == '\r' || c == '\n')
            continue;
        if (c != '\\') {
            if (pendingSkip > 0) {
                --pendingSkip;
                continue;
            }
            if (visible())
                emitText(QChar::fromLatin1(c));
            continue;
        }
        // A control symbol or word.
        if (i + 1 >= n)
            break;
        const char next = rtf[i + 1];
        if (!std::isalpha(uchar(next))) {
            ++i;
            if (next == '\'') {
                if (i + 2 < n) {
                    const int value = QByteArray(rtf.constData() + i + 1, 2).toInt(nullptr, 16);
                    i += 2;
                    if (pendingSkip > 0) {
                        --pendingSkip;
                    } else if (visible()) {
                        bytes += char(value);
                    }
                }
            } else if (next == '*') {
                destinationNext = true;
            } else if (next == '{' || next == '}' || next == '\\') {
                if (pendingSkip > 0)
                    --pendingSkip;
                else if (visible())
                    emitText(QChar::fromLatin1(next));
            } else if (next == '~') {
                if (visible())
                    emitText(QChar(0xA0));
            }
            continue;
        }
        qsizetype j = i + 1;
        while (j < n && std::isalpha(uchar(rtf[j])))
            ++j;
        const QByteArray word = rtf.mid(i + 1, j - i - 1);
        bool hasParam = false;
        qint64 param = 0;
        qsizetype k = j;
        if (k < n && (rtf[k] == '-' || std::isdigit(uchar(rtf[k])))) {
            qsizetype m = k + 1;
            while (m < n && std::isdigit(uchar(rtf[m])) && m - k < 10)
                ++m;
            param = rtf.mid(k, m - k).toLongLong(&hasParam);
            k = m;
        }
        if (k < n && rtf[k] == ' ')
            ++k; // the delimiting blank belongs to the word
        i = k - 1;

        Group& g = stack.last();
        const bool destination = destinationNext;
        destinationNext = false;
        if (word == "htmltag") {
            g.htmlTag = true;
            g.skip = false;
            continue;
        }
        if (destination || word == "fonttbl" || word == "colortbl" || word == "stylesheet" ||
            word == "info" || word == "pict" || word == "object" || word == "header" ||
            word == "footer") {
            g.skip = true;
            continue;
        }
        if (word == "htmlrtf") {
            g.suppress = !hasParam || param != 0;
        } else if (word == "ansicpg" && hasParam) {
            codepage = int(param);
        } else if (word == "uc" && hasParam) {
            g.unicodeSkip = int(std::clamp<qint64>(param, 0, 10));
        } else if (word == "u" && hasParam) {
            if (visible())
                emitText(QChar(char16_t(param < 0 ? param + 65536 : param)));
            pendingSkip = g.unicodeSkip;
        } else if (word == "par" || word == "line") {
            if (visible())
                out += (flushBytes(), QStringLiteral("\r\n"));
        } else if (word == "tab") {
            if (visible())
                emitText(QChar('\t'));
        }
    }
    flushBytes();
    return out;
}

} // namespace OutlookMessageFile
