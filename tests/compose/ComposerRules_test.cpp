#include "compose/ComposerRules.h"

#include <gtest/gtest.h>

using namespace ComposerRules;

// The insertion rule: the caret's line is split at the caret, both halves trimmed, and
// the placeholder put between them with one blank on each side.
TEST(ComposerRules, PlaceholderInsertionAtTheCaret) {
    const QStringList body = {QStringLiteral("Hallo"), QString(), QStringLiteral("  Gruß  ")};
    // In the middle of a word.
    EXPECT_EQ(insertPlaceholder(body, 0, 2, QStringLiteral("$NAME")),
              QStringList({"Ha $NAME llo", "", "  Gruß  "}));
    // At the start of a line: no blank before the placeholder.
    EXPECT_EQ(insertPlaceholder(body, 0, 0, QStringLiteral("$NAME")).at(0),
              QStringLiteral("$NAME Hallo"));
    // At the end of a line: the right part is empty, the blank after stays.
    EXPECT_EQ(insertPlaceholder(body, 0, 5, QStringLiteral("$NAME")).at(0),
              QStringLiteral("Hallo $NAME "));
    // Both halves are trimmed.
    EXPECT_EQ(insertPlaceholder(body, 2, 3, QStringLiteral("$ORT")).at(2),
              QStringLiteral("G $ORT ruß"));
    // An empty line in the middle.
    EXPECT_EQ(insertPlaceholder(body, 1, 0, QStringLiteral("$ORT")).at(1), QStringLiteral("$ORT "));
    // Below the last line (an empty body): a new line.
    EXPECT_EQ(insertPlaceholder({}, 0, 0, QStringLiteral("$NAME")), QStringList{"$NAME"});
    EXPECT_EQ(insertPlaceholder(body, 3, 0, QStringLiteral("$NAME")).size(), 4);
    // A caret column beyond the line's end counts as its end.
    EXPECT_EQ(insertPlaceholder(body, 0, 99, QStringLiteral("$X")).at(0),
              QStringLiteral("Hallo $X "));
}

TEST(ComposerRules, TokensCaptionsAndBodyLines) {
    EXPECT_EQ(placeholderToken(QStringLiteral("$FIRMA für Firma")), QStringLiteral("$FIRMA"));
    EXPECT_EQ(placeholderToken(QStringLiteral("$DATUM")), QStringLiteral("$DATUM"));
    EXPECT_EQ(wordWrapCaption(true), QStringLiteral("Zeilenumbruch ein"));
    EXPECT_EQ(wordWrapCaption(false), QStringLiteral("Zeilenumbruch aus"));

    // Empty lines survive the way from the editor to the lines and back.
    const QStringList lines = {"a", "", "", "b", ""};
    EXPECT_EQ(bodyLines(bodyText(lines)), lines);
    EXPECT_TRUE(bodyLines(QString()).isEmpty());
}

TEST(ComposerRules, PipeFiltersBecomeDialogFilters) {
    EXPECT_EQ(dialogFilter(templateOpenFilter()), QStringLiteral("Text Mail (*.mail)"));
    EXPECT_EQ(dialogFilter(QStringLiteral("E-Mail Nachrichten|*.eml;*.msg|Archive|*.zip")),
              QStringLiteral("E-Mail Nachrichten (*.eml *.msg);;Archive (*.zip)"));
    const QString attachments = dialogFilter(attachmentFilter());
    EXPECT_EQ(attachments.split(QStringLiteral(";;")).size(), 6);
    EXPECT_TRUE(attachments.endsWith(QStringLiteral("Archive (*.zip *.rar *.ace *.tgz *.tar.gz)")));
}
