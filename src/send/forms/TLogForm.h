#pragma once
#include "send/forms/SendResultForm.h"

class AppState;

// The addresses the last run sent to: "Gesendete_Mails.log" in the TempFolder, read
// again whenever the window opens.
class TLogForm : public SendResultForm {
    Q_OBJECT
public:
    explicit TLogForm(AppState& state, QWidget* parent = nullptr);

    // Reads the log into the memo (empty when there is none).
    void reload();
    // Reads the log and shows the window modally.
    int exec() override;

private:
    AppState& m_state;
};
