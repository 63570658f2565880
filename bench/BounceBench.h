#pragma once
#include <QtGlobal>

// Bounce processing: a POP3 mailbox (dovecot) of n mails (10,000 by default), a third of
// them delivery status reports, a third plain-text bounces and a third normal mail, read
// and recognised.
void benchBounces(qint64 n);
