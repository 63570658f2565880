#pragma once

// The shell's switches: three kept in config.ini, OutlookAvailable set at start-up and
// FirstSettingsDone re-read on every activation of the main window.
struct ShellFlags {
    bool checkDuplicatesOnInput = true;
    bool transactionLogEnabled = false;
    bool gridEditMode = false;
    bool outlookAvailable = false;
    bool firstSettingsDone = false;
};
