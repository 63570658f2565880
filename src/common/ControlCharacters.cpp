#include "common/ControlCharacters.h"

namespace ControlCharacters {

bool isControl(QChar c) {
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029;
}

bool contains(const QString& text) {
    for (const QChar c : text)
        if (isControl(c))
            return true;
    return false;
}

QString blanked(const QString& text, bool keepTab) {
    if (!contains(text))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!isControl(c) || (keepTab && c == QChar('\t'))) {
            out += c;
            continue;
        }
        if (c == QChar('\r') && i + 1 < text.size() && text[i + 1] == QChar('\n'))
            ++i;
        out += QChar(' ');
    }
    return out;
}

} // namespace ControlCharacters
