#include "send/SendLimits.h"

#include "common/IniFile.h"
#include "settings/AccountSettings.h"

#include <QFile>
#include <algorithm>
#include <sqlite3.h>

namespace {

const QString kPerMinute = QStringLiteral("ProMinute");
const QString kPerHour = QStringLiteral("ProStunde");
const QString kPerDay = QStringLiteral("ProTag");
const QString kAutoResume = QStringLiteral("AutomatischFortsetzen");

QString fieldLabel(const QString& key) {
    if (key == kPerMinute)
        return QStringLiteral("Versandlimit pro Minute");
    if (key == kPerHour)
        return QStringLiteral("Versandlimit pro Stunde");
    return QStringLiteral("Versandlimit pro Tag");
}

} // namespace

QString SendLimitSettings::section() {
    return QStringLiteral("Versandlimits");
}

QString SendLimitSettings::checkValue(const QString& text, const QString& label, int* value) {
    const QString t = text.trimmed();
    *value = 0;
    if (t.isEmpty())
        return QString();
    bool ok = false;
    const int n = t.toInt(&ok);
    if (!ok || n <= 0)
        return label + QStringLiteral(": \"") + t +
               QStringLiteral("\" ist keine ganze Zahl größer als 0. Lassen Sie das Feld leer, "
                              "wenn es kein Limit geben soll.");
    *value = n;
    return QString();
}

bool SendLimitSettings::read(const QString& settingsFile, SendLimitSettings* out, QString* error) {
    *out = SendLimitSettings();
    const IniFile ini(settingsFile);
    const QString s = section();
    for (const auto& [key, target] :
         {std::pair{kPerMinute, &out->perMinute}, std::pair{kPerHour, &out->perHour},
          std::pair{kPerDay, &out->perDay}}) {
        const QString problem = checkValue(ini.readString(s, key), fieldLabel(key), target);
        if (!problem.isEmpty()) {
            *error = problem + QStringLiteral("\r(Einstellungsdatei ") + settingsFile +
                     QStringLiteral(", Abschnitt [") + s + QStringLiteral("])");
            return false;
        }
    }
    out->autoResume = ini.readBoolWord(s, kAutoResume, false);
    return true;
}

bool SendLimitSettings::write(const QString& settingsFile, QString* error) const {
    IniFile ini(settingsFile);
    ini.setPrivate(true); // the file holds the account's password
    const QString s = section();
    auto text = [](int n) { return n > 0 ? QString::number(n) : QString(); };
    // Nothing set and nothing stored before: the file stays as it was.
    if (!any() && !autoResume && !ini.sectionExists(s))
        return true;
    const bool ok = ini.writeString(s, kPerMinute, text(perMinute), error) &&
                    ini.writeString(s, kPerHour, text(perHour), error) &&
                    ini.writeString(s, kPerDay, text(perDay), error) &&
                    ini.writeBoolWord(s, kAutoResume, autoResume);
    if (!ok && error && error->isEmpty())
        *error = QStringLiteral("Die Versandlimits können nicht in ") + settingsFile +
                 QStringLiteral(" gespeichert werden.");
    return ok;
}

// ---- the windows ----

SendLimits::SendLimits(const SendLimitSettings& settings, QString statePath, QString account,
                       int msPerSecond)
    : m_settings(settings), m_path(std::move(statePath)), m_account(std::move(account)),
      m_msPerSecond(std::max(1, msPerSecond)) {}

SendLimits::~SendLimits() {
    if (m_db)
        sqlite3_close(m_db);
}

QString SendLimits::stateFileName() {
    return QStringLiteral("Versandlimits.db");
}

QString SendLimits::accountKey(const AccountSettings& account) {
    return account.smtpHost.trimmed().toLower() + QChar(':') + account.smtpPort.trimmed() +
           QChar('/') + account.smtpUserName.trimmed();
}

qint64 SendLimits::windowMs(Window w) const {
    switch (w) {
    case Window::Minute:
        return 60LL * m_msPerSecond;
    case Window::Hour:
        return 3600LL * m_msPerSecond;
    case Window::Day:
        return 86400LL * m_msPerSecond;
    case Window::None:
        break;
    }
    return 0;
}

bool SendLimits::fail(const QString& what, QString* error) {
    *error = QStringLiteral("Die Datei mit dem Versandstand der Limits ") + m_path +
             QStringLiteral(" ist beschädigt oder nicht lesbar (") + what +
             QStringLiteral(").\rEs wird nichts versendet und die Datei wird nicht verändert. "
                            "Ersetzen Sie sie durch eine Sicherung oder löschen Sie sie; "
                            "dann beginnt die Zählung neu.");
    if (m_db) {
        sqlite3_close(m_db);
        m_db = nullptr;
    }
    return false;
}

