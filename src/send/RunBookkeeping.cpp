#include "send/RunBookkeeping.h"

#include "database/AddressTable.h"
#include "database/SystemColumns.h"

#include <QDate>

void RunBookkeeping::begin() {
    m_running = true;
    m_pending = false;
    m_syncFailure.clear();
    m_sinceDurable.start();
}

void RunBookkeeping::end() {
    if (m_running && m_pending)
        m_table.syncToDisk();
    m_running = false;
    m_pending = false;
}

bool RunBookkeeping::book(qint64 id, const QList<QPair<QString, QVariant>>& values,
                          QString* error) {
    if (!m_table.updateRecord(id, values, error))
        return false;
    m_pending = true;
    if (m_running && m_sinceDurable.elapsed() >= durableIntervalMs) {
        // The booking stands (the process may go on relying on it); a disk that cannot
        // keep it is the run's end.
        if (!m_table.syncToDisk(&m_syncFailure))
            return true;
        m_pending = false;
        m_sinceDurable.restart();
    }
    return true;
}

bool RunBookkeeping::bookSent(qint64 id, QString* error) {
    return book(id,
                {{SystemColumns::Selected, false},
                 {SystemColumns::Invalid, false},
                 {SystemColumns::LetztesMail, QDate::currentDate()}},
                error);
}

bool RunBookkeeping::bookFailed(qint64 id, QString* error) {
    return book(id,
                {{SystemColumns::Selected, false},
                 {SystemColumns::LetztesMail, QVariant()},
                 {SystemColumns::Invalid, true}},
                error);
}
