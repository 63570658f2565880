#include "database/WebSettings.h"

#include "common/TextFile.h"
#include "database/Catalogue.h"
#include "database/DatabaseTestSupport.h"
#include "shell/AppState.h"
#include "support/ScriptedMessages.h"
#include "support/TempProgramFolder.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

class WebSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { layOutStandardDatabase(state, folder.path()); }
    void TearDown() override { CloseDatabase(state.session); }

    QString data() const { return state.folders.dataFolder; }
    void writeWeb(const QString& name, const QStringList& keyLines) {
        ASSERT_TRUE(TextFile::writeLines(data() + name, QStringList{"[SETTINGS]"} + keyLines));
    }

    TempProgramFolder folder;
    AppState state;
};

} // namespace

TEST_F(WebSettingsTest, PathFollowsTheDefinitionName) {
    EXPECT_EQ(WebSettings::pathFor(data(), "Database.ini"), data() + "Database.web");
    EXPECT_EQ(WebSettings::pathFor(data(), "kunden.v2.ini"), data() + "kunden.web");
    writeWeb("KUNDEN.WEB", {"Title=K"});
    EXPECT_EQ(WebSettings::pathFor(data(), "kunden.ini"), data() + "KUNDEN.WEB");
    EXPECT_EQ(WebSettings(data(), "kunden.ini").title(), "K");
    EXPECT_TRUE(WebSettings::pathFor(data(), "../x.ini").isEmpty());
    EXPECT_TRUE(WebSettings::pathFor(data(), "").isEmpty());
    EXPECT_FALSE(WebSettings(data(), "../x.ini").setTitle("x"));
}

TEST_F(WebSettingsTest, DefaultsWithAndWithoutFile) {
    const WebSettings none(data(), "Database.ini");
    EXPECT_FALSE(none.exists());
    EXPECT_EQ(none.title(), "Newsletter");
    EXPECT_EQ(none.fontColor(), 0x000000u);
    EXPECT_EQ(none.backgroundColor(), 0xFFFFFFu);
    EXPECT_EQ(none.borderColor(), 0x004080u);
    EXPECT_EQ(none.font(), 4);
    EXPECT_EQ(none.fontSize(), 2);
    EXPECT_FALSE(none.captcha());
    EXPECT_TRUE(none.doubleOptIn());
    EXPECT_FALSE(none.invalidOnCancel());
    EXPECT_FALSE(none.statsActive());
    EXPECT_TRUE(none.onlinePath().isEmpty());
    const TrackingState t = none.tracking();
    EXPECT_TRUE(t.statsAddress.isEmpty() && t.password.isEmpty() && !t.onByDefault);

    writeWeb("Database.web", {"OnlinePath=http://example.de/nl/"});
    const WebSettings some(data(), "Database.ini");
    EXPECT_TRUE(some.title().isEmpty()); // a file without the key: empty title
    EXPECT_TRUE(some.doubleOptIn());
    EXPECT_EQ(some.borderColor(), 0x004080u);
    EXPECT_EQ(some.onlinePath(), "http://example.de/nl/");
}

TEST_F(WebSettingsTest, RoundTripKeepsEachStoredForm) {
    WebSettings web(data(), "Database.ini");
    ASSERT_TRUE(web.setOnlinePath("http://example.de/nl/"));
    ASSERT_TRUE(web.setOnlinePassword("geheim42"));
    ASSERT_TRUE(web.setTitle(QString::fromUtf8("Unser Rundbrief für Sie")));
    ASSERT_TRUE(web.setFontColor(0x0a0b0c));
    ASSERT_TRUE(web.setBackgroundColor(0xFFEEDD));
    ASSERT_TRUE(web.setBorderColor(0x123456));
    ASSERT_TRUE(web.setFont(1));
    ASSERT_TRUE(web.setFontSize(12));
    ASSERT_TRUE(web.setCaptcha(true));
    ASSERT_TRUE(web.setDoubleOptIn(false));
    ASSERT_TRUE(web.setInvalidOnCancel(true));
    ASSERT_TRUE(web.setStatsUrl("http://example.de/stats/"));
    ASSERT_TRUE(web.setStatsPassword("abc123"));
    ASSERT_TRUE(web.setStatsActive(true));

    const QStringList lines = TextFile::readLines(data() + "Database.web");
    for (const char* expected :
         {"[SETTINGS]", "FontColor=#0A0B0C", "BKGColor=#FFEEDD", "BorderColor=#123456", "Font=1",
          "FontSize=12", "Captcha=On", "DoubleOptIn=False", "Invalid=True", "StatsActive=1",
          "StatsURL=http://example.de/stats/", "OnlinePassword=geheim42"})
        EXPECT_TRUE(lines.contains(QString::fromLatin1(expected))) << expected;
    // The file holds passwords: its owner alone may read it.
    EXPECT_FALSE(QFile::permissions(data() + "Database.web") &
                 (QFile::ReadOther | QFile::ReadGroup));

    const WebSettings back(data(), "Database.ini");
    EXPECT_EQ(back.title(), QString::fromUtf8("Unser Rundbrief für Sie"));
    EXPECT_EQ(back.fontColor(), 0x0A0B0Cu);
    EXPECT_EQ(back.backgroundColor(), 0xFFEEDDu);
    EXPECT_EQ(back.font(), 1);
    EXPECT_EQ(back.fontSize(), 12);
    EXPECT_TRUE(back.captcha());
    EXPECT_FALSE(back.doubleOptIn());
    EXPECT_TRUE(back.invalidOnCancel());
    const TrackingState t = back.tracking();
    EXPECT_EQ(t.statsAddress, "http://example.de/stats/");
    EXPECT_EQ(t.password, "abc123");
    EXPECT_TRUE(t.onByDefault);

    ASSERT_TRUE(web.setCaptcha(false));
    ASSERT_TRUE(web.setStatsActive(false));
    EXPECT_TRUE(TextFile::readLines(data() + "Database.web").contains("Captcha=Off"));
    EXPECT_TRUE(TextFile::readLines(data() + "Database.web").contains("StatsActive=0"));
    EXPECT_FALSE(WebSettings(data(), "Database.ini").statsActive());
}

