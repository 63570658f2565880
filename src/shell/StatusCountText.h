#pragma once
#include <QString>

class AppState;

// The record count of the current view (filter applied) + " Datensätze"; empty while
// no table is open.
QString StatusCountText(const AppState& state);
