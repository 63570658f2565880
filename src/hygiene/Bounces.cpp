#include "hygiene/Bounces.h"

#include "common/TextFile.h"
#include "database/AddressTable.h"
#include "database/DatabaseDefinition.h"
#include "database/SystemColumns.h"
#include "send/Pop3Login.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <gmime/gmime.h>
#include <mutex>
#include <sqlite3.h>

namespace {

void ensureGMime() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

template <typename T> struct Owned {
    T* p = nullptr;
    explicit Owned(T* object) : p(object) {}
    ~Owned() {
        if (p)
            g_object_unref(p);
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
};

QByteArray decoded(GMimePart* part) {
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (!content)
        return {};
    Owned<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(content, stream.p);
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.p));
    return QByteArray(reinterpret_cast<const char*>(bytes->data), qsizetype(bytes->len));
}

// Reports are ASCII by rule; a diagnostic in another charset keeps its letters readable.
QString text(const QByteArray& bytes) {
    QString t = QString::fromUtf8(bytes);
    if (t.contains(QChar::ReplacementCharacter))
        t = TextFile::fromWindows1252(bytes);
    return t;
}

bool isType(GMimeObject* object, const char* type, const char* subtype) {
    GMimeContentType* ct = g_mime_object_get_content_type(object);
    return ct && g_mime_content_type_is_type(ct, type, subtype);
}

// The parts of the message worth reading: the delivery-status part and the first
// plain-text part outside an enclosed message.
struct Walk {
    QByteArray status;
    bool hasStatus = false;
    QByteArray plain;
    bool hasPlain = false;
};

void walk(GMimeObject* object, Walk* w, int depth) {
    if (!object || depth > 20)
        return;
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart* mp = GMIME_MULTIPART(object);
        for (int i = 0; i < g_mime_multipart_get_count(mp); ++i)
            walk(g_mime_multipart_get_part(mp, i), w, depth + 1);
        return;
    }
    if (isType(object, "message", "delivery-status") ||
        isType(object, "message", "global-delivery-status")) {
        if (GMIME_IS_PART(object)) {
            w->status += decoded(GMIME_PART(object));
        } else if (GMIME_IS_MESSAGE_PART(object)) {
            // Read as an enclosed message: its "headers" are the report's fields.
            GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
            if (inner) {
                char* all = g_mime_object_to_string(GMIME_OBJECT(inner), nullptr);
                w->status += all;
                g_free(all);
            }
        }
        w->hasStatus = true;
        return;
    }
    if (GMIME_IS_PART(object) && !w->hasPlain && isType(object, "text", "plain")) {
        w->plain = decoded(GMIME_PART(object));
        w->hasPlain = true;
    }
}

// Field blocks of a delivery-status body, continuation lines joined.
QList<QHash<QString, QString>> fieldBlocks(const QString& body) {
    QList<QHash<QString, QString>> blocks;
    QHash<QString, QString> current;
    QString lastKey;
    const QStringList lines = QString(body).replace(QStringLiteral("\r"), QString()).split('\n');
    for (const QString& line : lines) {
        if (line.trimmed().isEmpty()) {
            if (!current.isEmpty())
                blocks.append(current);
            current.clear();
            lastKey.clear();
            continue;
        }
        if ((line.startsWith(' ') || line.startsWith('\t')) && !lastKey.isEmpty()) {
            current[lastKey] += QLatin1Char(' ') + line.trimmed();
            continue;
        }
        const int colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        lastKey = line.left(colon).trimmed().toLower();
        current.insert(lastKey, line.mid(colon + 1).trimmed());
    }
    if (!current.isEmpty())
        blocks.append(current);
    return blocks;
}

const QRegularExpression& statusPattern() {
    static const QRegularExpression re(QStringLiteral("\\b([245])\\.(\\d{1,3})\\.(\\d{1,3})\\b"));
    return re;
}

bool mentions(const QString& text, const QStringList& words) {
    for (const QString& w : words)
        if (text.contains(w, Qt::CaseInsensitive))
            return true;
    return false;
}

