#include "compose/MailTemplate.h"

#include "common/TextFile.h"
#include "support/ScriptedMessages.h"
#include "support/TempProgramFolder.h"

#include <QFile>
#include <gtest/gtest.h>

TEST(MailTemplate, WriteGivesTheSixPartLayoutAndReadsBackExactly) {
    TempProgramFolder folder;
    const QString attachment = folder.file("Preisliste.txt");
    writeBytes(attachment, "x");
    MailTemplate mail;
    mail.subject = QStringLiteral("Grüße an $NAME");
    mail.bodyLines = {QStringLiteral("$ANREDE,"), QString(), QStringLiteral("Straße"), QString()};
    mail.attachment = attachment;
    const QString path = folder.file("Vorlage.mail");
    QString error;
    ASSERT_TRUE(writeMailTemplate(path, mail, &error)) << error.toStdString();

    const QByteArray expected = "[SUBJECT]\r\nGr\xFC\xDF"
                                "e an $NAME\r\n[TEXT]\r\n$ANREDE,\r\n\r\nStra\xDF"
                                "e\r\n\r\n[ATTACHEMENT]\r\n" +
                                attachment.toLocal8Bit() + "\r\n";
    EXPECT_EQ(readBytes(path), expected);

    ScriptedMessages messages; // no box may show
    MailTemplate back;
    back.bodyLines = {QStringLiteral("alter Text")};
    ASSERT_TRUE(readMailTemplate(path, back, messages, &error));
    EXPECT_EQ(back.subject, mail.subject);
    EXPECT_EQ(back.bodyLines, mail.bodyLines);
    EXPECT_EQ(back.attachment, attachment);

    // Without an attachment the last line is empty.
    mail.attachment.clear();
    ASSERT_TRUE(writeMailTemplate(path, mail));
    EXPECT_TRUE(readBytes(path).endsWith("[ATTACHEMENT]\r\n\r\n"));
}

TEST(MailTemplate, ReaderFollowsTheSectionRule) {
    TempProgramFolder folder;
    const QString path = folder.file("t.mail");
    ScriptedMessages messages;

    // No [SUBJECT]: the subject stays; lines before the first marker are ignored;
    // the body is emptied first; an empty attachment line names nothing.
    TextFile::writeLines(path, {"Vorspann", "[TEXT]", "Zeile 1", "", "[ATTACHEMENT]", ""});
    MailTemplate mail;
    mail.subject = QStringLiteral("bisheriger Betreff");
    mail.bodyLines = {QStringLiteral("alt 1"), QStringLiteral("alt 2")};
    ASSERT_TRUE(readMailTemplate(path, mail, messages));
    EXPECT_EQ(mail.subject, QStringLiteral("bisheriger Betreff"));
    EXPECT_EQ(mail.bodyLines, QStringList({"Zeile 1", ""}));
    EXPECT_TRUE(mail.attachment.isEmpty());

    // A repeated marker of the current section is an ordinary line; the last subject
    // line wins; a marker of another section switches.
    TextFile::writeLines(path, {"[SUBJECT]", "erster", "[SUBJECT]", "[TEXT]", "a", "[TEXT]", "b",
                                "[SUBJECT]", "zweiter"});
    ASSERT_TRUE(readMailTemplate(path, mail, messages));
    EXPECT_EQ(mail.subject, QStringLiteral("zweiter"));
    EXPECT_EQ(mail.bodyLines, QStringList({"a", "[TEXT]", "b"}));

    // Markers count only as whole lines in exact case.
    TextFile::writeLines(path, {"[SUBJECT]", "s", "[TEXT]", "[text]", " [TEXT]", "[ATTACHEMENT]"});
    ASSERT_TRUE(readMailTemplate(path, mail, messages));
    EXPECT_EQ(mail.bodyLines, QStringList({"[text]", " [TEXT]"}));

    // An unreadable file leaves the template as it was and says why.
    MailTemplate untouched = mail;
    QString error;
    EXPECT_FALSE(readMailTemplate(folder.file("fehlt.mail"), untouched, messages, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(untouched.bodyLines, mail.bodyLines);
}

TEST(MailTemplate, DeletedAttachmentIsReportedAndTheTemplateRewritten) {
    TempProgramFolder folder;
    const QString gone = folder.file("weg.pdf");
    const QString path = folder.file("Angebot.mail");
    TextFile::writeLines(path,
                         {"[SUBJECT]", "Angebot", "[TEXT]", "Hallo", "", "[ATTACHEMENT]", gone});
    const QString message =
        QStringLiteral("Achtung! In der Vorlage haben Sie als Anhang die Datei ") + gone +
        QStringLiteral(" angegeben. \rDie Datei existiert aber nicht mehr!");
    {
        ScriptedMessages messages;
        messages.expectInformation(message);
        MailTemplate mail;
        mail.templatePath = path;
        ASSERT_TRUE(readMailTemplate(path, mail, messages));
        EXPECT_TRUE(mail.attachment.isEmpty());
        EXPECT_EQ(mail.bodyLines, QStringList({"Hallo", ""}));
    }
    EXPECT_EQ(TextFile::readLines(path),
              QStringList({"[SUBJECT]", "Angebot", "[TEXT]", "Hallo", "", "[ATTACHEMENT]", ""}));

    // Without a template path the file is left alone.
    const QString other = folder.file("Kopie.mail");
    TextFile::writeLines(other, {"[SUBJECT]", "x", "[TEXT]", "[ATTACHEMENT]", gone});
    ScriptedMessages messages;
    messages.expectInformation(message);
    MailTemplate mail;
    ASSERT_TRUE(readMailTemplate(other, mail, messages));
    EXPECT_EQ(TextFile::readLines(other).last(), gone);
}
