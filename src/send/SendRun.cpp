#include "send/SendRun.h"

#include "common/FileNames.h"
#include "common/Messages.h"
#include "common/TextFile.h"
#include "common/Texts.h"
#include "database/AddressTable.h"
#include "send/DkimSigner.h"
#include "send/RunBookkeeping.h"
#include "send/SendLimits.h"
#include "send/ServerSession.h"
#include "send/SmtpMail.h"
#include "settings/AccountSettings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>

namespace {

const QString kPresetHost = QStringLiteral("Ihr SMTP Server");

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

SendRun::SendRun(const Context& context, SmtpMail& mail, Messages& messages, QObject* parent)
    : QObject(parent), m_context(context), m_mail(mail), m_messages(messages) {
    m_pause.setSingleShot(true);
    connect(&m_pause, &QTimer::timeout, this, &SendRun::nextRecord);
    connect(&m_mail, &SmtpMail::transferEnded, this, &SendRun::transferEnded);
}

SendRun::~SendRun() {
    // Only a run that is thrown away in the middle has a transfer left.
    if (m_mail.isTransferring()) {
        m_mail.Abort();
        m_mail.EndMail();
    }
}

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
    // The percentage shows what the bar shows: sent of marked.
    p.validText = percentText(sent, marked) + QStringLiteral("% (") + QString::number(sent) +
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
    Q_EMIT displayReset();
}

void SendRun::emitProgress() {
    Q_EMIT progressChanged(progress());
}

// ---- starting ----

bool SendRun::start() {
    if (m_stage != Stage::Idle)
        return false;
    const Context& c = m_context;
    m_stage = Stage::Connect;
    m_result = Result();
    m_current = Pending();
    m_next = Pending();
    m_later = Pending();
    m_factory.reset();
    m_htmlFactory = nullptr;
    m_logs.setPaths(c.programFolder + FileNames::transactionLog(),
                    c.tempFolder + FileNames::sentLog(), c.transactionLog);
    m_logs.removeTransactionLog();
    m_invalidList.clear();

    if (inputs.senderCount > 1 && !m_messages.question(senderQuestion(inputs.senderEntry))) {
        endEarly(false, false);
        return true;
    }
    if (!c.accountSetUp) {
        m_messages.information(
            QStringLiteral("Die Einstellungen für Ihr Mailkonto sind noch nicht durchgeführt "
                           "worden. Gehen Sie hierzu in den Menüpunkt \"Programm - Optionen\""));
        endEarly(true, true);
        return true;
    }
    // The account's limits, and how many messages it sent lately: a wrong value or an
    // unreadable count ends the run before anything is sent.
    {
        m_limits.reset();
        m_limitWaiting = false;
        const QString settingsFile =
            SettingsFiles::chooseSettingsFile(c.programFolder, c.definitionName);
        SendLimitSettings limits;
        QString error;
        bool ok = SendLimitSettings::read(settingsFile, &limits, &error);
        if (ok && limits.any()) {
            m_limits = std::make_unique<SendLimits>(
                limits, c.programFolder + SendLimits::stateFileName(),
                SendLimits::accountKey(Settings::readAccountSettingsPlain(settingsFile)),
                millisecondsPerDelaySecond);
            ok = m_limits->open(&error);
        }
        if (!ok) {
            m_limits.reset();
            m_messages.error(error);
            endEarly(false, false);
            return true;
        }
    }
    splitSenderEntry(inputs.senderEntry, &m_senderAddress, &m_senderName);
    resetDisplay();
    m_sending = true;
    m_mail.Initialise();

    // The checks that can end the run come before any file of the run is written.
    if (!prepareSigning() || (html() ? !prepareHtmlRun() : !prepareTextRun()))
        return true;
    QDir().mkpath(c.tempFolder);
    m_logs.removeSentLog();
    QFile::remove(c.programFolder + FileNames::smtpProtocol());

    Q_EMIT preparing();
    m_busy = true;
    Q_EMIT busy(true);
    QString error;
    if (!m_records.take(*c.table, &error)) {
        m_messages.error(error);
        endEarly(false, false);
        return true;
    }
    if (html() && m_records.count() == 0) {
        Q_EMIT busy(false);
        m_busy = false;
        m_messages.information(QStringLiteral("Keine Datensätze zum Versenden markiert!"));
        endEarly(true, true);
        return true;
    }

    m_session = std::make_unique<ServerSession>(m_mail, m_messages);
    m_session->makeClosable = [this] { m_result.closable = true; };
    m_session->stopRun = [this] {
        abort();
        m_result.closable = true;
        m_result.closeWindow = true;
    };
    m_session->ignoreConnectionProblems = [this] { return ignoring(); };
    m_session->showStatus = [this](const QString& text) { Q_EMIT statusChanged(text); };
    m_session->transactionLogEnabled = c.transactionLog;
    switch (m_session->beginSetUp(c.programFolder, c.definitionName,
                                  [this](bool ok) { connected(ok); })) {
    case ServerSession::Step::Ready:
        connected(true);
        break;
    case ServerSession::Step::Failed:
        connected(false);
        break;
    case ServerSession::Step::Waiting:
        break;
    }
    return true;
}

