#pragma once
#include <QString>
#include <QUrl>

class Messages;

// Opening a file, a web page or a "mailto:" link with the desktop's programs. The
// engine decides what to open and in which order to try; the program installs an
// opener that talks to the desktop, tests install a recording one.
class DocumentOpener {
public:
    virtual ~DocumentOpener() = default;
    // The desktop's "open" action for the address; false when it failed.
    virtual bool openUrl(const QUrl& url) = 0;
    // Starts the default web browser with this one argument; false when it failed.
    virtual bool startBrowser(const QString& argument) = 0;

    static DocumentOpener& instance();
    static void install(DocumentOpener* opener); // not owned; nullptr restores the default
};

// Opens nothing and reports failure; the default until the program installs its own.
class NullDocumentOpener : public DocumentOpener {
public:
    bool openUrl(const QUrl&) override { return false; }
    bool startBrowser(const QString&) override { return false; }
};

namespace Documents {

// The address of a target: "http:", "https:", "mailto:" and "file:" targets as they
// stand, anything else as a local file path.
QUrl targetUrl(const QString& target);

// Opens the target: first the desktop's "open" action; when that fails, the default
// web browser with the target's address as its argument; when that fails too, the
// "open" action once more with that address. Returns whether one of them succeeded.
bool open(const QString& target, DocumentOpener& opener = DocumentOpener::instance());
bool open(const QUrl& url, DocumentOpener& opener = DocumentOpener::instance());

// Opens the target like open(); when nothing could open it, says so with
// noProgramMessage() and returns false.
bool openOrReport(const QUrl& url, Messages& messages,
                  DocumentOpener& opener = DocumentOpener::instance());
// "Es ist kein Programm zum Öffnen von … eingerichtet." for the address.
QString noProgramMessage(const QUrl& url);

// Opens helpFolder + page. A missing page, or one that nothing could open, gives a
// German error and false.
bool openHelpPage(const QString& helpFolder, const QString& page, Messages& messages,
                  DocumentOpener& opener = DocumentOpener::instance());

} // namespace Documents
