#pragma once
#include <QUrl>
#include <optional>

// Whether the desktop has a program registered for an address: the handler of its
// scheme ("mailto", "http") or, for a local file, of the file's type. nullopt when the
// desktop gives no answer (no registry to ask), so the caller just tries.
namespace DesktopHandlers {

std::optional<bool> hasHandler(const QUrl& url);

// The web browser to start with an address: the one named in $BROWSER (the first of a
// ":"-separated list that exists), else the desktop's registered one; empty when there
// is none. Wrappers that start even when they then find no browser are not taken.
QString browserProgram();

} // namespace DesktopHandlers
