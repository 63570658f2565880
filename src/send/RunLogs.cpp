#include "send/RunLogs.h"

void RunLogs::setPaths(const QString& transactionLog, const QString& sentLog, bool transactionOn) {
    m_transaction.setPath(transactionLog);
    m_sent.setPath(sentLog);
    m_transactionOn = transactionOn;
}

void RunLogs::transaction(const QString& line) {
    if (m_transactionOn)
        m_pending.append({&m_transaction, line});
}

void RunLogs::sent(const QString& address) {
    m_pending.append({&m_sent, address});
}

void RunLogs::flush() {
    for (const auto& [log, line] : m_pending)
        log->append(line);
    m_pending.clear();
}
