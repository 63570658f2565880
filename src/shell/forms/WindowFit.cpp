#include "shell/forms/WindowFit.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace {

// Until the window system has framed a window its frame is unknown; a usual title
// bar and border stand in for it then.
QMargins frameMargins(const QWidget* window) {
    if (window->windowFlags().testFlag(Qt::FramelessWindowHint))
        return {};
    if (const QWindow* handle = window->windowHandle()) {
        const QMargins m = handle->frameMargins();
        if (!m.isNull())
            return m;
    }
    const int title = std::max(window->style()->pixelMetric(QStyle::PM_TitleBarHeight), 28);
    constexpr int border = 4;
    return {border, title + border, border, border};
}

bool isFitted(const QWidget* w) {
    if (!w->isWindow())
        return false;
    const Qt::WindowType type = w->windowType();
    return (type == Qt::Window || type == Qt::Dialog) &&
           !(w->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized));
}

} // namespace

WindowFit* WindowFit::install(QApplication& app) {
    auto* filter = new WindowFit(&app);
    app.installEventFilter(filter);
    return filter;
}

void WindowFit::fit(QWidget* window) {
    if (!window || !isFitted(window))
        return;
    const QScreen* screen = window->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QMargins margins = frameMargins(window);
    const QSize frameExtra(margins.left() + margins.right(), margins.top() + margins.bottom());
    const QSize largest = area.size() - frameExtra;

    QSize size = window->size();
    if (qobject_cast<QDialog*>(window) && !window->windowTitle().isEmpty()) {
        // The title with room for the window system's icon and buttons beside it, each
        // about as wide as the title bar is high.
        const int titleBar = std::max(margins.top() - margins.bottom(), 24);
        const int titleWidth =
            window->fontMetrics().horizontalAdvance(window->windowTitle()) * 5 / 4 + 4 * titleBar;
        size.setWidth(std::max(size.width(), titleWidth));
    }
    size =
        size.boundedTo(largest).expandedTo(window->minimumSize()).boundedTo(window->maximumSize());
    if (size != window->size())
        window->resize(size);

    // Where the frame lies: from the window system once it has framed the window, else
    // around the window's own rectangle.
    const bool framed = window->frameGeometry() != window->geometry();
    const QPoint frameTopLeft =
        framed ? window->frameGeometry().topLeft()
               : window->geometry().topLeft() - QPoint(margins.left(), margins.top());
    const QRect frame(frameTopLeft, size + frameExtra);
    QPoint at = frame.topLeft();
    at.setX(std::max(area.left(), std::min(at.x(), area.right() + 1 - frame.width())));
    at.setY(std::max(area.top(), std::min(at.y(), area.bottom() + 1 - frame.height())));
    if (at != frame.topLeft())
        window->move(at); // a window's position is that of its frame
}

bool WindowFit::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched->isWidgetType())
        fit(static_cast<QWidget*>(watched));
    return QObject::eventFilter(watched, event);
}
