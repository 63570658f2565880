#pragma once
#include <QString>
#include <functional>
#include <type_traits>
#include <utility>

// Progress of a loop over records: done of total.
using ProgressFn = std::function<void(qint64 done, qint64 total)>;

// How a long operation reports to the window that runs it: the progress text for the
// first panel of the status bar ("Markieren: 5000 von 100000"; empty clears it) and the
// busy cursor while it works. Both may be left unset. The one type every long
// operation takes.
struct Progress {
    std::function<void(const QString&)> status;
    std::function<void(bool)> busy;

    Progress() = default;
    // Any callable taking the text, for the status line alone.
    template <typename F, typename = std::enable_if_t<std::is_invocable_v<F, const QString&> &&
                                                      !std::is_same_v<std::decay_t<F>, Progress>>>
    Progress(F&& f) : status(std::forward<F>(f)) {}

    void text(const QString& t) const {
        if (status)
            status(t);
    }
    void clear() const { text(QString()); }
    void setBusy(bool on) const {
        if (busy)
            busy(on);
    }
    // Counts as word + done + " von " + total, for the set operations of the table.
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
    explicit BusyScope(const Progress& p) : m_p(p) { m_p.setBusy(true); }
    ~BusyScope() { m_p.setBusy(false); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    const Progress& m_p;
};
