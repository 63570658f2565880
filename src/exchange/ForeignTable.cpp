#include "exchange/ForeignTable.h"

#include "common/TextFile.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTime>
#include <QtEndian>
#include <shapefil.h>
extern "C" {
#include <paradox.h> // a C header without C++ guards
}
#include <vector>

namespace {

// Decodes the bytes of one code page; Windows-1252 when the name is empty or unknown.
class Decoder {
public:
    explicit Decoder(const QString& codec) {
        if (!codec.isEmpty() &&
            codec.compare(QStringLiteral("windows-1252"), Qt::CaseInsensitive)) {
            m_decoder = QStringDecoder(codec.toLatin1().constData());
            m_valid = m_decoder.isValid();
        }
    }
    QString operator()(const QByteArray& bytes) const {
        if (!m_valid)
            return TextFile::fromWindows1252(bytes);
        m_decoder.resetState();
        return m_decoder.decode(bytes);
    }

private:
    mutable QStringDecoder m_decoder;
    bool m_valid = false;
};

QString trimmedText(const QString& s) {
    return s.trimmed();
}

// A decimal number as written, with the German decimal comma.
QString germanDecimal(QString s) {
    s = s.trimmed();
    s.replace(QChar('.'), QChar(','));
    return s;
}

QString germanDouble(double d, int decimals = -1) {
    const QString s =
        decimals >= 0 ? QString::number(d, 'f', decimals) : QString::number(d, 'g', 15);
    return germanDecimal(s);
}

QString dateText(const QDate& d) {
    return d.isValid() ? d.toString(QStringLiteral("dd.MM.yyyy")) : QString();
}

// A file next to path with another extension, found whatever the case of its name.
QString companion(const QString& path, const QStringList& extensions) {
    const QFileInfo info(path);
    const QDir dir = info.absoluteDir();
    const QString base = info.completeBaseName();
    for (const QString& name : dir.entryList(QDir::Files)) {
        const QFileInfo other(name);
        if (other.completeBaseName().compare(base, Qt::CaseInsensitive) == 0)
            for (const QString& ext : extensions)
                if (other.suffix().compare(ext, Qt::CaseInsensitive) == 0)
                    return dir.filePath(name);
    }
    return {};
}

// ---- dBase ---------------------------------------------------------------------------

thread_local QString t_shapelibError;

void noteShapelibError(const char* message) {
    t_shapelibError = QString::fromLocal8Bit(message);
}

// The memo file of a dBase table: dBase III and IV (.dbt) or FoxPro (.fpt).
class MemoFile {
public:
    bool open(const QString& path, bool fox) {
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::ReadOnly))
            return false;
        m_fox = fox;
        const QByteArray head = m_file.read(512);
        if (head.size() < 24)
            return false;
        if (fox) {
            m_blockSize = qFromBigEndian<quint16>(head.constData() + 6);
        } else {
            const quint16 size = qFromLittleEndian<quint16>(head.constData() + 20);
            // dBase III files have 512-byte blocks and leave the field at 0.
            m_blockSize = size >= 64 ? size : 512;
            m_dBase4 = size >= 64;
        }
        if (m_blockSize == 0)
            m_blockSize = 512;
        return true;
    }
    // The memo stored from this block on; empty when it cannot be read.
    QByteArray read(qint64 block) {
        if (block <= 0 || !m_file.isOpen() || !m_file.seek(block * m_blockSize))
            return {};
        constexpr qint64 kMaximum = 16 << 20;
        if (m_fox) {
            const QByteArray head = m_file.read(8);
            if (head.size() < 8)
                return {};
            const qint64 length = qFromBigEndian<quint32>(head.constData() + 4);
            return m_file.read(std::min(length, kMaximum));
        }
        QByteArray first = m_file.peek(8);
        if (m_dBase4 && first.size() == 8 && quint8(first[0]) == 0xFF && quint8(first[1]) == 0xFF) {
            const qint64 length = qFromLittleEndian<quint32>(first.constData() + 4);
            m_file.read(8);
            return m_file.read(std::clamp<qint64>(length - 8, 0, kMaximum));
        }
        // dBase III: the text ends at the first end-of-file mark.
        QByteArray out;
        while (out.size() < kMaximum) {
            const QByteArray chunk = m_file.read(m_blockSize);
            if (chunk.isEmpty())
                break;
            const qsizetype end = chunk.indexOf('\x1A');
            if (end >= 0) {
                out += chunk.left(end);
                break;
            }
            out += chunk;
        }
        return out;
    }

