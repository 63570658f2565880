#include "hygiene/EmailAddress.h"

#include "HygieneTestSupport.h"

namespace {

struct Case {
    const char16_t* address;
    bool valid;
};

} // namespace

TEST(EmailAddress, JudgesAddressesByTheRule) {
    const Case cases[] = {
        // Valid forms, any letter case.
        {u"max.mustermann@example.de", true},
        {u"MAX.MUSTERMANN@EXAMPLE.DE", true},
        {u"Max.Mustermann@Example.De", true},
        {u"max_muster@mein-verein.de", true}, // "_" in the local part, "-" inside the domain
        {u"a&b#c$d@x.de", true},              // characters the rule does not list
        {u"1234@5.de", true},
        {u"a-b.c_d@sub.domain.com", true},
        // Each listed text, in turn.
        {u"a[b@x.de", false},
        {u"a]b@x.de", false},
        {u"a{b@x.de", false},
        {u"a}b@x.de", false},
        {u"o'neill@x.de", false},
        {u"strasse\u00DF@x.de", false},
        {u"a~b@x.de", false},
        {u"a@.x.de", false},
        {u"a@-x.de", false},
        {u"a.@x.de", false},
        {u"a\"b@x.de", false},
        {u"a,b@x.de", false},
        {u"a..b@x.de", false},
        {u"a+b@x.de", false},
        {u"A+B@X.DE", false},
        {u"a*b@x.de", false},
        {u"a/b@x.de", false},
        {u"a\\b@x.de", false},
        {u"m\u00FCller@x.de", false},
        {u"M\u00DCLLER@X.DE", false},
        {u"k\u00F6ln@x.de", false},
        {u"b\u00E4r@x.de", false},
        {u"\u00C4@x.de", false},
        {u"\u00D6@x.de", false},
        {u"ren\u00E9@x.de", false},
        {u"\u00E1@x.de", false},
        {u"\u00FA@x.de", false},
        {u"\u00F3@x.de", false},
        {u"\u00ED@x.de", false},
        {u"a\u00B4b@x.de", false},
        {u"a:b@x.de", false},
        {u"a;b@x.de", false},
        {u"a=b@x.de", false},
        {u"a?b@x.de", false},
        {u"a%b@x.de", false},
        {u"a\u00A7b@x.de", false},
        {u"a!b@x.de", false},
        {u"a(b@x.de", false},
        {u"a)b@x.de", false},
        {u"a^b@x.de", false},
        {u"a\u00B0b@x.de", false},
        {u"a b@x.de", false},
        {u"a@x.de ", false},
        // Structure.
        {u"", false},
        {u"abc", false},
        {u"a.b", false},
        {u"ab@de", false},
        {u"vor.name@localhost", false}, // dot only in the local part
        {u"a@b@x.de", false},
        {u"a@@x.de", false},
        {u".a@x.de", false},
        {u"@x.de", false},
        {u"a@x.de.", false},
        {u"a@x.de@", false},
        {u"a@x.de_", false},
        {u"a@x.de-", false},
        {u"a@x_y.de", false},
        // Control characters never make a deliverable address and must not reach a header.
        {u"a\tb@x.de", false},
        {u"a@x.de\r\nBcc: y@z.de", false},
        {u"a\u007F@x.de", false},
    };
    for (const Case& c : cases) {
        const QString address = QString::fromUtf16(c.address);
        EXPECT_EQ(IsValidEmailAddress(address), c.valid) << address.toStdString();
    }
    // A very long address is judged like any other.
    EXPECT_TRUE(IsValidEmailAddress(QString(200000, QChar('a')) + "@x.de"));
    EXPECT_FALSE(IsValidEmailAddress(QString(200000, QChar('.'))));
    EXPECT_TRUE(BlockedMailDomains().isEmpty());
}

class CollectTest : public HygieneFixture {};

TEST_F(CollectTest, WithSelectionColumnTakesMarkedAddressesOnce) {
    addRecords(table, {
                          {{"Mail", "ab@x.de"}, {"Selected", true}},
                          {{"Mail", " ab@x.de "}, {"Selected", true}}, // repeated after trimming
                          {{"Mail", "c@x.de"}, {"Selected", false}},
                          {{"Mail", "bad address@x.de"}, {"Selected", true}},
                          {{"Mail", "b@x.de"}, {"Selected", true}}, // a part of ab@x.de
                          {{"Mail", "no-at-sign.de"}, {"Selected", true}},
                          {{"Mail", ""}, {"Selected", true}},
                      });
    ASSERT_TRUE(table->setFilter("Ort='Köln'"));
    ScriptedMessages none;
    EXPECT_EQ(CollectMarkedAddresses(table, FindMailColumn(table), ", ", none),
              "ab@x.de, -1, b@x.de");
    EXPECT_FALSE(table->filtered());
    EXPECT_EQ(table->recNo(), table->recordCount() - 1);
    EXPECT_EQ(CollectMarkedAddresses(table, FindMailColumn(table), "; ", none),
              "ab@x.de; -1; b@x.de");

    // Only the current view is walked; afterwards the filter is off whatever it was.
    table->setFiltered(true);
    EXPECT_EQ(table->recordCount(), 0);
    EXPECT_EQ(CollectMarkedAddresses(table, FindMailColumn(table), ", ", none), "");
    EXPECT_FALSE(table->filtered());
    EXPECT_EQ(table->recordCount(), 7);
}

TEST_F(CollectTest, WithoutSelectionColumnTakesEveryRecordAndReportsBadOnes) {
    writeCustomDatabase(state, "Plain", {idLine(), textLine("Mail", true), textLine("Name")});
    ScriptedMessages none;
    ASSERT_TRUE(OpenDatabase(state.session, "Plain.ini", none));
    table = state.session.currentTable();
    addRecords(table, {{{"Mail", "a@x.de"}},
                       {{"Mail", "bad address@x.de"}},
                       {{"Mail", "a@x.de"}},
                       {{"Mail", "c@x.de"}}});
    ScriptedMessages messages;
    messages.expectInformation("Falsche E-Mail-Adresse: bad address@x.de");
    EXPECT_EQ(CollectMarkedAddresses(table, FindMailColumn(table), ", ", messages),
              QString::fromUtf16(u"a@x.de, \u00DE, c@x.de"));
    EXPECT_EQ(CollectMarkedAddresses(nullptr, 0, ", ", none), "");
}

TEST(EmailAddress, ControlAndInvisibleCharactersOfEveryKindMakeAnAddressInvalid) {
    ASSERT_TRUE(IsValidEmailAddress("a.b@k.uk"));
    for (const char16_t c : {u'\u0000', u'\u0009', u'\u000A', u'\u000D', u'\u001F', u'\u007F',
                             u'\u0080', u'\u0085', u'\u008B', u'\u009F', u'\u00AD', u'\u200B',
                             u'\u200E', u'\u202E', u'\u2028', u'\u2029', u'\uFEFF'}) {
        const QString address = QStringLiteral("a.b@k") + QChar(c) + QStringLiteral(".uk");
        EXPECT_FALSE(IsValidEmailAddress(address)) << "U+" << std::hex << int(c);
    }
}
