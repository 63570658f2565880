#pragma once
#include "compose/MailTemplate.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class DatabaseSession;
struct ShellFlags;
struct WorkingFolders;
class Messages;
class SmtpMail;
class QEventLoop;

// One execution of "Senden": the serial e-mail goes to every marked record of the
// open table, one merged message per record, with a pause between messages, live
// progress, per-record bookkeeping and the send logs.
//
// The run is synchronous for its caller (the composer's "Senden" handler) but never
// freezes the window: a transfer runs on a worker thread while the caller's event
// loop turns, the pause is a local event loop, and pending input is processed once per
// record. The table is touched only on the calling thread. Each record's bookkeeping
// is committed durably before the next message can be complete (without a pause the
// next message is begun meanwhile and held before its text), so a run that is
// stopped, or whose process dies, is resumed by sending again: only still-marked
// records are sent.
//
// Use from the composer:
//   SendRun run(folders, flags, session, mail, messages);
//   run.inputs = {...};                  // read from the window when "Senden" is clicked
//   run.onProgress = ...; ...            // hooks, each may be left empty
//   run.start();                         // returns when the run is over
//   "Abbrechen" during the run: run.abort(), then make the window closable and close it.
// A progress timer (500 ms) may call progress(), a traffic timer (1 s) trafficTick().
class SendRun {
public:
    // What the composer holds when the run starts.
    struct Inputs {
        MailTemplate mail;   // mode, subject, body lines, attachment, template path
        QString senderEntry; // selected sender list entry, or the typed text
        int senderCount = 0; // entries of the sender list
        int priority = 3;    // 1 "Hoch", 3 "Normal", 5 "Niedrig"
        bool ignoreConnectionProblems = false; // "IngoreConnecProb" on the placeholder panel
        bool tracking = false;                 // "Newsletter Tracking aktivieren" (HTML runs)
        qint64 markedCount = 0;                // counted when the composition started
    };

    // The three progress lines of the run display.
    struct Progress {
        qint64 sent = 0;
        qint64 invalid = 0;
        qint64 marked = 0;
        QString totalText;   // TotalLabel: "3 von 4"
        QString validText;   // eMailsLabel: "50.00% (1 Stück)"
        QString invalidText; // InvalidMailsLabel: "25.00% (1 Stück)"
        int totalBar = 0;    // ProgressBar3, 0..100
        int validBar = 0;    // ProgressBar1
        int invalidBar = 0;  // ProgressBar2
    };

    struct TrafficPoint {
        int tick = 0;  // the point's label
        int value = 0; // KB; a message above 100 KB is shown as 350
    };

    SendRun(const WorkingFolders& folders, const ShellFlags& flags, DatabaseSession& session,
            SmtpMail& mail, Messages& messages);
    ~SendRun();
    SendRun(const SendRun&) = delete;
    SendRun& operator=(const SendRun&) = delete;

    Inputs inputs;

    // Read live during the run: either ignore box ("IngoreConnecProb2" can be ticked
    // while the run goes on). Combined with inputs.ignoreConnectionProblems.
    std::function<bool()> ignoreConnectionProblemsNow;

    // Length of one second of the account's delay; tests shorten it.
    int millisecondsPerDelaySecond = 1000;

    // Hooks to the window.
    std::function<void()> onDisplayReset;            // labels "0", bars 0, chart one point 0
    std::function<void(const Progress&)> onProgress; // after each record
    std::function<void(const QString&)> onSent;      // "TO: " + address for ListBox1
    std::function<void(const QString& subject, const QStringList& lines)> onMessage; // merged
    std::function<void(const QString&)> onStatus; // "Connected", "Disconnected", "Sending"
    std::function<void()> onHidePlaceholderPanel;
    std::function<void(bool)> onBusyCursor;                // wait cursor on / reset
    std::function<void(bool)> onTrafficTimer;              // traffic timer on / off
    std::function<void(bool)> onProgressTimer;             // progress timer on / off
    std::function<void()> onClosable;                      // the window may now be closed
    std::function<void()> onCloseWindow;                   // the window closes itself
    std::function<void(const QStringList&)> onInvalidList; // show TErrorMailForm (modal)
    std::function<void(int milliseconds)> onPause;         // a pause between two messages begins

    // "Starting a run" and the run itself. False when the run ended at an early check
    // (question answered No, no subject, connection set-up failed ...); true when it
    // reached its loop. Refused (false) while a run is going on.
    bool start();
    // "Abbrechen": clears the sending flag, ends a transfer in flight and a pause at once.
    void abort();

    bool isRunning() const { return m_running; }
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
    static QString transactionLogName();  // "Transaction.log" (ProgramFolder)
    static QString sentLogName();         // "Gesendete_Mails.log" (TempFolder)
    static QString protocolName();        // "Logfile.txt" (ProgramFolder)
    static QString runTemplateName();     // "temp.mail" (SystemTempFolder)
    static QString previewTemplateName(); // "Preview.mail" (SystemTempFolder)
    static QString lastMailName();        // "_Zuletzt versande Email.mail" (LettersFolder)

private:
    struct Private;
    bool textRun();
    void resetDisplay();
    void pause(int milliseconds);
    void emitProgress();
    bool ignoring() const;

    const WorkingFolders& m_folders;
    const ShellFlags& m_flags;
    DatabaseSession& m_session;
    SmtpMail& m_mail;
    Messages& m_messages;
    std::unique_ptr<Private> d;

    bool m_running = false;
    bool m_sending = false;
    QStringList m_sentList;
    QStringList m_invalidList;
    int m_messageSizeKb = 0;
    int m_tick = 0;
    QEventLoop* m_pauseLoop = nullptr;
};