private:
    QFile m_file;
    qint64 m_blockSize = 512;
    bool m_fox = false;
    bool m_dBase4 = false;
};

class DbaseTable : public ForeignTable {
public:
    ~DbaseTable() override {
        if (m_dbf)
            DBFClose(m_dbf);
    }

    bool open(const QString& path, QString* detail) {
        QFile raw(path);
        if (!raw.open(QIODevice::ReadOnly)) {
            *detail = raw.errorString();
            return false;
        }
        const QByteArray head = raw.read(32);
        // The field descriptors end with a 0x0D byte within the header.
        const int headerLength =
            head.size() >= 32 ? qFromLittleEndian<quint16>(head.constData() + 8) : 0;
        m_terminatorSeen = false;
        if (headerLength >= 33) {
            // dBase puts the terminator right behind the last descriptor; some writers
            // leave room behind it (Visual FoxPro's backlink).
            raw.seek(32);
            const QByteArray descriptors = raw.read(headerLength - 32);
            for (qsizetype i = 0; i < descriptors.size(); i += 32)
                if (descriptors.at(i) == '\x0D') {
                    m_terminatorSeen = true;
                    break;
                }
        }
        raw.close();
        if (head.size() < 32) {
            *detail = QStringLiteral("Kopf zu kurz");
            return false;
        }
        m_version = quint8(head[0]);
        if (!plausibleHeader(head, raw.size())) {
            *detail = QStringLiteral("kein dBase-Kopf");
            return false;
        }
        SAHooks hooks;
        SASetupDefaultHooks(&hooks);
        hooks.Error = noteShapelibError;
        t_shapelibError.clear();
        m_dbf = DBFOpenLL(QFile::encodeName(path).constData(), "rb", &hooks);
        if (!m_dbf) {
            *detail = t_shapelibError;
            return false;
        }
        // The language driver byte names the code page; a .cpg file beside it may too.
        QString codec;
        const char* cp = DBFGetCodePage(m_dbf);
        const QString page = cp ? QString::fromLatin1(cp).trimmed() : QString();
        if (page.startsWith(QStringLiteral("LDID/")))
            codec = CodecForDbaseLanguageDriver(page.mid(5).toInt());
        else if (!page.isEmpty()) {
            bool digits = false;
            const int n = page.toInt(&digits);
            codec = digits ? CodecForCodePage(n) : page;
        }
        m_decode = std::make_unique<Decoder>(codec);
        const int fields = DBFGetFieldCount(m_dbf);
        for (int i = 0; i < fields; ++i) {
            Field f;
            char name[XBASE_FLDNAME_LEN_READ + 1] = {};
            DBFGetFieldInfo(m_dbf, i, name, &f.width, &f.decimals);
            f.type = DBFGetNativeFieldType(m_dbf, i);
            f.offset = m_dbf->panFieldOffset[i];
            m_fields.push_back(f);
            if (f.type == 'M' && !m_memoTried) {
                m_memoTried = true;
                const QString fpt = companion(path, {QStringLiteral("fpt")});
                const QString dbt = companion(path, {QStringLiteral("dbt")});
                if (!fpt.isEmpty())
                    m_memo.open(fpt, true);
                else if (!dbt.isEmpty())
                    m_memo.open(dbt, false);
            }
        }
        return true;
    }

    int recordCount() const override { return DBFGetRecordCount(m_dbf); }

    // shapelib takes almost any bytes for a table; the header is checked first.
    bool plausibleHeader(const QByteArray& head, qint64 fileSize) const {
        static const QByteArray versions("\x02\x03\x04\x05\x30\x31\x32\x43\x63\x83\x8B\x8E"
                                         "\xCB\xF5\xFB");
        const int month = quint8(head[2]);
        const int day = quint8(head[3]);
        const int headerLength = qFromLittleEndian<quint16>(head.constData() + 8);
        const int recordLength = qFromLittleEndian<quint16>(head.constData() + 10);
        return versions.contains(head[0]) && month >= 1 && month <= 12 && day >= 1 && day <= 31 &&
               headerLength >= 33 && headerLength <= fileSize && recordLength >= 1 &&
               m_terminatorSeen;
    }
    int columnCount() const override { return int(m_fields.size()); }
    bool isDeleted() const override { return m_deleted; }
    QString error() const override { return m_error; }

