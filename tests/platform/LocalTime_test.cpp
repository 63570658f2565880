#include "platform/LocalTime.h"

#include <QDateTime>
#include <QTimeZone>
#include <ctime>
#include <gtest/gtest.h>

// Naming the system's zone file in TZ keeps the zone the program sees; a TZ the user set
// stays.
TEST(LocalTime, SettlingKeepsTheSystemZoneAndAUsersChoice) {
    qunsetenv("TZ");
    tzset();
    const QByteArray zone = QTimeZone::systemTimeZoneId();
    const QDateTime instant = QDateTime::fromSecsSinceEpoch(1780000000); // a summer day
    const QString local = instant.toString(Qt::ISODate);

    SettleLocalTimeZone();
    EXPECT_EQ(qgetenv("TZ"), QByteArray(":/etc/localtime"));
    EXPECT_EQ(QTimeZone::systemTimeZoneId(), zone);
    EXPECT_EQ(QDateTime::fromSecsSinceEpoch(1780000000).toString(Qt::ISODate), local);

    qputenv("TZ", "Europe/Berlin");
    SettleLocalTimeZone();
    EXPECT_EQ(qgetenv("TZ"), QByteArray("Europe/Berlin"));
    EXPECT_EQ(QDateTime::fromSecsSinceEpoch(1780000000).offsetFromUtc(), 2 * 3600);
    qunsetenv("TZ");
    tzset();
}
