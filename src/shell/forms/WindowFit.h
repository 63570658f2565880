#pragma once
#include <QObject>

class QApplication;
class QWidget;

// Keeps the program's windows fully on the screen they open on. When a window is
// shown it is shrunk to the screen's usable area where it is larger (never below its
// minimum size) and moved so that its frame, title bar included, lies inside; a dialog
// is made wide enough to show its whole title.
class WindowFit : public QObject {
public:
    // Installs the fitting for every window the application shows. The application
    // owns the returned filter; deleting it ends the fitting.
    static WindowFit* install(QApplication& app);

    // Fits one top-level window now.
    static void fit(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};