// With DKIM switched on every message is signed, so the key must load and fit the
// sender before the first one is built; false when the run has ended.
bool SendRun::prepareSigning() {
    const Context& c = m_context;
    m_signer.reset();
    const DkimSettings dkim =
        DkimSettings::read(SettingsFiles::chooseSettingsFile(c.programFolder, c.definitionName));
    if (!dkim.active)
        return true;
    auto signer = std::make_shared<DkimSigner>();
    QString error;
    if (signer->load(dkim, &error))
        error = DkimSigner::senderProblem(dkim.domain, m_senderAddress);
    if (!error.isEmpty()) {
        m_messages.error(error + QStringLiteral("\r\rDie DKIM-Signatur ist eingeschaltet; ohne "
                                                "sie wird keine E-Mail versendet."));
        endEarly(false, false);
        return false;
    }
    m_signer = std::move(signer); // handed to the component once its set-up is done
    return true;
}

// The text run's checks and files; false when the run has ended.
bool SendRun::prepareTextRun() {
    const Context& c = m_context;
    const MailTemplate& mail = inputs.mail;
    if (mail.subject.trimmed().isEmpty()) {
        m_messages.information(
            QStringLiteral("Kein Betreff eingegeben! - E-Mail wird nicht versendet!"));
        endEarly(false, false);
        return false;
    }
    if (!c.table) {
        m_messages.information(Texts::openDatabaseFirst());
        endEarly(false, false);
        return false;
    }
    const QString runTemplate = c.systemTempFolder + FileNames::runTemplate();
    m_factory = std::make_unique<TextMessageFactory>(
        *c.table, mail, runTemplate, c.programFolder,
        TextMessageFactory::Sender{m_senderAddress, m_senderName, inputs.priority});
    m_factory->setUnsubscribeLink(UnsubscribeLink::forDatabase(c.dataFolder, c.definitionName));
    if (const QString problem = m_factory->problem(); !problem.isEmpty()) {
        m_messages.error(problem);
        endEarly(false, false);
        return false;
    }
    // Without its attachment every message would fail and every address would be
    // booked invalid: the run does not start.
    if (!mail.attachment.isEmpty() && !QFileInfo(mail.attachment).isFile()) {
        m_messages.information(MailTemplateFile::missingAttachmentMessage(mail.attachment));
        endEarly(false, false);
        return false;
    }

    // The template as it stands now: the run reads it back before every record.
    QDir().mkpath(c.systemTempFolder);
    QFile::remove(runTemplate);
    QFile::remove(c.systemTempFolder + FileNames::previewTemplate());
    QString error;
    if (!writeMailTemplate(runTemplate, mail, &error)) {
        m_messages.error(error);
        endEarly(false, false);
        return false;
    }
    QDir().mkpath(c.lettersFolder);
    if (!writeMailTemplate(c.lettersFolder + lastMailName(), mail, &error))
        m_messages.error(error); // only a copy for the user; the run does not need it
    return true;
}

