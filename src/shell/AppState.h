#pragma once
#include "database/DatabaseSession.h"
#include "shell/ShellFlags.h"
#include "shell/WorkingFolders.h"

// The state of the running program, created by main() before any window: the working
// folders, the shell flags and the open database. The main window shows it and owns
// none of it; engine code takes the piece it needs.
class AppState {
public:
    AppState() = default;
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    // Sets the folders; the session takes the catalogue and data folders from them.
    void setFolders(const WorkingFolders& f) {
        folders = f;
        session.setFolders(f.programFolder, f.dataFolder);
    }

    WorkingFolders folders; // set through setFolders
    ShellFlags flags;
    DatabaseSession session;
};
