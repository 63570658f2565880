#pragma once
#include "compose/forms/WizardPage.h"

class QLabel;

// Start page of the composition wizard: names the number of marked records the serial
// e-mail goes to.
class TMailquestionsForm : public WizardPage {
    Q_OBJECT
public:
    explicit TMailquestionsForm(AppState& state, QWidget* parent = nullptr);

    static QString countText(qint64 marked);
    // The number of marked records the page names.
    void setMarkedCount(qint64 marked);

Q_SIGNALS:
    void nextRequested();

protected:
    void next() override { Q_EMIT nextRequested(); }
    bool event(QEvent* event) override;

private:
    QLabel* m_count = nullptr;
    qint64 m_marked = 0;
};