TEST_F(WebSettingsTest, BooleanStylesAndColoursAreReadStrictly) {
    writeWeb("Database.web",
             {"Captcha=on", "DoubleOptIn=true", "Invalid=TRUE", "StatsActive=2", "FontColor=FF8000",
              "BKGColor=#GG0000", "BorderColor=#12345", "Font=9", "FontSize=x"});
    const WebSettings web(data(), "Database.ini");
    EXPECT_FALSE(web.captcha());
    EXPECT_FALSE(web.doubleOptIn());
    EXPECT_FALSE(web.invalidOnCancel());
    EXPECT_TRUE(web.statsActive());
    EXPECT_EQ(web.fontColor(), 0xFF8000u); // "#" is optional
    EXPECT_EQ(web.backgroundColor(), std::nullopt);
    EXPECT_EQ(web.borderColor(), std::nullopt);
    EXPECT_EQ(web.font(), 4); // out of range: the default
    EXPECT_EQ(web.fontSize(), 2);

    writeWeb("Database.web", {"Captcha=On", "DoubleOptIn=True", "StatsActive=abc"});
    EXPECT_TRUE(WebSettings(data(), "Database.ini").captcha());
    EXPECT_TRUE(WebSettings(data(), "Database.ini").doubleOptIn());
    EXPECT_FALSE(WebSettings(data(), "Database.ini").statsActive());
    EXPECT_EQ(WebSettings::colourText(0x004080), "#004080");
    EXPECT_EQ(WebSettings::parseColour(" #ffffff "), 0xFFFFFFu);
}

TEST_F(WebSettingsTest, OpeningADatabaseLoadsItsTrackingStateAndMenuFlags) {
    ScriptedMessages messages;
    messages.expectInformation("Datenbank wurde erzeugt!");
    ASSERT_TRUE(CreateDatabase(state.session, "Kunden", {"Ort"}, messages));
    writeWeb("Database.web",
             {"StatsURL=http://example.de/stats/", "StatsPassword=pw", "StatsActive=1"});

    ASSERT_TRUE(OpenDatabase(state.session, "Database.ini", messages));
    EXPECT_EQ(state.session.tracking().statsAddress, "http://example.de/stats/");
    EXPECT_EQ(state.session.tracking().password, "pw");
    EXPECT_TRUE(state.session.tracking().onByDefault);
    EXPECT_TRUE(state.session.webLinksEnabled());
    EXPECT_FALSE(state.session.webFetchEnabled());

    // The second database has no web settings file: empty and off.
    ASSERT_TRUE(OpenDatabase(state.session, "kunden.ini", messages));
    EXPECT_TRUE(state.session.tracking().statsAddress.isEmpty());
    EXPECT_TRUE(state.session.tracking().password.isEmpty());
    EXPECT_FALSE(state.session.tracking().onByDefault);
    EXPECT_FALSE(state.session.webLinksEnabled());
    EXPECT_FALSE(state.session.webFetchEnabled());

    writeWeb("kunden.web", {"OnlinePath=http://example.de/nl/"});
    ASSERT_TRUE(OpenDatabase(state.session, "kunden.ini", messages));
    EXPECT_TRUE(state.session.webLinksEnabled());
    EXPECT_TRUE(state.session.webFetchEnabled());
    EXPECT_FALSE(state.session.tracking().onByDefault);
}
