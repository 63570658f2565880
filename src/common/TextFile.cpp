#include "common/TextFile.h"

#include "common/ControlCharacters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryFile>

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

// Checks UTF-8, also block by block: lead bytes C2..F4, continuation bytes 80..BF.
struct Utf8Check {
    int pending = 0; // continuation bytes still expected
    bool valid = true;
    bool multibyte = false;
    void feed(const char* data, qint64 n) {
        const auto* p = reinterpret_cast<const unsigned char*>(data);
        for (qint64 i = 0; i < n && valid; ++i) {
            const unsigned char c = p[i];
            if (pending > 0) {
                if ((c & 0xC0) != 0x80)
                    valid = false;
                --pending;
            } else if (c >= 0x80) {
                if ((c & 0xE0) == 0xC0 && c >= 0xC2)
                    pending = 1;
                else if ((c & 0xF0) == 0xE0)
                    pending = 2;
                else if ((c & 0xF8) == 0xF0 && c <= 0xF4)
                    pending = 3;
                else
                    valid = false;
                multibyte = true;
            }
        }
    }
};

bool isValidUtf8WithMultibyte(const QByteArray& bytes) {
    Utf8Check check;
    check.feed(bytes.constData(), bytes.size());
    return check.valid && check.multibyte && check.pending == 0;
}

QString fileError(const QString& path, const QString& reason) {
    return QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden: %2").arg(path, reason);
}

} // namespace

namespace TextFile {

QString fromWindows1252(const QByteArray& bytes) {
    // Latin-1 agrees with Windows-1252 outside 0x80..0x9F; only those are looked up.
    QString out = QString::fromLatin1(bytes);
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u >= 0x80 && u < 0xA0 && kHigh[u - 0x80] != 0)
            c = QChar(kHigh[u - 0x80]);
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

namespace {

constexpr qint64 kBlock = 1 << 20;

} // namespace

bool LineReader::open(const QString& path, qint64 detectBytes, QString* error) {
    m_path = path;
    m_error.clear();
    m_buffer.clear();
    m_pos = 0;
    m_eof = false;
    m_utf8 = false;
    m_linesRead = 0;
    m_lineCount = -1;
    m_firstNulLine = -1;
    m_longestLine = 0;
    m_file.close();
    m_file.setFileName(path);
    auto fail = [&](const QString& reason) {
        m_error = fileError(path, reason);
        if (error)
            *error = m_error;
        m_file.close();
        return false;
    };
    if (!m_file.exists())
        return fail(QStringLiteral("Die Datei existiert nicht."));
    if (!m_file.open(QIODevice::ReadOnly))
        return fail(m_file.errorString());
    m_size = m_file.size();
    const QByteArray head = m_file.peek(3);
    const bool bom = head == QByteArray("\xEF\xBB\xBF");
    if (!scan(detectBytes))
        return fail(m_file.errorString());
    if (bom)
        m_utf8 = true;
    const qint64 start = bom ? 3 : 0;
    if (!m_file.seek(start))
        return fail(m_file.errorString());
    m_consumed = start;
    return true;
}

bool LineReader::scan(qint64 limit) {
    Utf8Check utf8;
    QByteArray block;
    qint64 total = 0;
    qint64 breaks = 0;
    bool lastWasCr = false;
    char last = '\n';
    qint64 bomBytes = 0;
    qint64 lineLength = 0;
    const bool whole = limit < 0;
    while (whole || total < limit) {
        const qint64 want = whole ? kBlock : std::min(kBlock, limit - total);
        block.resize(want);
        const qint64 got = m_file.read(block.data(), want);
        if (got < 0)
            return false;
        if (got == 0)
            break;
        const char* p = block.constData();
        // A BOM is not text: the check starts behind it.
        const qint64 skip =
            total == 0 && got >= 3 && p[0] == '\xEF' && p[1] == '\xBB' && p[2] == '\xBF' ? 3 : 0;
        utf8.feed(p + skip, got - skip);
        bomBytes += skip;
        if (whole) {
            for (qint64 i = 0; i < got; ++i) {
                const char c = p[i];
                if (c == '\n' || c == '\r') {
                    if (c == '\r' || !lastWasCr)
                        ++breaks;
                    lastWasCr = c == '\r';
                    m_longestLine = std::max(m_longestLine, lineLength);
                    lineLength = 0;
                } else {
                    lastWasCr = false;
                    ++lineLength;
                    if (c == '\0' && m_firstNulLine < 0)
                        m_firstNulLine = breaks;
                }
            }
            last = p[got - 1];
        }
        total += got;
    }
    m_longestLine = std::max(m_longestLine, lineLength);
    // A sequence cut off by the end of a prefix is no fault of the text.
    const bool cutOff = !whole && total >= limit;
    m_utf8 = utf8.valid && utf8.multibyte && (utf8.pending == 0 || cutOff);
    if (whole)
        m_lineCount = breaks + ((total > bomBytes && last != '\n' && last != '\r') ? 1 : 0);
    return true;
}

bool LineReader::fill() {
    if (m_pos > 0) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    const qsizetype had = m_buffer.size();
    m_buffer.resize(had + kBlock);
    const qint64 got = m_file.read(m_buffer.data() + had, kBlock);
    m_buffer.resize(had + std::max<qint64>(got, 0));
    if (got < 0) {
        m_error = fileError(m_path, m_file.errorString());
        return false;
    }
    m_consumed += got;
    if (got == 0) {
        m_eof = true;
        // The file lost bytes since it was opened: it was cut short or replaced.
        if (m_consumed < m_size) {
            m_error = fileError(m_path, QStringLiteral("Die Datei wurde während des Lesens "
                                                       "verkürzt, ersetzt oder entfernt."));
            return false;
        }
    }
    return true;
}

bool LineReader::readLine(QString* line) {
    if (!m_error.isEmpty() || !m_file.isOpen())
        return false;
    qsizetype from = m_pos;
    for (;;) {
        const char* data = m_buffer.constData();
        const qsizetype n = m_buffer.size();
        qsizetype end = -1;
        for (qsizetype i = from; i < n; ++i) {
            if (data[i] == '\n' || data[i] == '\r') {
                end = i;
                break;
            }
        }
        // A CR at the end of the buffer may be the first half of CR LF.
        if (end >= 0 && !(data[end] == '\r' && end + 1 == n && !m_eof)) {
            const qsizetype length = end - m_pos;
            if (length > maxLineBytes)
                break;
            const QByteArray bytes = m_buffer.mid(m_pos, length);
            m_pos = end + 1;
            if (data[end] == '\r' && m_pos < n && data[m_pos] == '\n')
                ++m_pos;
            if (bytes.contains('\0')) {
                m_error = fileError(m_path, QStringLiteral("Zeile %1 enthält Nullbytes; die Datei "
                                                           "ist keine Textdatei.")
                                                .arg(m_linesRead + 1));
                return false;
            }
            *line = m_utf8 ? QString::fromUtf8(bytes) : fromWindows1252(bytes);
            ++m_linesRead;
            return true;
        }
        if (n - m_pos > maxLineBytes)
            break;
        if (m_eof) {
            if (m_pos >= n)
                return false;
            end = n; // the last line has no line end
            m_buffer.append('\n');
            from = end;
            continue;
        }
        // Nothing ended a line so far; after the refill the search goes on behind it.
        const qsizetype scanned = n - m_pos;
        if (!fill())
            return false;
        from = std::max<qsizetype>(0, scanned - 1);
    }
    m_error = fileError(m_path, QStringLiteral("Zeile %1 ist länger als 1 MB; die Datei ist keine "
                                               "Textdatei mit einem Datensatz pro Zeile.")
                                    .arg(m_linesRead + 1));
    return false;
}

} // namespace TextFile

