#include "compose/HtmlMailFile.h"

#include "common/TextFile.h"
#include "compose/OutlookMessageFile.h"
#include "send/MimeMessage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

namespace HtmlMailFile {

namespace {

// Our own reader of .msg files, unless a test installs another.
OutlookConverter& converter() {
    static OutlookConverter c = &OutlookMessageFile::convertToEml;
    return c;
}

} // namespace

QString previewFileName(int counter, bool html) {
    return QStringLiteral("innerpreview%1").arg(counter) +
           (html ? QStringLiteral(".html") : QStringLiteral(".txt"));
}

QString previewPartsFolder(int counter) {
    return QStringLiteral("images%1").arg(counter);
}

QString importResultName() {
    return QStringLiteral("out.eml");
}

QString outlookConversionName() {
    return QStringLiteral("temp/outlook_trans.eml");
}

QString newMessageFileName(const QString& folder, const QString& extension) {
    static const QString letters =
        QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    for (;;) {
        QString name;
        for (int i = 0; i < 10; ++i)
            name += letters[int(QRandomGenerator::system()->bounded(letters.size()))];
        const QString path = QDir(folder).filePath(name + extension);
        if (!QFileInfo::exists(path))
            return path;
    }
}

bool makePrivateCopy(const QString& source, const QString& systemTempFolder,
                     const QString& extension, QString* copy, QString* error) {
    QDir().mkpath(systemTempFolder);
    const QString target = newMessageFileName(systemTempFolder, extension);
    if (!QFile::copy(source, target)) {
        QFile in(source);
        const QString reason =
            in.open(QIODevice::ReadOnly)
                ? QStringLiteral(" kann nicht nach ") + target + QStringLiteral(" kopiert werden.")
                : QStringLiteral(" kann nicht gelesen werden: ") + in.errorString();
        if (error)
            *error = QStringLiteral("Die E-Mail-Datei ") + source + reason;
        return false;
    }
    // The copy is ours: it may be written even when the user's file was read-only.
    QFile(target).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    *copy = target;
    return true;
}

void installOutlookConverter(OutlookConverter c) {
    converter() = std::move(c);
}

bool isOutlookMessage(const QString& path) {
    return path.contains(QStringLiteral(".msg"));
}

bool convertOutlookMessage(const QString& msgFile, const QString& programFolder, QString* converted,
                           QString* error) {
    const QString target = QDir(programFolder).filePath(outlookConversionName());
    QFile::remove(target);
    if (!converter()) {
        if (error)
            *error = QStringLiteral("Outlook-Nachrichten (.msg) können mit diesem Programm "
                                    "nicht gelesen werden: ") +
                     msgFile;
        return false;
    }
    QDir().mkpath(QFileInfo(target).absolutePath());
    if (!converter()(msgFile, target, error))
        return false;
    *converted = target;
    return true;
}

bool writePreviewCopies(const MimeMessage& message, const QString& systemTempFolder,
                        QString* error) {
    const QDir dir(systemTempFolder);
    for (int counter : {1, 2}) {
        QFile::remove(dir.filePath(previewFileName(counter, true)));
        QFile::remove(dir.filePath(previewFileName(counter, false)));
    }
    for (int counter : {1, 2}) {
        if (message.hasHtmlPart()) {
            if (!message.unpackHtmlTo(systemTempFolder, previewFileName(counter, true),
                                      previewPartsFolder(counter), error))
                return false;
        } else if (!TextFile::writeText(dir.filePath(previewFileName(counter, false)),
                                        message.plainText(), error)) {
            return false;
        }
    }
    return true;
}

bool openMessageFile(const QString& messageFile, const QByteArray& charset,
                     const QString& systemTempFolder, Opened* opened, QString* error) {
    MimeMessage message;
    if (!message.loadMessageFile(messageFile, error))
        return false;
    message.setCharsetName(charset);
    if (!writePreviewCopies(message, systemTempFolder, error))
        return false;
    opened->subject = message.subjectText();
    opened->html = message.htmlText();
    opened->plain = message.plainText();
    opened->hasHtml = message.hasHtmlPart();
    return true;
}

QString shownSubject(const QString& messageSubject, const QString& importSubject, bool fromImport) {
    if (fromImport && importSubject.trimmed() != messageSubject.trimmed())
        return importSubject;
    return messageSubject;
}

} // namespace HtmlMailFile
