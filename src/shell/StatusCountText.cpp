#include "shell/StatusCountText.h"

#include "database/AddressTable.h"
#include "shell/AppState.h"

QString StatusCountText(const AppState& state) {
    const AddressTable* table = state.currentTable();
    if (!table)
        return {};
    return QString::number(table->recordCount()) + QStringLiteral(" Datensätze");
}
