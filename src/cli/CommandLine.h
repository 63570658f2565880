#pragma once
#include <QString>
#include <QStringList>

// The program without a window: "quillon senden ...", "importieren", "exportieren",
// "pruefen", "sichern" and "--help". The commands use the same engine, program folder
// and single-instance lock as the windows, on a QCoreApplication, so they run from a
// timer or cron job without a display.
namespace CommandLine {

// Exit statuses.
enum Status {
    Done = 0,         // every marked record was processed, the command did its work
    Failed = 1,       // an error; the German message is on standard error
    Refused = 2,      // wrong use of the command line, or another instance is running
    LimitStopped = 3, // a day limit of the account ended the send run
};

QString helpText();

// Runs the command named by arguments (without the program name); the
// QCoreApplication must exist. Returns the exit status.
int run(const QStringList& arguments);

// main() of the command line: creates the QCoreApplication and runs.
int main(int argc, char** argv);

} // namespace CommandLine
