#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Headless by default, on a screen of the smallest size the windows must fit.
    QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "offscreen")
        platform = QByteArray("offscreen:configfile=") + QUILLON_TEST_SCREEN_CONFIG;
    qputenv("QT_QPA_PLATFORM", platform);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