const QStringList& mailboxFullWords() {
    static const QStringList w = {QStringLiteral("mailbox full"),
                                  QStringLiteral("mailbox is full"),
                                  QStringLiteral("quota"),
                                  QStringLiteral("insufficient storage"),
                                  QStringLiteral("Postfach ist voll"),
                                  QStringLiteral("Postfach voll"),
                                  QStringLiteral("out of storage"),
                                  QStringLiteral("storage space")};
    return w;
}

const QStringList& unknownUserWords() {
    static const QStringList w = {
        QStringLiteral("user unknown"),      QStringLiteral("unknown user"),
        QStringLiteral("no such user"),      QStringLiteral("does not exist"),
        QStringLiteral("doesn't exist"),     QStringLiteral("address not found"),
        QStringLiteral("invalid recipient"), QStringLiteral("recipient not found"),
        QStringLiteral("no mailbox here"),   QStringLiteral("mailbox unavailable"),
        QStringLiteral("unknown recipient"), QStringLiteral("recipient address rejected"),
        QStringLiteral("couldn't be found"), QStringLiteral("could not be found"),
        QStringLiteral("existiert nicht"),   QStringLiteral("unbekannt")};
    return w;
}

// Hard or soft, from the status and the reason's words. A full mailbox is soft whatever
// its code says; without clear evidence of a permanent failure a bounce counts as soft,
// so no address is marked invalid by a guess.
void classify(BounceRecipient* r, const QString& action, bool permanentText) {
    const QString all = r->status + QLatin1Char(' ') + r->reason;
    if (r->status.isEmpty()) {
        const auto m = statusPattern().match(r->reason);
        if (m.hasMatch())
            r->status = m.captured(0);
    }
    if (r->status.endsWith(QStringLiteral(".2.2")) || mentions(all, mailboxFullWords())) {
        r->hard = false;
        return;
    }
    if (action.compare(QStringLiteral("delayed"), Qt::CaseInsensitive) == 0) {
        r->hard = false;
        return;
    }
    if (r->status.startsWith('5')) {
        r->hard = true;
        return;
    }
    if (r->status.startsWith('4')) {
        r->hard = false;
        return;
    }
    static const QRegularExpression smtpCode(QStringLiteral("(^|[^0-9.])([45])\\d\\d([^0-9.]|$)"));
    const auto code = smtpCode.match(r->reason);
    if (code.hasMatch()) {
        r->hard = code.captured(2) == QStringLiteral("5");
        return;
    }
    r->hard = mentions(all, unknownUserWords()) || permanentText ||
              action.compare(QStringLiteral("failed"), Qt::CaseInsensitive) == 0;
}

QString addressOf(QString value) {
    // "rfc822; anna@example.org" or "<anna@example.org>"
    const int semicolon = value.indexOf(';');
    if (semicolon >= 0)
        value = value.mid(semicolon + 1);
    value = value.trimmed();
    if (value.startsWith('<') && value.endsWith('>'))
        value = value.mid(1, value.size() - 2).trimmed();
    return value.toLower();
}

bool plausibleAddress(const QString& a) {
    static const QRegularExpression re(
        QStringLiteral("^[^@\\s<>()\",;:]+@[^@\\s<>()\",;:]+\\.[^@\\s<>()\",;:]+$"));
    return re.match(a).hasMatch();
}

