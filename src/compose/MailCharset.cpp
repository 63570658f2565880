#include "compose/MailCharset.h"

#include <array>

namespace MailCharset {

namespace {

// Windows-1252 bytes 0x80..0x9F; 0 where the code page has no character.
constexpr std::array<char16_t, 32> cp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The byte of the character in the single-byte set, or -1 when it has none.
int singleByte(char16_t c, Charset charset) {
    if (charset == Charset::Iso88591)
        return c <= 0xFF ? int(c) : -1;
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return int(c);
    for (int i = 0; i < 32; ++i)
        if (cp1252High[size_t(i)] == c && c != 0)
            return 0x80 + i;
    return -1;
}

bool isSingleByte(Charset charset) {
    return charset == Charset::Iso88591 || charset == Charset::Windows1252;
}

const char base64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Characters written as they are: RFC 2152's directly encoded set and the optional
// direct characters except "\" and "~", plus blank, tab, CR and LF.
bool utf7Direct(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
        return true;
    if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n')
        return true;
    return c < 0x80 && c > 0x20 && c != u'+' && c != u'\\' && c != u'~' && c != 0x7F;
}

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

Charset fromIndex(int codeSetIndex) {
    switch (codeSetIndex) {
    case 1:
        return Charset::Windows1252;
    case 2:
        return Charset::Utf7;
    case 3:
        return Charset::Utf8;
    default:
        return Charset::Iso88591;
    }
}

QByteArray name(Charset charset) {
    switch (charset) {
    case Charset::Iso88591:
        return "iso-8859-1";
    case Charset::Windows1252:
        return "windows-1252";
    case Charset::Utf7:
        return "utf-7";
    case Charset::Utf8:
        return "utf-8";
    }
    return "utf-8";
}

bool canEncode(const QString& text, Charset charset) {
    if (!isSingleByte(charset))
        return true;
    for (const QChar c : text)
        if (singleByte(c.unicode(), charset) < 0)
            return false;
    return true;
}

Encoded encode(const QString& text, Charset charset, Content content) {
    if (charset == Charset::Utf8)
        return {text.toUtf8(), name(charset)};
    if (charset == Charset::Utf7)
        return {toUtf7(text), name(charset)};
    if (content == Content::PlainText && !canEncode(text, charset))
        return {text.toUtf8(), name(Charset::Utf8)};
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const int b = singleByte(c, charset);
        if (b >= 0) {
            out.append(char(b));
            continue;
        }
        // A numeric reference names the code point, so a surrogate pair gives one.
        char32_t code = c;
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            code = QChar::surrogateToUcs4(c, text[i + 1].unicode());
            ++i;
        }
        out.append("&#").append(QByteArray::number(quint32(code))).append(';');
    }
    return {out, name(charset)};
}

QByteArray toUtf7(const QString& text) {
    QByteArray out;
    out.reserve(text.size() + 8);
    qsizetype i = 0;
    while (i < text.size()) {
        const char16_t c = text[i].unicode();
        if (c == u'+') {
            out.append("+-");
            ++i;
            continue;
        }
        if (utf7Direct(c)) {
            out.append(char(c));
            ++i;
            continue;
        }
        // A run of characters that need base64, as UTF-16 bits in groups of six.
        out.append('+');
        quint32 bits = 0;
        int bitCount = 0;
        while (i < text.size() && !utf7Direct(text[i].unicode()) && text[i] != QChar('+')) {
            bits = (bits << 16) | text[i].unicode();
            bitCount += 16;
            while (bitCount >= 6) {
                bitCount -= 6;
                out.append(base64[(bits >> bitCount) & 0x3F]);
            }
            bits &= (1u << bitCount) - 1;
            ++i;
        }
        if (bitCount > 0)
            out.append(base64[(bits << (6 - bitCount)) & 0x3F]);
        // The closing "-" is always written: it is absorbed by the decoder and keeps a
        // following "-" or base64 letter from being read as part of the run.
        out.append('-');
    }
    return out;
}

QString fromUtf7(const QByteArray& bytes) {
    QString out;
    qsizetype i = 0;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (c != '+') {
            out.append(QChar(uchar(c)));
            ++i;
            continue;
        }
        ++i;
        if (i < bytes.size() && bytes[i] == '-') {
            out.append(QChar('+'));
            ++i;
            continue;
        }
        quint32 bits = 0;
        int bitCount = 0;
        while (i < bytes.size() && base64Value(bytes[i]) >= 0) {
            bits = (bits << 6) | quint32(base64Value(bytes[i]));
            bitCount += 6;
            if (bitCount >= 16) {
                bitCount -= 16;
                out.append(QChar(char16_t((bits >> bitCount) & 0xFFFF)));
            }
            bits &= (1u << bitCount) - 1;
            ++i;
        }
        if (i < bytes.size() && bytes[i] == '-')
            ++i;
    }
    return out;
}

} // namespace MailCharset
