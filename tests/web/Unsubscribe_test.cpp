// One-click unsubscribe against PHP's own web server serving the generated kit: the POST
// a mail program sends (RFC 8058), the confirmation page a browser gets, forged links.
#include "web/WebKitTestSupport.h"

#include "web/UnsubscribeLink.h"
#include "web/WebSync.h"

#include <QRegularExpression>

namespace {

class UnsubscribeSite : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(site.server->error().isEmpty()) << site.server->error().toStdString();
        ASSERT_TRUE(site.errors.isEmpty()) << site.errors.join('\n').toStdString();
    }
    QString link(const QString& address) const {
        return UnsubscribeLink(site.values.serverPath, site.values.password, true).url(address);
    }
    static HttpAnswer oneClick(const QString& url) {
        return httpPost(url, "List-Unsubscribe=One-Click");
    }
    QStringList cancellations() const { return site.fetch("email_list_out.php", "geheim42"); }

    KitSite site;
};

} // namespace

TEST_F(UnsubscribeSite, OneClickPostStoresTheCancellationTheSyncFetches) {
    const QString url = link(QStringLiteral("Anna.Muster@Beispiel.de"));
    ASSERT_TRUE(url.startsWith(site.values.serverPath +
                               "mailin.php?action=unsub&m=Anna.Muster%40Beispiel.de&t="));
    const HttpAnswer a = oneClick(url);
    EXPECT_EQ(a.status, 200);
    EXPECT_TRUE(a.redirect.isEmpty());
    EXPECT_TRUE(a.body.contains("Ihre Abmeldung wurde gespeichert.")) << a.body.constData();
    // Sent again (a mail program that retries): still one line.
    EXPECT_EQ(oneClick(url).status, 200);

    const QStringList lines = cancellations();
    ASSERT_EQ(lines.size(), 1) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].startsWith("Anna.Muster@Beispiel.de|"));
    // The sync takes it as a cancellation of the address in the table.
    const HttpAnswer list =
        httpGet(WebSync::cancellationsAddress(site.values.serverPath, site.values.password));
    const WebSync::Analysis analysis =
        WebSync::analyse({}, WebSync::listLines(list.body),
                         QSet<QString>{QStringLiteral("anna.muster@beispiel.de")});
    EXPECT_EQ(analysis.newCancellations, 1);
    EXPECT_EQ(analysis.checkEntries, QStringList{"Abbestellung | Anna.Muster@Beispiel.de"});
}

TEST_F(UnsubscribeSite, ForgedOrMissingTokensAreRefusedAndStoreNothing) {
    const QString url = link(QStringLiteral("anna@beispiel.de"));
    QString flipped = url;
    flipped[flipped.size() - 1] = flipped.endsWith('0') ? QChar('1') : QChar('0');
    const QString base = site.url("mailin.php?action=unsub&m=");
    for (const QString& forged :
         {flipped, QString(url).replace("anna%40", "bert%40"), base + "anna%40beispiel.de",
          base + "anna%40beispiel.de&t=", base + "anna%40beispiel.de&t=" + QString(64, 'a'),
          // The token of the same address keyed with another password.
          base + "anna%40beispiel.de&t=" + UnsubscribeLink::token("anna@beispiel.de", "anders"),
          base + q("<script>@x.de") +
              "&t=" + UnsubscribeLink::token("<script>@x.de", "geheim42")}) {
        const HttpAnswer post = oneClick(forged);
        EXPECT_EQ(post.status, 403) << forged.toStdString();
        EXPECT_TRUE(post.body.contains("Dieser Abmelde-Link ist ung\xfcltig."));
        EXPECT_FALSE(post.body.contains("<script>"));
        EXPECT_EQ(httpGet(forged).status, 403);
    }
    EXPECT_TRUE(cancellations().isEmpty());
}

// A link scanner opens the link: nothing is stored. The page's button sends the POST.
TEST_F(UnsubscribeSite, GetShowsAConfirmationWhoseButtonUnsubscribes) {
    const QString url = link(QStringLiteral("erna@beispiel.de"));
    const HttpAnswer page = httpGet(url);
    EXPECT_EQ(page.status, 200);
    EXPECT_TRUE(page.body.contains("Newsletter abbestellen"));
    EXPECT_TRUE(page.body.contains("erna@beispiel.de"));
    EXPECT_TRUE(cancellations().isEmpty());

    // The form as a browser reads it: its action (HTML-escaped) and its hidden field.
    const QString html = QString::fromLatin1(page.body);
    const QRegularExpression form(QStringLiteral("<form method=\"post\" action=\"([^\"]+)\">"));
    const QString action = form.match(html).captured(1).replace("&amp;", "&");
    ASSERT_FALSE(action.isEmpty()) << page.body.constData();
    const QRegularExpression hidden(
        QStringLiteral("<input type=\"hidden\" name=\"([^\"]+)\" value=\"([^\"]+)\">"));
    const auto field = hidden.match(html);
    ASSERT_TRUE(field.hasMatch());
    const HttpAnswer confirmed =
        httpPost(site.url(action), (q(field.captured(1)) + "=" + q(field.captured(2))).toLatin1());
    EXPECT_EQ(confirmed.status, 200);
    const QStringList lines = cancellations();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("erna@beispiel.de|"));
}
