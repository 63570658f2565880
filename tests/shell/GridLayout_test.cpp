#include "shell/GridLayout.h"

#include "support/TempProgramFolder.h"

#include <QFile>
#include <gtest/gtest.h>

TEST(GridLayout, RoundTripAndFittingToTheTable) {
    TempProgramFolder dir;
    GridLayout layout;
    layout.columns = {{"Name", "Nach\tname", "Noto Sans", 9, true, 120},
                      {"Mail", "E-Mail", "Noto Sans", 8, false, 200},
                      {"Weg", "Gibt es nicht mehr", "Noto Sans", 8, false, 50},
                      {"ID", "ID", "Noto Sans", 8, false, 40}};
    const QString path = dir.file("Database.grd");
    ASSERT_TRUE(layout.save(path));
    GridLayout loaded;
    ASSERT_TRUE(loaded.load(path));
    ASSERT_EQ(loaded.columns.size(), 4);
    EXPECT_EQ(loaded.columns[0].title, "Nach name"); // tabs cannot break the file
    EXPECT_TRUE(loaded.columns[0].fontBold);
    EXPECT_EQ(loaded.columns[1].width, 200);

    const GridLayout fitted = loaded.fittedTo({"ID", "Selected", "Mail", "name"});
    QStringList fields;
    for (const auto& c : fitted.columns)
        fields << c.field;
    EXPECT_EQ(fields, QStringList({"name", "Mail", "ID", "Selected"}));
}

TEST(GridLayout, SmallOrForeignFilesAreIgnored) {
    TempProgramFolder dir;
    const QString path = dir.file("klein.grd");
    ASSERT_NO_FATAL_FAILURE(writeBytes(path, QByteArray(80, 'x')));
    GridLayout layout;
    EXPECT_FALSE(layout.load(path)); // 80 bytes
    ASSERT_NO_FATAL_FAILURE(writeBytes(path, QByteArray(400, 'x')));
    EXPECT_FALSE(layout.load(path)); // no layout header
    EXPECT_FALSE(layout.load(dir.file("fehlt.grd")));
    EXPECT_TRUE(layout.columns.isEmpty());
}