// The HTML run's checks: the opened e-mail file is read once, before anything is sent;
// false when the run has ended.
bool SendRun::prepareHtmlRun() {
    const Context& c = m_context;
    const MailTemplate& mail = inputs.mail;
    if (mail.messageFile.trimmed().isEmpty()) {
        m_messages.information(QStringLiteral("Mail Datei mit HTML-Mail nicht geöffnet?"));
        endEarly(false, false);
        return false;
    }
    if (!c.table) {
        m_messages.information(Texts::openDatabaseFirst());
        endEarly(false, false);
        return false;
    }
    m_mail.Release(); // the set-up makes a fresh connection
    m_nid = inputs.tracking ? HtmlMessageFactory::newsletterId(QDateTime::currentDateTime())
                            : QString();
    HtmlMessageFactory::Settings s;
    s.senderAddress = m_senderAddress;
    s.senderName = m_senderName;
    s.priority = inputs.priority;
    s.tracking = inputs.tracking;
    s.statsAddress = inputs.statsAddress;
    s.nid = m_nid;
    s.workFolder = c.systemTempFolder;
    auto factory = std::make_unique<HtmlMessageFactory>(*c.table, mail, c.programFolder, s);
    factory->setUnsubscribeLink(UnsubscribeLink::forDatabase(c.dataFolder, c.definitionName));
    QString error = factory->problem();
    QDir().mkpath(c.systemTempFolder);
    if (error.isEmpty())
        factory->load(&error);
    if (!error.isEmpty()) {
        m_messages.error(error);
        endEarly(false, false);
        return false;
    }
    m_htmlFactory = factory.get();
    m_factory = std::move(factory);
    return true;
}

void SendRun::endEarly(bool closable, bool closeWindow) {
    if (m_session)
        m_session->finishRun();
    m_result.reachedLoop = false;
    m_result.closable = m_result.closable || closable;
    m_result.closeWindow = closeWindow;
    conclude();
}

// Every end: the cursor reset, the sending flag cleared, the invalid list discarded
// (the result keeps it for the window), and the window told.
void SendRun::conclude() {
    if (m_busy)
        Q_EMIT busy(false);
    m_busy = false;
    m_sending = false;
    m_tick = 0;
    m_invalidList.clear();
    m_stage = Stage::Idle;
    const Result result = m_result;
    Q_EMIT finished(result);
}

// The connection set-up is over.
void SendRun::connected(bool ok) {
    if (!ok) {
        endEarly(false, false);
        return;
    }
    const Context& c = m_context;
    // An HTML mail brings its attachments in its file.
    if (!html() && !inputs.mail.attachment.isEmpty())
        m_mail.AddAttachment(inputs.mail.attachment);

    // The server values once more, as they stand in the file now.
    const AccountSettings fresh = Settings::readAccountSettingsPlain(m_session->settingsFile());
    m_mail.LogFileName = c.programFolder + FileNames::smtpProtocol();
    m_mail.AuthMode = 0;
    m_mail.BodyFormat = html() ? 1 : 0;
    m_mail.HtmlRunOption = html() ? 1 : 0;
    if (const auto port = fresh.smtpPortNumber())
        m_mail.ServerPort = *port;
    m_mail.ServerAddr = fresh.smtpHost.trimmed();
    m_mail.CodeSet = fresh.codeSetIndex;
    m_mail.Signer = m_signer;
    if (fresh.smtpHost == kPresetHost) {
        m_messages.information(QStringLiteral("Sie haben die Einstellungen noch nicht "
                                              "bearbeitet!\rBitte bearbeiten Sie diese im Menü "
                                              "unter Programm/Optionen!"));
        endEarly(true, true);
        return;
    }
    if (m_htmlFactory)
        m_htmlFactory->setAccount(fresh.codeSetIndex, m_session->settings().clientIdentityIndex);
    m_delayMs = std::max(0, m_session->settings().delaySeconds) * millisecondsPerDelaySecond;
    m_bookkeeping = std::make_unique<RunBookkeeping>(*c.table);
    m_bookkeeping->begin();
    m_result.reachedLoop = true;
    Q_EMIT loopStarted();
    m_stage = Stage::Prepare;
    scheduleNext();
}

