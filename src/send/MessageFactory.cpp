#include "send/MessageFactory.h"

#include "common/TextFile.h"
#include "compose/SalutationFormula.h"
#include "database/AddressTable.h"
#include "database/DatabaseDefinition.h"
#include "database/SqlFunctions.h"
#include "database/SystemColumns.h"
#include "hygiene/EmailAddress.h"
#include "send/SendRun.h"
#include "send/SmtpMail.h"
#include "settings/AccountSettings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QUrl>
#include <chrono>
#include <filesystem>

// Tells whether a file may have changed since the last look, by its size and
// modification time. File times are coarse: a file written within the last second may
// have been written again in the same tick, so it counts as changed.
class TextMessageFactory::TemplateWatch {
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

QList<QPair<QString, QString>> MessageFactory::unsubscribeHeaders(const QString& url) {
    if (url.isEmpty())
        return {};
    return {{UnsubscribeLink::headerName(), UnsubscribeLink::headerValue(url)},
            {UnsubscribeLink::postHeaderName(), UnsubscribeLink::postHeaderValue()}};
}

void MessageFactory::addUnsubscribeLink(Message& m, MergeRecord& record) const {
    if (!m_unsubscribe)
        return;
    const QString url = m_unsubscribe->url(m.address);
    record.set(Merge::AbmeldeLink, url);
    if (m_unsubscribe->headers())
        m.listUnsubscribe = url;
}

TextMessageFactory::TextMessageFactory(const AddressTable& table, const MailTemplate& mail,
                                       const QString& runTemplatePath, const QString& programFolder,
                                       const Sender& sender)
    : m_table(table), m_mail(mail), m_runTemplate(runTemplatePath), m_sender(sender),
      m_columns(MergeColumns::forTable(table)),
      m_formula(std::make_unique<SalutationFormula>(programFolder + SalutationFormula::fileName())),
      m_reader(std::make_unique<MergeRecordReader>(m_columns, m_formula.get())),
      m_mailColumn(FindMailColumn(&table)),
      m_invalidColumn(table.fieldIndex(SystemColumns::Invalid)),
      m_idColumn(table.fieldIndex(SystemColumns::ID)),
      m_watch(std::make_unique<TemplateWatch>(runTemplatePath)) {}

TextMessageFactory::~TextMessageFactory() = default;

QString TextMessageFactory::problem() const {
    const QString missing = m_columns.missingRequiredMessage();
    if (!missing.isEmpty())
        return missing;
    if (m_mailColumn < 0)
        return QStringLiteral("Die Tabelle hat keine Spalte \"Mail\".");
    return {};
}

// The template as written at the start of the run. The file is read again whenever it
// changes, and the prepared merge is reused while it reads the same.
const TextMailMerge& TextMessageFactory::currentMerge() {
    if (m_merge && !m_watch->changed())
        return *m_merge;
    QStringList lines;
    if (!TextFile::readLines(m_runTemplate, &lines))
        lines = MailTemplateFile::toLines(m_mail);
    if (!m_merge || lines != m_mergeLines) {
        MailTemplate current = m_mail;
        MailTemplateFile::fromLines(lines, current);
        m_merge.emplace(current.subject, current.bodyLines, m_columns);
        m_mergeLines = lines;
    }
    return *m_merge;
}

MessageFactory::Message TextMessageFactory::build(qint64 id, const QVariantList& values) {
    auto text = [&](int column) {
        return SqlFunctions::displayText(values.value(column), m_table.fieldType(column));
    };
    Message m;
    m.id = id;
    m.address = text(m_mailColumn).trimmed();
    const QVariant invalid = values.value(m_invalidColumn);
    m.valid = IsValidEmailAddress(m.address) &&
              !(invalid.isValid() && !invalid.isNull() && invalid.toLongLong() != 0);
    m.invalidEntry = (m_idColumn >= 0 ? text(m_idColumn) : QString::number(id)) +
                     QStringLiteral(": ") + text(m_mailColumn);
    MergeRecord record = m_reader->read(text);
    addUnsubscribeLink(m, record);
    const TextMailMerge::Result merged = currentMerge().merge(record);
    m.subject = merged.subject;
    m.lines = merged.lines;
    m.sizeKb = SendRun::textMessageSizeKb(m.lines);
    return m;
}

void TextMessageFactory::apply(const Message& message, SmtpMail& mail) {
    mail.ClearRecipients();
    mail.FromAddr = m_sender.address;
    mail.From = m_sender.name;
    mail.Priority = m_sender.priority == 1 || m_sender.priority == 5 ? m_sender.priority : 3;
    mail.Subject = message.subject.isEmpty() ? QStringLiteral("Kein Betreff") : message.subject;
    mail.AddRecipient(message.address, message.address, 0);
    QString body;
    for (const QString& line : message.lines) {
        body += line;
        body += QStringLiteral("\r\n");
    }
    mail.BodyText = body;
    mail.XMailer = QStringLiteral("XMailer");
    mail.HeaderLines = unsubscribeHeaders(message.listUnsubscribe);
    mail.PrepareMail(); // built now; a failure is reported when it is begun
}

// ---- HTML mails ----

HtmlMessageFactory::HtmlMessageFactory(const AddressTable& table, const MailTemplate& mail,
                                       const QString& programFolder, const Settings& settings)
    : m_table(table), m_mail(mail), m_settings(settings), m_columns(MergeColumns::forTable(table)),
      m_formula(std::make_unique<SalutationFormula>(programFolder + SalutationFormula::fileName())),
      m_reader(std::make_unique<MergeRecordReader>(m_columns, m_formula.get())),
      m_mailColumn(FindMailColumn(&table)), m_idColumn(table.fieldIndex(QStringLiteral("ID"))) {}

HtmlMessageFactory::~HtmlMessageFactory() = default;

QString HtmlMessageFactory::sendingFileName() {
    return QStringLiteral("Sending.eml");
}

QString HtmlMessageFactory::newsletterId(const QDateTime& start) {
    return start.toString(QStringLiteral("yyyyMMddHHmm"));
}

bool HtmlMessageFactory::load(QString* error) {
    if (!m_message.loadMessageFile(m_mail.messageFile, error))
        return false;
    // The bodies start from the texts the composer read from the file.
    m_merge.emplace(m_mail.subject, m_mail.htmlBody, m_mail.plainBody, m_columns);
    // The message is the sender's own: the file's headers do not travel.
    m_message.clearRecipientLists();
    if (m_settings.priority == 1 || m_settings.priority == 5)
        m_message.setPriority(m_settings.priority);
    setAccount(m_settings.codeSet, m_settings.clientIdentity);
    m_message.setSender(m_settings.senderName, m_settings.senderAddress);
    return true;
}

void HtmlMessageFactory::setAccount(int codeSet, int clientIdentity) {
    m_settings.codeSet = codeSet;
    m_settings.clientIdentity = clientIdentity;
    m_message.setCharsetName(codeSetCharset(codeSet).toLatin1());
    const QString mimeOle = QStringLiteral("X-MimeOLE");
    m_message.removeHeaderLine(QStringLiteral("X-Mailer"));
    m_message.removeHeaderLine(mimeOle);
    if (clientIdentity >= 1 && clientIdentity <= 5)
        m_message.setMailerName(clientIdentityText(clientIdentity));
    if (clientIdentity == 1)
        m_message.addHeaderLine(mimeOle,
                                QStringLiteral("Produced By Microsoft MimeOLE V6.00.2900.5994"));
}

QString HtmlMessageFactory::problem() const {
    const QString missing = m_columns.missingRequiredMessage();
    if (!missing.isEmpty())
        return missing;
    if (m_mailColumn < 0)
        return QStringLiteral("Die Tabelle hat keine Spalte \"Mail\".");
    return {};
}

QString HtmlMessageFactory::trackedLinks(const QString& html, const QString& statsAddress,
                                         const QString& nid) {
    // The address comes from the web settings: nothing in it may end the attribute.
    QString address;
    for (const QChar c : statsAddress)
        address += c == QChar('"') || c == QChar('\'') || c == QChar('<') || c == QChar('>') ||
                           c.isSpace() || c.unicode() < 0x20
                       ? QString::fromLatin1(QUrl::toPercentEncoding(QString(c)))
                       : QString(c);
    QString out = html;
    for (const QChar quote : {QChar('"'), QChar('\'')}) {
        const QString pattern = QStringLiteral("href=") + quote + QStringLiteral("htt");
        const QString replacement = QStringLiteral("href=") + quote + address +
                                    QStringLiteral("stats.php?nid=") + nid +
                                    QStringLiteral("&url=htt");
        if (!out.contains(pattern, Qt::CaseInsensitive))
            continue;
        QString next;
        next.reserve(out.size() + 256);
        qsizetype from = 0;
        for (qsizetype at; (at = out.indexOf(pattern, from, Qt::CaseInsensitive)) >= 0;
             from = at + pattern.size()) {
            next += QStringView(out).mid(from, at - from);
            next += replacement;
        }
        next += QStringView(out).mid(from);
        out = next;
    }
    return out;
}

MessageFactory::Message HtmlMessageFactory::build(qint64 id, const QVariantList& values) {
    return compose(id, values, false);
}

MessageFactory::Message HtmlMessageFactory::buildForPreview(qint64 id, const QVariantList& values) {
    return compose(id, values, true);
}

MessageFactory::Message HtmlMessageFactory::compose(qint64 id, const QVariantList& values,
                                                    bool preview) {
    auto text = [&](int column) {
        return SqlFunctions::displayText(values.value(column), m_table.fieldType(column));
    };
    Message m;
    m.id = id;
    m.address = text(m_mailColumn).trimmed().remove(QChar(0xff));
    m.valid = IsValidEmailAddress(m.address);
    m.invalidEntry = (m_idColumn >= 0 ? text(m_idColumn) : QString::number(id)) +
                     QStringLiteral(": ") + text(m_mailColumn);
    m.sizeKb = 1;
    if ((!m.valid && !preview) || !m_merge)
        return m;
    MergeRecord record = m_reader->read(text);
    addUnsubscribeLink(m, record);
    const HtmlMailMerge::Result merged = m_merge->merge(record);
    m.subject = merged.subject;
    m_message.setHtmlText(m_settings.tracking
                              ? trackedLinks(merged.html, m_settings.statsAddress, m_settings.nid)
                              : merged.html);
    m_message.setPlainText(merged.plain);
    m_message.setSubjectText(merged.subject);
    // The page of the current message, as a browser would show it; nothing reads it.
    m_message.unpackHtmlTo(m_settings.workFolder, QStringLiteral("Body.txt"),
                           QStringLiteral("images"), nullptr);
    m_message.clearRecipientLists();
    if (!preview || MimeMessage::isUsableAddress(m.address))
        m_message.addToRecipient(QString(), m.address);
    m_message.setSendDate(QDateTime::currentDateTimeUtc());
    m_message.removeHeaderLine(UnsubscribeLink::headerName());
    m_message.removeHeaderLine(UnsubscribeLink::postHeaderName());
    for (const auto& [name, value] : unsubscribeHeaders(m.listUnsubscribe))
        m_message.addHeaderLine(name, value);
    QString error;
    if (!m_message.finishMessage(&error) ||
        !m_message.saveMessageFile(m_settings.workFolder + sendingFileName(), &error)) {
        m.error = error;
        m.valid = false;
        return m;
    }
    m.content = m_message.finishedBytes();
    return m;
}

void HtmlMessageFactory::apply(const Message& message, SmtpMail& mail) {
    mail.ClearRecipients();
    mail.FromAddr = m_settings.senderAddress;
    mail.From = m_settings.senderName;
    mail.AddRecipient(QString(), message.address, 0);
    mail.BodyFormat = 1;
    mail.raw_Content = message.content;
    mail.PrepareMail(); // built now; a failure is reported when it is begun
}
