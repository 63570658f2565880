#include "common/IniFile.h"
#include "send/SendLimits.h"
#include "send/SendRunTestSupport.h"
#include "support/TempProgramFolder.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace {

constexpr qint64 kMinute = 60000;

TEST(SendLimits, WindowsSlideAndTheCountSurvivesARestart) {
    TempProgramFolder folder;
    const QString state = folder.file(SendLimits::stateFileName());
    SendLimitSettings s;
    s.perMinute = 2;
    s.perDay = 3;
    const qint64 t0 = QDateTime::currentMSecsSinceEpoch();
    {
        SendLimits limits(s, state, "smtp.example.org:25/info");
        QString error;
        ASSERT_TRUE(limits.open(&error)) << error.toStdString();
        EXPECT_EQ(limits.check(t0).window, SendLimits::Window::None);
        ASSERT_TRUE(limits.record(t0, &error));
        ASSERT_TRUE(limits.record(t0 + 1000, &error));
        // The third waits until the first has left the minute.
        const SendLimits::Wait wait = limits.check(t0 + 2000);
        EXPECT_EQ(wait.window, SendLimits::Window::Minute);
        EXPECT_EQ(wait.untilMs, t0 + kMinute);
        EXPECT_EQ(wait.ms, kMinute - 2000);
        EXPECT_EQ(limits.check(t0 + kMinute).window, SendLimits::Window::None);
        ASSERT_TRUE(limits.record(t0 + kMinute, &error));
    }
    // Another program start, and another account that shares nothing.
    SendLimits again(s, state, "smtp.example.org:25/info");
    SendLimits other(s, state, "mail.example.com:587/info");
    QString error;
    ASSERT_TRUE(again.open(&error) && other.open(&error)) << error.toStdString();
    const SendLimits::Wait day = again.check(t0 + 5 * kMinute);
    EXPECT_EQ(day.window, SendLimits::Window::Day);
    EXPECT_EQ(day.untilMs, t0 + 24 * 60 * kMinute);
    EXPECT_EQ(other.check(t0 + 5 * kMinute).window, SendLimits::Window::None);

    SendLimits::Wait shown;
    shown.window = SendLimits::Window::Day;
    shown.untilMs = QDateTime(QDate(2026, 12, 10), QTime(7, 59, 30)).toMSecsSinceEpoch();
    EXPECT_EQ(SendLimits::waitText(shown), "Tageslimit erreicht: weiter am 10.12. um 08:00");
}

TEST(SendLimits, SettingsRefuseZeroNegativeAndText) {
    TempProgramFolder folder;
    const QString ini = folder.file("Quillon.ini");
    SendLimitSettings s;
    QString error;
    ASSERT_TRUE(SendLimitSettings::read(ini, &s, &error)); // nothing set: no limits
    EXPECT_FALSE(s.any());
    for (const char* wrong : {"0", "-3", "zehn", "2.5"}) {
        IniFile(ini).writeString("Versandlimits", "ProTag", wrong);
        EXPECT_FALSE(SendLimitSettings::read(ini, &s, &error)) << wrong;
        EXPECT_TRUE(error.contains("Versandlimit pro Tag")) << error.toStdString();
    }
    s = SendLimitSettings();
    s.perHour = 100;
    s.autoResume = true;
    ASSERT_TRUE(s.write(ini, &error));
    SendLimitSettings back;
    ASSERT_TRUE(SendLimitSettings::read(ini, &back, &error)) << error.toStdString();
    EXPECT_EQ(back.perHour, 100);
    EXPECT_EQ(back.perDay, 0);
    EXPECT_TRUE(back.autoResume);
}

class LimitedSendRun : public SendRunFixture {};

// "Abbrechen" while the run waits for its minute limit ends it within a second; the
// records not yet sent stay marked.
TEST_F(LimitedSendRun, AbortWhileWaitingTakesEffectAtOnce) {
    SmtpTestServer server;
    ASSERT_TRUE(server.error().isEmpty()) << server.error().toStdString();
    writeSendRunSettings(folder.path(), sendRunAccount(server));
    IniFile(folder.file("Quillon.ini")).writeString("Versandlimits", "ProMinute", "1");
    appendLetterRecords(3);
    SendRun run(context(), mail, Messages::instance());
    prepare(run, textMail("Hallo", {"Text"}), 3);
    run.millisecondsPerDelaySecond = 1000; // a real minute
    QStringList waits;
    QElapsedTimer sinceAbort;
    QObject::connect(&run, &SendRun::limitWait, [&](const QString& text, qint64) {
        waits << text;
        if (!sinceAbort.isValid()) {
            sinceAbort.start();
            QTimer::singleShot(200, &run, &SendRun::abort);
        }
    });
    const SendRun::Result result = runToEnd(run, 20000);
    EXPECT_LT(sinceAbort.elapsed(), 1200);
    ASSERT_FALSE(waits.isEmpty());
    EXPECT_TRUE(waits.first().startsWith("Minutenlimit erreicht: weiter um "))
        << waits.first().toStdString();
    EXPECT_FALSE(result.limitStopped);
    EXPECT_EQ(server.acceptedCount(), 1);
    EXPECT_EQ(table->tableIds(table->conditionFromFilter("Selected='True'")).size(), 2u);
}

} // namespace
