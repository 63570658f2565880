#include "shell/WindowPlacement.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QRect screen1280(0, 0, 1280, 1024);
const QRect usable1280(0, 0, 1280, 994); // less a panel at the bottom

WindowPlacement designed() {
    WindowPlacement p;
    p.normal = QRect(100, 50, 1200, 1100);
    p.formState = WindowPlacement::Normal;
    return p;
}

} // namespace

TEST(WindowPlacement, WithoutStoredPlacementTakesFullWidthLess27PixelsHeight) {
    const WindowPlacement p =
        Placement::restore(designed(), StoredPlacement{}, screen1280, QRect(0, 0, 1280, 1024));
    EXPECT_EQ(p.normal, QRect(0, 0, 1280, 997));
    EXPECT_EQ(p.formState, WindowPlacement::Normal);
    // ...clamped into a smaller usable area.
    EXPECT_EQ(Placement::restore(designed(), StoredPlacement{}, screen1280, usable1280).normal,
              QRect(0, 0, 1280, 994));
}

TEST(WindowPlacement, PlacementOfAnotherResolutionIsNotUsed) {
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("store.ini")), QSettings::IniFormat);
    WindowPlacement old;
    old.normal = QRect(10, 20, 900, 700);
    ASSERT_TRUE(Placement::write(settings, QStringLiteral("quillon"), QStringLiteral("MainForm"),
                                 QSize(1024, 768), old)
                    .isEmpty());

    const StoredPlacement stored = Placement::read(settings, QStringLiteral("quillon"),
                                                   QStringLiteral("MainForm"), QSize(1280, 1024));
    EXPECT_TRUE(stored.keyFound);
    EXPECT_FALSE(stored.top || stored.left || stored.right || stored.bottom || stored.formState);

    // Top edge 0, designed left, right and bottom edges (100, 1300, 1150), then clamped:
    // moved left so the right edge fits, height cut to the usable area.
    const WindowPlacement p = Placement::restore(designed(), stored, screen1280, usable1280);
    EXPECT_EQ(p.normal, QRect(80, 0, 1200, 994));
    EXPECT_EQ(p.formState, WindowPlacement::Normal);
}

TEST(WindowPlacement, StoredValuesRoundTripUnderTheirKeys) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("store.ini"));
    {
        QSettings settings(file, QSettings::IniFormat);
        WindowPlacement p;
        p.normal = QRect(30, 40, 1000, 700);
        p.formState = WindowPlacement::Maximized;
        ASSERT_TRUE(Placement::write(settings, QStringLiteral("quillon"),
                                     QStringLiteral("MainForm"), QSize(1280, 1024), p)
                        .isEmpty());
    }
    QSettings raw(file, QSettings::IniFormat);
    const QString key = QStringLiteral("WindowPos/quillon/MainForm/1280X1024/");
    EXPECT_EQ(raw.value(key + QStringLiteral("Top")).toInt(), 40);
    EXPECT_EQ(raw.value(key + QStringLiteral("Left")).toInt(), 30);
    EXPECT_EQ(raw.value(key + QStringLiteral("Right")).toInt(), 1030);
    EXPECT_EQ(raw.value(key + QStringLiteral("Bottom")).toInt(), 740);
    EXPECT_EQ(raw.value(key + QStringLiteral("FormState")).toInt(), 2);

    const StoredPlacement stored = Placement::read(raw, QStringLiteral("quillon"),
                                                   QStringLiteral("MainForm"), QSize(1280, 1024));
    const WindowPlacement p = Placement::restore(designed(), stored, screen1280, usable1280, 4);
    EXPECT_EQ(p.normal, QRect(30, 40, 1000, 700));
    EXPECT_EQ(p.formState, WindowPlacement::Maximized);
    // Other windows and programs have nothing stored.
    EXPECT_FALSE(Placement::read(raw, QStringLiteral("quillon"), QStringLiteral("OtherForm"),
                                 QSize(1280, 1024))
                     .keyFound);
}

TEST(WindowPlacement, MinimisedStateIsNeverRestored) {
    StoredPlacement stored;
    stored.keyFound = true;
    stored.top = 10;
    stored.left = 10;
    stored.right = 1010;
    stored.bottom = 710;
    stored.formState = WindowPlacement::Minimized;
    const WindowPlacement p = Placement::restore(designed(), stored, screen1280, usable1280);
    EXPECT_EQ(p.formState, WindowPlacement::Normal);
    EXPECT_EQ(p.normal, QRect(10, 10, 1000, 700));

    // A window closed maximised keeps its normal rectangle for later.
    WindowPlacement maximised = designed();
    maximised.formState = WindowPlacement::Maximized;
    EXPECT_EQ(Placement::restore(maximised, stored, screen1280, usable1280).formState,
              WindowPlacement::Maximized);
}

TEST(WindowPlacement, ClampingKeepsTheWindowOnTheUsableArea) {
    const QRect area(0, 0, 1280, 994);
    EXPECT_EQ(Placement::clampToArea(QRect(-50, -20, 800, 600), area), QRect(0, 0, 800, 600));
    EXPECT_EQ(Placement::clampToArea(QRect(900, 700, 800, 600), area), QRect(480, 394, 800, 600));
    EXPECT_EQ(Placement::clampToArea(QRect(-10, 5, 2000, 1500), area), QRect(0, 0, 1280, 994));
    EXPECT_EQ(Placement::clampToArea(QRect(100, 100, 300, 200), area), QRect(100, 100, 300, 200));

    // A maximised window may reach its frame beyond each side.
    StoredPlacement stored;
    stored.keyFound = true;
    stored.top = -4;
    stored.left = -4;
    stored.right = 1284;
    stored.bottom = 998;
    stored.formState = WindowPlacement::Maximized;
    EXPECT_EQ(Placement::restore(designed(), stored, screen1280, area, 4).normal,
              QRect(-4, -4, 1288, 1002));
    stored.formState = WindowPlacement::Normal;
    EXPECT_EQ(Placement::restore(designed(), stored, screen1280, area, 4).normal,
              QRect(0, 0, 1280, 994));
}
