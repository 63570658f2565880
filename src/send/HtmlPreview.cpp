#include "send/HtmlPreview.h"

#include "compose/HtmlMailFile.h"
#include "send/MessageFactory.h"
#include "send/MimeMessage.h"
#include "send/SendRun.h"
#include "settings/AccountSettings.h"

namespace HtmlPreview {

bool build(const Input& input, const AddressTable& table, qint64 id, const QVariantList& record,
           const QString& programFolder, const QString& definitionName,
           const QString& systemTempFolder, bool* hasHtml, QString* error) {
    const AccountSettings account = Settings::readAccountSettingsPlain(
        SettingsFiles::chooseSettingsFile(programFolder, definitionName));
    HtmlMessageFactory::Settings s;
    SendRun::splitSenderEntry(input.senderEntry, &s.senderAddress, &s.senderName);
    s.priority = input.priority;
    s.clientIdentity = account.clientIdentityIndex;
    s.codeSet = account.codeSetIndex;
    s.tracking = input.tracking;
    s.statsAddress = input.statsAddress;
    s.nid = input.nid;
    s.workFolder = systemTempFolder;
    HtmlMessageFactory factory(table, input.mail, programFolder, s);
    factory.setUnsubscribeLink(input.unsubscribe);
    QString failure = factory.problem();
    if (failure.isEmpty() && factory.load(&failure)) {
        const MessageFactory::Message m = factory.buildForPreview(id, record);
        failure = m.error;
        if (failure.isEmpty()) {
            MimeMessage shown;
            if (shown.loadMessageBytes(m.content, &failure)) {
                shown.setCharsetName(codeSetCharset(account.codeSetIndex).toLatin1());
                if (HtmlMailFile::writePreviewCopies(shown, systemTempFolder, &failure)) {
                    *hasHtml = shown.hasHtmlPart();
                    return true;
                }
            }
        }
    }
    if (error)
        *error = failure;
    return false;
}

} // namespace HtmlPreview