// ---- the walk over the records ----

// Each record starts on a fresh turn of the event loop: input and painting come in
// between, and a long row of unusable addresses does not deepen the stack.
void SendRun::scheduleNext() {
    m_stage = Stage::Prepare;
    QMetaObject::invokeMethod(this, &SendRun::nextRecord, Qt::QueuedConnection);
}

void SendRun::nextRecord() {
    if (m_stage != Stage::Prepare && m_stage != Stage::Pause)
        return;
    m_stage = Stage::Prepare;
    if (m_next.released) {
        // Already let go to the server: it is booked like any other, also after a stop.
        m_records.consume(m_next.message.id);
        m_current = std::move(m_next);
        m_next = std::move(m_later);
        m_later = Pending();
        startCurrent();
        return;
    }
    if (!m_sending) {
        finishRun(); // stopped during the pause
        return;
    }
    qint64 id = 0;
    const bool more = m_records.peek(&id);
    // A message begun ahead for a record that is no longer next (unmarked meanwhile) is
    // given up, and its transfer ends before the next one begins.
    if (m_next.begun && (!more || id != m_next.message.id)) {
        giveUpAhead();
        drainThen(!more);
        return;
    }
    if (!more) {
        finishRun();
        return;
    }
    // With limits, the next message is built first: only one that will go to the server
    // waits for them.
    if (m_limits && !m_next.begun) {
        if (!m_next.loaded || m_next.message.id != id) {
            m_next = Pending();
            m_next.message = m_factory->build(id, m_records.valuesOf(id));
            m_next.loaded = true;
        }
        if (m_next.message.valid && holdBack())
            return;
    }
    m_records.next(&id);
    if (m_next.loaded && m_next.message.id == id) {
        m_current = std::move(m_next); // built ahead: the record is not read again
    } else {
        m_current = Pending();
        m_current.message = m_factory->build(id, m_records.valuesOf(id));
        m_current.loaded = true;
    }
    m_next = std::move(m_later); // prepareAhead checks that it is still the next one
    m_later = Pending();
    if (m_current.begun)
        m_session->release(true);
    startCurrent();
}

void SendRun::startCurrent() {
    m_logs.flush();
    const MessageFactory::Message& m = m_current.message;
    m_messageSizeKb = m.sizeKb;
    Q_EMIT messageMerged(m.subject, m.lines); // "Abbrechen" may come here

    m_logs.transaction(QStringLiteral("--- START MAIL --- From: ") + m_senderAddress +
                       QStringLiteral("  To: ") + m.address);
    if (!m.error.isEmpty())
        m_logs.transaction(m.error); // the record is booked as failed
    m_success = true;
    m_accepted = false;
    const bool transferring = m.valid && (m_current.begun || m_sending);
    if (!transferring) {
        book();
        return;
    }
    if (!m_current.begun) {
        m_factory->apply(m, m_mail);
        m_session->begin(false);
    }
    m_stage = Stage::Transfer;
    prepareAhead();
    // It could not even begin, or (let go ahead) it is over already: the outcome is known.
    if (!m_session->begunTransfer() || m_mail.transferDone())
        transferEnded();
}

