#pragma once
#include <QByteArray>
#include <QString>
#include <functional>

class MimeMessage;

// An HTML serial e-mail is a finished e-mail file. Opening one makes a private copy of
// it (the user's file is never changed), reads its subject and bodies, and writes two
// copies of its browser preview into the system temp folder, so the view always gets a
// file name other than the one it shows.
namespace HtmlMailFile {

// "innerpreview1.html" / "images1", "innerpreview2.html" / "images2", or ".txt" for a
// message without HTML part.
QString previewFileName(int counter, bool html);
QString previewPartsFolder(int counter);
QString importResultName();      // "out.eml" (SystemTempFolder), made by the HTML import
QString outlookConversionName(); // "temp/outlook_trans.eml" (ProgramFolder)

// The counter of a window that shows previews: 1, 2, 1, 2 ...
class PreviewCounter {
public:
    int next() {
        ++m_counter;
        if (m_counter > 2)
            m_counter = 1;
        return m_counter;
    }

private:
    int m_counter = 0;
};

// A new file name in folder: ten random letters and digits and the extension (".eml",
// ".html" or ".msg"); never the name of an existing file.
QString newMessageFileName(const QString& folder, const QString& extension);

// Copies the chosen file to a new private message file in the system temp folder.
// False with a German message when it cannot be read or written.
bool makePrivateCopy(const QString& source, const QString& systemTempFolder,
                     const QString& extension, QString* copy, QString* error);

// Turns an Outlook message (.msg) into an RFC 822 file. Empty until a reader is
// installed; opening a .msg file then says that it cannot be read.
using OutlookConverter =
    std::function<bool(const QString& msgFile, const QString& emlFile, QString* error)>;
void installOutlookConverter(OutlookConverter converter);
// Converts into the conversion file of the program folder (an old one is deleted
// first); its path in *converted.
bool convertOutlookMessage(const QString& msgFile, const QString& programFolder, QString* converted,
                           QString* error);
// Whether a chosen file name is an Outlook message (it contains ".msg").
bool isOutlookMessage(const QString& path);

// What the window shows and keeps of an opened message file.
struct Opened {
    QString subject;
    QString html; // unmerged bodies
    QString plain;
    bool hasHtml = false;
};

// Loads the message file and writes both preview copies (old ones deleted first);
// charset is the account's charset, set on the message before it is unpacked. False
// with a German message when the file cannot be read or a copy cannot be written.
bool openMessageFile(const QString& messageFile, const QByteArray& charset,
                     const QString& systemTempFolder, Opened* opened, QString* error);
// Writes both preview copies of a loaded message.
bool writePreviewCopies(const MimeMessage& message, const QString& systemTempFolder,
                        QString* error);

// The import subject rule: the import window's subject when the file is the import's
// result and the two differ (trimmed); the message's otherwise.
QString shownSubject(const QString& messageSubject, const QString& importSubject, bool fromImport);

} // namespace HtmlMailFile
