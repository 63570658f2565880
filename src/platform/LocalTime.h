#pragma once

// With TZ unset, the C library looks at the zone file again for every conversion to
// local time (Qt asks it for each one): a send run converts several times per message.
// Naming the system's zone file in TZ keeps the same zone and reads the file once.
// Called at start-up, before any thread is started; a TZ already set stays as it is.
void SettleLocalTimeZone();
