#include "common/FilePicker.h"

namespace {
CancellingFilePicker g_cancelling;
FilePicker* g_current = &g_cancelling;
} // namespace

FilePicker& FilePicker::instance() {
    return *g_current;
}

void FilePicker::install(FilePicker* picker) {
    g_current = picker ? picker : &g_cancelling;
}
