#pragma once
#include "platform/DocumentOpener.h"

// The program's document opener: the desktop's "open" action through
// QDesktopServices, and the default web browser started as a separate program.
class DesktopDocumentOpener : public DocumentOpener {
public:
    bool openUrl(const QUrl& url) override;
    bool startBrowser(const QString& argument) override;
};
