#include "common/IniFile.h"
#include "common/TextFile.h"
#include "support/ScriptedMessages.h"
#include "support/TempProgramFolder.h"

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
