#pragma once
#include <QStringList>

// Definition lines of a small table: an auto-increment key, a flag, indexed and
// unindexed text columns, sortable and not.
inline const QStringList sampleProLines = {
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
