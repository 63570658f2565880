#include "common/Messages.h"

namespace {
SilentMessages g_silent;
Messages* g_current = &g_silent;
} // namespace

Messages& Messages::instance() {
    return *g_current;
}

void Messages::install(Messages* messages) {
    g_current = messages ? messages : &g_silent;
}
