#include "send/DkimSigner.h"

#include "common/IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <ctime>
#include <mutex>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

namespace {

const QString kSection = QStringLiteral("DKIM");

// A name of letters, digits and hyphens in dot-separated labels of 1 to 63 characters,
// no label starting or ending with a hyphen (RFC 1035; underscores are allowed in
// selectors by RFC 6376 only through this same rule, so we refuse them too).
bool isDnsName(const QString& name) {
    if (name.isEmpty() || name.size() > 253)
        return false;
    static const QRegularExpression label(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?$"));
    for (const QString& part : name.split(QLatin1Char('.')))
        if (!label.match(part).hasMatch())
            return false;
    return true;
}

QString asciiDomain(const QString& domain) {
    return QString::fromLatin1(QUrl::toAce(domain.trimmed())).toLower();
}

// The tags of a DKIM key record ("v=DKIM1; k=rsa; p=...") with blanks taken out.
QString tagValue(const QString& record, const QString& tag) {
    for (const QString& part : record.split(QLatin1Char(';'))) {
        const int eq = part.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        if (part.left(eq).trimmed().compare(tag, Qt::CaseInsensitive) == 0) {
            QString v = part.mid(eq + 1);
            v.remove(QRegularExpression(QStringLiteral("\\s")));
            return v;
        }
    }
    return {};
}

struct PkeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct BioFree {
    void operator()(BIO* b) const { BIO_free(b); }
};

// Refuses every passphrase, so an encrypted key never makes OpenSSL ask on a terminal.
int noPassphrase(char*, int, int, void*) {
    return -1;
}

} // namespace

DkimSettings DkimSettings::read(const QString& settingsFile) {
    const IniFile ini(settingsFile);
    DkimSettings s;
    s.active = ini.readBool(kSection, QStringLiteral("Active"), false);
    s.domain = ini.readString(kSection, QStringLiteral("Domain"));
    s.selector = ini.readString(kSection, QStringLiteral("Selector"));
    s.keyFile = ini.readString(kSection, QStringLiteral("KeyFile"));
    return s;
}

bool DkimSettings::write(const QString& settingsFile, QString* error) const {
    IniFile ini(settingsFile);
    ini.setPrivate(true);
    const bool ok = ini.writeBool(kSection, QStringLiteral("Active"), active) &&
                    ini.writeString(kSection, QStringLiteral("Domain"), domain.trimmed()) &&
                    ini.writeString(kSection, QStringLiteral("Selector"), selector.trimmed()) &&
                    ini.writeString(kSection, QStringLiteral("KeyFile"), keyFile.trimmed());
    if (!ok && error)
        *error = QStringLiteral("Die DKIM-Einstellungen können nicht in ") + settingsFile +
                 QStringLiteral(" gespeichert werden.");
    return ok;
}

struct DkimSigner::Crypto {
    EVP_PKEY* key = nullptr;
    EVP_MD* sha256 = nullptr;
    // RSA: set up once for PKCS #1 v1.5 with SHA-256; a context serves one call at a time.
    EVP_PKEY_CTX* rsa = nullptr;
    std::mutex rsaLock;

