#pragma once
#include "compose/MailTemplate.h"
#include "web/UnsubscribeLink.h"

#include <QString>
#include <QStringList>
#include <QVariantList>

class AddressTable;

// The preview of a text mail merged with one record. The template is kept as
// "temp.mail" and the merged message as "Preview.mail" in the system temp folder; the
// preview shows what "Preview.mail" holds, read by the template reader, so it shows
// exactly what a template file of the merged message would hold.
namespace TextPreview {

struct Result {
    QString subject;
    QStringList lines;
};

// Deletes both files, writes the template to "temp.mail", merges it with one record of
// the table (its values, one per field; the salutation formula of the program folder
// applied to the Anrede) and writes the merged subject and body to "Preview.mail",
// which is then read back. False with a German message in *error when a file cannot be
// written or read, or the table lacks a column the merge needs. With the database's
// unsubscribe link $ABMELDELINK becomes the record's link, as in the run.
bool build(const MailTemplate& mail, const AddressTable& table, const QVariantList& record,
           const QString& programFolder, const QString& systemTempFolder, Result* result,
           QString* error, const std::optional<UnsubscribeLink>& unsubscribe = std::nullopt);

} // namespace TextPreview
