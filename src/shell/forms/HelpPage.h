#pragma once

class AppState;

// Opens the help page (HelpFolder + "help.html") in the desktop's browser; a missing
// page is reported.
void OpenHelpPage(const AppState& state);
