#include "common/TextFile.h"

#include "common/ControlCharacters.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

// Windows-1252 code points for the bytes 0x80..0x9F; 0 marks an unassigned byte,
// which is decoded as the C1 control of the same value (as Windows does).
const char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

int toByte(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == c)
            return 0x80 + i;
    if (c >= 0x80 && c < 0xA0 && kHigh[c - 0x80] == 0)
        return c;
    return -1;
}

bool isValidUtf8WithMultibyte(const QByteArray& bytes) {
    bool multibyte = false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len = 0;
        if ((c & 0xE0) == 0xC0 && c >= 0xC2)
            len = 2;
        else if ((c & 0xF0) == 0xE0)
            len = 3;
        else if ((c & 0xF8) == 0xF0 && c <= 0xF4)
            len = 4;
        else
            return false;
        if (i + len > n)
            return false;
        for (int k = 1; k < len; ++k)
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
        multibyte = true;
        i += len;
    }
    return multibyte;
}

QString fileError(const QString& path, const QString& reason) {
    return QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden: %2").arg(path, reason);
}

} // namespace

namespace TextFile {

QString fromWindows1252(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 && b < 0xA0 && kHigh[b - 0x80] != 0)
            out.append(QChar(kHigh[b - 0x80]));
        else
            out.append(QChar(char16_t(b)));
    }
    return out;
}

bool canEncodeWindows1252(const QString& text) {
    for (QChar c : text)
        if (toByte(c.unicode()) < 0)
            return false;
    return true;
}

QByteArray toWindows1252(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text) {
        const int b = toByte(c.unicode());
        out.append(b < 0 ? '?' : char(b));
    }
    return out;
}

QString decode(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        // Only the first mark is the file's; a second one is text and is kept, so the
        // file is written back as it was.
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
        return utf8(QByteArrayView(bytes).sliced(3));
    }
    if (isValidUtf8WithMultibyte(bytes))
        return QString::fromUtf8(bytes);
    return fromWindows1252(bytes);
}

QByteArray encode(const QString& text, Encoding* used) {
    if (canEncodeWindows1252(text)) {
        QByteArray bytes = toWindows1252(text);
        // Windows-1252 bytes that also read as UTF-8 ("Ã¤" as "ä", "ï»¿" as a mark)
        // would come back as another text; such a text is written as UTF-8 instead.
        if (!isValidUtf8WithMultibyte(bytes)) {
            if (used)
                *used = Encoding::Windows1252;
            return bytes;
        }
    }
    if (used)
        *used = Encoding::Utf8Bom;
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

bool readText(const QString& path, QString* text, QString* error) {
    QFile file(path);
    if (!file.exists()) {
        if (error)
            *error = fileError(path, QStringLiteral("Die Datei existiert nicht."));
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = fileError(path, file.errorString());
        return false;
    }
    *text = decode(file.readAll());
    return true;
}

bool readLines(const QString& path, QStringList* lines, QString* error) {
    QString text;
    if (!readText(path, &text, error))
        return false;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar('\r'), QChar('\n'));
    QStringList result = text.split(QChar('\n'));
    if (!result.isEmpty() && result.last().isEmpty())
        result.removeLast(); // the final line end does not start another line
    *lines = result;
    return true;
}

QStringList readLines(const QString& path) {
    QStringList lines;
    readLines(path, &lines, nullptr);
    return lines;
}

bool writeText(const QString& path, const QString& text, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("Die Datei \"%1\" kann nicht geschrieben werden: %2")
                         .arg(path, file.errorString());
        return false;
    }
    file.write(encode(text));
    if (!file.commit()) {
        if (error)
            *error = QStringLiteral("Die Datei \"%1\" kann nicht geschrieben werden: %2")
                         .arg(path, file.errorString());
        return false;
    }
    return true;
}

bool writeLines(const QString& path, const QStringList& lines, QString* error) {
    QString text;
    for (const QString& line : lines) {
        // A line break or other control character inside a line would end it early or
        // forge another line for the next reader; a TAB is text.
        text += ControlCharacters::blanked(line, true);
        text += QStringLiteral("\r\n");
    }
    return writeText(path, text, error);
}

bool appendLine(const QString& path, const QString& line, QString* error) {
    QStringList lines;
    if (QFileInfo::exists(path) && !readLines(path, &lines, error))
        return false;
    lines.append(line);
    return writeLines(path, lines, error);
}

} // namespace TextFile
