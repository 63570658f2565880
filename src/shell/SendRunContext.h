#pragma once
#include "send/SendRun.h"

class AppState;

// The pieces of the program's state a send run works with: the open table, the
// folders and the two switches it reads.
SendRun::Context sendRunContext(const AppState& state);
