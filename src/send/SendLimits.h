#pragma once
#include <QDateTime>
#include <QString>
#include <deque>

struct AccountSettings;

// Limits per account: at most so many messages per minute, per hour and per day. The
// values live in the settings file the account settings come from (section
// "Versandlimits"); a missing or empty key means no limit, so a user who sets nothing
// sends as before.
struct SendLimitSettings {
    int perMinute = 0; // 0: no limit
    int perHour = 0;
    int perDay = 0;
    bool autoResume = false; // the window resumes by itself once the day limit allows

    bool any() const { return perMinute > 0 || perHour > 0 || perDay > 0; }

    static QString section(); // "Versandlimits"
    // Reads the section of one settings file. A value that is not a whole number above 0
    // is refused: false with a German message in *error.
    static bool read(const QString& settingsFile, SendLimitSettings* out, QString* error);
    bool write(const QString& settingsFile, QString* error) const;
    // The check of one entered value: empty is no limit, else a whole number above 0.
    // Returns the German message for a refused value, empty when it is acceptable.
    static QString checkValue(const QString& text, const QString& label, int* value);
};

// The sliding windows of one account. Every message the server accepted is stored with
// its time in a small SQLite file beside the settings, committed before the next one, so
// the count holds over every run of that account and across program starts.
class SendLimits {
public:
    enum class Window { None, Minute, Hour, Day };
    struct Wait {
        Window window = Window::None; // the limit that holds the next message back
        qint64 untilMs = 0;           // when it may go (ms since the epoch)
        qint64 ms = 0;                // from now; 0 when it may go at once
    };

    // msPerSecond shortens the windows in tests, as the delay between messages is.
    SendLimits(const SendLimitSettings& settings, QString statePath, QString account,
               int msPerSecond = 1000);
    ~SendLimits();
    SendLimits(const SendLimits&) = delete;
    SendLimits& operator=(const SendLimits&) = delete;

    static QString stateFileName(); // "Versandlimits.db", in the program folder
    // The account a count belongs to: server, port and user name.
    static QString accountKey(const AccountSettings& account);

    // Reads the times of the account's last day. A file that is no state file of ours is
    // left as it is: false with a German message in *error.
    bool open(QString* error);
    Wait check(qint64 nowMs) const;
    // One accepted message; durable when it returns true.
    bool record(qint64 nowMs, QString* error);

    const SendLimitSettings& settings() const { return m_settings; }
    // "Tageslimit erreicht: weiter am 10.12. um 08:00"
    static QString waitText(const Wait& wait);

private:
    qint64 windowMs(Window w) const;
    bool fail(const QString& what, QString* error);

    SendLimitSettings m_settings;
    QString m_path;
    QString m_account;
    int m_msPerSecond;
    std::deque<qint64> m_times; // ascending, within the last day
    struct sqlite3* m_db = nullptr;
};