bool SendLimits::open(QString* error) {
    m_times.clear();
    if (m_db)
        return true;
    if (sqlite3_open_v2(QFile::encodeName(m_path).constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        return fail(QString::fromUtf8(sqlite3_errmsg(m_db)), error);
    sqlite3_busy_timeout(m_db, 2000);
    // Look before touching anything: a file that is not ours stays as it is.
    sqlite3_stmt* st = nullptr;
    int tables = 0;
    bool ours = false;
    if (sqlite3_prepare_v2(m_db, "SELECT name FROM sqlite_master WHERE type='table'", -1, &st,
                           nullptr) != SQLITE_OK)
        return fail(QString::fromUtf8(sqlite3_errmsg(m_db)), error);
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        ++tables;
        if (qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "Versand") == 0)
            ours = true;
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        return fail(QString::fromUtf8(sqlite3_errmsg(m_db)), error);
    if (tables > 0 && !ours)
        return fail(QStringLiteral("fremde Tabellen"), error);
    if (tables > 0) {
        if (sqlite3_prepare_v2(m_db, "PRAGMA quick_check", -1, &st, nullptr) != SQLITE_OK)
            return fail(QString::fromUtf8(sqlite3_errmsg(m_db)), error);
        const bool sound =
            sqlite3_step(st) == SQLITE_ROW &&
            qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "ok") == 0;
        sqlite3_finalize(st);
        if (!sound)
            return fail(QStringLiteral("Prüfung fehlgeschlagen"), error);
    }
    char* message = nullptr;
    if (sqlite3_exec(m_db,
                     "PRAGMA synchronous=FULL;"
                     "CREATE TABLE IF NOT EXISTS Versand(Konto TEXT NOT NULL, Zeit INTEGER NOT "
                     "NULL);"
                     "CREATE INDEX IF NOT EXISTS VersandKonto ON Versand(Konto, Zeit);",
                     nullptr, nullptr, &message) != SQLITE_OK) {
        const QString what = QString::fromUtf8(message);
        sqlite3_free(message);
        return fail(what, error);
    }
    // Times older than a day count no more.
    if (sqlite3_prepare_v2(m_db, "DELETE FROM Versand WHERE Zeit<=?1", -1, &st, nullptr) ==
        SQLITE_OK) {
        sqlite3_bind_int64(st, 1, QDateTime::currentMSecsSinceEpoch() - windowMs(Window::Day));
        sqlite3_step(st);
    }
    sqlite3_finalize(st);
    if (sqlite3_prepare_v2(m_db, "SELECT Zeit FROM Versand WHERE Konto=?1 ORDER BY Zeit", -1, &st,
                           nullptr) != SQLITE_OK)
        return fail(QString::fromUtf8(sqlite3_errmsg(m_db)), error);
    const QByteArray account = m_account.toUtf8();
    sqlite3_bind_text(st, 1, account.constData(), int(account.size()), SQLITE_TRANSIENT);
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        if (sqlite3_column_type(st, 0) != SQLITE_INTEGER) {
            sqlite3_finalize(st);
            return fail(QStringLiteral("ungültiger Eintrag"), error);
        }
        m_times.push_back(sqlite3_column_int64(st, 0));
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        return fail(QString::fromUtf8(sqlite3_errmsg(m_db)), error);
    return true;
}

SendLimits::Wait SendLimits::check(qint64 nowMs) const {
    Wait result;
    for (const auto& [window, limit] :
         {std::pair{Window::Minute, m_settings.perMinute},
          std::pair{Window::Hour, m_settings.perHour}, std::pair{Window::Day, m_settings.perDay}}) {
        if (limit <= 0)
            continue;
        const qint64 span = windowMs(window);
        // The times inside (now - span, now]; later ones (a clock set back) count too.
        const auto first = std::upper_bound(m_times.begin(), m_times.end(), nowMs - span);
        const qint64 inWindow = qint64(m_times.end() - first);
        if (inWindow < limit)
            continue;
        // The next message may go when enough of them have left the window.
        const qint64 until = *(first + (inWindow - limit)) + span;
        // A day limit that holds ends the run, so it wins over a shorter wait.
        if (until - nowMs > result.ms || window == Window::Day) {
            result.window = window;
            result.untilMs = until;
            result.ms = std::max<qint64>(1, until - nowMs);
        }
    }
    return result;
}

bool SendLimits::record(qint64 nowMs, QString* error) {
    m_times.push_back(std::max(nowMs, m_times.empty() ? nowMs : m_times.back()));
    while (!m_times.empty() && m_times.front() <= nowMs - windowMs(Window::Day))
        m_times.pop_front();
    if (!m_db)
        return true;
    sqlite3_stmt* st = nullptr;
    const QByteArray account = m_account.toUtf8();
    bool ok = sqlite3_prepare_v2(m_db, "INSERT INTO Versand(Konto, Zeit) VALUES(?1, ?2)", -1, &st,
                                 nullptr) == SQLITE_OK;
    if (ok) {
        sqlite3_bind_text(st, 1, account.constData(), int(account.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int64(st, 2, m_times.back());
        ok = sqlite3_step(st) == SQLITE_DONE;
    }
    sqlite3_finalize(st);
    if (!ok && error)
        *error = QStringLiteral("Der Versandstand der Limits kann nicht in ") + m_path +
                 QStringLiteral(" gespeichert werden: ") + QString::fromUtf8(sqlite3_errmsg(m_db));
    return ok;
}

QString SendLimits::waitText(const Wait& wait) {
    // Shown to the minute, rounded up, so the time shown is never too early.
    const QDateTime until = QDateTime::fromMSecsSinceEpoch(wait.untilMs);
    const QDateTime upToMinute =
        QDateTime::fromMSecsSinceEpoch((wait.untilMs + 59999) / 60000 * 60000);
    switch (wait.window) {
    case Window::Minute:
        return QStringLiteral("Minutenlimit erreicht: weiter um ") +
               until.addMSecs(999).toString(QStringLiteral("HH:mm:ss"));
    case Window::Hour:
        return QStringLiteral("Stundenlimit erreicht: weiter um ") +
               upToMinute.toString(QStringLiteral("HH:mm"));
    case Window::Day:
        return QStringLiteral("Tageslimit erreicht: weiter am ") +
               upToMinute.toString(QStringLiteral("dd.MM.")) + QStringLiteral(" um ") +
               upToMinute.toString(QStringLiteral("HH:mm"));
    case Window::None:
        break;
    }
    return QString();
}
