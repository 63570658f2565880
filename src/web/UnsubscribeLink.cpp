#include "web/UnsubscribeLink.h"

#include "database/WebSettings.h"
#include "web/TrackingSetup.h"
#include "web/WebSync.h"

#include <QMessageAuthenticationCode>
#include <QUrl>

namespace {

// A header line may hold 998 characters; the value stands on a line of its own.
constexpr qsizetype kMaxUrl = 990;

} // namespace

UnsubscribeLink::UnsubscribeLink(const QString& serverPath, const QString& syncPassword,
                                 bool headers)
    : m_serverPath(serverPath.trimmed()), m_password(syncPassword), m_headers(headers) {
    // The path goes into a header line and an HTML attribute as it stands: printable
    // ASCII only, nothing that ends the bracket or the attribute.
    for (const QChar c : m_serverPath)
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7f || c == QChar('<') || c == QChar('>') ||
            c == QChar('"') || c == QChar('\''))
            m_usable = false;
}

std::optional<UnsubscribeLink> UnsubscribeLink::forDatabase(const QString& dataFolder,
                                                            const QString& definitionName) {
    if (definitionName.trimmed().isEmpty())
        return std::nullopt;
    const WebSettings web(dataFolder, definitionName);
    const QString path = web.onlinePath().trimmed();
    const QString password = web.onlinePassword();
    // The kit's dialog allows letters and digits only; a password of anything else
    // (an old file edited by hand) may not reach mailin.php byte for byte.
    if (path.isEmpty() || password.isEmpty() || !TrackingSetup::isPasswordText(password))
        return std::nullopt;
    return UnsubscribeLink(path, password, web.listUnsubscribe());
}

bool UnsubscribeLink::hasWebKit(const QString& dataFolder, const QString& definitionName) {
    return forDatabase(dataFolder, definitionName).has_value();
}

QString UnsubscribeLink::token(const QString& address, const QString& syncPassword) {
    return QString::fromLatin1(QMessageAuthenticationCode::hash(address.toLower().toUtf8(),
                                                                syncPassword.toUtf8(),
                                                                QCryptographicHash::Sha256)
                                   .toHex());
}

QString UnsubscribeLink::url(const QString& address) const {
    // Only what the sync takes as a list entry: ASCII, no character a header or the
    // site's list could trip over.
    if (!m_usable || !WebSync::isListEntryAddress(address))
        return {};
    const QString link = m_serverPath + QStringLiteral("mailin.php?action=unsub&m=") +
                         QString::fromLatin1(QUrl::toPercentEncoding(address)) +
                         QStringLiteral("&t=") + token(address, m_password);
    return link.size() <= kMaxUrl ? link : QString();
}