    bool read(int k) override {
        m_texts.clear();
        t_shapelibError.clear();
        const char* record = DBFReadTuple(m_dbf, k);
        if (!record) {
            m_error = QStringLiteral("Datensatz %1 kann nicht gelesen werden (Datei verkürzt "
                                     "oder beschädigt).")
                          .arg(k + 1);
            return false;
        }
        m_deleted = record[0] == '*';
        if (m_deleted)
            return true;
        const int recordLength = m_dbf->nRecordLength;
        for (const Field& f : m_fields) {
            if (f.offset < 0 || f.offset + f.width > recordLength) {
                m_texts << QString();
                continue;
            }
            m_texts << convert(f, QByteArray(record + f.offset, f.width));
        }
        return true;
    }

    QString text(int n) const override {
        return n >= 1 && n <= m_texts.size() ? m_texts[n - 1] : QString();
    }

private:
    struct Field {
        char type = 'C';
        int width = 0;
        int decimals = 0;
        int offset = 0;
    };

    QString convert(const Field& f, const QByteArray& bytes) {
        switch (f.type) {
        case 'C':
            return trimmedText((*m_decode)(bytes));
        case 'N':
        case 'F': {
            const QString s = QString::fromLatin1(bytes).trimmed();
            return f.decimals > 0 || s.contains(QChar('.')) ? germanDecimal(s) : s;
        }
        case 'L': {
            const char c = bytes.isEmpty() ? ' ' : bytes[0];
            if (QByteArray("TtYyJj").contains(c))
                return QStringLiteral("True");
            if (QByteArray("FfNn").contains(c))
                return QStringLiteral("False");
            return {};
        }
        case 'D':
            return dateText(QDate::fromString(QString::fromLatin1(bytes).trimmed(),
                                              QStringLiteral("yyyyMMdd")));
        case 'M': {
            // The block number: ten digits, or four bytes in FoxPro tables.
            qint64 block = 0;
            if (f.width == 4)
                block = qFromLittleEndian<quint32>(bytes.constData());
            else
                block = QString::fromLatin1(bytes).trimmed().toLongLong();
            return trimmedText((*m_decode)(m_memo.read(block)));
        }
        case 'I':
        case '+':
            if (bytes.size() == 4)
                return QString::number(qFromLittleEndian<qint32>(bytes.constData()));
            break;
        case 'Y':
            if (bytes.size() == 8)
                return germanDouble(double(qFromLittleEndian<qint64>(bytes.constData())) / 10000.0,
                                    2);
            break;
        case 'B':
        case 'O':
            // A double in Visual FoxPro and dBase 7; a memo block in dBase III/IV.
            if (bytes.size() == 8) {
                double d;
                std::memcpy(&d, bytes.constData(), 8);
                return germanDouble(d);
            }
            return {};
        case 'T':
            if (bytes.size() == 8) {
                const qint32 julian = qFromLittleEndian<qint32>(bytes.constData());
                const qint32 ms = qFromLittleEndian<qint32>(bytes.constData() + 4);
                if (julian == 0)
                    return {};
                const QDate d = QDate::fromJulianDay(julian);
                return dateText(d) + QChar(' ') +
                       QTime(0, 0).addMSecs(ms).toString(QStringLiteral("HH:mm:ss"));
            }
            break;
        case 'G':
        case 'P':
            return {}; // pictures and OLE objects are no text
        default:
            break;
        }
        return trimmedText((*m_decode)(bytes));
    }

    DBFHandle m_dbf = nullptr;
    int m_version = 0;
    std::vector<Field> m_fields;
    std::unique_ptr<Decoder> m_decode;
    MemoFile m_memo;
    bool m_memoTried = false;
    bool m_terminatorSeen = false;
    bool m_deleted = false;
    QStringList m_texts;
    QString m_error;
};

// ---- Paradox -------------------------------------------------------------------------

void notePxError(pxdoc_t*, int, const char* message, void* data) {
    if (data && message)
        *static_cast<QString*>(data) = QString::fromLocal8Bit(message).trimmed();
}

class ParadoxTable : public ForeignTable {
public:
    ~ParadoxTable() override {
        if (m_px) {
            PX_close(m_px);
            PX_delete(m_px);
        }
    }

