#pragma once
#include "compose/MailTemplate.h"
#include "send/MarkedRecords.h"
#include "send/MessageFactory.h"
#include "send/RunLogs.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <memory>

class AddressTable;
class Messages;
class RunBookkeeping;
class SendLimits;
class ServerSession;
class SmtpMail;

// One execution of "Senden": the serial e-mail goes to every marked record of the
// open table, one merged message per record, with a pause between messages, live
// progress, per-record bookkeeping and the send logs.
//
// The run is a state machine driven by the event loop: start() makes the early checks
// and returns; the connection set-up (with its POP3 login), each transfer and each pause
// end with a signal or a timer, and the run takes its next step then. No step waits in
// a loop of its own, so the window keeps painting and "Abbrechen" (abort()) takes
// effect within a second. The records are a snapshot of the marked ids, read and
// booked by id: the table's cursor and filter belong to the grid and are never moved.
//
// Each record's bookkeeping reaches the disk before the next message can be complete:
// without a pause the next message is begun as soon as the server has accepted one and
// gets as far as its DATA command while the record is booked, then its text is let
// through. Every booked record has left exactly one message, and a run that dies leaves
// at most the one message in flight unbooked; sending again reaches only still-marked
// records.
//
// The window observes the signals; finished() comes once for every accepted start,
// also when an early check ends the run (then perhaps before start() returns).
class SendRun : public QObject {
    Q_OBJECT
public:
    // The pieces of the program's state the run works with.
    struct Context {
        AddressTable* table = nullptr; // the open table; nullptr when none is open
        QString definitionName;        // of the open database ("Database.ini" ...)
        QString dataFolder;            // holds the database's web settings
        QString programFolder;         // each folder ends with "/"
        QString tempFolder;
        QString systemTempFolder;
        QString lettersFolder;
        bool accountSetUp = false;   // the account settings were saved once
        bool transactionLog = false; // "Transaction.log während des Mailversandes"
    };

    // What the composer holds when the run starts.
    struct Inputs {
        MailTemplate mail;   // mode, subject, body lines, attachment, template path
        QString senderEntry; // selected sender list entry, or the typed text
        int senderCount = 0; // entries of the sender list
        int priority = 3;    // 1 "Hoch", 3 "Normal", 5 "Niedrig"
        bool ignoreConnectionProblems = false; // "IngoreConnecProb" on the placeholder panel
        bool tracking = false;                 // "Newsletter Tracking aktivieren" (HTML runs)
        QString statsAddress;   // the web settings' statistics address, for tracked links
        qint64 markedCount = 0; // counted when the composition started
    };

    // The three progress lines of the run display.
    struct Progress {
        qint64 sent = 0;
        qint64 invalid = 0;
        qint64 marked = 0;
        QString totalText;   // TotalLabel: "3 von 4"
        QString validText;   // eMailsLabel: "25.00% (1 Stück)"
        QString invalidText; // InvalidMailsLabel: "25.00% (1 Stück)"
        int totalBar = 0;    // ProgressBar3, 0..100
        int validBar = 0;    // ProgressBar1
        int invalidBar = 0;  // ProgressBar2
    };

    struct TrafficPoint {
        int tick = 0;  // the point's label
        int value = 0; // KB; a message above 100 KB is shown as 350
    };

    struct Result {
        bool reachedLoop = false; // false when an early check ended the run
        bool closable = false;    // the composer may be closed now
        bool closeWindow = false; // the composer closes itself
        QStringList sentList;     // "TO: " + address
        QStringList invalidList;  // "ID: Mail"; shown after the run when not empty
        Progress progress;
        // The account's day limit ended the run; the still-marked records may go when
        // it allows (resumeAtMs, ms since the epoch).
        bool limitStopped = false;
        qint64 resumeAtMs = 0;
        QString limitText; // "Tageslimit erreicht: weiter am 10.12. um 08:00"
    };

    SendRun(const Context& context, SmtpMail& mail, Messages& messages, QObject* parent = nullptr);
    ~SendRun() override;

    Inputs inputs;
    // Length of one second of the account's delay and of the limits' windows; tests
    // shorten it.
    int millisecondsPerDelaySecond = 1000;

    // The run display's ignore box ("IngoreConnecProb2"), which can be ticked while the
    // run goes on; combined with inputs.ignoreConnectionProblems.
    void setIgnoreConnectionProblems(bool on) { m_ignoreNow = on; }

    // "Senden": false when refused (a run is going on, or the mode has no run yet);
    // otherwise finished() follows.
    bool start();
    // "Abbrechen": clears the sending flag, ends a transfer in flight and a pause.
    void abort();

