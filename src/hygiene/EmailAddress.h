#pragma once

#include "common/Messages.h"

#include <QString>
#include <QStringList>

class AddressTable;

// Syntax rule for a single e-mail address, shared by the bulk check, the send run,
// the settings dialog and the address lists of the exports.
bool IsValidEmailAddress(const QString& address);

// The domain names the rule refuses, upper case ("NAME.DE"); kept in this one place.
const QStringList& BlockedMailDomains();

// The addresses of the table's current view joined by separator, for the clipboard
// and the BCC files. With a column whose name contains "SELECTED" only marked records
// count and an address failing the rule contributes "-1"; without one every record
// counts, a failing address contributes "Þ" and is reported through messages.
// Repeated addresses are taken once. Afterwards the filter is off and the table
// stands on its last record. The result has no trailing separator.
QString CollectMarkedAddresses(AddressTable* table, int mailColumn, const QString& separator,
                               Messages& messages = Messages::instance());
