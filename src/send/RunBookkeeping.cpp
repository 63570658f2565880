#include "send/RunBookkeeping.h"

#include "database/AddressTable.h"

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
                                {{QStringLiteral("Selected"), false},
                                 {QStringLiteral("Invalid"), false},
                                 {QStringLiteral("LetztesMail"), QDate::currentDate()}},
                                error);
}

bool RunBookkeeping::bookFailed(qint64 id, QString* error) {
    return m_table.updateRecord(id,
                                {{QStringLiteral("Selected"), false},
                                 {QStringLiteral("LetztesMail"), QVariant()},
                                 {QStringLiteral("Invalid"), true}},
                                error);
}
