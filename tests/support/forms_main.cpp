#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Headless by default, on a screen of the smallest size the windows must fit.
    QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "offscreen")
        platform = QByteArray("offscreen:configfile=") + QUILLON_TEST_SCREEN_CONFIG;
    qputenv("QT_QPA_PLATFORM", platform);
    // The browser engine's sandbox needs a user namespace, which a test machine (and
    // root) may not grant.
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The browser views share their graphics context with the windows.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
