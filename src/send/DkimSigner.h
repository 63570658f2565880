#pragma once
#include <QByteArray>
#include <QString>
#include <memory>

// DKIM signing of outgoing messages. Off until switched on; the values live in the
// settings file the account settings are read from, section [DKIM]. Only the path of
// the key file is stored, never the key.
struct DkimSettings {
    bool active = false;
    QString domain;
    QString selector;
    QString keyFile;

    static DkimSettings read(const QString& settingsFile);
    // False with a German message in *error when the file cannot be written.
    bool write(const QString& settingsFile, QString* error) const;
};

// Signs messages with one private key (PEM, RSA of 2048 bits or more, or Ed25519),
// relaxed/relaxed, over the headers From, To, Subject, Date, Message-ID, MIME-Version,
// Content-Type, List-Unsubscribe and List-Unsubscribe-Post that the message has.
// The key is parsed and the digest looked up once in load(); sign() only canonicalises,
// hashes and signs, so a run pays the private-key operation per message and no more.
// sign() may be called from any thread.
class DkimSigner {
public:
    enum class KeyKind { Rsa, Ed25519 };
    enum class RecordMatch { Matches, Differs, NoKeyRecord };

    DkimSigner();
    ~DkimSigner();
    DkimSigner(const DkimSigner&) = delete;
    DkimSigner& operator=(const DkimSigner&) = delete;

    // Checks domain and selector and loads the key; false with a German message.
    bool load(const DkimSettings& settings, QString* error);
    bool isLoaded() const { return m_crypto != nullptr; }
    KeyKind keyKind() const { return m_kind; }

    // Empty when the text may stand in DNS as a domain or selector, else the message.
    static QString domainProblem(const QString& domain);
    static QString selectorProblem(const QString& selector);
    // Empty when the signing domain is the sender address's domain or a parent of it.
    static QString senderProblem(const QString& domain, const QString& senderAddress);

    // "selector._domainkey.domain" and the TXT record to publish there.
    QString recordName() const;
    QString record() const;
    // Whether a TXT record found in DNS carries this key.
    RecordMatch compare(const QString& txt) const;

    // Puts the DKIM-Signature header in front of the message (CR LF lines); false with
    // a German message, the message unchanged. The signature carries signingTime (seconds
    // since 1970) as t=, the current time when it is negative.
    bool sign(QByteArray* message, QString* error, qint64 signingTime = -1) const;

private:
    struct Crypto; // the parsed key and what signing with it needs

    void release();
    QByteArray signatureOf(const QByteArray& headerData) const;

    std::unique_ptr<Crypto> m_crypto;
    QByteArray m_publicKey; // base64, as it goes into p=
    KeyKind m_kind = KeyKind::Rsa;
    QByteArray m_domain;
    QByteArray m_selector;
};
