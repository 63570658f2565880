#pragma once
#include "compose/HtmlMailFile.h"
#include "compose/MailTemplate.h"
#include "send/HtmlPreview.h"
#include "send/MarkedRecords.h"

#include <QWidget>
#include <functional>

class AppState;
class HtmlView;
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
    // HTML mails: the composer's values the record's message is built from.
    std::function<HtmlPreview::Input()> htmlInput;

    // "Vorschau" in the composer: shows the window over the marked records, or builds
    // the preview again when it is already open.
    void showPreview();
    // Builds the preview for the current record ("Aktualisieren").
    bool refresh();
    void previous();
    void nextRecord();

    // The id of the record shown, 0 when none.
    qint64 currentId() const;
    HtmlView* browser() const { return m_browser; }

protected:
    bool event(QEvent* event) override;

private:
    void showMode(bool html);
    bool refreshHtml(const AddressTable& table, const QVariantList& record);

    AppState& m_state;
    QLabel* m_caption = nullptr;
    QLabel* m_subjectLabel = nullptr;
    QLineEdit* m_subject = nullptr;
    QPlainTextEdit* m_memo = nullptr;
    QFrame* m_browserPanel = nullptr;
    HtmlView* m_browser = nullptr;
    HtmlMailFile::PreviewCounter m_counter;
    MarkedRecords m_records;
    qint64 m_position = 0; // in the snapshot
};
