#include "shell/GridSetup.h"

#include "database/TableDefinition.h"
#include "support/SampleDefinition.h"
#include "support/TempProgramFolder.h"

#include <QFile>
#include <gtest/gtest.h>

TEST(GridSetup, OpeningLayoutTakesOnlyFilesOverHundredBytesAndAppliesCaptions) {
    TempProgramFolder dir;
    const QStringList fields = {QStringLiteral("ID"), QStringLiteral("Selected"),
                                QStringLiteral("Mail"), QStringLiteral("Name")};
    const QString path = dir.file(QStringLiteral("Database.grd"));
    const TableDefinition definition = TableDefinition::fromLines(sampleProLines);

    // No file: every field, captions as titles, widths left to the grid.
    bool fromFile = true;
    GridLayout layout = GridSetup::openingLayout(path, fields, definition, &fromFile);
    EXPECT_FALSE(fromFile);
    ASSERT_EQ(layout.columns.size(), 4);
    EXPECT_EQ(layout.columns[2].title, QStringLiteral("E-Mail"));
    EXPECT_EQ(layout.columns[3].title, QStringLiteral("Nachname"));
    EXPECT_EQ(layout.columns[0].width, 0);

    // A saved layout in its own order; a title that is already a caption stays, a missing
    // field is appended.
    GridLayout saved;
    saved.columns = {
        {QStringLiteral("Name"), QStringLiteral("Name"), QStringLiteral("Sans"), 9, false, 140},
        {QStringLiteral("Mail"), QStringLiteral("Adresse"), QStringLiteral("Sans"), 8, false, 220},
        {QStringLiteral("ID"), QStringLiteral("ID"), QStringLiteral("Sans"), 8, false, 30}};
    ASSERT_TRUE(saved.save(path));
    layout = GridSetup::openingLayout(path, fields, definition, &fromFile);
    EXPECT_TRUE(fromFile);
    ASSERT_EQ(layout.columns.size(), 4);
    EXPECT_EQ(layout.columns[0].field, QStringLiteral("Name"));
    EXPECT_EQ(layout.columns[0].title, QStringLiteral("Nachname"));
    EXPECT_EQ(layout.columns[0].width, 140);
    EXPECT_EQ(layout.columns[1].title, QStringLiteral("Adresse"));
    EXPECT_EQ(layout.columns[3].field, QStringLiteral("Selected"));
    EXPECT_EQ(layout.columns[3].width, 0);

    // A file of 100 bytes is ignored.
    ASSERT_NO_FATAL_FAILURE(writeBytes(path, QByteArray(100, 'x')));
    layout = GridSetup::openingLayout(path, fields, definition, &fromFile);
    EXPECT_FALSE(fromFile);
    EXPECT_EQ(layout.columns[0].field, QStringLiteral("ID"));
}
