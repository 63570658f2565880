#include "database/TableDefinition.h"

#include "support/SampleDefinition.h"

#include <gtest/gtest.h>

TEST(TableDefinition, SortIndexAndPictureColumnsFollowTheDefinitionLines) {
    const TableDefinition definition = TableDefinition::fromLines(sampleProLines);
    EXPECT_EQ(definition.sortIndexFor(QStringLiteral("mail")), QStringLiteral("Mail"));
    EXPECT_EQ(definition.sortIndexFor(QStringLiteral("Name")), QString());
    EXPECT_EQ(definition.sortIndexFor(QStringLiteral("Ort")), QString());
    EXPECT_EQ(definition.sortIndexFor(QStringLiteral("ID")), QString());
    EXPECT_EQ(definition.sortIndexFor(QStringLiteral("Unbekannt")), QString());
    EXPECT_EQ(definition.booleanFields(),
              QStringList({QStringLiteral("Selected"), QStringLiteral("Aktiv")}));
}