// While a message travels (and no pause follows), the next record is read and its
// message built. Without limits the next two are chained to the one travelling: the
// transfer's own thread begins each as soon as the one before is accepted, so the server
// never waits for this thread; each still ends only when released after the booking of
// the one before it.
void SendRun::prepareAhead() {
    if (m_delayMs != 0)
        return;
    qint64 id = 0;
    if (!m_records.peek(&id))
        return;
    if (!m_next.loaded || m_next.message.id != id) {
        if (m_next.chained)
            return; // no longer next: it is given up once begun (nextRecord)
        m_next = Pending();
        m_later = Pending();
        m_next.message = m_factory->build(id, m_records.valuesOf(id));
        m_next.loaded = true;
        if (!m_next.message.valid)
            return;
        m_factory->apply(m_next.message, m_mail);
        m_next.chained = chainAhead();
    }
    qint64 after = 0;
    if (!m_next.chained || m_later.loaded || !m_records.peekAfter(id, &after))
        return;
    m_later.message = m_factory->build(after, m_records.valuesOf(after));
    m_later.loaded = true;
    if (m_later.message.valid) {
        m_factory->apply(m_later.message, m_mail);
        m_later.chained = chainAhead();
    }
}

// The message just applied is chained to the one under way, unless limits decide when
// each message may go or the run is stopping.
bool SendRun::chainAhead() {
    return !m_limits && m_sending && m_session->chain();
}

void SendRun::transferEnded() {
    if (m_stage == Stage::Drain) {
        if (!m_mail.transferDone())
            return;
        m_mail.EndMail();
        if (m_finishAfterDrain)
            finishRun();
        else
            scheduleNext();
        return;
    }
    if (m_stage != Stage::Transfer || (m_session->begunTransfer() && !m_mail.transferDone()))
        return;
    m_stage = Stage::Book;
    const ServerSession::Outcome outcome =
        m_session->finish(html() ? ServerSession::RunKind::Html : ServerSession::RunKind::Text);
    if (outcome.stopRun) {
        finishRun(); // no end lines and no bookkeeping for this record
        return;
    }
    m_accepted = outcome.sent;
    if (!outcome.sent && !outcome.aborted) {
        m_success = false;
        m_logs.transaction(outcome.error);
    }
    if (outcome.sent && m_limits) {
        QString error;
        if (!m_limits->record(QDateTime::currentMSecsSinceEpoch(), &error)) {
            // Uncounted messages could exceed the limit: this one is booked, then the
            // run stops.
            m_sending = false;
            m_messages.error(error);
        }
    }
    if (m_next.chained) {
        // The transfer's thread began it if this one was accepted; otherwise the component
        // dropped it and what was chained after it, and they are built again when due.
        m_next.begun = outcome.sent && m_mail.transferChained();
        if (!m_next.begun) {
            m_next = Pending();
            m_later = Pending();
        }
    } else if (outcome.sent && m_sending && m_next.loaded && m_next.message.valid &&
               (!m_limits || m_limits->check(QDateTime::currentMSecsSinceEpoch()).ms == 0)) {
        // The next message is begun at once only when no limit holds it back.
        m_session->begin(true);
        m_next.begun = true;
    }
    book();
}

void SendRun::book() {
    m_stage = Stage::Book;
    m_logs.transaction(QStringLiteral("--- END MAIL ---"));
    m_logs.transaction(QStringLiteral(" "));
    const MessageFactory::Message& m = m_current.message;
    // A stop keeps the record marked unless its message arrived all the same (the stop
    // came while the server's answer was on the way): that one is booked as sent, or
    // sending again would deliver it twice.
    if (m_success && m.valid && !m_sending && !m_accepted) {
        finishRun();
        return;
    }
    QString error;
    bool written = false;
    if (m_success && m.valid) {
        written = m_bookkeeping->bookSent(m.id, &error);
        if (written) {
            m_sentList.append(QStringLiteral("TO: ") + m.address);
            Q_EMIT recordSent(m_sentList.last()); // a stop seen here holds the next one back
            releaseAhead(); // its end travels while the rest of this booking is done
            m_logs.sent(m.address);
        }
    } else {
        written = m_bookkeeping->bookFailed(m.id, &error);
        if (written) {
            m_invalidList.append(m.invalidEntry);
            Q_EMIT recordFailed(m.invalidEntry);
        }
    }
    if (!written) {
        // The record would stay marked: sending on would reach it again.
        m_sending = false;
        m_messages.error(QStringLiteral("Der Versand wird abgebrochen, weil der Datensatz "
                                        "nicht gespeichert werden kann: ") +
                         error);
        finishRun();
        return;
    }
    emitProgress();
    afterBooking();
}

