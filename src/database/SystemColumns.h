#pragma once

#include <QString>

// The columns every address table has and the program itself reads and writes.
namespace SystemColumns {

inline const QString ID = QStringLiteral("ID");
inline const QString Selected = QStringLiteral("Selected");
inline const QString Invalid = QStringLiteral("Invalid");
inline const QString LetztesMail = QStringLiteral("LetztesMail");
inline const QString Mail = QStringLiteral("Mail");

// Filter expressions for the records marked for sending and the ones marked invalid.
inline const QString markedFilter = QStringLiteral("Selected='True'");
inline const QString invalidFilter = QStringLiteral("Invalid='True'");

} // namespace SystemColumns
