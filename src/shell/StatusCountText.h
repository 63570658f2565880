#pragma once
#include <QString>

class DatabaseSession;

// The record count of the current view (filter applied) + " Datensätze"; empty while
// no table is open.
QString StatusCountText(const DatabaseSession& session);
