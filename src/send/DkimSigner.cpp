#include "send/DkimSigner.h"

#include "common/IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QRegularExpression>
#include <QUrl>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

// The library's header is C and spells bool as _Bool.
#define _Bool bool
extern "C" {
#include <opendkim/dkim.h>
}
#undef _Bool

namespace {

const QString kSection = QStringLiteral("DKIM");

DKIM_LIB* lib(void* p) {
    return static_cast<DKIM_LIB*>(p);
}

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

QByteArray bioBytes(BIO* bio) {
    char* data = nullptr;
    const long n = BIO_get_mem_data(bio, &data);
    return QByteArray(data, int(n));
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

DkimSigner::DkimSigner() = default;

DkimSigner::~DkimSigner() {
    release();
}

void DkimSigner::release() {
    if (m_lib)
        dkim_close(lib(m_lib));
    m_lib = nullptr;
    m_key.clear();
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
    // The library gets the key as unencrypted PKCS #8 PEM, whatever form the file had.
    std::unique_ptr<BIO, BioFree> out(BIO_new(BIO_s_mem()));
    if (PEM_write_bio_PrivateKey(out.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1)
        return refuse(notAKey);
    m_key = bioBytes(out.get());
    m_domain = asciiDomain(settings.domain).toLatin1();
    m_selector = settings.selector.trimmed().toLower().toLatin1();
    m_lib = dkim_init(nullptr, nullptr);
    if (!m_lib) {
        release();
        return refuse(QStringLiteral("Die DKIM-Bibliothek kann nicht gestartet werden."));
    }
    // A trial signature proves that the library accepts the key.
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

bool DkimSigner::sign(QByteArray* message, QString* error) const {
    auto refuse = [error](const QString& text) {
        if (error)
            *error = QStringLiteral("Die Nachricht kann nicht mit DKIM signiert werden: ") + text;
        return false;
    };
    if (!m_lib)
        return refuse(QStringLiteral("Es ist kein Schlüssel geladen."));
    const QByteArray& m = *message;
    int headerEnd = m.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return refuse(QStringLiteral("Die Nachricht hat keinen Kopf."));
    headerEnd += 2; // the last header line keeps its CR LF

    DKIM_STAT status = DKIM_STAT_OK;
    DKIM* dkim = dkim_sign(lib(m_lib), reinterpret_cast<const u_char*>("quillon"), nullptr,
                           reinterpret_cast<dkim_sigkey_t>(const_cast<char*>(m_key.constData())),
                           reinterpret_cast<const u_char*>(m_selector.constData()),
                           reinterpret_cast<const u_char*>(m_domain.constData()),
                           DKIM_CANON_RELAXED, DKIM_CANON_RELAXED,
                           m_kind == KeyKind::Rsa ? DKIM_SIGN_RSASHA256 : DKIM_SIGN_ED25519SHA256,
                           -1, &status);
    if (!dkim)
        return refuse(QString::fromLatin1(dkim_getresultstr(status)));
    struct Free {
        DKIM* d;
        ~Free() { dkim_free(d); }
    } guard{dkim};

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
    int pos = 0;
    while (pos < headerEnd) {
        int end = pos;
        // A field runs on over lines that begin with a blank.
        for (;;) {
            end = m.indexOf("\r\n", end);
            if (end < 0 || end + 2 >= headerEnd || (m[end + 2] != ' ' && m[end + 2] != '\t'))
                break;
            end += 2;
        }
        if (end < 0)
            end = headerEnd - 2;
        const QByteArray field = m.mid(pos, end - pos);
        const int colon = field.indexOf(':');
        if (colon > 0 && signedNames.contains(field.left(colon).trimmed().toLower())) {
            status =
                dkim_header(dkim, reinterpret_cast<u_char*>(const_cast<char*>(field.constData())),
                            size_t(field.size()));
            if (status != DKIM_STAT_OK)
                return refuse(QString::fromLatin1(dkim_geterror(dkim)));
        }
        pos = end + 2;
    }
    if ((status = dkim_eoh(dkim)) != DKIM_STAT_OK)
        return refuse(QString::fromLatin1(dkim_getresultstr(status)));
    const QByteArray body = m.mid(headerEnd + 2);
    if (!body.isEmpty() &&
        (status = dkim_body(dkim, reinterpret_cast<u_char*>(const_cast<char*>(body.constData())),
                            size_t(body.size()))) != DKIM_STAT_OK)
        return refuse(QString::fromLatin1(dkim_getresultstr(status)));
    if ((status = dkim_eom(dkim, nullptr)) != DKIM_STAT_OK)
        return refuse(QString::fromLatin1(dkim_getresultstr(status)));
    u_char* header = nullptr;
    size_t length = 0;
    static const char prefix[] = "DKIM-Signature: ";
    if ((status = dkim_getsighdr_d(dkim, sizeof prefix - 1, &header, &length)) != DKIM_STAT_OK)
        return refuse(QString::fromLatin1(dkim_getresultstr(status)));
    QByteArray value(reinterpret_cast<const char*>(header), int(length));
    value.replace("\r\n", "\n");
    value.replace("\n", "\r\n");
    message->prepend(prefix + value + "\r\n");
    return true;
}
