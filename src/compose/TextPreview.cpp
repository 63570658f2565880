#include "compose/TextPreview.h"

#include "common/FileNames.h"
#include "common/TextFile.h"
#include "compose/Merge.h"
#include "compose/SalutationFormula.h"
#include "database/AddressTable.h"
#include "database/DatabaseDefinition.h"
#include "database/SqlFunctions.h"

#include <QDir>
#include <QFile>

namespace TextPreview {

bool build(const MailTemplate& mail, const AddressTable& table, const QVariantList& record,
           const QString& programFolder, const QString& systemTempFolder, Result* result,
           QString* error, const std::optional<UnsubscribeLink>& unsubscribe) {
    const QString tempPath = QDir(systemTempFolder).filePath(FileNames::runTemplate());
    const QString previewPath = QDir(systemTempFolder).filePath(FileNames::previewTemplate());
    // A file that cannot be deleted is simply written over below.
    QFile::remove(tempPath);
    QFile::remove(previewPath);
    if (!writeMailTemplate(tempPath, mail, error))
        return false;

    const MergeColumns columns = MergeColumns::forTable(table);
    const QString missing = columns.missingRequiredMessage();
    if (!missing.isEmpty()) {
        if (error)
            *error = missing;
        return false;
    }
    SalutationFormula formula(QDir(programFolder).filePath(SalutationFormula::fileName()));
    MergeRecordReader reader(columns, &formula);
    const TextMailMerge merge(mail.subject, mail.bodyLines, columns);
    auto text = [&](int column) {
        return SqlFunctions::displayText(record.value(column), table.fieldType(column));
    };
    MergeRecord values = reader.read(text);
    if (unsubscribe)
        values.set(Merge::AbmeldeLink, unsubscribe->url(text(FindMailColumn(&table)).trimmed()));
    const TextMailMerge::Result merged = merge.merge(values);

    MailTemplate previewMail = mail;
    previewMail.subject = merged.subject;
    previewMail.bodyLines = merged.lines;
    if (!writeMailTemplate(previewPath, previewMail, error))
        return false;

    QStringList lines;
    if (!TextFile::readLines(previewPath, &lines, error))
        return false;
    MailTemplate shown;
    MailTemplateFile::fromLines(lines, shown);
    result->subject = shown.subject;
    result->lines = shown.bodyLines;
    return true;
}

} // namespace TextPreview
