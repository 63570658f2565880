#pragma once
#include <QElapsedTimer>
#include <QString>

class AddressTable;

// What a send run writes into the table for each record, by the record's id (the
// grid's cursor stays where it is). Every booking is committed before the next record
// is sent, so a run whose process dies leaves every booked record booked. Against a
// power failure the commits reach the disk at least every quarter second and at the
// end of the run: at the pace of a real run (a pause of a second or more between
// messages) that is every booking, while a run without pause does not wait for the
// disk once per message.
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

    // Set when the disk refused to keep the bookings made so far (German).
    const QString& syncFailure() const { return m_syncFailure; }

    static constexpr int durableIntervalMs = 250;

private:
    bool book(qint64 id, const QList<QPair<QString, QVariant>>& values, QString* error);

    AddressTable& m_table;
    bool m_running = false;
    bool m_pending = false; // committed bookings that may not have reached the disk yet
    QString m_syncFailure;
    QElapsedTimer m_sinceDurable;
};
