#pragma once
#include "compose/MailTemplate.h"
#include "send/MarkedRecords.h"

#include <QWidget>
#include <functional>

class AppState;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

// The preview "Vorschau" of the serial e-mail merged with one marked record. Showing
// the window takes the marked records of the moment; "<" and ">" step through them.
// Records are read by id: the grid's cursor and filter stay as they are, so the preview
// also works while a run goes on. Created once by the composer.
class TPreviewForm : public QWidget {
    Q_OBJECT
public:
    explicit TPreviewForm(AppState& state, QWidget* parent = nullptr);

    // The composer's template as it stands now.
    std::function<MailTemplate()> currentTemplate;

    // "Vorschau" in the composer: shows the window over the marked records, or builds
    // the preview again when it is already open.
    void showPreview();
    // Builds the preview for the current record ("Aktualisieren").
    bool refresh();
    void previous();
    void nextRecord();

    // The id of the record shown, 0 when none.
    qint64 currentId() const;

protected:
    bool event(QEvent* event) override;

    AppState& m_state;
    QLabel* m_caption = nullptr;
    QLabel* m_subjectLabel = nullptr;
    QLineEdit* m_subject = nullptr;
    QPlainTextEdit* m_memo = nullptr;
    QFrame* m_browserPanel = nullptr;
    MarkedRecords m_records;
    qint64 m_position = 0; // in the snapshot
};
