#pragma once
#include <QtGlobal>

// The Outlook contacts import from a folder of n vCards (10,000 by default): the
// preview of the window and the import of every previewed contact.
void benchImportVcard(qint64 n);