    ~Crypto() {
        EVP_PKEY_CTX_free(rsa);
        EVP_MD_free(sha256);
        EVP_PKEY_free(key);
    }
};

DkimSigner::DkimSigner() = default;

DkimSigner::~DkimSigner() {
    release();
}

void DkimSigner::release() {
    m_crypto.reset();
    m_publicKey.clear();
}

QString DkimSigner::domainProblem(const QString& domain) {
    if (domain.trimmed().isEmpty())
        return QStringLiteral("Bitte geben Sie die Domain für die DKIM-Signatur an.");
    if (!isDnsName(asciiDomain(domain)))
        return QStringLiteral("Die DKIM-Domain \"") + domain.trimmed() +
               QStringLiteral("\" ist kein gültiger Domainname.");
    return {};
}

QString DkimSigner::selectorProblem(const QString& selector) {
    if (selector.trimmed().isEmpty())
        return QStringLiteral("Bitte geben Sie den DKIM-Selektor an.");
    if (!isDnsName(selector.trimmed()))
        return QStringLiteral("Der DKIM-Selektor \"") + selector.trimmed() +
               QStringLiteral("\" enthält Zeichen, die im DNS nicht erlaubt sind (erlaubt sind "
                              "Buchstaben a-z, Ziffern, Bindestrich und Punkt).");
    return {};
}

QString DkimSigner::senderProblem(const QString& domain, const QString& senderAddress) {
    const QString address = senderAddress.trimmed();
    const int at = address.lastIndexOf(QLatin1Char('@'));
    const QString senderDomain = at < 0 ? QString() : asciiDomain(address.mid(at + 1));
    const QString d = asciiDomain(domain);
    if (!senderDomain.isEmpty() &&
        (senderDomain == d || senderDomain.endsWith(QLatin1Char('.') + d)))
        return {};
    return QStringLiteral("Die DKIM-Domain \"") + domain.trimmed() +
           QStringLiteral("\" passt nicht zur Absenderadresse \"") + address +
           QStringLiteral("\": sie muss die Domain der Absenderadresse oder eine ihr "
                          "übergeordnete Domain sein.");
}

bool DkimSigner::load(const DkimSettings& settings, QString* error) {
    release();
    auto refuse = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (const QString p = domainProblem(settings.domain); !p.isEmpty())
        return refuse(p);
    if (const QString p = selectorProblem(settings.selector); !p.isEmpty())
        return refuse(p);
    const QString path = settings.keyFile.trimmed();
    if (path.isEmpty())
        return refuse(
            QStringLiteral("Bitte wählen Sie die Datei mit dem privaten DKIM-Schlüssel."));
    if (!QFileInfo(path).isFile())
        return refuse(QStringLiteral("Die DKIM-Schlüsseldatei \"") + path +
                      QStringLiteral("\" wurde nicht gefunden."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(QStringLiteral("Die DKIM-Schlüsseldatei \"") + path +
                      QStringLiteral("\" kann nicht gelesen werden: ") + file.errorString());
    const QByteArray pem = file.read(1 << 20);
    const QString notAKey = QStringLiteral("Die Datei \"") + path +
                            QStringLiteral("\" enthält keinen privaten Schlüssel im PEM-Format "
                                           "(RSA mit mindestens 2048 Bit oder Ed25519).");
    if (pem.contains("ENCRYPTED"))
        return refuse(QStringLiteral("Der DKIM-Schlüssel in \"") + path +
                      QStringLiteral("\" ist mit einem Kennwort verschlüsselt. Bitte speichern "
                                     "Sie ihn unverschlüsselt (z. B. mit \"openssl pkey -in "
                                     "alt.pem -out neu.pem\")."));
    std::unique_ptr<BIO, BioFree> in(BIO_new_mem_buf(pem.constData(), int(pem.size())));
    std::unique_ptr<EVP_PKEY, PkeyFree> key(
        PEM_read_bio_PrivateKey(in.get(), nullptr, noPassphrase, nullptr));
    if (!key)
        return refuse(notAKey);
    const int type = EVP_PKEY_get_base_id(key.get());
    if (type == EVP_PKEY_RSA) {
        if (EVP_PKEY_get_bits(key.get()) < 2048)
            return refuse(QStringLiteral("Der RSA-Schlüssel in \"") + path +
                          QStringLiteral("\" hat nur ") +
                          QString::number(EVP_PKEY_get_bits(key.get())) +
                          QStringLiteral(" Bit; DKIM verlangt mindestens 2048 Bit."));
        m_kind = KeyKind::Rsa;
        unsigned char* der = nullptr;
        const int n = i2d_PUBKEY(key.get(), &der);
        if (n <= 0)
            return refuse(notAKey);
        m_publicKey = QByteArray(reinterpret_cast<const char*>(der), n).toBase64();
        OPENSSL_free(der);
    } else if (type == EVP_PKEY_ED25519) {
        m_kind = KeyKind::Ed25519;
        unsigned char raw[64];
        size_t n = sizeof raw;
        if (EVP_PKEY_get_raw_public_key(key.get(), raw, &n) != 1)
            return refuse(notAKey);
        m_publicKey = QByteArray(reinterpret_cast<const char*>(raw), int(n)).toBase64();
    } else {
        return refuse(QStringLiteral("Der Schlüssel in \"") + path +
                      QStringLiteral("\" ist weder ein RSA- noch ein Ed25519-Schlüssel."));
    }
    m_domain = asciiDomain(settings.domain).toLatin1();
    m_selector = settings.selector.trimmed().toLower().toLatin1();
    auto crypto = std::make_unique<Crypto>();
    crypto->sha256 = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    bool ready = crypto->sha256 != nullptr;
    if (ready && m_kind == KeyKind::Rsa) {
        crypto->rsa = EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr);
        ready = crypto->rsa && EVP_PKEY_sign_init(crypto->rsa) == 1 &&
                EVP_PKEY_CTX_set_rsa_padding(crypto->rsa, RSA_PKCS1_PADDING) == 1 &&
                EVP_PKEY_CTX_set_signature_md(crypto->rsa, crypto->sha256) == 1;
    }
    if (!ready) {
        release();
        return refuse(QStringLiteral("Die DKIM-Bibliothek kann nicht gestartet werden."));
    }
    crypto->key = key.release();
    m_crypto = std::move(crypto);
    // A trial signature proves that the key signs.
    QByteArray probe("From: a@example.org\r\nSubject: x\r\n\r\nx\r\n");
    QString probeError;
    if (!sign(&probe, &probeError)) {
        release();
        return refuse(probeError);
    }
    return true;
}

QString DkimSigner::recordName() const {
    return QString::fromLatin1(m_selector + "._domainkey." + m_domain);
}

QString DkimSigner::record() const {
    return QStringLiteral("v=DKIM1; k=") +
           (m_kind == KeyKind::Rsa ? QStringLiteral("rsa") : QStringLiteral("ed25519")) +
           QStringLiteral("; p=") + QString::fromLatin1(m_publicKey);
}

DkimSigner::RecordMatch DkimSigner::compare(const QString& txt) const {
    const QString p = tagValue(txt, QStringLiteral("p"));
    if (p.isEmpty())
        return RecordMatch::NoKeyRecord;
    QString k = tagValue(txt, QStringLiteral("k")).toLower();
    if (k.isEmpty())
        k = QStringLiteral("rsa");
    const QString ours = m_kind == KeyKind::Rsa ? QStringLiteral("rsa") : QStringLiteral("ed25519");
    return p == QString::fromLatin1(m_publicKey) && k == ours ? RecordMatch::Matches
                                                              : RecordMatch::Differs;
}

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Relaxed header canonicalisation: the name in lower case without blanks before the
// colon, the value unfolded, every run of blanks one space and none at either end.
void appendRelaxedField(QByteArray* out, const char* p, qsizetype n, bool withLineEnd) {
    const qsizetype colon = std::find(p, p + n, ':') - p;
    qsizetype nameEnd = colon;
    while (nameEnd > 0 && isBlank(p[nameEnd - 1]))
        --nameEnd;
    for (qsizetype i = 0; i < nameEnd; ++i) {
        const char c = p[i];
        out->append(c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c);
    }
    out->append(':');
    bool space = false; // a blank run waits for the next character that is none
    bool text = false;
    for (qsizetype i = colon + 1; i < n; ++i) {
        const char c = p[i];
        if (c == '\r' || c == '\n')
            continue; // line breaks of a folded field
        if (isBlank(c)) {
            space = text;
            continue;
        }
        if (space)
            out->append(' ');
        space = false;
        text = true;
        out->append(c);
    }
    if (withLineEnd)
        out->append("\r\n");
}

// Relaxed body canonicalisation: blanks at line ends dropped, other runs one space, empty
// lines at the end dropped, a last line without line end given one.
QByteArray relaxedBody(const char* p, qsizetype n) {
    QByteArray out;
    out.reserve(n + 2);
    qsizetype heldBack = 0; // empty lines, written only when a line with text follows
    qsizetype i = 0;
    while (i < n) {
        const qsizetype found = QByteArrayView(p + i, n - i).indexOf("\r\n");
        const qsizetype end = found < 0 ? n : i + found;
        const qsizetype textAt = std::find_if_not(p + i, p + end, isBlank) - p;
        if (textAt == end) {
            ++heldBack;
        } else {
            for (; heldBack > 0; --heldBack)
                out.append("\r\n");
            bool space = false;
            for (qsizetype k = i; k < end; ++k) {
                if (isBlank(p[k])) {
                    space = true;
                    continue;
                }
                if (space)
                    out.append(' ');
                space = false;
                out.append(p[k]);
            }
            out.append("\r\n");
        }
        i = end + 2;
    }
    return out;
}

constexpr qsizetype kMargin = 75; // columns the signature header is folded to

// Joins the tags of the signature header ("v=1;", ..., "b=...") and folds them: between
// tags, in h= after a colon, in bh= and b= anywhere. The layout is the one libopendkim
// writes; relaxed canonicalisation keeps the folds inside h= and bh= as spaces, so the
// header that is signed (b= empty) must be folded exactly like the one that is sent.
QByteArray foldedTags(const QList<QByteArray>& tags, bool signatureOnOwnLine) {
    QByteArray out;
    out.reserve(512);
    qsizetype column = qsizetype(sizeof "DKIM-Signature: ") - 1;
    for (const QByteArray& tag : tags) {
        const qsizetype eq = tag.indexOf('=');
        const QByteArray name = tag.left(eq);
        const bool ownLine = signatureOnOwnLine && name == "b";
        if (out.isEmpty() || (!ownLine && column + tag.size() <= kMargin)) {
            if (!out.isEmpty()) {
                out.append(' ');
                ++column;
            }
            out.append(tag);
            column += tag.size();
            continue;
        }
        out.append("\r\n\t");
        column = 8;
        if (name == "h") {
            bool firstName = true;
            for (const QByteArray& part : tag.split(':')) {
                if (part.isEmpty())
                    continue;
                if (firstName) {
                    out.append(part);
                    column += part.size();
                    firstName = false;
                } else if (column + part.size() + 1 > kMargin) {
                    out.append(":\r\n\t ").append(part);
                    column = 9 + part.size();
                } else {
                    out.append(':').append(part);
                    column += 1 + part.size();
                }
            }
        } else if (name == "b" || name == "bh") {
            out.append(tag.constData(), qMin(eq + 2, tag.size()));
            column += eq + 2;
            for (qsizetype at = eq + 2; at < tag.size();) {
                if (column >= kMargin) {
                    out.append("\r\n\t ");
                    column = 9;
                }
                const qsizetype take = qMin(kMargin - column, tag.size() - at);
                out.append(tag.constData() + at, take);
                at += take;
                column += take;
            }
        } else {
            out.append(tag);
            column += tag.size();
        }
    }
    return out;
}

} // namespace

QByteArray DkimSigner::signatureOf(const QByteArray& headerData) const {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    if (EVP_Digest(headerData.constData(), size_t(headerData.size()), digest, &digestLength,
                   m_crypto->sha256, nullptr) != 1)
        return {};
    QByteArray signature;
    size_t length = 0;
    if (m_kind == KeyKind::Rsa) {
        // PKCS #1 v1.5 over the SHA-256 digest of the header data.
        const std::lock_guard<std::mutex> lock(m_crypto->rsaLock);
        if (EVP_PKEY_sign(m_crypto->rsa, nullptr, &length, digest, digestLength) != 1)
            return {};
        signature.resize(qsizetype(length));
        if (EVP_PKEY_sign(m_crypto->rsa, reinterpret_cast<unsigned char*>(signature.data()),
                          &length, digest, digestLength) != 1)
            return {};
    } else {
        // Ed25519 (RFC 8463): PureEdDSA over the SHA-256 digest, not over the data.
        std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(),
                                                                    EVP_MD_CTX_free);
        length = 64;
        signature.resize(qsizetype(length));
        if (!ctx ||
            EVP_DigestSignInit_ex(ctx.get(), nullptr, nullptr, nullptr, nullptr, m_crypto->key,
                                  nullptr) != 1 ||
            EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(signature.data()), &length,
                           digest, digestLength) != 1)
            return {};
    }
    signature.resize(qsizetype(length));
    return signature.toBase64();
}

