#pragma once
#include <QString>

class AddressTable;

// Fetching and applying the site's lists: 10,000 new orders and 10,000 cancellations of
// records of the table, served by PHP's web server, fetched, analysed against the whole
// table and applied.
void benchWebSync(AddressTable* table);