void readDsn(const QByteArray& body, BounceReport* report) {
    const QList<QHash<QString, QString>> blocks = fieldBlocks(text(body));
    for (int i = 0; i < blocks.size(); ++i) {
        const auto& b = blocks[i];
        const bool recipientBlock = b.contains(QStringLiteral("action")) ||
                                    b.contains(QStringLiteral("status")) ||
                                    b.contains(QStringLiteral("final-recipient"));
        if (!recipientBlock)
            continue; // the per-message fields (Reporting-MTA, Arrival-Date, ...)
        const QString action = b.value(QStringLiteral("action")).trimmed().toLower();
        if (action == QStringLiteral("delivered") || action == QStringLiteral("relayed") ||
            action == QStringLiteral("expanded"))
            continue; // a success report names no failure
        BounceRecipient r;
        r.address = addressOf(b.value(QStringLiteral("final-recipient")));
        if (!plausibleAddress(r.address)) {
            ++report->skippedEntries;
            continue;
        }
        r.status = statusPattern().match(b.value(QStringLiteral("status"))).captured(0);
        QString reason = b.value(QStringLiteral("diagnostic-code"));
        const int semicolon = reason.indexOf(';');
        if (semicolon >= 0 && semicolon < 12)
            reason = reason.mid(semicolon + 1).trimmed(); // "smtp; 550 ..."
        r.reason = reason.isEmpty() ? b.value(QStringLiteral("status")) : reason;
        classify(&r, action, false);
        report->recipients.append(r);
    }
}

// Plain-text reports. Each format names the failed addresses in its own way; the
// reason is the text that follows the address.
struct TextFormat {
    QRegularExpression marker;  // identifies the format
    QRegularExpression address; // captures the address (1) and the reason (2)
};

const QList<TextFormat>& textFormats() {
    using RE = QRegularExpression;
    const auto opts = RE::CaseInsensitiveOption | RE::MultilineOption;
    static const QList<TextFormat> formats = {
        // qmail: "<anna@example.org>:" on a line of its own, the reason below it.
        {RE(QStringLiteral("This is the qmail-send program"), opts),
         RE(QStringLiteral("^<([^>\\s]+@[^>\\s]+)>:\\s*\\n((?:.+\\n?)+)"), opts)},
        // Exim: the addresses indented below "The following address(es) failed:".
        {RE(QStringLiteral("address\\(es\\) failed|could not be delivered to one or more"), opts),
         RE(QStringLiteral("^\\s{2}<?([^\\s<>@]+@[^\\s<>]+?)>?\\s*\\n((?:\\s{4}.+\\n?)*)"), opts)},
        // Postfix without a report part: "<anna@example.org>: host ... said: 550 ...".
        {RE(QStringLiteral("This is the mail system at host|The Postfix program"), opts),
         RE(QStringLiteral("^<([^>\\s]+@[^>\\s]+)>:\\s*((?:.+\\n?)+)"), opts)},
        // Exchange / Outlook.com: "Delivery has failed to these recipients or groups:".
        {RE(QStringLiteral("Delivery has failed to these recipients or groups"), opts),
         RE(QStringLiteral("^\\s*(?:.*\\()?([^\\s()<>@]+@[^\\s()<>]+?)\\)?\\s*\\n((?:.+\\n?)+)"),
            opts)},
        // Gmail: the address indented below "failed permanently:" or "temporarily:".
        {RE(QStringLiteral("Delivery to the following recipients? failed|wasn't delivered to"),
            opts),
         RE(QStringLiteral("(?:^\\s+|wasn't delivered "
                           "to\\s+)([^\\s<>@]+@[^\\s<>]+?)\\.?(?:\\s*\\n| because)((?:.+\\n?)*)"),
            opts)},
    };
    return formats;
}

bool looksLikeBounceSender(GMimeMessage* message) {
    const char* from = g_mime_object_get_header(GMIME_OBJECT(message), "From");
    const char* returnPath = g_mime_object_get_header(GMIME_OBJECT(message), "Return-Path");
    const QString f = QString::fromUtf8(from ? from : "").toLower();
    const QString rp = QString::fromUtf8(returnPath ? returnPath : "").trimmed();
    return f.contains(QStringLiteral("mailer-daemon")) ||
           f.contains(QStringLiteral("postmaster")) ||
           f.contains(QStringLiteral("mail delivery")) || rp == QStringLiteral("<>");
}