    bool isRunning() const { return m_stage != Stage::Idle; }
    bool isSending() const { return m_sending; }

    // The display now; a progress timer may call it.
    Progress progress() const;
    // One tick of the traffic timer: the tick counter goes up; the value follows the
    // size of the current message.
    TrafficPoint trafficTick();
    int trafficValue() const;

    const QStringList& sentList() const { return m_sentList; }
    const QStringList& invalidList() const { return m_invalidList; }

    // Rules, shared with the composer and the preview.
    static Progress computeProgress(qint64 sent, qint64 invalid, qint64 marked);
    static int roundHalfEven(double value);
    // Size in KB of a text message: sum of the line lengths / 1024, rounded, at least 1.
    static int textMessageSizeKb(const QStringList& lines);
    static int trafficValueForSize(int sizeKb);
    // "address <name>" -> address and name; without "<" the trimmed text and no name.
    static void splitSenderEntry(const QString& entry, QString* address, QString* name);
    static int priorityFromText(const QString& text); // "Hoch" 1, "Niedrig" 5, else 3
    static QString senderQuestion(const QString& senderEntry);

    // File names of the run.
    static QString lastMailName(); // "_Zuletzt versande Email.mail" (LettersFolder)
    // HTML runs: "Sending.eml" (SystemTempFolder), the current message.

    // The newsletter id of the last HTML run, empty before the first.
    const QString& newsletterId() const { return m_nid; }

Q_SIGNALS:
    void displayReset(); // labels "0", bars 0, chart one point 0, lists empty
    void busy(bool on);  // wait cursor on / reset
    void preparing();    // the run leaves the composer's editing: placeholder panel hidden
    void loopStarted();  // the records are walked now: progress timer on
    void messageMerged(const QString& subject, const QStringList& lines);
    void recordSent(const QString& entry);   // "TO: " + address, after its booking
    void recordFailed(const QString& entry); // "ID: Mail", after its booking
    void progressChanged(const SendRun::Progress& progress);
    void statusChanged(const QString& text); // "Connected", "Disconnected", "Sending"
    void pauseStarted(int milliseconds);     // between two records
    // A limit of the account holds the next message back: why and until when; an empty
    // text when the run goes on again.
    void limitWait(const QString& text, qint64 untilMs);
    void finished(const SendRun::Result& result);

private:
    enum class Stage { Idle, Connect, Prepare, Transfer, Book, Pause, Drain };
    struct Pending {
        bool loaded = false;
        bool begun = false;    // its transfer started, held before its end
        bool released = false; // let go: it is the next record whatever happens now
        // Chained to the transfer before it: the component's thread begins it as soon as
        // that one is accepted, without waiting for this thread.
        bool chained = false;
        MessageFactory::Message message;
    };

    bool ignoring() const { return inputs.ignoreConnectionProblems || m_ignoreNow; }
    bool html() const { return inputs.mail.mode == MailTemplate::Mode::Html; }
    bool prepareSigning();
    bool prepareTextRun();
    bool prepareHtmlRun();
    void resetDisplay();
    void emitProgress();
    void endEarly(bool closable, bool closeWindow);
    void conclude();
    void connected(bool ok);
    void scheduleNext();
    void nextRecord();
    void startCurrent();
    void prepareAhead();
    bool chainAhead();
    void transferEnded();
    void book();
    void afterBooking();
    void releaseAhead();
    void giveUpAhead();
    void finishRun();
    bool holdBack();
    void drainThen(bool finishAfterwards);

    Context m_context;
    SmtpMail& m_mail;
    Messages& m_messages;
    std::unique_ptr<ServerSession> m_session;
    std::unique_ptr<MessageFactory> m_factory;
    HtmlMessageFactory* m_htmlFactory = nullptr; // m_factory in an HTML run
    QString m_nid;
    std::unique_ptr<RunBookkeeping> m_bookkeeping;
    std::shared_ptr<const class DkimSigner> m_signer; // set while signing is on
    MarkedRecords m_records;
    RunLogs m_logs;
    QTimer m_pause;
    std::unique_ptr<SendLimits> m_limits; // only when the account has limits
    bool m_limitWaiting = false;

    Stage m_stage = Stage::Idle;
    bool m_sending = false;
    bool m_ignoreNow = false;
    bool m_busy = false;
    bool m_finishAfterDrain = true;
    Result m_result;
    QString m_senderAddress;
    QString m_senderName;
    Pending m_current;
    Pending m_next;
    Pending m_later; // the one after m_next, chained behind it
    bool m_success = true;
    bool m_accepted = false;
    int m_delayMs = 0;
    QStringList m_sentList;
    QStringList m_invalidList;
    int m_messageSizeKb = 0;
    int m_tick = 0;
};
