#include "platform/LocalTime.h"

#include <QByteArray>
#include <QtGlobal>
#include <ctime>

void SettleLocalTimeZone() {
    if (qEnvironmentVariableIsSet("TZ"))
        return;
    // ":/etc/localtime" is what the library uses without TZ; Qt reads it as the system
    // zone too.
    qputenv("TZ", QByteArrayLiteral(":/etc/localtime"));
    tzset();
}