void readText(const QString& body, BounceReport* report) {
    const QString t = QString(body).replace(QStringLiteral("\r"), QString());
    const bool permanent =
        mentions(t, {QStringLiteral("permanent error"), QStringLiteral("failed permanently"),
                     QStringLiteral("permanent fatal errors")});
    const bool temporary =
        mentions(t, {QStringLiteral("temporary"), QStringLiteral("not yet been delivered"),
                     QStringLiteral("will retry"), QStringLiteral("delayed"),
                     QStringLiteral("failed temporarily")});
    for (const TextFormat& format : textFormats()) {
        const auto marker = format.marker.match(t);
        if (!marker.hasMatch())
            continue;
        // The addresses stand after the marker and before the enclosed original.
        QString region = t.mid(marker.capturedStart());
        for (const QString& end : {QStringLiteral("------ This is a copy of the message"),
                                   QStringLiteral("--- Below this line is a copy"),
                                   QStringLiteral("Original message headers:"),
                                   QStringLiteral("----- Original message -----")}) {
            const int at = region.indexOf(end, 0, Qt::CaseInsensitive);
            if (at > 0)
                region = region.left(at);
        }
        auto it = format.address.globalMatch(region);
        while (it.hasNext()) {
            const auto m = it.next();
            BounceRecipient r;
            r.address = addressOf(m.captured(1));
            if (!plausibleAddress(r.address))
                continue;
            r.reason = m.captured(2).simplified().left(300);
            classify(&r, temporary && !permanent ? QStringLiteral("delayed") : QString(),
                     permanent);
            report->recipients.append(r);
        }
        if (!report->recipients.isEmpty())
            return;
    }
}

QByteArray headerOf(GMimeMessage* message, const char* name) {
    const char* v = g_mime_object_get_header(GMIME_OBJECT(message), name);
    return QByteArray(v ? v : "").trimmed().toLower();
}

} // namespace

namespace Bounces {

BounceReport parse(const QByteArray& bytes) {
    ensureGMime();
    BounceReport report;
    Owned<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(bytes.constData(), size_t(bytes.size())));
    Owned<GMimeParser> parser(g_mime_parser_new_with_stream(stream.p));
    Owned<GMimeMessage> message(g_mime_parser_construct_message(parser.p, nullptr));
    if (!message.p || !g_mime_message_get_mime_part(message.p)) {
        report.kind = BounceReport::Kind::Unrecognised;
        return report;
    }
    Walk w;
    walk(g_mime_message_get_mime_part(message.p), &w, 0);
    if (w.hasStatus) {
        readDsn(w.status, &report);
    } else {
        // Auto-replies ("Abwesenheitsnotiz", vacation) are never bounces.
        const QByteArray autoSubmitted = headerOf(message.p, "Auto-Submitted");
        if (!autoSubmitted.isEmpty() && autoSubmitted != "no" && !looksLikeBounceSender(message.p))
            return report;
        if (!looksLikeBounceSender(message.p))
            return report;
        if (w.hasPlain)
            readText(text(w.plain), &report);
        else if (GMIME_IS_PART(g_mime_message_get_mime_part(message.p)))
            readText(text(decoded(GMIME_PART(g_mime_message_get_mime_part(message.p)))), &report);
    }
    report.kind =
        report.recipients.isEmpty() ? BounceReport::Kind::Unrecognised : BounceReport::Kind::Bounce;
    return report;
}

QList<BounceRecipient> Scan::recipients() const {
    QList<BounceRecipient> out;
    QHash<QString, int> at;
    for (const Mail& m : mails)
        for (const BounceRecipient& r : m.report.recipients) {
            const auto found = at.constFind(r.address);
            if (found == at.constEnd()) {
                at.insert(r.address, int(out.size()));
                out.append(r);
            } else if (r.hard && !out[*found].hard) {
                out[*found] = r;
            }
        }
    return out;
}

