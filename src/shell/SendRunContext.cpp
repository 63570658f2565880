#include "shell/SendRunContext.h"

#include "shell/AppState.h"

SendRun::Context sendRunContext(const AppState& state) {
    SendRun::Context c;
    c.table = state.session.currentTable();
    c.definitionName = state.session.definitionName();
    c.dataFolder = state.folders.dataFolder;
    c.programFolder = state.folders.programFolder;
    c.tempFolder = state.folders.tempFolder;
    c.systemTempFolder = state.folders.systemTempFolder;
    c.lettersFolder = state.folders.lettersFolder;
    c.accountSetUp = state.flags.firstSettingsDone;
    c.transactionLog = state.flags.transactionLogEnabled;
    return c;
}