bool DkimSigner::sign(QByteArray* message, QString* error, qint64 signingTime) const {
    auto refuse = [error](const QString& text) {
        if (error)
            *error = QStringLiteral("Die Nachricht kann nicht mit DKIM signiert werden: ") + text;
        return false;
    };
    if (!m_crypto)
        return refuse(QStringLiteral("Es ist kein Schlüssel geladen."));
    const QByteArray& m = *message;
    qsizetype headerEnd = m.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return refuse(QStringLiteral("Die Nachricht hat keinen Kopf."));
    headerEnd += 2; // the last header line keeps its CR LF

    // Only the headers that identify and describe the message are signed; the ones a
    // relay may add or rewrite stay outside the signature.
    static const QList<QByteArray> signedNames = {"from",
                                                  "to",
                                                  "subject",
                                                  "date",
                                                  "message-id",
                                                  "mime-version",
                                                  "content-type",
                                                  "list-unsubscribe",
                                                  "list-unsubscribe-post"};
    struct Field {
        qsizetype at, size;
        QByteArray name; // lower case
    };
    QList<Field> fields;
    QByteArray h = "h=";
    qsizetype pos = 0;
    while (pos < headerEnd) {
        qsizetype end = pos;
        // A field runs on over lines that begin with a blank.
        for (;;) {
            end = m.indexOf("\r\n", end);
            if (end < 0 || end + 2 >= headerEnd || !isBlank(m[end + 2]))
                break;
            end += 2;
        }
        if (end < 0)
            end = headerEnd - 2;
        const qsizetype colon = m.indexOf(':', pos);
        if (colon > pos && colon < end) {
            const QByteArray name = m.mid(pos, colon - pos).trimmed();
            const QByteArray lower = name.toLower();
            if (signedNames.contains(lower)) {
                if (!fields.isEmpty())
                    h.append(':');
                h.append(name);
                fields.append({pos, end - pos, lower});
            }
        }
        pos = end + 2;
    }
    h.append(';');
    if (std::none_of(fields.cbegin(), fields.cend(),
                     [](const Field& f) { return f.name == "from"; }))
        return refuse(QStringLiteral("Die Nachricht hat keine Absenderzeile (From)."));

    // h= names the fields top down; a name that occurs more than once takes its fields
    // from the bottom up, as a verifier picks them.
    QByteArray headerData;
    headerData.reserve(headerEnd + 512);
    QList<bool> used(fields.size(), false);
    for (const Field& f : fields) {
        for (qsizetype k = fields.size() - 1; k >= 0; --k) {
            if (used[k] || fields[k].name != f.name)
                continue;
            used[k] = true;
            appendRelaxedField(&headerData, m.constData() + fields[k].at, fields[k].size, true);
            break;
        }
    }

    unsigned char bodyHash[EVP_MAX_MD_SIZE];
    unsigned int bodyHashLength = 0;
    const QByteArray body = relaxedBody(m.constData() + headerEnd + 2, m.size() - headerEnd - 2);
    if (EVP_Digest(body.constData(), size_t(body.size()), bodyHash, &bodyHashLength,
                   m_crypto->sha256, nullptr) != 1)
        return refuse(QStringLiteral("Der Hashwert des Textes kann nicht berechnet werden."));

    const bool rsa = m_kind == KeyKind::Rsa;
    const qint64 t = signingTime >= 0 ? signingTime : qint64(std::time(nullptr));
    QList<QByteArray> tags = {
        "v=1;",
        rsa ? QByteArray("a=rsa-sha256;") : QByteArray("a=ed25519-sha256;"),
        "c=relaxed/relaxed;",
        "d=" + m_domain + ';',
        "s=" + m_selector + ';',
        "t=" + QByteArray::number(t) + ';',
        "bh=" +
            QByteArray(reinterpret_cast<const char*>(bodyHash), int(bodyHashLength)).toBase64() +
            ';',
        h,
        "b="};
    // The signature is written on lines of its own when it cannot fit the current one,
    // which for RSA is always.
    const QByteArray unsignedField = "DKIM-Signature: " + foldedTags(tags, rsa);
    appendRelaxedField(&headerData, unsignedField.constData(), unsignedField.size(), false);
    const QByteArray signature = signatureOf(headerData);
    if (signature.isEmpty())
        return refuse(QStringLiteral("Die Signatur kann nicht berechnet werden."));
    tags.last().append(signature);
    message->prepend("DKIM-Signature: " + foldedTags(tags, rsa) + "\r\n");
    return true;
}
