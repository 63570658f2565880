#include "common/IniFile.h"
#include "common/TextFile.h"
#include "support/ScriptedMessages.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

TEST(TextFile, WritesWindows1252WithCrLfAndFallsBackToUtf8WithMark) {
    TempProgramFolder dir;
    const QString latin = dir.file("latin.txt");
    ASSERT_TRUE(TextFile::writeLines(latin, {"Grüße €", "Straße"}));
    EXPECT_EQ(readBytes(latin), QByteArray("Gr\xFC\xDF"
                                           "e \x80\r\nStra\xDF"
                                           "e\r\n"));
    EXPECT_EQ(TextFile::readLines(latin), QStringList({"Grüße €", "Straße"}));

    const QString wide = dir.file("wide.txt");
    ASSERT_TRUE(TextFile::writeLines(wide, {"Łódź", "Grüße"}));
    EXPECT_TRUE(readBytes(wide).startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(TextFile::readLines(wide), QStringList({"Łódź", "Grüße"}));
}

TEST(TextFile, ReadsUtf8WithoutMarkAnyLineEndAndReportsMissingFiles) {
    TempProgramFolder dir;
    const QString path = dir.file("mixed.txt");
    writeBytes(path, QByteArray("M\xC3\xBCller\nZeile 2\rZeile 3\r\n\r\nletzte"));
    EXPECT_EQ(TextFile::readLines(path),
              QStringList({"Müller", "Zeile 2", "Zeile 3", "", "letzte"}));
    // Windows-1252 bytes that are not valid UTF-8 stay Windows-1252.
    writeBytes(path, QByteArray("M\xFCller \x93zitiert\x94"));
    EXPECT_EQ(TextFile::readLines(path), QStringList({"Müller “zitiert”"}));

    QStringList lines;
    QString error;
    EXPECT_FALSE(TextFile::readLines(dir.file("fehlt.txt"), &lines, &error));
    EXPECT_TRUE(error.startsWith("Die Datei")) << error.toStdString();
}

TEST(IniFile, ProfileSemanticsForNamesValuesAndBooleans) {
    TempProgramFolder dir;
    const QString path = dir.file("test.ini");
    writeBytes(path,
               "Unsinn ohne Gleichheitszeichen\r\n[SMTP]\r\nHost = mail.example.de \r\n"
               "Port=0x1D\r\nSSL=True\r\nAuth=2\r\nName=\"  Mit Blanks  \"\r\n; Host=kommentar\r\n"
               "Zahl=12abc\r\n[smtp]\r\nHost=zweiter\r\n[Leer]\r\n");
    IniFile ini(path);
    EXPECT_EQ(ini.readString("smtp", "HOST"), "mail.example.de"); // first section wins
    EXPECT_EQ(ini.readInteger("SMTP", "Port", 0), 29);
    EXPECT_EQ(ini.readInteger("SMTP", "Zahl", 7), 7);
    EXPECT_TRUE(ini.readBoolWord("SMTP", "SSL", false));
    EXPECT_TRUE(ini.readBool("SMTP", "Auth", false)); // any non-zero integer
    EXPECT_FALSE(ini.readBool("SMTP", "SSL", false)); // the word style is no integer
    EXPECT_EQ(ini.readString("SMTP", "Name"), "  Mit Blanks  ");
    EXPECT_EQ(ini.readString("SMTP", "Fehlt", "Vorgabe"), "Vorgabe");
    EXPECT_FALSE(ini.value("Leer", "x").has_value());

    ASSERT_TRUE(ini.writeString("smtp", "host", "neu.example.de"));
    ASSERT_TRUE(ini.writeBool("Neu", "Flag", true));
    ASSERT_TRUE(ini.writeString("Leer", "Key", "v"));
    EXPECT_EQ(ini.readString("SMTP", "Host"), "neu.example.de");
    EXPECT_EQ(ini.readString("Neu", "Flag"), "1");
    EXPECT_EQ(ini.readString("Leer", "Key"), "v");
    // Other lines, garbage included, are kept.
    EXPECT_TRUE(readBytes(path).startsWith(
        "Unsinn ohne Gleichheitszeichen\r\n[SMTP]\r\nhost=neu.example.de\r\n"));
}

TEST(IniFile, RequiredReadsReportMissingSectionAndKeyByTheScanningRule) {
    TempProgramFolder dir;
    const QString path = dir.file("Quillon.ini");
    writeBytes(path, "[FIRSTSETTINGS]\r\nFirstSettingsDone=Done\r\n[SMTP]\r\nPort=25\r\n");
    {
        ScriptedMessages messages;
        EXPECT_EQ(ReadRequiredString(path, "FIRSTSETTINGS", "FirstSettingsDone", "", messages),
                  "Done");
        EXPECT_EQ(ReadRequiredInteger(path, "SMTP", "Port", 0, messages), 25);
        // The key is searched from the section on, across later sections.
        EXPECT_EQ(ReadRequiredInteger(path, "FIRSTSETTINGS", "Port", 9, messages), 9);
    }
    {
        ScriptedMessages messages;
        messages.expectError("Item Timeout not found in " + path);
        EXPECT_EQ(ReadRequiredInteger(path, "SMTP", "Timeout", 60, messages), 60);
    }
    {
        ScriptedMessages messages;
        messages.expectError("Block POP3 not found in " + path)
            .expectError("Item Host not found in " + path);
        EXPECT_EQ(ReadRequiredString(path, "POP3", "Host", "x", messages), "x");
    }
}

TEST(TextFile, EveryWriteReadsBackAsTheSameText) {
    TempProgramFolder dir;
    const QString path = dir.file("lesbar.txt");
    // Windows-1252 bytes of these texts are valid UTF-8 as well: they are written as
    // UTF-8 with a mark, so they do not come back as "ä" or a byte-order mark.
    for (const QString& text : {QString::fromUtf8("Ã¤rger"), QString::fromUtf8("ï»¿Anfang")}) {
        ASSERT_TRUE(TextFile::writeLines(path, {text}));
        EXPECT_TRUE(readBytes(path).startsWith("\xEF\xBB\xBF")) << text.toStdString();
        EXPECT_EQ(TextFile::readLines(path), QStringList({text}));
    }
    // With bytes that are no UTF-8 beside them they read back as Windows-1252.
    ASSERT_TRUE(TextFile::writeLines(path, {QString::fromUtf8("Ã¼ber Grüße")}));
    EXPECT_FALSE(readBytes(path).startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(TextFile::readLines(path), QStringList({QString::fromUtf8("Ã¼ber Grüße")}));
    // Plain Windows-1252 stays Windows-1252.
    ASSERT_TRUE(TextFile::writeLines(path, {QString::fromUtf8("Grüße")}));
    EXPECT_EQ(readBytes(path), QByteArray("Gr\xFC\xDF"
                                          "e\r\n"));

    // A file that begins with two marks: the second is part of the text and survives
    // a rewrite.
    writeBytes(path, QByteArray("\xEF\xBB\xBF\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F"
                                "e\r\n"));
    const QStringList lines = TextFile::readLines(path);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines.first(), QChar(0xFEFF) + QString::fromUtf8("Grüße"));
    ASSERT_TRUE(TextFile::writeLines(path, lines));
    EXPECT_EQ(readBytes(path), QByteArray("\xEF\xBB\xBF\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F"
                                          "e\r\n"));
}

TEST(TextFile, NoLineCarriesALineBreakOrControlCharacter) {
    TempProgramFolder dir;
    const QString path = dir.file("zeilen.txt");
    ASSERT_TRUE(TextFile::writeLines(path, {QString::fromUtf8("eins\r\nzwei\rdrei\nvier"),
                                            QString::fromUtf8("a\tb") + QChar(0) + "c" +
                                                QChar(0x85) + "d" + QChar(0x2028) + "e"}));
    EXPECT_EQ(TextFile::readLines(path),
              QStringList({"eins zwei drei vier", "a\tb c d e"})); // TAB is text
    ASSERT_TRUE(TextFile::appendLine(path, "neu\r\nStatsActive=1"));
    EXPECT_EQ(TextFile::readLines(path).size(), 3);
}

TEST(IniFile, ValuesNeverForgeLinesAndNamesWithControlCharactersAreRefused) {
    TempProgramFolder dir;
    IniFile ini(dir.file("Kunden.web"));
    ASSERT_TRUE(ini.writeString("SETTINGS", "Title",
                                "Hallo\r\nStatsPassword=geheim\r\n"
                                "[STATS]\r\nStatsActive=1\tx"));
    EXPECT_EQ(ini.readString("SETTINGS", "Title"),
              "Hallo StatsPassword=geheim [STATS] StatsActive=1 x");
    EXPECT_FALSE(ini.value("SETTINGS", "StatsPassword").has_value());
    EXPECT_FALSE(ini.sectionExists("STATS"));

    const QByteArray before = readBytes(ini.path());
    QString error;
    EXPECT_FALSE(ini.writeString("SETTINGS", "Title\nStatsActive", "1", &error));
    EXPECT_EQ(error,
              QString::fromUtf8("Der Name \"Title StatsActive\" enthält ein unzulässiges Zeichen "
                                "und wird nicht in die Datei \"") +
                  QDir::toNativeSeparators(ini.path()) + "\" geschrieben.");
    EXPECT_FALSE(ini.writeString("SET\rTINGS", "Title", "1"));
    EXPECT_FALSE(ini.writeString("SETTINGS", "Ti=tle", "1"));
    EXPECT_FALSE(ini.writeString("SET]TINGS", "Title", "1"));
    EXPECT_EQ(readBytes(ini.path()), before);
}
