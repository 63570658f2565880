#include "exchange/XlsWorkbook.h"

#include <QDir>
#include <QSaveFile>
#include <gsf/gsf.h>
#include <memory>
#include <mutex>

namespace {

// Record types of the BIFF8 format.
enum : quint16 {
    RecEof = 0x000A,
    RecContinue = 0x003C,
    RecWindow1 = 0x003D,
    RecCodepage = 0x0042,
    RecColinfo = 0x007D,
    RecBoundsheet = 0x0085,
    RecXf = 0x00E0,
    RecSst = 0x00FC,
    RecLabelSst = 0x00FD,
    RecExtSst = 0x00FF,
    RecDimensions = 0x0200,
    RecWindow2 = 0x023E,
    RecStyle = 0x0293,
    RecFont = 0x0031,
    RecBof = 0x0809,
};

constexpr int kMaxRecordData = 8224;
constexpr quint16 kTextXf = 16; // the cell format with number format "@" (text)

void put16(QByteArray& b, quint32 v) {
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
}
void put32(QByteArray& b, quint32 v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
void set32(QByteArray& b, qsizetype at, quint32 v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xFF);
}
void record(QByteArray& out, quint16 type, const QByteArray& data) {
    put16(out, type);
    put16(out, quint32(data.size()));
    out += data;
}
QByteArray bytes(std::initializer_list<quint8> list) {
    QByteArray b;
    for (quint8 v : list)
        b.append(char(v));
    return b;
}

bool compressible(const QString& s) {
    for (QChar c : s)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}

// Appends the characters of s from `from` on (count of them), 1 or 2 bytes each.
void putChars(QByteArray& b, const QString& s, qsizetype from, qsizetype count, bool wide) {
    for (qsizetype i = from; i < from + count; ++i) {
        if (wide)
            put16(b, s[i].unicode());
        else
            b.append(char(s[i].unicode()));
    }
}

// The shared string table: SST and its CONTINUE records, each at most kMaxRecordData
// bytes of data. A string's header is never split; characters go on in the next record
// behind a fresh option byte. Notes every eighth string's position for EXTSST.
class SstWriter {
public:
    SstWriter(QByteArray& out, qsizetype streamBase, int bucket)
        : m_out(out), m_base(streamBase), m_bucket(bucket) {}

    void begin(quint32 references, quint32 unique) {
        startRecord(RecSst);
        put32(m_out, references);
        put32(m_out, unique);
    }
    void add(const QString& s) {
        const bool wide = !compressible(s);
        const int charSize = wide ? 2 : 1;
        if (room() < 3 + (s.isEmpty() ? 0 : charSize))
            startRecord(RecContinue);
        if (m_count % m_bucket == 0) {
            const qsizetype pos = m_out.size();
            m_buckets.append({quint32(m_base + pos), quint16(pos - m_recordStart)});
        }
        ++m_count;
        put16(m_out, quint32(s.size()));
        m_out.append(char(wide ? 0x01 : 0x00));
        qsizetype done = 0;
        while (done < s.size()) {
            qsizetype n = std::min<qsizetype>(s.size() - done, room() / charSize);
            if (n == 0) {
                startRecord(RecContinue);
                m_out.append(char(wide ? 0x01 : 0x00));
                continue;
            }
            putChars(m_out, s, done, n, wide);
            done += n;
        }
    }
    void end() { finishRecord(); }

    struct Bucket {
        quint32 streamPos;
        quint16 recordOffset;
    };
    const QList<Bucket>& buckets() const { return m_buckets; }

private:
    qsizetype room() const { return kMaxRecordData - (m_out.size() - m_recordStart - 4); }
    void startRecord(quint16 type) {
        finishRecord();
        m_recordStart = m_out.size();
        put16(m_out, type);
        put16(m_out, 0);
        m_open = true;
    }
    void finishRecord() {
        if (!m_open)
            return;
        const qsizetype length = m_out.size() - m_recordStart - 4;
        m_out[m_recordStart + 2] = char(length & 0xFF);
        m_out[m_recordStart + 3] = char((length >> 8) & 0xFF);
        m_open = false;
    }

    QByteArray& m_out;
    qsizetype m_base;
    int m_bucket;
    qsizetype m_recordStart = 0;
    bool m_open = false;
    quint32 m_count = 0;
    QList<Bucket> m_buckets;
};

QByteArray bof(quint16 type) {
    QByteArray d;
    put16(d, 0x0600); // BIFF8
    put16(d, type);
    put16(d, 0x0DBB); // build
    put16(d, 0x07CC); // year
    put32(d, 0x00000041);
    put32(d, 0x00000006);
    return d;
}

QByteArray font() {
    QByteArray d;
    put16(d, 200);    // 10 pt
    put16(d, 0);      // no attributes
    put16(d, 0x7FFF); // automatic colour
    put16(d, 400);    // normal weight
    put16(d, 0);
    d.append(bytes({0, 0, 0, 0}));
    const QByteArray name("Arial");
    d.append(char(name.size()));
    d.append(char(0));
    d += name;
    return d;
}

QByteArray xf(quint16 format, bool style) {
    QByteArray d;
    put16(d, 0);      // font 0
    put16(d, format); // number format
    put16(d, style ? 0xFFF5 : 0x0001);
    d.append(char(0x20)); // aligned at the bottom
    d.append(char(0));
    d.append(char(0));
    d.append(char(style ? 0x00 : (format != 0 ? 0x04 : 0x00)));
    put32(d, 0);
    put32(d, 0);
    put16(d, 0x20C0); // automatic pattern colours
    return d;
}

QByteArray shortString(const QString& s) {
    QByteArray d;
    const bool wide = !compressible(s);
    d.append(char(s.size()));
    d.append(char(wide ? 1 : 0));
    putChars(d, s, 0, s.size(), wide);
    return d;
}

template <typename T> struct Unref {
    void operator()(T* p) const {
        if (p)
            g_object_unref(p);
    }
};

} // namespace

