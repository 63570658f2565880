#include "database/TableDefinition.h"

#include <gtest/gtest.h>

namespace {

const QStringList proLines = {
    QStringLiteral("FELDNAME | TYP | PFLICHT | GROESSE | INDEXNAME | INDEXFELDER | PRIMAER | "
                   "SORTIERBAR | ANZEIGENAME"),
    QStringLiteral("ID | ftAutoInc | False | 0 | ID | ID | ixPrimary | FALSE | ID"),
    QStringLiteral("Selected | ftBoolean | False | 0 |  |  |  | FALSE | Markiert"),
    QStringLiteral("Mail | ftString | False | 80 | Mail | Mail |  | true | E-Mail"),
    // Sortable, but without an index: nothing to sort by.
    QStringLiteral("Name | ftString | False | 60 |  |  |  | TRUE | Nachname"),
    // An index, but not sortable.
    QStringLiteral("Ort | ftString | False | 60 | OrtIdx | Ort |  | FALSE | Ort"),
    QStringLiteral("Aktiv | ftBoolean | False | 0 |  |  |  | FALSE | Aktiv"),
};

} // namespace

TEST(TableDefinition, SortIndexAndPictureColumnsFollowTheDefinitionLines) {
    const TableDefinition definition = TableDefinition::fromLines(proLines);
    EXPECT_EQ(definition.sortIndexFor(QStringLiteral("mail")), QStringLiteral("Mail"));
    EXPECT_EQ(definition.sortIndexFor(QStringLiteral("Name")), QString());
    EXPECT_EQ(definition.sortIndexFor(QStringLiteral("Ort")), QString());
    EXPECT_EQ(definition.sortIndexFor(QStringLiteral("ID")), QString());
    EXPECT_EQ(definition.sortIndexFor(QStringLiteral("Unbekannt")), QString());
    EXPECT_EQ(definition.booleanFields(),
              QStringList({QStringLiteral("Selected"), QStringLiteral("Aktiv")}));
}
