#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// One e-mail message, built in Unicode and written as MIME text with GMime.
//
// The bodies are encoded once, wholly, in the declared charset of the account's code set
// and sent quoted-printable; subject and names become RFC 2047 encoded words when they
// are not plain ASCII. No text ever breaks a header line: line breaks and other control
// characters in header values are replaced by blanks, and addresses are written by the
// MIME library, never pasted into a header.
class MimeMessage {
public:
    struct Address {
        QString name;
        QString address;
    };

    void setSender(const QString& name, const QString& address);
    const Address& sender() const { return m_sender; }
    void addToRecipient(const QString& name, const QString& address);
    void clearRecipientLists() { m_to.clear(); }
    const QList<Address>& toRecipients() const { return m_to; }

    void setSubjectText(const QString& subject) { m_subject = subject; }
    const QString& subjectText() const { return m_subject; }
    // The charset the bodies are encoded in: "iso-8859-1", "windows-1252", "utf-7" or
    // "utf-8". A plain text with a character the charset lacks is sent as utf-8 instead,
    // and declared so.
    void setCharsetName(const QByteArray& charset) { m_charset = charset; }
    const QByteArray& charsetName() const { return m_charset; }
    void setPlainText(const QString& text) { m_plain = text; }
    void setHtmlText(const QString& html) { m_html = html; }
    const QString& plainText() const { return m_plain; }
    const QString& htmlText() const { return m_html; }
    bool hasHtmlPart() const { return !m_html.isEmpty(); }

    // Adds a header; a second call with the same name (any case) replaces the first, so
    // every message carries each header once.
    void addHeaderLine(const QString& name, const QString& value);
    void removeHeaderLine(const QString& name);
    void setMailerName(const QString& mailer) { addHeaderLine(QStringLiteral("X-Mailer"), mailer); }
    // 1 high, 5 low: X-Priority and X-MSMail-Priority; anything else: neither.
    void setPriority(int priority);
    void setSendDate(const QDateTime& date) { m_date = date; }

    // The file is read when the message is written; a file that cannot be read then makes
    // the write fail with a German message.
    void attachFile(const QString& path) { m_attachments.append(path); }
    void clearAttachments() { m_attachments.clear(); }
    const QStringList& attachments() const { return m_attachments; }

    // The whole message with CR LF line ends; false and a German message in *error when an
    // attachment cannot be read or an address is unusable.
    bool toBytes(QByteArray* out, QString* error) const;
    bool saveMessageFile(const QString& path, QString* error) const;

    // An address that can go into an envelope or a header as it stands: not empty, no
    // blanks, no control characters, no angle brackets, exactly one "@" part not empty.
    static bool isUsableAddress(const QString& address);
    // The header text with line breaks and control characters replaced by blanks.
    static QString headerSafe(const QString& text);

private:
    Address m_sender;
    QList<Address> m_to;
    QString m_subject;
    QByteArray m_charset = "iso-8859-1";
    QString m_plain;
    QString m_html;
    QList<QPair<QString, QString>> m_headers;
    QDateTime m_date;
    QStringList m_attachments;
};
