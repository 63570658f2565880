#include "send/RunBookkeeping.h"

#include "database/AddressTable.h"
#include "database/SystemColumns.h"

#include <QDate>

void RunBookkeeping::begin() {
    m_durable = m_table.setDurableCommits(true);
}

void RunBookkeeping::end() {
    if (m_durable)
        m_table.setDurableCommits(false);
    m_durable = false;
}

bool RunBookkeeping::bookSent(qint64 id, QString* error) {
    return m_table.updateRecord(id,
                                {{SystemColumns::Selected, false},
                                 {SystemColumns::Invalid, false},
                                 {SystemColumns::LetztesMail, QDate::currentDate()}},
                                error);
}

bool RunBookkeeping::bookFailed(qint64 id, QString* error) {
    return m_table.updateRecord(id,
                                {{SystemColumns::Selected, false},
                                 {SystemColumns::LetztesMail, QVariant()},
                                 {SystemColumns::Invalid, true}},
                                error);
}