    bool open(const QString& path, QString* detail) {
        m_px = PX_new3(notePxError, nullptr, nullptr, nullptr, &m_libraryError);
        if (!m_px) {
            *detail = QStringLiteral("pxlib");
            return false;
        }
        if (PX_open_file(m_px, QFile::encodeName(path).constData()) < 0) {
            *detail = m_libraryError;
            return false;
        }
        if (!plausibleHeader()) {
            *detail = QStringLiteral("kein Paradox-Kopf");
            return false;
        }
        const QString blob = companion(path, {QStringLiteral("mb")});
        if (!blob.isEmpty())
            PX_set_blob_file(m_px, QFile::encodeName(blob).constData());
        m_decode = std::make_unique<Decoder>(CodecForCodePage(m_px->px_head->px_doscodepage));
        m_columns = PX_get_num_fields(m_px);
        m_records = PX_get_num_records(m_px);
        return m_columns > 0;
    }

    int recordCount() const override { return m_records; }

    // pxlib takes almost any bytes for a table; what it read is checked.
    bool plausibleHeader() const {
        const pxhead_t* h = m_px->px_head;
        if (!h || h->px_numfields <= 0 || h->px_recordsize <= 0 || h->px_numrecords < 0)
            return false;
        if (h->px_filetype != pxfFileTypIndexDB && h->px_filetype != pxfFileTypNonIndexDB)
            return false;
        static const int sizes[] = {1, 2, 3, 4, 8, 16, 32};
        if (std::find(std::begin(sizes), std::end(sizes), h->px_maxtablesize) == std::end(sizes))
            return false;
        int length = 0;
        for (int i = 0; i < h->px_numfields; ++i) {
            const pxfield_t& f = h->px_fields[i];
            if (f.px_ftype < pxfAlpha || f.px_ftype > pxfNumTypes || f.px_flen <= 0)
                return false;
            length += f.px_flen;
        }
        return length == h->px_recordsize;
    }
    int columnCount() const override { return m_columns; }
    QString error() const override { return m_error; }
    QString text(int n) const override {
        return n >= 1 && n <= m_texts.size() ? m_texts[n - 1] : QString();
    }

    bool read(int k) override {
        m_texts.clear();
        m_libraryError.clear();
        pxval_t** values = PX_retrieve_record(m_px, k);
        if (!values) {
            m_error = QStringLiteral("Datensatz %1 kann nicht gelesen werden (Datei verkürzt "
                                     "oder beschädigt)%2")
                          .arg(k + 1)
                          .arg(m_libraryError.isEmpty() ? QString()
                                                        : QStringLiteral(": ") + m_libraryError);
            return false;
        }
        for (int i = 0; i < m_columns; ++i) {
            pxval_t* v = values[i];
            m_texts << (v ? convert(PX_get_field(m_px, i), v) : QString());
            if (v) {
                if (hasString(v->type) && v->value.str.val)
                    m_px->free(m_px, v->value.str.val);
                FREE_PXVAL(m_px, v);
            }
        }
        m_px->free(m_px, values);
        return true;
    }

private:
    static bool hasString(int type) {
        switch (type) {
        case pxfAlpha:
        case pxfMemoBLOb:
        case pxfBLOb:
        case pxfFmtMemoBLOb:
        case pxfOLE:
        case pxfGraphic:
        case pxfBCD:
        case pxfBytes:
            return true;
        default:
            return false;
        }
    }

    static QDate fromDays(long days) {
        int y = 0;
        int m = 0;
        int d = 0;
        PX_SdnToGregorian(days + 1721425, &y, &m, &d);
        return QDate(y, m, d);
    }

    QString convert(const pxfield_t* field, const pxval_t* v) {
        if (v->isnull)
            return {};
        switch (v->type) {
        case pxfAlpha:
        case pxfMemoBLOb:
        case pxfFmtMemoBLOb:
            return v->value.str.val
                       ? trimmedText((*m_decode)(QByteArray(v->value.str.val, v->value.str.len)))
                       : QString();
        case pxfDate:
            return dateText(fromDays(v->value.lval));
        case pxfShort:
        case pxfLong:
        case pxfAutoInc:
            return QString::number(v->value.lval);
        case pxfNumber:
            return germanDouble(v->value.dval);
        case pxfCurrency:
            return germanDouble(v->value.dval, 2);
        case pxfLogical:
            return v->value.lval ? QStringLiteral("True") : QStringLiteral("False");
        case pxfTime:
            return QTime(0, 0).addMSecs(int(v->value.lval)).toString(QStringLiteral("HH:mm:ss"));
        case pxfTimestamp: {
            const double ms = v->value.dval;
            const long days = long(ms / 86400000.0);
            const QTime t = QTime(0, 0).addMSecs(int(ms - double(days) * 86400000.0));
            return dateText(fromDays(days)) + QChar(' ') + t.toString(QStringLiteral("HH:mm:ss"));
        }
        case pxfBCD:
            return v->value.str.val ? germanDecimal(QString::fromLatin1(v->value.str.val))
                                    : QString();
        default:
            Q_UNUSED(field);
            return {}; // binary objects, pictures and OLE objects are no text
        }
    }

