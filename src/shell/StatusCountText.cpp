#include "shell/StatusCountText.h"

#include "database/AddressTable.h"
#include "database/DatabaseSession.h"

QString StatusCountText(const DatabaseSession& session) {
    const AddressTable* table = session.currentTable();
    if (!table)
        return {};
    return QString::number(table->recordCount()) + QStringLiteral(" Datensätze");
}