// Once this record's bookkeeping is durable, the message begun ahead may end, as long as
// its record is still the next marked one.
void SendRun::releaseAhead() {
    if (!m_next.begun || !m_sending)
        return;
    qint64 id = 0;
    if (!m_records.peek(&id) || id != m_next.message.id)
        return;
    m_session->release(true);
    m_next.released = true;
}

void SendRun::afterBooking() {
    if (m_next.released) {
        scheduleNext(); // no pause with a message begun ahead
        return;
    }
    if (!m_sending) {
        finishRun();
        return;
    }
    qint64 id = 0;
    if (!m_records.peek(&id)) {
        scheduleNext(); // finds nothing and ends the run
        return;
    }
    m_stage = Stage::Pause;
    Q_EMIT pauseStarted(m_delayMs);
    if (!m_sending) {
        finishRun(); // stopped as the pause began
        return;
    }
    if (m_delayMs > 0)
        m_pause.start(m_delayMs); // the window keeps working meanwhile
    else
        scheduleNext();
}

// Whether a limit of the account holds the next message back. Minute and hour limits
// make the run wait, looking again every second (so a stop and a changed clock take
// effect); the day limit ends the run as a stop does, leaving the records marked.
bool SendRun::holdBack() {
    const SendLimits::Wait wait = m_limits->check(QDateTime::currentMSecsSinceEpoch());
    if (wait.window == SendLimits::Window::None) {
        if (m_limitWaiting)
            Q_EMIT limitWait(QString(), 0);
        m_limitWaiting = false;
        return false;
    }
    const QString text = SendLimits::waitText(wait);
    m_limitWaiting = true;
    Q_EMIT limitWait(text, wait.untilMs);
    if (wait.window == SendLimits::Window::Day) {
        m_result.limitStopped = true;
        m_result.resumeAtMs = wait.untilMs;
        m_result.limitText = text;
        m_sending = false;
        finishRun();
        return true;
    }
    m_stage = Stage::Pause;
    m_pause.start(int(std::min<qint64>(wait.ms, 1000)));
    return true;
}

void SendRun::abort() {
    m_sending = false;
    m_mail.Abort();
    if (m_stage == Stage::Pause && m_pause.isActive()) {
        m_pause.stop();
        scheduleNext(); // ends the run on the next turn
    }
}

// A message begun ahead whose record is not booked after all never ends on the server.
void SendRun::giveUpAhead() {
    if (m_next.begun)
        m_session->giveUp(); // what was chained after it is dropped with it
    m_next = Pending();
    m_later = Pending();
}

void SendRun::drainThen(bool finishAfterwards) {
    m_finishAfterDrain = finishAfterwards;
    m_stage = Stage::Drain;
    if (!m_mail.isTransferring() || m_mail.transferDone())
        QMetaObject::invokeMethod(this, &SendRun::transferEnded, Qt::QueuedConnection);
}

// End of the run (also after a stop): logs written, connection closed, the window told.
void SendRun::finishRun() {
    giveUpAhead();
    if (m_mail.isTransferring()) {
        drainThen(true);
        return;
    }
    m_logs.flush();
    emitProgress();
    m_session->finishRun();
    if (html())
        QFile::remove(m_context.systemTempFolder + HtmlMessageFactory::sendingFileName());
    if (m_bookkeeping)
        m_bookkeeping->end();
    m_result.reachedLoop = true;
    m_result.closable = true;
    m_result.closeWindow = true;
    m_result.sentList = m_sentList;
    m_result.invalidList = m_invalidList;
    m_result.progress = progress();
    conclude();
}
