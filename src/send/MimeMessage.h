#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <memory>

// One e-mail message, built in Unicode and written as MIME text with GMime.
//
// A message may also be loaded from an e-mail file (loadMessageFile): its subject,
// sender, recipients, plain and HTML text are taken over as Unicode, and its inline
// parts (images of the HTML, with their Content-IDs) and attachments are kept as they
// were. Building the message again after the texts or headers changed (one message per
// record) keeps those parts unchanged.
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

    MimeMessage();
    ~MimeMessage();
    MimeMessage(const MimeMessage&);
    MimeMessage& operator=(const MimeMessage&);

    // Reads an RFC 822 file (any structure, transfer encoding and declared charset).
    // False with a German message in *error when the file is no e-mail, is cut off,
    // declares a charset that is unknown, has neither a text nor an HTML part or is too
    // large; the message is then left as it was.
    bool loadMessageFile(const QString& path, QString* error);
    bool loadMessageBytes(const QByteArray& bytes, QString* error);
    // The largest HTML text a message may have, in bytes as it is stored in the file.
    static constexpr qsizetype kMaxHtmlBytes = 10 * 1024 * 1024;

    // Writes the HTML text into folder/htmlFile (UTF-8 with a byte-order mark, which a
    // browser takes over any charset the page declares) and each inline part into
    // folder/partsFolder, with every "cid:" reference to a written part rewritten to its
    // file, so a browser shows the page as the mail shows it. Old files of that name and
    // in the parts folder are removed first; a part that is there unchanged from the
    // last unpacking is not written again. False with a German message when there is no
    // HTML text or a file cannot be written.
    bool unpackHtmlTo(const QString& folder, const QString& htmlFile, const QString& partsFolder,
                      QString* error) const;
    // The inline parts and the attachments the loaded file brought along.
    struct PartInfo {
        QString contentType; // "image/png"
        QString contentId;   // without angle brackets; empty for attachments
        QString fileName;
        qsizetype size = 0; // decoded bytes
    };
    QList<PartInfo> inlineParts() const;
    QList<PartInfo> keptAttachments() const;

    void setSender(const QString& name, const QString& address);
    const Address& sender() const { return m_sender; }
    void setSenderName(const QString& name) {
        m_finished.clear();
        m_sender.name = name;
    }
    void setSenderAddress(const QString& address) {
        m_finished.clear();
        m_sender.address = address.trimmed();
    }
    const QString& senderName() const { return m_sender.name; }
    const QString& senderAddress() const { return m_sender.address; }
    void addToRecipient(const QString& name, const QString& address);
    void clearRecipientLists() {
        m_finished.clear();
        m_to.clear();
    }
    const QList<Address>& toRecipients() const { return m_to; }

    void setSubjectText(const QString& subject) {
        m_finished.clear();
        m_subject = subject;
    }
    const QString& subjectText() const { return m_subject; }
    // The charset the bodies are encoded in: "iso-8859-1", "windows-1252", "utf-7" or
    // "utf-8". A plain text with a character the charset lacks is sent as utf-8 instead,
    // and declared so.
    void setCharsetName(const QByteArray& charset) {
        m_finished.clear();
        m_charset = charset;
    }
    const QByteArray& charsetName() const { return m_charset; }
    void setPlainText(const QString& text) {
        m_finished.clear();
        m_plain = text;
    }
    void setHtmlText(const QString& html) {
        m_finished.clear();
        m_html = html;
    }
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
    void setSendDate(const QDateTime& date) {
        m_finished.clear();
        m_date = date;
    }
    const QDateTime& sendDate() const { return m_date; }
    QString headerValue(const QString& name) const; // an added header's value

    // The file is read when the message is written; a file that cannot be read then makes
    // the write fail with a German message.
    void attachFile(const QString& path) {
        m_finished.clear();
        m_attachments.append(path);
    }
    void clearAttachments() {
        m_finished.clear();
        m_attachments.clear();
    }
    const QStringList& attachments() const { return m_attachments; }

    // The whole message with CR LF line ends; false and a German message in *error when an
    // attachment cannot be read or an address is unusable.
    bool toBytes(QByteArray* out, QString* error) const;
    // Builds the message from the values now set and keeps its text: saveMessageFile and
    // finishedBytes give exactly that text. False with a German message as toBytes.
    bool finishMessage(QString* error);
    const QByteArray& finishedBytes() const { return m_finished; }
    // Writes the finished text (finishMessage), or the message built now when it was
    // not finished; the file is replaced whole or not at all.
    bool saveMessageFile(const QString& path, QString* error) const;

    // An address that can go into an envelope or a header as it stands: not empty, no
    // blanks, no control characters, no angle brackets, exactly one "@" part not empty.
    static bool isUsableAddress(const QString& address);
    // The header text with line breaks and control characters replaced by blanks.
    static QString headerSafe(const QString& text);

private:
    struct Kept;
    Address m_sender;
    QList<Address> m_to;
    QString m_subject;
    QByteArray m_charset = "iso-8859-1";
    QString m_plain;
    QString m_html;
    QList<QPair<QString, QString>> m_headers;
    QDateTime m_date;
    QStringList m_attachments;
    std::shared_ptr<const Kept> m_kept; // parts of a loaded file; shared, never changed
    QByteArray m_finished;
};
