#include "shell/WindowPlacement.h"

#include <QSettings>

namespace Placement {

namespace {

std::optional<int> readInt(QSettings& settings, const QString& key) {
    if (!settings.contains(key))
        return std::nullopt;
    bool ok = false;
    const int v = settings.value(key).toInt(&ok);
    return ok ? std::optional<int>(v) : std::nullopt;
}

QString statusText(QSettings::Status status) {
    switch (status) {
    case QSettings::NoError:
        return {};
    case QSettings::AccessError:
        return QStringLiteral("Zugriff auf die gespeicherten Einstellungen verweigert.");
    case QSettings::FormatError:
        return QStringLiteral("Die gespeicherten Einstellungen sind beschädigt.");
    }
    return QStringLiteral("Unbekannter Fehler in den gespeicherten Einstellungen.");
}

} // namespace

QRect clampToArea(QRect rect, const QRect& area) {
    if (rect.left() < area.left())
        rect.moveLeft(area.left());
    if (rect.top() < area.top())
        rect.moveTop(area.top());
    if (rect.width() > area.width())
        rect.setWidth(area.width());
    if (rect.height() > area.height())
        rect.setHeight(area.height());
    if (rect.right() > area.right())
        rect.moveRight(area.right());
    if (rect.bottom() > area.bottom())
        rect.moveBottom(area.bottom());
    return rect;
}

WindowPlacement restore(const WindowPlacement& current, const StoredPlacement& stored,
                        const QRect& screen, const QRect& usableArea, int frameWidth) {
    WindowPlacement result = current;
    if (!stored.keyFound) {
        result.normal = QRect(0, 0, screen.width(), screen.height() - 27);
    } else {
        const int top = stored.top.value_or(0);
        const int left = stored.left.value_or(current.normal.left());
        const int right = stored.right.value_or(current.normal.left() + current.normal.width());
        const int bottom = stored.bottom.value_or(current.normal.top() + current.normal.height());
        result.normal = QRect(left, top, right - left, bottom - top);
        const int state = stored.formState.value_or(current.formState);
        if (state == WindowPlacement::Normal || state == WindowPlacement::Maximized)
            result.formState = state;
    }
    QRect area = usableArea;
    if (result.formState == WindowPlacement::Maximized)
        area.adjust(-frameWidth, -frameWidth, frameWidth, frameWidth);
    result.normal = clampToArea(result.normal, area);
    return result;
}

QString windowKey(const QString& programName, const QString& windowName) {
    return QStringLiteral("WindowPos/") + programName + QChar('/') + windowName;
}

QString resolutionKey(const QSize& screenSize) {
    return QStringLiteral("%1X%2").arg(screenSize.width()).arg(screenSize.height());
}

StoredPlacement read(QSettings& settings, const QString& programName, const QString& windowName,
                     const QSize& screenSize) {
    StoredPlacement stored;
    settings.sync();
    stored.error = statusText(settings.status());
    if (!stored.error.isEmpty())
        return stored;
    settings.beginGroup(windowKey(programName, windowName));
    stored.keyFound = !settings.allKeys().isEmpty();
    settings.beginGroup(resolutionKey(screenSize));
    stored.top = readInt(settings, QStringLiteral("Top"));
    stored.left = readInt(settings, QStringLiteral("Left"));
    stored.right = readInt(settings, QStringLiteral("Right"));
    stored.bottom = readInt(settings, QStringLiteral("Bottom"));
    stored.formState = readInt(settings, QStringLiteral("FormState"));
    settings.endGroup();
    settings.endGroup();
    return stored;
}

QString write(QSettings& settings, const QString& programName, const QString& windowName,
              const QSize& screenSize, const WindowPlacement& placement) {
    const QRect& r = placement.normal;
    settings.beginGroup(windowKey(programName, windowName) + QChar('/') +
                        resolutionKey(screenSize));
    settings.setValue(QStringLiteral("FormState"), placement.formState);
    settings.setValue(QStringLiteral("Top"), r.top());
    settings.setValue(QStringLiteral("Left"), r.left());
    settings.setValue(QStringLiteral("Right"), r.left() + r.width());
    settings.setValue(QStringLiteral("Bottom"), r.top() + r.height());
    settings.endGroup();
    settings.sync();
    return statusText(settings.status());
}

} // namespace Placement
