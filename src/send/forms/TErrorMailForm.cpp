#include "send/forms/TErrorMailForm.h"

TErrorMailForm::TErrorMailForm(QWidget* parent)
    : SendResultForm(QStringLiteral("ungültige E-Mail-Adressen"),
                     QStringLiteral("ungültige E-Mail-Adressen:"), parent) {
    setObjectName(QStringLiteral("TErrorMailForm"));
}

void TErrorMailForm::showList(const QStringList& invalidList) {
    setLines(invalidList);
    exec();
}
