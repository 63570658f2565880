#pragma once

class AppState;

// Opens the help page (HelpFolder + "help.html") in the desktop's browser; a missing
// page, or a desktop with no program to open it, is reported.
void OpenHelpPage(const AppState& state);
