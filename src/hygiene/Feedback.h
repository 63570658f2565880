#pragma once
#include "database/AddressTable.h"

#include <QString>
#include <functional>

// What a long hygiene operation tells the window while it runs: progress texts for
// the first panel of the status bar ("Delete: 5000"; empty clears it) and the busy
// cursor (true while working). Both may be left unset. The record count beside the
// grid follows the table's own notifications.
struct Feedback {
    std::function<void(const QString&)> status;
    std::function<void(bool)> busy;

    void text(const QString& t) const {
        if (status)
            status(t);
    }
    void clear() const { text(QString()); }
    void setBusy(bool on) const {
        if (busy)
            busy(on);
    }
    // Progress as word + done + " von " + total, for the set operations of the table.
    ProgressFn counter(const QString& word) const {
        if (!status)
            return {};
        auto fn = status;
        return [fn, word](qint64 done, qint64 total) {
            fn(word + QString::number(done) + QStringLiteral(" von ") + QString::number(total));
        };
    }
};

// Holds the busy cursor for a scope.
class BusyScope {
public:
    explicit BusyScope(const Feedback& f) : m_f(f) { m_f.setBusy(true); }
    ~BusyScope() { m_f.setBusy(false); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    const Feedback& m_f;
};
