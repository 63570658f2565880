#include "platform/DesktopHandlers.h"

#include "support/TempProgramFolder.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

// PATH and BROWSER as a test sets them, restored afterwards.
class Environment {
public:
    Environment() : m_path(qgetenv("PATH")), m_browser(qgetenv("BROWSER")) {}
    ~Environment() {
        qputenv("PATH", m_path);
        if (m_browser.isEmpty())
            qunsetenv("BROWSER");
        else
            qputenv("BROWSER", m_browser);
    }

private:
    QByteArray m_path, m_browser;
};

void writeScript(const QString& path, const QByteArray& body) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n" + body);
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
TEST(DesktopHandlers, AsksTheRegistryAndFindsOnlyRealBrowsers) {
    Environment environment;
    TempProgramFolder bin;
    qputenv("PATH", bin.path().toLocal8Bit());
    qunsetenv("BROWSER");

    // No registry to ask: unknown; no browser at all.
    EXPECT_FALSE(DesktopHandlers::hasHandler(QUrl("mailto:a@example.de")).has_value());
    EXPECT_TRUE(DesktopHandlers::browserProgram().isEmpty());

    // A registry that knows a browser but no mail program.
    writeScript(bin.file("xdg-mime"),
                "[ \"$3\" = x-scheme-handler/https ] && echo firefox.desktop\n"
                "exit 0\n");
    EXPECT_EQ(DesktopHandlers::hasHandler(QUrl("mailto:a@example.de")), false);
    EXPECT_EQ(DesktopHandlers::hasHandler(QUrl("https://www.example.de/")), true);

    // A wrapper that starts even when it finds nothing is not a browser.
    writeScript(bin.file("sensible-browser"), "exit 1\n");
    EXPECT_TRUE(DesktopHandlers::browserProgram().isEmpty());
    writeScript(bin.file("x-www-browser"), "exit 0\n");
    EXPECT_EQ(DesktopHandlers::browserProgram(), bin.file("x-www-browser"));
    writeScript(bin.file("mein-browser"), "exit 0\n");
    qputenv("BROWSER", "fehlt:mein-browser");
    EXPECT_EQ(DesktopHandlers::browserProgram(), bin.file("mein-browser"));
}
#endif
