#pragma once
#include <QString>

class AddressTable;

// What a send run writes into the table for each record, by the record's id (the
// grid's cursor stays where it is). While the run goes on every booking has reached the
// disk when it returns, so a run whose process dies leaves every booked record booked.
class RunBookkeeping {
public:
    explicit RunBookkeeping(AddressTable& table) : m_table(table) {}
    ~RunBookkeeping() { end(); }
    RunBookkeeping(const RunBookkeeping&) = delete;
    RunBookkeeping& operator=(const RunBookkeeping&) = delete;

    void begin();
    void end();

    // Sent: Selected false, Invalid false, LetztesMail today.
    bool bookSent(qint64 id, QString* error);
    // Failed or unusable: Selected false, LetztesMail empty, Invalid true.
    bool bookFailed(qint64 id, QString* error);

private:
    AddressTable& m_table;
    bool m_durable = false;
};