    pxdoc_t* m_px = nullptr;
    QString m_libraryError;
    std::unique_ptr<Decoder> m_decode;
    int m_columns = 0;
    int m_records = 0;
    QStringList m_texts;
    QString m_error;
};

} // namespace

std::unique_ptr<ForeignTable> ForeignTable::open(const QString& path, QString* detail) {
    QString why;
    const QString suffix = QFileInfo(path).suffix().toUpper();
    if (suffix == QStringLiteral("DBF")) {
        auto t = std::make_unique<DbaseTable>();
        if (t->open(path, &why))
            return t;
    } else if (suffix == QStringLiteral("DB")) {
        auto t = std::make_unique<ParadoxTable>();
        if (t->open(path, &why))
            return t;
    }
    if (detail)
        *detail = why;
    return nullptr;
}

QString CodecForCodePage(int codePage) {
    switch (codePage) {
    case 0:
        return {};
    case 65001:
        return QStringLiteral("UTF-8");
    case 10000:
        return QStringLiteral("macintosh");
    case 10006:
        return QStringLiteral("x-mac-greek");
    case 10007:
        return QStringLiteral("x-mac-cyrillic");
    case 10029:
        return QStringLiteral("x-mac-centraleurroman");
    case 932:
        return QStringLiteral("Shift_JIS");
    case 936:
        return QStringLiteral("GBK");
    case 949:
        return QStringLiteral("windows-949");
    case 950:
        return QStringLiteral("Big5");
    case 874:
        return QStringLiteral("windows-874");
    default:
        break;
    }
    if (codePage >= 1250 && codePage <= 1258)
        return QStringLiteral("windows-%1").arg(codePage);
    if (codePage >= 437 && codePage <= 869)
        return QStringLiteral("IBM%1").arg(codePage);
    return {};
}

QString CodecForDbaseLanguageDriver(int ldid) {
    struct Entry {
        int ldid;
        int codePage;
    };
    static const Entry table[] = {
        {0x01, 437},  {0x02, 850},  {0x03, 1252}, {0x04, 10000}, {0x08, 865},   {0x09, 437},
        {0x0A, 850},  {0x0B, 437},  {0x0D, 437},  {0x0E, 850},   {0x0F, 437},   {0x10, 850},
        {0x11, 437},  {0x12, 850},  {0x13, 932},  {0x14, 850},   {0x15, 437},   {0x16, 850},
        {0x17, 865},  {0x18, 437},  {0x19, 437},  {0x1A, 850},   {0x1B, 437},   {0x1C, 863},
        {0x1D, 850},  {0x1F, 852},  {0x22, 852},  {0x23, 852},   {0x24, 860},   {0x25, 850},
        {0x26, 866},  {0x37, 850},  {0x40, 852},  {0x4D, 936},   {0x4E, 949},   {0x4F, 950},
        {0x50, 874},  {0x57, 1252}, {0x58, 1252}, {0x59, 1252},  {0x64, 852},   {0x65, 866},
        {0x66, 865},  {0x67, 861},  {0x6A, 737},  {0x6B, 857},   {0x6C, 863},   {0x78, 950},
        {0x79, 949},  {0x7A, 936},  {0x7B, 932},  {0x7C, 874},   {0x7D, 1255},  {0x7E, 1256},
        {0x86, 737},  {0x87, 852},  {0x88, 857},  {0x96, 10007}, {0x97, 10029}, {0x98, 10006},
        {0xC8, 1250}, {0xC9, 1251}, {0xCA, 1254}, {0xCB, 1253},  {0xCC, 1257}};
    for (const Entry& e : table)
        if (e.ldid == ldid)
            return CodecForCodePage(e.codePage);
    return {};
}
