#pragma once
#include <QString>

// The click-tracking set-up of a database: checks of the dialog's entries, the tracking
// folder prepared for upload (the password file and the copies of the counter and
// evaluation scripts) and its instruction page.
namespace TrackingSetup {

// The example address the dialog and its messages show.
QString exampleAddress();

// The German message of the first failed check, in the dialog's order; empty when the
// entries pass. The address is taken as entered (neither the scheme nor a closing "/"
// is required).
QString check(const QString& address, const QString& password);

// Only the letters A-Z, a-z and the digits 0-9: the password is written into a PHP
// file between double quotes, where anything else could end the string.
bool isPasswordText(const QString& text);

// The last "/"-separated word of the address.
QString folderName(const QString& address);

// statsAddress + "auswertung.php?password=" + password.
QString evaluationAddress(const QString& statsAddress, const QString& password);

// Writes stats-einbau.html into programFolder and, in trackingFolder (created with its
// parents), stats_pw.php and the copies of stats.php, auswertung.php and red_point.gif
// from programFolder. A missing shipped file leaves its copy missing. False with a
// German message when a file cannot be written.
bool prepare(const QString& programFolder, const QString& trackingFolder, const QString& address,
             const QString& password, const QString& databaseName, QString* error);

} // namespace TrackingSetup
