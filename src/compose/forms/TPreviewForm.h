#pragma once
#include "compose/MailTemplate.h"

#include <QWidget>
#include <functional>

class AppState;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

// The preview "Vorschau" of the serial e-mail merged with one marked record. While the
// window is open the address table shows the marked records only; "<" and ">" step
// through them. Created once by the composer.
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

Q_SIGNALS:
    // The table's filter was switched by the window (on when shown, off when closed).
    void tableFilterChanged();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void switchFilterOff();

    AppState& m_state;
    QLabel* m_caption = nullptr;
    QLabel* m_subjectLabel = nullptr;
    QLineEdit* m_subject = nullptr;
    QPlainTextEdit* m_memo = nullptr;
    QFrame* m_browserPanel = nullptr;
    bool m_filterOn = false;
};
