#pragma once

#include <QString>

// Texts the program shows in more than one place, so every place says the same.
namespace Texts {

inline QString openDatabaseFirst() {
    return QStringLiteral("Zuerst Datenbank öffnen!");
}

} // namespace Texts
