#pragma once
#include "compose/MailTemplate.h"
#include "compose/Merge.h"

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
        QString address;      // the trimmed value of the mail column
        bool valid = false;   // the address may be sent to
        QString invalidEntry; // "ID: Mail" for the list of invalid addresses
        QString subject;      // merged
        QStringList lines;    // merged body lines
        int sizeKb = 1;       // for the traffic chart
    };

    virtual ~MessageFactory() = default;
    // Empty when the table has what the messages need, else the message to show.
    virtual QString problem() const = 0;
    // The merged message of the record (values: one per field of the table).
    virtual Message build(qint64 id, const QVariantList& values) = 0;
    // Sets the message's values on the component, ready to be begun.
    virtual void apply(const Message& message, SmtpMail& mail) = 0;
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
