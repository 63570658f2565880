#pragma once
#include <QByteArray>
#include <QString>

// Outlook .msg files (OLE2 compound files holding MAPI properties) read without Outlook.
namespace OutlookMessageFile {

// Writes the Outlook message msgPath as an RFC 822 e-mail file emlPath: subject, sender,
// recipients, date, plain text, HTML text (from the HTML property, or taken out of the
// compressed RTF body when only that holds it), inline images with their Content-IDs and
// attachments with their names and types. False with a German message in *error when the
// file is no Outlook message, has no text at all, or emlPath cannot be written; emlPath
// is then left as it was.
bool convertToEml(const QString& msgPath, const QString& emlPath, QString* error);

// The HTML an RTF text carries when it was made from HTML (\fromhtml1), or an empty
// text for any other RTF.
QString htmlFromRtf(const QByteArray& rtf);

// The RTF text of a compressed RTF body (PR_RTF_COMPRESSED); empty when the data is not
// compressed RTF.
QByteArray decompressRtf(const QByteArray& compressed);

} // namespace OutlookMessageFile
