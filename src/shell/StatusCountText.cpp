#include "shell/StatusCountText.h"

#include "database/AddressTable.h"
#include "database/DatabaseSession.h"

QString StatusCountText(const DatabaseSession& session) {
    const AddressTable* table = session.currentTable();
    if (!table)
        return {};
    const qint64 count = table->recordCount();
    // One record is "1 Datensatz", not "1 Datensätze".
    return QString::number(count) +
           (count == 1 ? QStringLiteral(" Datensatz") : QStringLiteral(" Datensätze"));
}
