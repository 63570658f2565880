#pragma once
#include "compose/HtmlMailFile.h"
#include "compose/MailTemplate.h"
#include "send/HtmlPreview.h"
#include "send/SendRun.h"

#include <QDateTime>
#include <QWidget>
#include <functional>
#include <memory>

class AppState;
class HtmlView;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QStatusBar;
class QTimer;
class QToolButton;
class SmtpMail;
class TErrorMailForm;
class TPreviewForm;
class TrafficChart;

// The composer window: the serial e-mail's sender, priority, subject, body and
// attachment, the placeholders to insert, and the run display while "Senden" sends it.
// Created once, shown non-modally and always on top; the user closes it only with
// "Abbrechen" (it also closes itself at the end of a run).
class TMailerForm : public QWidget {
    Q_OBJECT
public:
    explicit TMailerForm(AppState& state, QWidget* parent = nullptr);
    ~TMailerForm() override;

    // End of the composition wizard: sets the window up for the mode, with the template
    // chosen in the wizard (empty for a new mail; in HTML mode the message file) and the
    // number of marked records the wizard counted, and shows it.
    void openForComposition(MailTemplate::Mode mode, const QString& templatePath,
                            qint64 markedCount);

    // What the window holds now: subject, body lines, attachment, template path.
    MailTemplate currentTemplate() const;
    MailTemplate::Mode mode() const { return m_template.mode; }
    // The priority of the list: 1 "Hoch", 3 "Normal", 5 "Niedrig".
    int priority() const;

    // The steps of every activation: tracking box, sender list, placeholder list and
    // the buttons that depend on the mode and the attachment. Skipped during a run.
    void activationSetUp();

    // Button handlers, reachable for the program's other windows and for tests.
    void openTemplate();
    void saveTemplate();
    void openTextFile();
    void addAttachment();
    void removeAttachment();
    void insertPlaceholder();
    void preview();
    void send();
    void abort();

    // HTML mode: opens an e-mail file the user chooses ("Vorlage öffnen"): a private
    // copy of it becomes the message file, shown in the browser view.
    void openEmailFile();
    // Reads the message file again when it changed since it was last read (or always,
    // with force): subject, unmerged bodies and the browser preview.
    bool loadMessageFile(bool force);
    // The subject field of the HTML import window while the message file is its result.
    std::function<QString()> importSubject;
    // What the HTML preview builds the record's message from.
    HtmlPreview::Input htmlPreviewInput() const;

    HtmlView* browser() const { return m_browser; }
    bool isClosable() const { return m_closable; }
    bool isSending() const;
    TPreviewForm* previewForm() const { return m_preview; }
    SmtpMail& smtpMail() { return *m_mail; }
    // After a day limit, with "automatisch fortsetzen" on: the run starts again by itself
    // once the limit allows (while the window stays open).
    bool waitsToResume() const;

Q_SIGNALS:
    // A run has ended; the table's records may have changed, and after a run that got
    // going the grid's filter is off (filterSwitchedOff when it was on). Comes before
    // the list of invalid addresses is shown.
    void runFinished(bool filterSwitchedOff);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void applyTemplate(const MailTemplate& mail);
    void loadTemplate(const QString& path);
    void showAttachment();
    void setWordWrap(bool on);
    void resetRunDisplay();
    void showProgress();
    void trafficTick();
    void loadSenderList();
    void updateTrackingBox();
    void connectRun(SendRun& run);
    void runEnded(const SendRun::Result& result);
    void startRun(const SendRun::Inputs& inputs);
    bool planResume(const SendRun::Result& result);
    void resumeIfDue();
    void setIdleButtonsEnabled(bool on);

    AppState& m_state;
    MailTemplate m_template; // mode, attachment and template path; the text is in the fields
    bool m_closable = false;
    std::unique_ptr<SmtpMail> m_mail;
    std::unique_ptr<SendRun> m_run;
    QTimer* m_resumeTimer = nullptr;
    SendRun::Inputs m_resumeInputs;
    qint64 m_resumeAtMs = 0;
    std::unique_ptr<QObject> m_runGuard; // input to the main window is held off meanwhile
    qint64 m_markedCount = 0;            // handed over by the wizard for the send run
    HtmlMailFile::PreviewCounter m_previewCounter;
    struct FileStamp {
        QString path;
        qint64 size = -1;
        QDateTime modified;
        bool operator==(const FileStamp&) const = default;
    };
    FileStamp m_loadedFile;     // the message file as it was when it was read
    QString m_statsAddress;     // of the web settings, found at the last activation
    QString m_lastNid;          // the newsletter id of the last HTML run
    bool m_runPrepared = false; // the run got past its early checks

    QComboBox* m_sender = nullptr;
    QComboBox* m_priority = nullptr;
    QLineEdit* m_to = nullptr;
    QLineEdit* m_subject = nullptr;
    QPlainTextEdit* m_body = nullptr;
    QFrame* m_browserPanel = nullptr;
    QLabel* m_browserCaption = nullptr;
    HtmlView* m_browser = nullptr;
    QStackedWidget* m_lowerPanels = nullptr;
    QFrame* m_placeholderPanel = nullptr;
    QListWidget* m_variables = nullptr;
    QToolButton* m_insertButton = nullptr;
    QCheckBox* m_wordWrap = nullptr;
    QCheckBox* m_ignore = nullptr;
    QListWidget* m_attachmentList = nullptr;
    QPushButton* m_addAttachment = nullptr;
    QPushButton* m_removeAttachment = nullptr;
    QFrame* m_runPanel = nullptr;
    QListWidget* m_sentList = nullptr;
    TrafficChart* m_chart = nullptr;
    QLabel* m_totalLabel = nullptr;
    QProgressBar* m_totalBar = nullptr;
    QLabel* m_validLabel = nullptr;
    QProgressBar* m_validBar = nullptr;
    QLabel* m_invalidLabel = nullptr;
    QProgressBar* m_invalidBar = nullptr;
    QCheckBox* m_tracking = nullptr;
    QCheckBox* m_ignore2 = nullptr;
    QStatusBar* m_status = nullptr;
    QPushButton* m_saveButton = nullptr;
    QPushButton* m_openButton = nullptr;
    QPushButton* m_textButton = nullptr;
    QPushButton* m_previewButton = nullptr;
    QPushButton* m_sendButton = nullptr;
    QPushButton* m_abortButton = nullptr;
    QTimer* m_progressTimer = nullptr;
    QTimer* m_trafficTimer = nullptr;
    TPreviewForm* m_preview = nullptr;
    TErrorMailForm* m_errorForm = nullptr;
};
