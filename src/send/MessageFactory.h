#pragma once
#include "compose/MailTemplate.h"
#include "compose/Merge.h"
#include "send/MimeMessage.h"
#include "web/UnsubscribeLink.h"

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <memory>
#include <optional>

class AddressTable;
class SalutationFormula;
class SmtpMail;

// Builds the personal message of one record for a send run and puts it on the SMTP
// component. One kind per mail mode.
class MessageFactory {
public:
    struct Message {
        qint64 id = 0;
        QString address;         // the trimmed value of the mail column
        bool valid = false;      // the address may be sent to
        QString invalidEntry;    // "ID: Mail" for the list of invalid addresses
        QString subject;         // merged
        QStringList lines;       // merged body lines
        int sizeKb = 1;          // for the traffic chart
        QByteArray content;      // HTML mails: the finished message, sent as it is
        QString error;           // why the message could not be built; it is not sent then
        QString listUnsubscribe; // the link of the List-Unsubscribe headers; empty: none
    };

    virtual ~MessageFactory() = default;
    // Empty when the table has what the messages need, else the message to show.
    virtual QString problem() const = 0;
    // The merged message of the record (values: one per field of the table).
    virtual Message build(qint64 id, const QVariantList& values) = 0;
    // Sets the message's values on the component, ready to be begun.
    virtual void apply(const Message& message, SmtpMail& mail) = 0;

    // One-click unsubscribe through the database's web kit: each recipient's link is
    // the value of $ABMELDELINK and, while the database's switch is on, the target of
    // the List-Unsubscribe headers. Without it $ABMELDELINK is empty.
    void setUnsubscribeLink(std::optional<UnsubscribeLink> link) {
        m_unsubscribe = std::move(link);
    }

    // The List-Unsubscribe and List-Unsubscribe-Post headers for a link; none for an
    // empty one.
    static QList<QPair<QString, QString>> unsubscribeHeaders(const QString& url);

protected:
    // The record's link into its merge values and the message.
    void addUnsubscribeLink(Message& m, MergeRecord& record) const;

    std::optional<UnsubscribeLink> m_unsubscribe;
};

// Text mails: the template as the run wrote it ("temp.mail"), read again whenever the
// file changes, merged with the record's values; a record already marked invalid is not
// sent.
class TextMessageFactory : public MessageFactory {
public:
    struct Sender {
        QString address;
        QString name;
        int priority = 3;
    };
    TextMessageFactory(const AddressTable& table, const MailTemplate& mail,
                       const QString& runTemplatePath, const QString& programFolder,
                       const Sender& sender);
    ~TextMessageFactory() override;

    QString problem() const override;
    Message build(qint64 id, const QVariantList& values) override;
    void apply(const Message& message, SmtpMail& mail) override;

private:
    const TextMailMerge& currentMerge();

    const AddressTable& m_table;
    MailTemplate m_mail;
    QString m_runTemplate;
    Sender m_sender;
    MergeColumns m_columns;
    std::unique_ptr<SalutationFormula> m_formula;
    std::unique_ptr<MergeRecordReader> m_reader;
    int m_mailColumn = -1;
    int m_invalidColumn = -1;
    int m_idColumn = -1;
    std::optional<TextMailMerge> m_merge;
    QStringList m_mergeLines;
    class TemplateWatch;
    std::unique_ptr<TemplateWatch> m_watch;
};

// HTML mails: the opened e-mail file, loaded once, is the message of every record.
// Its HTML text, plain text and subject are merged with the record's values, the links
// of the HTML text lead through the statistics script while tracking is on, and the
// whole message is built in the account's charset with the file's inline images and
// attachments as they came, written as "Sending.eml" and handed to the component as
// finished content. The column Invalid is not consulted.
class HtmlMessageFactory : public MessageFactory {
public:
    struct Settings {
        QString senderAddress;
        QString senderName;
        int priority = 3;       // 1 "Hoch", 3 "Normal", 5 "Niedrig"
        int clientIdentity = 0; // 0..5: the mailer identity of the account
        int codeSet = 0;        // 0 iso-8859-1, 1 windows-1252, 2 utf-7, 3 utf-8
        bool tracking = false;
        QString statsAddress; // the folder of "stats.php", ending with "/"
        QString nid;          // the newsletter id of the run
        QString workFolder;   // for "Sending.eml", "Body.txt" and "images"; ends with "/"
    };
    HtmlMessageFactory(const AddressTable& table, const MailTemplate& mail,
                       const QString& programFolder, const Settings& settings);
    ~HtmlMessageFactory() override;

    // Reads the message file; false with a German message when it cannot be read.
    bool load(QString* error);
    // The account's values as read at the start of the loop.
    void setAccount(int codeSet, int clientIdentity);

    QString problem() const override;
    Message build(qint64 id, const QVariantList& values) override;
    void apply(const Message& message, SmtpMail& mail) override;
    // The same message for the preview: built also when the address is unusable (it is
    // then left out).
    Message buildForPreview(qint64 id, const QVariantList& values);

    // Every href="htt and href='htt (any case) leads through the statistics script:
    // href=" + statsAddress + "stats.php?nid=" + nid + "&url=htt", the rest of the
    // target unchanged. Other links stay as they are.
    static QString trackedLinks(const QString& html, const QString& statsAddress,
                                const QString& nid);
    // The newsletter id of a run started at that time: "yyyyMMddhhmm".
    static QString newsletterId(const QDateTime& start);
    static QString sendingFileName(); // "Sending.eml"

private:
    Message compose(qint64 id, const QVariantList& values, bool preview);

    const AddressTable& m_table;
    MailTemplate m_mail;
    Settings m_settings;
    MergeColumns m_columns;
    std::unique_ptr<SalutationFormula> m_formula;
    std::unique_ptr<MergeRecordReader> m_reader;
    std::optional<HtmlMailMerge> m_merge;
    MimeMessage m_message;
    int m_mailColumn = -1;
    int m_idColumn = -1;
};
