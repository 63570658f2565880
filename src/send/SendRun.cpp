#include "send/SendRun.h"

#include "common/Messages.h"
#include "common/TextFile.h"
#include "compose/Merge.h"
#include "compose/SalutationFormula.h"
#include "database/AddressTable.h"
#include "database/DatabaseDefinition.h"
#include "database/DatabaseSession.h"
#include "database/SqlFunctions.h"
#include "hygiene/EmailAddress.h"
#include "send/SendLog.h"
#include "send/ServerSession.h"
#include "send/SmtpMail.h"
#include "settings/AccountSettings.h"
#include "shell/ShellFlags.h"
#include "shell/WorkingFolders.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <optional>

namespace {

// A record of the run, read from the view, merged, and perhaps its message begun.
struct Pending {
    bool loaded = false;
    qint64 id = 0;
    QString address;
    bool valid = false;
    TextMailMerge::Result merged;
    bool begun = false; // its transfer started, held before its text
};

// Tells whether a file may have changed since the last look, by its size and
// modification time. File times are coarse: a file written within the last second may
// have been written again in the same tick, so it counts as changed.
class TemplateWatch {
public:
    explicit TemplateWatch(const QString& path) : m_path(QFile::encodeName(path).toStdString()) {}
    bool changed() {
        std::error_code e1, e2;
        const auto size = std::filesystem::file_size(m_path, e1);
        const auto time = std::filesystem::last_write_time(m_path, e2);
        const bool settled =
            std::filesystem::file_time_type::clock::now() - time > std::chrono::seconds(1);
        const bool same = m_seen && !e1 && !e2 && settled && size == m_size && time == m_time;
        m_seen = !e1 && !e2;
        m_size = size;
        m_time = time;
        return !same;
    }

private:
    std::string m_path;
    bool m_seen = false;
    std::uintmax_t m_size = 0;
    std::filesystem::file_time_type m_time;
};

const QString kSelectedFilter = QStringLiteral("Selected='True'");
const QString kPresetHost = QStringLiteral("Ihr SMTP Server");

// Runs the action when the scope ends, whichever way it ends.
class OnExit {
public:
    explicit OnExit(std::function<void()> action) : m_action(std::move(action)) {}
    ~OnExit() {
        if (m_action)
            m_action();
    }
    OnExit(const OnExit&) = delete;
    OnExit& operator=(const OnExit&) = delete;

private:
    std::function<void()> m_action;
};

QString percentText(qint64 count, qint64 marked) {
    const double percent = marked > 0 ? double(count) / double(marked) * 100.0 : 0.0;
    return QString::number(percent, 'f', 2);
}

int barValue(qint64 count, qint64 marked) {
    if (marked <= 0)
        return 0;
    return std::clamp(SendRun::roundHalfEven(double(count) / double(marked) * 100.0), 0, 100);
}

} // namespace

struct SendRun::Private {
    SendLog transactionLog;
    SendLog sentLog;
};

SendRun::SendRun(const WorkingFolders& folders, const ShellFlags& flags, DatabaseSession& session,
                 SmtpMail& mail, Messages& messages)
    : m_folders(folders), m_flags(flags), m_session(session), m_mail(mail), m_messages(messages),
      d(std::make_unique<Private>()) {}

SendRun::~SendRun() = default;

// ---- rules ----

int SendRun::roundHalfEven(double value) {
    // The default floating-point rounding mode rounds halves to the even neighbour.
    return int(std::nearbyint(value));
}

SendRun::Progress SendRun::computeProgress(qint64 sent, qint64 invalid, qint64 marked) {
    Progress p;
    p.sent = sent;
    p.invalid = invalid;
    p.marked = marked;
    p.totalText =
        QString::number(sent + invalid) + QStringLiteral(" von ") + QString::number(marked);
    p.totalBar = barValue(sent + invalid, marked);
    // The percentage of the valid addresses counts the message under way.
    p.validText = percentText(sent + 1, marked) + QStringLiteral("% (") + QString::number(sent) +
                  QStringLiteral(" Stück)");
    p.validBar = barValue(sent, marked);
    p.invalidText = percentText(invalid, marked) + QStringLiteral("% (") +
                    QString::number(invalid) + QStringLiteral(" Stück)");
    p.invalidBar = barValue(invalid, marked);
    return p;
}

