#pragma once
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>

class QSettings;

// Placement of a window: its rectangle in the normal (not maximised) state and its
// state, 0 normal, 1 minimised, 2 maximised.
struct WindowPlacement {
    enum State { Normal = 0, Minimized = 1, Maximized = 2 };
    QRect normal;
    int formState = Normal;
};

// What the settings store holds for one window at the current screen resolution.
// `keyFound` tells whether the window has any stored placement at all (at whatever
// resolution); the values are those of the current resolution only.
struct StoredPlacement {
    bool keyFound = false;
    std::optional<int> top, left, right, bottom, formState;
    QString error; // set when the store could not be read
};

namespace Placement {

// The placement a window takes at start. Without any stored placement: the full screen
// width and the screen height less 27 pixels at 0, 0. Otherwise Top defaults to 0 and
// Left, Right, Bottom and the state to the current ones; a minimised state is never
// restored. Right and Bottom are exclusive edges (left + width, top + height).
// The result is clamped into the usable area; a maximised window may reach frameWidth
// beyond each side.
WindowPlacement restore(const WindowPlacement& current, const StoredPlacement& stored,
                        const QRect& screen, const QRect& usableArea, int frameWidth = 0);

// Moves and shrinks the rectangle into the area: left and top are raised to its
// bounds, width and height cut to its size, and the rectangle moved left or up when
// its right or bottom edge would lie outside.
QRect clampToArea(QRect rect, const QRect& area);

// "WindowPos/<program>/<window>" and the per-resolution subkey "<W>X<H>".
QString windowKey(const QString& programName, const QString& windowName);
QString resolutionKey(const QSize& screenSize);

StoredPlacement read(QSettings& settings, const QString& programName, const QString& windowName,
                     const QSize& screenSize);
// Returns an error text, empty on success.
QString write(QSettings& settings, const QString& programName, const QString& windowName,
              const QSize& screenSize, const WindowPlacement& placement);

} // namespace Placement
