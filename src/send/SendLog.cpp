#include "send/SendLog.h"

#include "common/TextFile.h"
#include "platform/AppendFile.h"

#include <QFile>
#include <algorithm>
#include <optional>

void SendLog::setPath(const QString& path) {
    m_path = path;
    m_known = Known::Unknown;
}

void SendLog::remove() {
    QFile::remove(m_path);
    m_known = Known::Unknown;
}

bool SendLog::append(const QString& line, QString* error) {
    std::optional<AppendFile> file(std::in_place, m_path);
    const qint64 size = std::max<qint64>(0, file->size());
    // A file this log did not start (or that someone changed) is extended the long
    // way once; from then on its encoding is known.
    if (size == 0)
        m_known = Known::Unknown;
    if (size > 0 && m_known == Known::Unknown) {
        file.reset();
        if (!TextFile::appendLine(m_path, line, error))
            return false;
        QFile check(m_path);
        m_known = check.open(QIODevice::ReadOnly) && check.read(3) == "\xEF\xBB\xBF"
                      ? Known::Utf8Bom
                      : Known::Windows1252;
        return true;
    }
    QByteArray bytes;
    if (size == 0) {
        TextFile::Encoding used = TextFile::Encoding::Windows1252;
        bytes = TextFile::encode(line + QStringLiteral("\r\n"), &used);
        m_known = used == TextFile::Encoding::Utf8Bom ? Known::Utf8Bom : Known::Windows1252;
    } else if (m_known == Known::Utf8Bom) {
        bytes = (line + QStringLiteral("\r\n")).toUtf8();
    } else if (TextFile::canEncodeWindows1252(line)) {
        bytes = TextFile::toWindows1252(line + QStringLiteral("\r\n"));
    } else {
        // The line needs UTF-8: the whole file changes its encoding.
        file.reset();
        if (!TextFile::appendLine(m_path, line, error))
            return false;
        m_known = Known::Utf8Bom;
        return true;
    }
    if (!file->write(bytes)) {
        if (error)
            *error = QStringLiteral("Die Datei \"%1\" kann nicht geschrieben werden: %2")
                         .arg(m_path, file->errorString());
        return false;
    }
    return true;
}
