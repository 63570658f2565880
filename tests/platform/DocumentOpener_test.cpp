#include "platform/DocumentOpener.h"

#include "common/TextFile.h"
#include "support/ScriptedMessages.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

// Records every attempt and fails the first `failures` of them.
class RecordingOpener : public DocumentOpener {
public:
    explicit RecordingOpener(int failures = 0) : m_failures(failures) {}
    bool openUrl(const QUrl& url) override {
        calls << "open " + url.toString();
        return --m_failures < 0;
    }
    bool startBrowser(const QString& argument) override {
        calls << "browser " + argument;
        return --m_failures < 0;
    }
    QStringList calls;

private:
    int m_failures;
};

} // namespace

TEST(DocumentOpener, TriesOpenThenBrowserThenOpenAgain) {
    {
        RecordingOpener opener;
        EXPECT_TRUE(Documents::open("https://www.example.de/faq.html#exchange", opener));
        EXPECT_EQ(opener.calls, QStringList({"open https://www.example.de/faq.html#exchange"}));
    }
    {
        RecordingOpener opener(1);
        EXPECT_TRUE(Documents::open("/opt/Quillon/Help/gmx.html", opener));
        EXPECT_EQ(opener.calls, QStringList({"open file:///opt/Quillon/Help/gmx.html",
                                             "browser file:///opt/Quillon/Help/gmx.html"}));
    }
    {
        // The browser's argument is the address alone: no stray quote, no shell.
        RecordingOpener opener(3);
        EXPECT_FALSE(Documents::open("/tmp/Mein Ordner/a\"b;rm x.html", opener));
        ASSERT_EQ(opener.calls.size(), 3);
        EXPECT_EQ(opener.calls[1], "browser file:///tmp/Mein%20Ordner/a%22b;rm%20x.html");
        EXPECT_EQ(opener.calls[2],
                  "open " + QUrl("file:///tmp/Mein%20Ordner/a%22b;rm%20x.html").toString());
    }
    {
        RecordingOpener opener;
        EXPECT_TRUE(Documents::open("mailto:anna@example.de", opener));
        EXPECT_EQ(opener.calls, QStringList({"open mailto:anna@example.de"}));
    }
}

TEST(DocumentOpener, HelpPagesAreCheckedAndReported) {
    TempProgramFolder folder;
    RecordingOpener opener;
    {
        ScriptedMessages messages;
        messages.expectError(QString::fromUtf8("Die Hilfeseite ") +
                             QDir::toNativeSeparators(folder.file("gmx.html")) +
                             " wurde nicht gefunden!");
        EXPECT_FALSE(Documents::openHelpPage(folder.path(), "gmx.html", messages, opener));
        EXPECT_TRUE(opener.calls.isEmpty());
    }
    TextFile::writeLines(folder.file("gmx.html"), {"<html></html>"});
    ScriptedMessages none;
    EXPECT_TRUE(Documents::openHelpPage(folder.path(), "gmx.html", none, opener));
    EXPECT_EQ(opener.calls,
              QStringList({"open " + QUrl::fromLocalFile(folder.file("gmx.html")).toString()}));
    RecordingOpener broken(3);
    ScriptedMessages failing;
    failing.expectError(QString::fromUtf8("Die Hilfeseite ") +
                        QDir::toNativeSeparators(folder.file("gmx.html")) +
                        QString::fromUtf8(" konnte nicht geöffnet werden!"));
    EXPECT_FALSE(Documents::openHelpPage(folder.path(), "gmx.html", failing, broken));
}
