#pragma once
#include <QString>
#include <QStringList>

// Turning an HTML page into an e-mail file (the HTML import window).
namespace HtmlImport {

struct Options {
    QString pagePath;
    bool embedImages = true; // local images become related parts, referred to by cid:
    QString subject;
    QString attachment; // a file to attach; none when empty (trimmed)
    QString outPath;    // "out.eml" in the system temp folder
};

// Writes the page as an e-mail: the HTML (with the page's local images embedded when
// asked), the plain text made by removeTags, the subject and the attachment. Remote
// (http, https) images stay as they are. False with a German message naming the file
// when an image, the page or the attachment cannot be read; the old result is then
// kept.
bool importPage(const Options& options, QString* error);

// The plain text of a page: line breaks and tags dropped, runs of blanks and tabs before
// another blank, a tab, a line break or a tag dropped, then the five entities &quot;
// &apos; &gt; &lt; &amp; replaced in this order. One line.
QString removeTags(const QString& html);

// The local image files a page refers to (img src, background attributes, CSS url()),
// as written in the page, each once in order of appearance.
QStringList localImageReferences(const QString& html);

} // namespace HtmlImport