namespace TextFile {

struct LineWriter::State {
    QString path;
    std::unique_ptr<QTemporaryFile> file;
    QByteArray buffer;
    bool utf8 = false;
    Utf8Check check; // over the Windows-1252 bytes written so far
    QStringEncoder encoder{QStringConverter::Utf8};
    QString error;

    QString writeError(const QString& reason) const {
        return QStringLiteral("Die Datei \"%1\" kann nicht geschrieben werden: %2")
            .arg(QDir::toNativeSeparators(path), reason);
    }
    bool fail(const QString& reason) {
        if (error.isEmpty())
            error = writeError(reason);
        return false;
    }
    std::unique_ptr<QTemporaryFile> newTemporary() {
        const QFileInfo info(path);
        auto f = std::make_unique<QTemporaryFile>(info.absolutePath() + QStringLiteral("/~") +
                                                  info.fileName() + QStringLiteral(".XXXXXX"));
        if (!f->open()) {
            fail(f->errorString());
            return nullptr;
        }
        return f;
    }
    bool flush() {
        if (buffer.isEmpty())
            return true;
        if (file->write(buffer) != buffer.size())
            return fail(file->errorString());
        buffer.clear();
        return true;
    }
    // Rewrites what was written in Windows-1252 as UTF-8 with a byte-order mark.
    bool toUtf8() {
        if (!flush() || !file->seek(0))
            return fail(file->errorString());
        std::unique_ptr<QTemporaryFile> converted = newTemporary();
        if (!converted)
            return false;
        if (converted->write("\xEF\xBB\xBF", 3) != 3)
            return fail(converted->errorString());
        QByteArray block;
        while (!file->atEnd()) {
            block = file->read(kBlock);
            if (block.isEmpty())
                return fail(file->errorString());
            const QByteArray out = fromWindows1252(block).toUtf8();
            if (converted->write(out) != out.size())
                return fail(converted->errorString());
        }
        file = std::move(converted);
        utf8 = true;
        return true;
    }
};

LineWriter::LineWriter() : d(std::make_unique<State>()) {}
LineWriter::~LineWriter() = default;

const QString& LineWriter::error() const {
    return d->error;
}

bool LineWriter::open(const QString& path, QString* error) {
    discard();
    d->path = path;
    d->file = d->newTemporary();
    if (!d->file) {
        if (error)
            *error = d->error;
        return false;
    }
    return true;
}

bool LineWriter::writeLine(const QString& line) {
    append(line);
    return endLine();
}

void LineWriter::append(QStringView text) {
    if (!d->file || !d->error.isEmpty())
        return;
    QByteArray& buffer = d->buffer;
    const char16_t* in = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = 0;
    if (!d->utf8) {
        // One pass: printable ASCII goes straight through; anything else is looked at
        // closely (a control character becomes a blank, CR LF one blank).
        const qsizetype start = buffer.size();
        buffer.resize(start + n);
        char* out = buffer.data() + start;
        qsizetype j = 0;
        bool high = false;
        for (; i < n; ++i) {
            const char16_t u = in[i];
            if ((u >= 0x20 && u < 0x7F) || u == u'\t') {
                out[j++] = char(u);
                continue;
            }
            if (ControlCharacters::isControl(QChar(u))) {
                if (u == u'\r' && i + 1 < n && in[i + 1] == u'\n')
                    ++i;
                out[j++] = ' ';
                continue;
            }
            const int b = toByte(u);
            if (b < 0)
                break; // a character Windows-1252 lacks: the file becomes UTF-8
            out[j++] = char(b);
            high = true;
        }
        buffer.truncate(start + j);
        // Only bytes from 0x80 on can make the text read as UTF-8; other bytes matter
        // only inside a sequence.
        if (high || d->check.pending > 0)
            d->check.feed(buffer.constData() + start, j);
        if (i == n || !d->toUtf8())
            return;
    }
    const QStringView rest = text.sliced(i);
    bool control = false;
    // The test of ControlCharacters::isControl, inline: it runs on every character.
    for (QChar c : rest) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t') || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029) {
            control = true;
            break;
        }
    }
    const QString blanked = control ? ControlCharacters::blanked(rest.toString(), true) : QString();
    const QStringView utf16 = control ? QStringView(blanked) : rest;
    // Encoded straight into the buffer: at most three bytes per UTF-16 unit.
    const qsizetype start = buffer.size();
    buffer.resize(start + 3 * utf16.size());
    char* end = d->encoder.appendToBuffer(buffer.data() + start, utf16);
    buffer.truncate(end - buffer.constData());
}

