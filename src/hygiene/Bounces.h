#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

class AddressTable;
struct Pop3Account;

// Bounce processing: the mails in the account's POP3 mailbox that report undeliverable
// messages, read with GMime. Delivery status notifications (multipart/report with
// message/delivery-status) and the plain-text reports of Exim, qmail, older Postfix,
// Exchange/Outlook.com and Gmail are recognised; every other mail is left alone.

// One address a bounce reports.
struct BounceRecipient {
    QString address;   // lower case
    bool hard = false; // permanent: 5.x.x or unknown user; soft: 4.x.x, mailbox full
    QString status;    // "5.1.1" when the report gives one
    QString reason;
};

// What one mail turned out to be.
struct BounceReport {
    enum class Kind {
        NoBounce,     // a normal mail, an auto-reply: never touched
        Bounce,       // at least one address was found
        Unrecognised, // broken MIME, a report without Final-Recipient, an unknown format
    };
    Kind kind = Kind::NoBounce;
    QList<BounceRecipient> recipients;
    int skippedEntries = 0; // report entries without Final-Recipient
};

namespace Bounces {

BounceReport parse(const QByteArray& message);

// One mail of the mailbox as it was read.
struct Mail {
    int number = 0; // its POP3 message number in the session that read it
    QByteArray uid; // its UIDL, so a later session finds it again
    BounceReport report;
};

// The outcome of reading the mailbox.
struct Scan {
    QList<Mail> mails;
    int messages = 0;     // mails in the box
    int bounces = 0;      // mails with at least one address
    int unrecognised = 0; // skipped as unreadable or without a usable entry
    int noBounces = 0;
    QString error; // German; empty when the mailbox was read
    // The addresses found, one entry per address (a hard bounce wins over a soft one).
    QList<BounceRecipient> recipients() const;
};

// Logs in and reads every mail; progress(done, total) after each one (from the thread
// the call runs on). Blocking: run it off the user-interface thread.
Scan readMailbox(const Pop3Account& account,
                 const std::function<void(int done, int total)>& progress = {});

// The result of "Übernehmen".
struct Applied {
    qint64 marked = 0;      // records set Invalid
    int hardNotInTable = 0; // hard bounces whose address the table does not hold
    int soft = 0;           // soft bounces, left unmarked
    QString error;
};

// Sets Invalid true on every record of the table whose address (trimmed, case ignored)
// has a hard bounce, in committed batches; soft ones are only counted.
Applied apply(AddressTable& table, const QList<BounceRecipient>& recipients);

// Deletes the mails that were bounces (found by their UIDL) and nothing else; the
// number deleted, -1 with a German message in *error.
int deleteProcessed(const Pop3Account& account, const QList<Mail>& mails, QString* error);

} // namespace Bounces