XlsWorkbook::XlsWorkbook(const QString& sheetName) : m_sheetName(sheetName.left(31)) {}

void XlsWorkbook::addRow(const QStringList& cells) {
    if (m_rows >= maxRows)
        return;
    const int row = m_rows++;
    const qsizetype n = std::min<qsizetype>(cells.size(), maxColumns);
    m_columns = std::max(m_columns, int(n));
    for (qsizetype c = 0; c < n; ++c) {
        QString text = cells[c];
        if (text.isEmpty())
            continue;
        if (text.size() > maxTextLength) {
            qsizetype cut = maxTextLength;
            if (text[cut - 1].isHighSurrogate())
                --cut; // never half a character
            text.truncate(cut);
        }
        auto it = m_index.constFind(text);
        if (it == m_index.constEnd()) {
            it = m_index.insert(text, quint32(m_strings.size()));
            m_strings << text;
        }
        ++m_references;
        put16(m_cells, RecLabelSst);
        put16(m_cells, 10);
        put16(m_cells, quint32(row));
        put16(m_cells, quint32(c));
        put16(m_cells, kTextXf);
        put32(m_cells, it.value());
    }
}

QByteArray XlsWorkbook::workbookStream() const {
    QByteArray out;
    record(out, RecBof, bof(0x0005));
    record(out, RecCodepage, bytes({0xB0, 0x04})); // UTF-16
    {
        QByteArray d;
        for (quint32 v : {0u, 0u, 0x25BCu, 0x1572u, 0x0038u, 0u, 0u, 1u, 0x0258u})
            put16(d, v);
        record(out, RecWindow1, d);
    }
    for (int i = 0; i < 4; ++i)
        record(out, RecFont, font());
    for (int i = 0; i < 15; ++i)
        record(out, RecXf, xf(0, true));
    record(out, RecXf, xf(0, false));
    record(out, RecXf, xf(49, false)); // kTextXf: "@"
    record(out, RecStyle, bytes({0x00, 0x80, 0x00, 0xFF}));
    const qsizetype sheetOffsetAt = out.size() + 4;
    {
        QByteArray d;
        put32(d, 0); // the sheet's position, set below
        d.append(char(0));
        d.append(char(0));
        d += shortString(m_sheetName);
        record(out, RecBoundsheet, d);
    }
    const int bucket = std::max<int>(8, int((m_strings.size() + 127) / 128));
    SstWriter sst(out, 0, bucket);
    sst.begin(m_references, quint32(m_strings.size()));
    for (const QString& s : m_strings)
        sst.add(s);
    sst.end();
    {
        QByteArray d;
        put16(d, quint32(bucket));
        for (const SstWriter::Bucket& b : sst.buckets()) {
            put32(d, b.streamPos);
            put16(d, b.recordOffset);
            put16(d, 0);
        }
        record(out, RecExtSst, d);
    }
    record(out, RecEof, {});

    set32(out, sheetOffsetAt, quint32(out.size()));
    record(out, RecBof, bof(0x0010));
    if (m_columns > 0) {
        QByteArray d;
        put16(d, 0);
        put16(d, quint32(m_columns - 1));
        put16(d, 20 * 256); // 20 characters wide
        put16(d, kTextXf);
        put16(d, 0);
        put16(d, 0);
        record(out, RecColinfo, d);
    }
    {
        QByteArray d;
        put32(d, 0);
        put32(d, quint32(m_rows));
        put16(d, 0);
        put16(d, quint32(m_columns));
        put16(d, 0);
        record(out, RecDimensions, d);
    }
    out += m_cells;
    {
        QByteArray d;
        put16(d, 0x06B6); // grid, headers, zeros, selected and shown
        put16(d, 0);      // top row
        put16(d, 0);      // left column
        put16(d, 0x0040); // automatic grid colour
        d.resize(18, char(0));
        record(out, RecWindow2, d);
    }
    record(out, RecEof, {});
    return out;
}

QByteArray XlsWorkbook::fileBytes(QString* error) const {
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
    const QByteArray stream = workbookStream();
    std::unique_ptr<GsfOutput, Unref<GsfOutput>> memory(gsf_output_memory_new());
    QByteArray result;
    {
        std::unique_ptr<GsfOutfile, Unref<GsfOutfile>> ole(gsf_outfile_msole_new(memory.get()));
        std::unique_ptr<GsfOutput, Unref<GsfOutput>> child(
            ole ? gsf_outfile_new_child(ole.get(), "Workbook", FALSE) : nullptr);
        const bool ok = child &&
                        gsf_output_write(child.get(), size_t(stream.size()),
                                         reinterpret_cast<const guint8*>(stream.constData())) &&
                        gsf_output_close(child.get()) && gsf_output_close(GSF_OUTPUT(ole.get()));
        if (!ok) {
            if (error)
                *error = QStringLiteral("Die Excel Datei kann nicht zusammengestellt werden.");
            return {};
        }
    }
    const guint8* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory.get()));
    result =
        QByteArray(reinterpret_cast<const char*>(data), qsizetype(gsf_output_size(memory.get())));
    return result;
}

bool XlsWorkbook::save(const QString& path, QString* error) const {
    const QByteArray file = fileBytes(error);
    if (file.isEmpty())
        return false;
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size() || !out.commit()) {
        if (error)
            *error = QStringLiteral("Die Datei \"%1\" kann nicht geschrieben werden: %2")
                         .arg(QDir::toNativeSeparators(path), out.errorString());
        return false;
    }
    return true;
}