int SendRun::textMessageSizeKb(const QStringList& lines) {
    qint64 characters = 0;
    for (const QString& line : lines)
        characters += line.size();
    return std::max(1, roundHalfEven(double(characters) / 1024.0));
}

int SendRun::trafficValueForSize(int sizeKb) {
    return sizeKb > 100 ? 350 : sizeKb;
}

void SendRun::splitSenderEntry(const QString& entry, QString* address, QString* name) {
    const qsizetype lt = entry.indexOf(QChar('<'));
    if (lt < 0) {
        *address = entry.trimmed();
        name->clear();
        return;
    }
    *address = entry.left(lt).trimmed();
    QString rest = entry.mid(lt + 1).trimmed();
    rest.chop(1); // the closing ">"
    *name = rest;
}

int SendRun::priorityFromText(const QString& text) {
    if (text == QStringLiteral("Hoch"))
        return 1;
    if (text == QStringLiteral("Niedrig"))
        return 5;
    return 3;
}

QString SendRun::senderQuestion(const QString& senderEntry) {
    return QStringLiteral("Wollen Sie die Email mit dem Absender: ") + senderEntry +
           QStringLiteral("versenden");
}

QString SendRun::transactionLogName() {
    return QStringLiteral("Transaction.log");
}
QString SendRun::sentLogName() {
    return QStringLiteral("Gesendete_Mails.log");
}
QString SendRun::protocolName() {
    return QStringLiteral("Logfile.txt");
}
QString SendRun::runTemplateName() {
    return QStringLiteral("temp.mail");
}
QString SendRun::previewTemplateName() {
    return QStringLiteral("Preview.mail");
}
QString SendRun::lastMailName() {
    return QStringLiteral("_Zuletzt versande Email.mail");
}

// ---- display ----

SendRun::Progress SendRun::progress() const {
    return computeProgress(m_sentList.size(), m_invalidList.size(), inputs.markedCount);
}

int SendRun::trafficValue() const {
    return trafficValueForSize(m_messageSizeKb);
}

SendRun::TrafficPoint SendRun::trafficTick() {
    ++m_tick;
    return {m_tick, trafficValue()};
}

void SendRun::resetDisplay() {
    m_invalidList.clear();
    m_sentList.clear();
    m_messageSizeKb = 0;
    m_tick = 0;
    if (onDisplayReset)
        onDisplayReset();
}

void SendRun::emitProgress() {
    if (onProgress)
        onProgress(progress());
}

bool SendRun::ignoring() const {
    return inputs.ignoreConnectionProblems ||
           (ignoreConnectionProblemsNow && ignoreConnectionProblemsNow());
}

// ---- stopping and pausing ----

void SendRun::abort() {
    m_sending = false;
    m_mail.Abort();
    if (m_pauseLoop)
        m_pauseLoop->quit();
}

void SendRun::pause(int milliseconds) {
    if (onPause)
        onPause(milliseconds);
    if (!m_sending || milliseconds <= 0)
        return;
    if (!QCoreApplication::instance()) {
        // Without an event loop: short sleeps, so an abort from another hook is heard.
        for (int waited = 0; waited < milliseconds && m_sending; waited += 50)
            QThread::msleep(std::min(50, milliseconds - waited));
        return;
    }
    // The window keeps painting and "Abbrechen" ends the wait at once.
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    m_pauseLoop = &loop;
    timer.start(milliseconds);
    loop.exec();
    m_pauseLoop = nullptr;
}

// ---- the run ----

bool SendRun::start() {
    if (m_running)
        return false;
    // HTML runs come with the HTML mail; the composer offers text mails only until then.
    if (inputs.mail.mode != MailTemplate::Mode::Text)
        return false;
    m_running = true;
    OnExit running([this] { m_running = false; });

    const WorkingFolders& f = m_folders;
    d->transactionLog.setPath(f.programFolder + transactionLogName());
    d->transactionLog.remove();
    m_invalidList.clear();

    if (inputs.senderCount > 1 && !m_messages.question(senderQuestion(inputs.senderEntry)))
        return false;

    if (!m_flags.firstSettingsDone) {
        m_messages.information(
            QStringLiteral("Die Einstellungen für Ihr Mailkonto sind noch nicht durchgeführt "
                           "worden. Gehen Sie hierzu in den Menüpunkt \"Programm - Optionen\""));
        if (onClosable)
            onClosable();
        if (onCloseWindow)
            onCloseWindow();
        return false;
    }

    resetDisplay();
    if (onTrafficTimer)
        onTrafficTimer(true);
    m_sending = true;

    const bool reachedLoop = textRun();

    if (onTrafficTimer)
        onTrafficTimer(false);
    m_tick = 0;
    m_invalidList.clear();
    m_sending = false;
    return reachedLoop;
}

