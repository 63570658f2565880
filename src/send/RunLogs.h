#pragma once
#include "send/SendLog.h"

#include <QList>
#include <QString>
#include <utility>

// The log files of a send run: "Transaction.log" (while the transaction log is on) and
// "Gesendete_Mails.log". Lines are collected and written by flush(), which the run calls
// after the next message was let through: the file work stays out of the time in which
// that message waits for the booking before it. The order of the lines in each file is
// kept.
class RunLogs {
public:
    void setPaths(const QString& transactionLog, const QString& sentLog, bool transactionOn);
    void removeTransactionLog() { m_transaction.remove(); }
    void removeSentLog() { m_sent.remove(); }

    void transaction(const QString& line); // only while the transaction log is on
    void sent(const QString& address);
    void flush();

private:
    SendLog m_transaction;
    SendLog m_sent;
    bool m_transactionOn = false;
    QList<std::pair<SendLog*, QString>> m_pending;
};