void LineWriter::appendBlanks(qsizetype n) {
    if (n > 0 && d->file && d->error.isEmpty()) {
        if (!d->utf8 && d->check.pending > 0)
            d->check.valid = false; // a blank inside a sequence
        d->buffer.append(n, ' ');
    }
}

bool LineWriter::endLine() {
    if (!d->file || !d->error.isEmpty())
        return false;
    if (!d->utf8 && d->check.pending > 0)
        d->check.valid = false;
    d->buffer.append("\r\n", 2);
    if (d->buffer.size() >= kBlock)
        return d->flush();
    return true;
}

bool LineWriter::commit(QString* error) {
    auto failed = [&] {
        if (error)
            *error = d->error;
        discard();
        return false;
    };
    if (!d->file || !d->error.isEmpty())
        return failed();
    // Windows-1252 bytes that also read as UTF-8 would come back as another text.
    if (!d->utf8 && d->check.valid && d->check.multibyte && d->check.pending == 0 && !d->toUtf8())
        return failed();
    if (!d->flush() || !d->file->flush())
        return failed();
    d->file->close();
    if (QFile::exists(d->path) && !QFile::remove(d->path)) {
        d->fail(QStringLiteral("Die vorhandene Datei lässt sich nicht ersetzen."));
        return failed();
    }
    d->file->setAutoRemove(false);
    if (!d->file->rename(d->path)) {
        d->fail(d->file->errorString());
        d->file->setAutoRemove(true);
        return failed();
    }
    d->file.reset();
    return true;
}

void LineWriter::discard() {
    d->file.reset(); // removes the temporary file
    d->buffer.clear();
    d->utf8 = false;
    d->check = Utf8Check();
    d->error.clear();
}

} // namespace TextFile