Scan readMailbox(const Pop3Account& account, const std::function<void(int, int)>& progress) {
    Scan scan;
    Pop3Mailbox box(account);
    QList<QPair<int, QByteArray>> uids;
    QString detail;
    if (!box.uids(&uids, &detail)) {
        scan.error = QStringLiteral("Das Postfach kann nicht gelesen werden: ") + detail;
        return scan;
    }
    scan.messages = int(uids.size());
    for (int i = 0; i < uids.size(); ++i) {
        QByteArray bytes;
        if (!box.retrieve(uids[i].first, &bytes, &detail)) {
            scan.error = QStringLiteral("Die E-Mail Nr. ") + QString::number(uids[i].first) +
                         QStringLiteral(" kann nicht abgerufen werden: ") + detail;
            return scan;
        }
        Mail mail;
        mail.number = uids[i].first;
        mail.uid = uids[i].second;
        mail.report = parse(bytes);
        switch (mail.report.kind) {
        case BounceReport::Kind::Bounce:
            ++scan.bounces;
            break;
        case BounceReport::Kind::Unrecognised:
            ++scan.unrecognised;
            break;
        case BounceReport::Kind::NoBounce:
            ++scan.noBounces;
            break;
        }
        scan.mails.append(std::move(mail));
        if (progress)
            progress(i + 1, scan.messages);
    }
    box.close(&detail);
    return scan;
}

Applied apply(AddressTable& table, const QList<BounceRecipient>& recipients) {
    Applied applied;
    QSet<QString> hard;
    for (const BounceRecipient& r : recipients) {
        if (r.hard)
            hard.insert(r.address);
        else
            ++applied.soft;
    }
    const int mailColumn = FindMailColumn(&table);
    TableStore* store = table.store();
    if (mailColumn < 0 || !store) {
        applied.error =
            QStringLiteral("Die geöffnete Tabelle hat keine Spalte für E-Mail-Adressen.");
        return applied;
    }
    // One pass over the addresses; the matching ids are then set in batches.
    std::vector<qint64> ids;
    QSet<QString> found;
    {
        const QString sql = QStringLiteral("SELECT rowid, \"%1\" FROM %2")
                                .arg(store->fieldName(mailColumn).replace('"', "\"\""),
                                     QLatin1String(TableStore::tableName()));
        TableStore::PreparedUse use(*store, sql);
        sqlite3_stmt* st = use.get();
        while (st && sqlite3_step(st) == SQLITE_ROW) {
            const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
            const QString address = QString::fromUtf8(t ? t : "").trimmed().toLower();
            if (hard.contains(address)) {
                ids.push_back(sqlite3_column_int64(st, 0));
                found.insert(address);
            }
        }
    }
    applied.hardNotInTable = int(hard.size() - found.size());
    if (ids.empty())
        return applied;
    QString error;
    applied.marked = table.updateRecords(ids, {{SystemColumns::Invalid, true}}, {}, {}, &error);
    if (applied.marked < 0) {
        applied.marked = 0;
        applied.error = error;
    }
    return applied;
}

int deleteProcessed(const Pop3Account& account, const QList<Mail>& mails, QString* error) {
    QSet<QByteArray> processed;
    for (const Mail& m : mails)
        if (m.report.kind == BounceReport::Kind::Bounce && !m.uid.isEmpty())
            processed.insert(m.uid);
    if (processed.isEmpty())
        return 0;
    Pop3Mailbox box(account);
    QList<QPair<int, QByteArray>> uids;
    QString detail;
    if (!box.uids(&uids, &detail)) {
        *error = QStringLiteral("Das Postfach kann nicht gelesen werden: ") + detail;
        return -1;
    }
    int deleted = 0;
    for (const auto& [number, uid] : uids) {
        if (!processed.contains(uid))
            continue;
        if (!box.remove(number, &detail)) {
            // The ones marked so far are processed bounces too; QUIT deletes them.
            *error = QStringLiteral("Die Rückläufer können nicht gelöscht werden: ") + detail;
            return -1;
        }
        ++deleted;
    }
    if (!box.close(&detail)) {
        *error = QStringLiteral("Die Rückläufer können nicht gelöscht werden: ") + detail;
        return -1;
    }
    return deleted;
}

} // namespace Bounces
