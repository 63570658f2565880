#pragma once
#include "compose/MailTemplate.h"
#include "web/UnsubscribeLink.h"

#include <QString>
#include <QVariantList>

class AddressTable;

// The preview of an HTML mail merged with one record: the record's message is built as
// the run builds it (and written as "Sending.eml"), read back in the account's charset
// and unpacked into both preview copies of the system temp folder.
namespace HtmlPreview {

struct Input {
    MailTemplate mail; // HTML mode: message file, subject, unmerged bodies
    QString senderEntry;
    int priority = 3;
    bool tracking = false;
    QString statsAddress;
    QString nid;                                // of the last run, or empty
    std::optional<UnsubscribeLink> unsubscribe; // the database's, for $ABMELDELINK
};

// False with a German message when the message cannot be built or written.
bool build(const Input& input, const AddressTable& table, qint64 id, const QVariantList& record,
           const QString& programFolder, const QString& definitionName,
           const QString& systemTempFolder, bool* hasHtml, QString* error);

} // namespace HtmlPreview