bool SendRun::textRun() {
    const WorkingFolders& f = m_folders;
    m_mail.Initialise();
    if (onTrafficTimer)
        onTrafficTimer(true);

    // The template as it stands now: the run reads it back before every record.
    MailTemplate mail = inputs.mail;
    const QString runTemplate = f.systemTempFolder + runTemplateName();
    QDir().mkpath(f.systemTempFolder);
    QFile::remove(runTemplate);
    QFile::remove(f.systemTempFolder + previewTemplateName());
    QString error;
    if (!writeMailTemplate(runTemplate, mail, &error)) {
        m_messages.error(error);
        return false;
    }
    QDir().mkpath(f.lettersFolder);
    if (!writeMailTemplate(f.lettersFolder + lastMailName(), mail, &error))
        m_messages.error(error); // only a copy for the user; the run does not need it
    QDir().mkpath(f.tempFolder);
    d->sentLog.setPath(f.tempFolder + sentLogName());
    d->sentLog.remove();
    const QString protocolFile = f.programFolder + protocolName();
    QFile::remove(protocolFile);

    if (mail.subject.trimmed().isEmpty()) {
        m_messages.information(
            QStringLiteral("Kein Betreff eingegeben! - E-Mail wird nicht versendet!"));
        return false;
    }

    AddressTable* table = m_session.currentTable();
    if (!table) {
        m_messages.information(QStringLiteral("Zuerst Datenbank öffnen!"));
        return false;
    }
    const MergeColumns columns = MergeColumns::forTable(*table);
    const int mailColumn = FindMailColumn(table);
    if (!columns.missingRequiredMessage().isEmpty() || mailColumn < 0) {
        m_messages.error(columns.missingRequiredMessage());
        return false;
    }
    // Without its attachment every message would fail and every address would be
    // booked invalid: the run does not start.
    if (!mail.attachment.isEmpty() && !QFileInfo(mail.attachment).isFile()) {
        m_messages.information(MailTemplateFile::missingAttachmentMessage(mail.attachment));
        return false;
    }

    if (onHidePlaceholderPanel)
        onHidePlaceholderPanel();
    if (onBusyCursor)
        onBusyCursor(true);
    if (!table->setFilter(kSelectedFilter, &error)) {
        if (onBusyCursor)
            onBusyCursor(false);
        m_messages.error(error);
        return false;
    }
    table->setFiltered(true);
    // Every way out from here switches the filter off and resets the cursor.
    OnExit filterOff([this, table] {
        table->setFiltered(false);
        table->setFilter(QString());
        table->setDurableCommits(false);
        if (onBusyCursor)
            onBusyCursor(false);
    });
    const qint64 recordCount = table->recordCount();

    ServerSession session(m_mail, m_messages);
    session.makeClosable = [this] {
        if (onClosable)
            onClosable();
    };
    session.stopRun = [this] {
        abort();
        if (onClosable)
            onClosable();
        if (onCloseWindow)
            onCloseWindow();
    };
    session.ignoreConnectionProblems = [this] { return ignoring(); };
    session.showStatus = [this](const QString& text) {
        if (onStatus)
            onStatus(text);
    };
    session.transactionLogEnabled = m_flags.transactionLogEnabled;
    if (!session.setUp(f.programFolder, m_session.definitionName()))
        return false;
    OnExit release([&session] { session.finishRun(); });

    if (!mail.attachment.isEmpty())
        m_mail.AddAttachment(mail.attachment);
    table->first();
    if (onProgressTimer)
        onProgressTimer(true);

    // The server values once more, as they stand in the file now.
    const AccountSettings fresh = Settings::readAccountSettingsPlain(session.settingsFile());
    m_mail.LogFileName = protocolFile;
    m_mail.AuthMode = 0;
    m_mail.BodyFormat = 0;
    if (const auto port = fresh.smtpPortNumber())
        m_mail.ServerPort = *port;
    m_mail.ServerAddr = fresh.smtpHost.trimmed();
    m_mail.CodeSet = fresh.codeSetIndex;

    if (fresh.smtpHost == kPresetHost) {
        m_messages.information(QStringLiteral("Sie haben die Einstellungen noch nicht "
                                              "bearbeitet!\rBitte bearbeiten Sie diese im Menü "
                                              "unter Programm/Optionen!"));
        if (onProgressTimer)
            onProgressTimer(false);
        if (onClosable)
            onClosable();
        if (onCloseWindow)
            onCloseWindow();
        return false;
    }

    QString senderAddress;
    QString senderName;
    splitSenderEntry(inputs.senderEntry, &senderAddress, &senderName);
    SalutationFormula formula(f.programFolder + SalutationFormula::fileName());
    MergeRecordReader reader(columns, &formula);
    const int delayMs = std::max(0, session.settings().delaySeconds) * millisecondsPerDelaySecond;
    const bool logOn = m_flags.transactionLogEnabled;
    // Log lines are written at the start of the next record, after its message was let
    // through: the file work stays out of the time in which that message waits for the
    // booking before it. The order of the lines in each file is kept.
    QList<std::pair<SendLog*, QString>> pendingLines;
    auto writeLines = [&pendingLines] {
        for (const auto& [log, line] : pendingLines)
            log->append(line);
        pendingLines.clear();
    };
    auto logLine = [&](const QString& line) {
        if (logOn)
            pendingLines.append({&d->transactionLog, line});
    };

    // The template as written at the start, merged with each record. The file is read
    // again whenever it changes, and the prepared merge is reused while it reads the same.
    std::optional<TextMailMerge> merge;
    QStringList mergeLines;
    TemplateWatch templateWatch(runTemplate);
    auto currentMerge = [&]() -> const TextMailMerge& {
        if (merge && !templateWatch.changed())
            return *merge;
        QStringList lines;
        if (!TextFile::readLines(runTemplate, &lines))
            lines = MailTemplateFile::toLines(mail);
        if (!merge || lines != mergeLines) {
            MailTemplate current = mail;
            MailTemplateFile::fromLines(lines, current);
            merge.emplace(current.subject, current.bodyLines, columns);
            mergeLines = lines;
        }
        return *merge;
    };
    const int invalidColumn = table->fieldIndex(QStringLiteral("Invalid"));
    // One record of the view, read and merged without moving the cursor.
    auto readRecord = [&](qint64 row) {
        Pending r;
        const QVariantList values = table->rowValues(row);
        r.id = table->idAt(row);
        r.address =
            SqlFunctions::displayText(values.value(mailColumn), table->fieldType(mailColumn))
                .trimmed();
        const QVariant invalid = values.value(invalidColumn);
        r.valid = IsValidEmailAddress(r.address) &&
                  !(invalid.isValid() && !invalid.isNull() && invalid.toLongLong() != 0);
        r.merged = currentMerge().merge(reader.read([&](int column) {
            return SqlFunctions::displayText(values.value(column), table->fieldType(column));
        }));
        return r;
    };
    auto setMessage = [&](const Pending& r) {
        m_mail.ClearRecipients();
        m_mail.FromAddr = senderAddress;
        m_mail.From = senderName;
        m_mail.Priority = inputs.priority == 1 || inputs.priority == 5 ? inputs.priority : 3;
        m_mail.Subject =
            r.merged.subject.isEmpty() ? QStringLiteral("Kein Betreff") : r.merged.subject;
        m_mail.AddRecipient(r.address, r.address, 0);
        QString body;
        for (const QString& line : r.merged.lines) {
            body += line;
            body += QStringLiteral("\r\n");
        }
        m_mail.BodyText = body;
        m_mail.XMailer = QStringLiteral("XMailer");
        m_mail.PrepareMail(); // built now; a failure is reported when it is begun
    };
    // A message begun ahead whose record is not booked after all never ends on the server.
    auto giveUp = [&](Pending& r) {
        if (r.begun)
            session.abandon();
        r.begun = false;
    };

    // Each record's bookkeeping reaches the disk before the next message is complete:
    // without a pause the next message is begun as soon as the server has accepted one
    // and gets as far as its DATA command while the record is booked, then its text is
    // let through. Every booked record has left exactly one message, and a run that dies
    // leaves at most the one message in flight unbooked.
    table->setDurableCommits(true);
    Pending next;
    for (qint64 pass = 0; pass < recordCount; ++pass) {
        if (table->recordCount() == 0)
            break; // records unmarked elsewhere meanwhile
        if (table->eof())
            table->first();
        bool success = true;
        bool accepted = false; // the server took this record's message
        Pending current = std::move(next);
        next = Pending();
        if (!current.loaded || current.id != table->currentId()) {
            giveUp(current);
            current = readRecord(table->recNo());
            current.loaded = true;
        } else if (current.begun) {
            session.release(true);
        }
        writeLines();
        const QString& address = current.address;
        const bool valid = current.valid;
        if (onMessage)
            onMessage(current.merged.subject, current.merged.lines);
        m_messageSizeKb = textMessageSizeKb(current.merged.lines);
        QCoreApplication::processEvents(); // "Abbrechen" is heard here

        logLine(QStringLiteral("--- START MAIL --- From: ") + senderAddress +
                QStringLiteral("  To: ") + address);
        const bool transferring = valid && (current.begun || m_sending);
        if (transferring && !current.begun) {
            setMessage(current);
            session.begin(false);
        }
        // While the message travels, the next record is read and its message built.
        if (transferring && delayMs == 0 && pass + 1 < recordCount &&
            table->recNo() + 1 < table->recordCount()) {
            next = readRecord(table->recNo() + 1);
            next.loaded = true;
            if (next.valid)
                setMessage(next);
        }
        if (transferring) {
            const ServerSession::Outcome outcome = session.finish(ServerSession::RunKind::Text);
            if (outcome.stopRun)
                break; // no end lines and no bookkeeping for this record
            accepted = outcome.sent;
            if (!outcome.sent && !outcome.aborted) {
                success = false;
                logLine(outcome.error);
            }
            if (outcome.sent && m_sending && next.valid) {
                session.begin(true);
                next.begun = true;
            }
        }
        logLine(QStringLiteral("--- END MAIL ---"));
        logLine(QStringLiteral(" "));

        // Bookkeeping. A stop keeps the record marked unless its message arrived all
        // the same (the stop came while the server's answer was on the way): that one is
        // booked as sent, or sending again would deliver it twice.
        if (success && valid && !m_sending && !accepted) {
            giveUp(next);
            break; // stopped: the record stays marked
        }
        table->edit();
        bool written = true;
        if (success && valid) {
            m_sentList.append(QStringLiteral("TO: ") + address);
            if (onSent)
                onSent(m_sentList.last());
            pendingLines.append({&d->sentLog, address});
            written = table->setBool(QStringLiteral("Selected"), false) &&
                      table->setBool(QStringLiteral("Invalid"), false) &&
                      table->setDate(QStringLiteral("LetztesMail"), QDate::currentDate());
        } else {
            m_invalidList.append(table->asString(QStringLiteral("ID")) + QStringLiteral(": ") +
                                 table->asString(mailColumn));
            written = table->setBool(QStringLiteral("Selected"), false) &&
                      table->setString(QStringLiteral("LetztesMail"), QString()) &&
                      table->setBool(QStringLiteral("Invalid"), true);
        }
        QString postError;
        if (!written || !table->post(&postError)) {
            // The record would stay marked and current: sending on would reach it again.
            table->cancel();
            giveUp(next);
            m_sending = false;
            m_messages.error(QStringLiteral("Der Versand wird abgebrochen, weil der Datensatz "
                                            "nicht gespeichert werden kann: ") +
                             postError);
            break;
        }
        emitProgress();
        if (!m_sending) {
            giveUp(next);
            break;
        }
        if (pass + 1 < recordCount)
            pause(delayMs);
        if (!m_sending) {
            giveUp(next);
            break; // stopped during the pause
        }
    }
    giveUp(next);
    writeLines();

    if (onProgressTimer)
        onProgressTimer(false);
    emitProgress();
    // End of the run: filter off, connection closed (by the guards above), then the
    // window's part.
    session.finishRun();
    table->setDurableCommits(false);
    table->setFiltered(false);
    table->setFilter(QString());
    if (onTrafficTimer)
        onTrafficTimer(false);
    if (onBusyCursor)
        onBusyCursor(false);
    if (onClosable)
        onClosable();
    if (!m_invalidList.isEmpty() && onInvalidList)
        onInvalidList(m_invalidList);
    if (onCloseWindow)
        onCloseWindow();
    return true;
}
