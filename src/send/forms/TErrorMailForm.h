#pragma once
#include "send/forms/SendResultForm.h"

// The invalid addresses of a send run, one "ID: address" line each, shown after the run.
class TErrorMailForm : public SendResultForm {
    Q_OBJECT
public:
    explicit TErrorMailForm(QWidget* parent = nullptr);

    // Fills the memo with the list and shows the window modally.
    void showList(const QStringList& invalidList);
};
