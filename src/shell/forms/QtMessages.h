#pragma once
#include "common/Messages.h"

class QWidget;

// The program's message boxes: QMessageBox with the title "Quillon"; "\r" in a text
// becomes a line break.
class QtMessages : public Messages {
public:
    void information(const QString& text) override;
    void error(const QString& text) override;
    bool question(const QString& text) override;
    bool destructiveQuestion(const QString& text) override;
    Answer questionYesNoAbort(const QString& text) override;

    // The text as the box shows it.
    static QString displayText(const QString& text);
    // The window a box belongs to: the open modal dialog, else the active window.
    static QWidget* parentWidget();
};
