#include "settings/ThunderbirdAccounts.h"

#include "support/TempProgramFolder.h"
#include "support/ThunderbirdProfile.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace ThunderbirdAccounts;

TEST(ThunderbirdAccountsTest, PrefsWithPopImapAndSmtpAccounts) {
    int unreadable = -1;
    const QList<MailAccount> list = accounts(readPrefs(kThunderbirdPrefs), &unreadable);
    // The broken account (its server line is quoted wrongly) is counted, the local
    // folders are no account.
    EXPECT_EQ(unreadable, 1);
    ASSERT_EQ(list.size(), 2);
    const MailAccount& pop = list[0];
    EXPECT_EQ(pop.entry(), u8"Anna Müller \"Büro\"<anna@example.de>");
    EXPECT_FALSE(pop.imap);
    const OptionsFields p = optionsFields(pop);
    EXPECT_EQ(p.smtpHost, "smtp.example.de");
    EXPECT_EQ(p.smtpPort, "587");
    EXPECT_TRUE(p.authentication);
    EXPECT_EQ(p.smtpUserName, "anna@example.de");
    EXPECT_EQ(p.popHost, "pop.example.de");
    EXPECT_EQ(p.popAccount, "anna");
    EXPECT_EQ(p.popPort, "110"); // no port stored

    const MailAccount& imap = list[1];
    EXPECT_EQ(imap.entry(), "Bernd<bernd@example.org>");
    EXPECT_TRUE(imap.imap);
    const OptionsFields i = optionsFields(imap);
    // The default SMTP server without port and user name.
    EXPECT_EQ(i.smtpHost, "mail.example.org");
    EXPECT_EQ(i.smtpPort, "25");
    EXPECT_FALSE(i.authentication);
    EXPECT_EQ(i.popHost, "");
    EXPECT_EQ(i.popAccount, "");
    EXPECT_EQ(i.popPort, "110");
}

TEST(ThunderbirdAccountsTest, ProfilesInEveryLocation) {
    TempProgramFolder home;
    // The usual folder with a profile and a profile whose folder is gone, the Flatpak
    // folder with an absolute path, and an empty Snap folder.
    writeThunderbirdProfile(home.path() + ".thunderbird", "abc.default", kThunderbirdPrefs,
                            "[Profile1]\nName=alt\nIsRelative=1\nPath=fehlt.alt\n");
    const QString flatpak = home.path() + ".var/app/org.mozilla.Thunderbird/.thunderbird";
    QDir().mkpath(home.path() + "elsewhere/p");
    writeBytes(home.path() + "elsewhere/p/prefs.js",
               "user_pref('mail.account.a.server', 's');\n"
               "user_pref('mail.account.a.identities', 'i');\n"
               "user_pref('mail.server.s.type', 'pop3');\n"
               "user_pref('mail.server.s.hostname', 'pop.flat.de');\n"
               "user_pref('mail.server.s.port', 995);\n"
               "user_pref('mail.identity.i.useremail', 'flat@flat.de');\n"
               "user_pref('mail.identity.i.fullName', 'Fl\\u00e4t');\n");
    writeBytes(flatpak + "/profiles.ini",
               QString("[Profile0]\nIsRelative=0\nPath=" + home.path() + "elsewhere/p\n").toUtf8());
    QDir().mkpath(home.path() + "snap/thunderbird/common/.thunderbird");

    const Found found = find(home.path());
    EXPECT_EQ(found.profiles, 2);
    EXPECT_EQ(found.unreadable, 2); // the missing profile folder and the broken account
    ASSERT_EQ(found.accounts.size(), 3);
    EXPECT_EQ(found.accounts[2].entry(), u8"Flät<flat@flat.de>");
    EXPECT_EQ(optionsFields(found.accounts[2]).popPort, "995");
    EXPECT_EQ(unreadableText(2), "2 Thunderbird-Konten oder -Profile konnten nicht gelesen "
                                 "werden und werden nicht angeboten.");
    EXPECT_TRUE(find(home.path() + "nirgends").accounts.isEmpty());
}
