#pragma once
#include <QString>

// Characters that must never reach a line of one of our files: the C0 controls (CR and
// LF among them), DEL, the C1 controls and the Unicode line and paragraph separators.
// Written into a line they end it early or forge another line for the next reader.
namespace ControlCharacters {

bool isControl(QChar c);
bool contains(const QString& text);
// Each control character, and each CR LF pair, becomes one blank; with keepTab a TAB
// stays (free text such as a mail line may hold one).
QString blanked(const QString& text, bool keepTab = false);

} // namespace ControlCharacters
