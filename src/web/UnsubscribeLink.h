#pragma once
#include <QString>
#include <optional>

// One-click unsubscribe through the database's web kit (RFC 2369, RFC 8058): every
// recipient gets a link to the kit's mailin.php that carries the address and a token,
// HMAC-SHA256 of the lower-cased address keyed with the sync password, so nobody can
// cancel another address by guessing a link. mailin.php checks the token and stores a
// cancellation line as the cancellation form does; the subscription sync fetches it.
class UnsubscribeLink {
public:
    UnsubscribeLink(const QString& serverPath, const QString& syncPassword, bool headers);

    // The link of the open database: nullopt without a web kit (no server path) or without
    // a sync password (mailin.php refuses every token then). headers() follows the
    // database's switch for the List-Unsubscribe headers.
    static std::optional<UnsubscribeLink> forDatabase(const QString& dataFolder,
                                                      const QString& definitionName);
    // Whether the database has a web kit that makes links (forDatabase gives one).
    static bool hasWebKit(const QString& dataFolder, const QString& definitionName);

    // Lower-case hex of HMAC-SHA256(key: sync password, message: the lower-cased address).
    static QString token(const QString& address, const QString& syncPassword);

    // server path + "mailin.php?action=unsub&m=" + address percent-encoded + "&t=" + token.
    // Empty when the subscription sync could not apply a cancellation of this address
    // (it fails the list entry rule) or the header line would grow too long.
    QString url(const QString& address) const;

    bool headers() const { return m_headers; }

    // The header values of a message to that address; empty url: no headers.
    static QString headerValue(const QString& url) {
        return QLatin1Char('<') + url + QLatin1Char('>');
    }
    static QString postHeaderValue() { return QStringLiteral("List-Unsubscribe=One-Click"); }
    static QString headerName() { return QStringLiteral("List-Unsubscribe"); }
    static QString postHeaderName() { return QStringLiteral("List-Unsubscribe-Post"); }

    // The placeholder of the link in a body.
    static QString placeholder() { return QStringLiteral("$ABMELDELINK"); }

private:
    QString m_serverPath;
    QString m_password;
    bool m_headers = true;
    bool m_usable = true;
};
