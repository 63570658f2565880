#include "compose/forms/TMailerForm.h"

#include "common/FilePicker.h"
#include "common/Messages.h"
#include "common/TextFile.h"
#include "compose/ComposerRules.h"
#include "compose/Merge.h"
#include "compose/forms/HtmlView.h"
#include "compose/forms/TPreviewForm.h"
#include "database/AddressTable.h"
#include "database/SystemColumns.h"
#include "database/WebSettings.h"
#include "send/SendLimits.h"
#include "send/SendRun.h"
#include "send/SmtpMail.h"
#include "send/forms/TErrorMailForm.h"
#include "send/forms/TrafficChart.h"
#include "settings/AccountSettings.h"
#include "settings/SenderList.h"
#include "shell/AppState.h"
#include "shell/SendRunContext.h"
#include "web/UnsubscribeLink.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QLabel* captionLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    return label;
}

QProgressBar* progressBar(const char* name, QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(0, 100);
    bar->setValue(0);
    return bar;
}

// While a run goes on, the event loop keeps turning, so the user could reach the main
// window: close the program, open another database or delete the table the run books
// into. For the time of the run, input to the main window and its other non-modal
// windows is swallowed (painting goes on); the composer, its preview and the dialogs the
// run shows work as usual.
class RunInputGuard : public QObject {
public:
    explicit RunInputGuard(QWidget* composer)
        : m_composer(composer),
          m_main(composer->parentWidget() ? composer->parentWidget()->window() : nullptr) {
        if (m_main)
            QCoreApplication::instance()->installEventFilter(this);
    }
    ~RunInputGuard() override {
        if (m_main)
            QCoreApplication::instance()->removeEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::Shortcut:
        case QEvent::Close:
            break;
        default:
            return false;
        }
        if (!blocked(watched))
            return false;
        if (event->type() == QEvent::Close)
            event->ignore(); // a swallowed close event must not count as accepted
        return true;
    }

private:
    bool blocked(const QObject* target) const {
        // Menu actions and their shortcuts belong to the main window.
        if (!target->isWidgetType()) {
            for (const QObject* o = target; o; o = o->parent())
                if (o == m_main)
                    return true;
            return false;
        }
        const QWidget* window = static_cast<const QWidget*>(target)->window();
        if (window == m_main)
            return true;
        if (window == m_composer || m_composer->isAncestorOf(window) || window->isModal())
            return false;
        return m_main->isAncestorOf(window);
    }

    QWidget* m_composer;
    QWidget* m_main;
};

} // namespace

TMailerForm::TMailerForm(AppState& state, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      m_state(state), m_mail(std::make_unique<SmtpMail>()) {
    setObjectName(QStringLiteral("MailerForm"));
    setWindowTitle(QStringLiteral("Serien-E-Mail"));
    buildControls();
    m_preview = new TPreviewForm(m_state, this);
    // During a run the fields show the merged message: the preview takes the run's
    // template instead, so it writes the same template file the run reads.
    m_preview->currentTemplate = [this] {
        return isSending() ? m_run->inputs.mail : currentTemplate();
    };
    m_preview->htmlInput = [this] { return htmlPreviewInput(); };
    m_errorForm = new TErrorMailForm(this);

    m_progressTimer = new QTimer(this);
    m_progressTimer->setInterval(500);
    connect(m_progressTimer, &QTimer::timeout, this, &TMailerForm::showProgress);
    m_resumeTimer = new QTimer(this);
    m_resumeTimer->setInterval(1000);
    connect(m_resumeTimer, &QTimer::timeout, this, &TMailerForm::resumeIfDue);
    m_trafficTimer = new QTimer(this);
    m_trafficTimer->setInterval(1000);
    connect(m_trafficTimer, &QTimer::timeout, this, &TMailerForm::trafficTick);
}

TMailerForm::~TMailerForm() = default;

void TMailerForm::buildControls() {
    auto button = [this](const QString& caption, const char* name, QStyle::StandardPixmap icon) {
        auto* b = new QPushButton(style()->standardIcon(icon), caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };

    // Header fields.
    m_to = new QLineEdit(this);
    m_to->setObjectName(QStringLiteral("ToEdit"));
    auto* toLabel = captionLabel(QStringLiteral("An:"), this);
    m_to->setVisible(false);
    toLabel->setVisible(false);
    m_sender = new QComboBox(this);
    m_sender->setObjectName(QStringLiteral("ComboBox1"));
    m_sender->setEditable(true);
    m_sender->setInsertPolicy(QComboBox::NoInsert);
    m_priority = new QComboBox(this);
    m_priority->setObjectName(QStringLiteral("PrioComobox"));
    m_priority->addItems(
        {QStringLiteral("Hoch"), QStringLiteral("Normal"), QStringLiteral("Niedrig")});
    m_priority->setCurrentIndex(1);
    m_subject = new QLineEdit(this);
    m_subject->setObjectName(QStringLiteral("SubjectEdit"));
    auto* header = new QGridLayout;
    header->addWidget(toLabel, 0, 0);
    header->addWidget(m_to, 0, 1, 1, 3);
    header->addWidget(captionLabel(QStringLiteral("Von:"), this), 1, 0);
    header->addWidget(m_sender, 1, 1);
    header->addWidget(captionLabel(QStringLiteral("Nachrichtennpriorität: "), this), 1, 2);
    header->addWidget(m_priority, 1, 3);
    header->addWidget(captionLabel(QStringLiteral("Betreff:"), this), 2, 0);
    header->addWidget(m_subject, 2, 1, 1, 3);
    header->setColumnStretch(1, 1);

    // Body; HTML mails show their message in the panel behind it instead.
    m_body = new QPlainTextEdit(this);
    m_body->setObjectName(QStringLiteral("MessageMemo"));
    m_browserPanel = new QFrame(this);
    m_browserPanel->setObjectName(QStringLiteral("Panel2"));
    m_browserCaption =
        new QLabel(QStringLiteral("E-Mail Vorschau / E-Mail Preview"), m_browserPanel);
    m_browserCaption->setObjectName(QStringLiteral("VorlagePanel"));
    auto* browserLayout = new QVBoxLayout(m_browserPanel);
    browserLayout->addWidget(m_browserCaption);
    m_browser = new HtmlView(m_browserPanel);
    m_browser->setObjectName(QStringLiteral("WebBrowser1"));
    browserLayout->addWidget(m_browser, 1);
    // A page shown: the next key goes to "Senden".
    connect(m_browser, &HtmlView::loadFinished, this, [this] { m_sendButton->setFocus(); });
    m_browserPanel->setVisible(false);

    // Placeholder panel; it covers the run display until a run starts.
    m_placeholderPanel = new QFrame(this);
    m_placeholderPanel->setObjectName(QStringLiteral("SelectVariablesPanel"));
    m_variables = new QListWidget(m_placeholderPanel);
    m_variables->setObjectName(QStringLiteral("VariablesListBox"));
    m_insertButton = new QToolButton(m_placeholderPanel);
    m_insertButton->setObjectName(QStringLiteral("VariableSpeedButton"));
    m_insertButton->setText(QStringLiteral("<"));
    m_wordWrap = new QCheckBox(ComposerRules::wordWrapCaption(true), m_placeholderPanel);
    m_wordWrap->setObjectName(QStringLiteral("CheckBox1"));
    m_wordWrap->setChecked(true);
    m_ignore = new QCheckBox(QStringLiteral("Verbindungsprobleme ignorieren"), m_placeholderPanel);
    m_ignore->setObjectName(QStringLiteral("IngoreConnecProb"));
    m_attachmentList = new QListWidget(m_placeholderPanel);
    m_attachmentList->setObjectName(QStringLiteral("FAttachmentListBox"));
    m_attachmentList->setMaximumHeight(48);
    m_addAttachment = new QPushButton(style()->standardIcon(QStyle::SP_FileDialogNewFolder),
                                      QString(), m_placeholderPanel);
    m_addAttachment->setObjectName(QStringLiteral("BitBtn1"));
    m_addAttachment->setToolTip(QStringLiteral("Datei Anhang hinzufügen"));
    m_addAttachment->setAutoDefault(false);
    m_removeAttachment =
        new QPushButton(style()->standardIcon(QStyle::SP_TrashIcon), QString(), m_placeholderPanel);
    m_removeAttachment->setObjectName(QStringLiteral("BitBtn2"));
    m_removeAttachment->setToolTip(QStringLiteral("Dateianhang entfernen"));
    m_removeAttachment->setAutoDefault(false);
    m_removeAttachment->setVisible(false);
    auto* placeholderLayout = new QGridLayout(m_placeholderPanel);
    placeholderLayout->addWidget(
        new QLabel(QStringLiteral("verwenden Sie im Mail folgende Platzhalter"),
                   m_placeholderPanel),
        0, 0, 1, 2);
    placeholderLayout->addWidget(m_insertButton, 1, 0, Qt::AlignTop);
    placeholderLayout->addWidget(m_variables, 1, 1);
    placeholderLayout->addWidget(m_wordWrap, 2, 1);
    placeholderLayout->addWidget(m_ignore, 3, 1);
    auto* attachmentRow = new QHBoxLayout;
    attachmentRow->addWidget(m_attachmentList, 1);
    attachmentRow->addWidget(m_addAttachment);
    attachmentRow->addWidget(m_removeAttachment);
    placeholderLayout->addLayout(attachmentRow, 4, 0, 1, 2);

    // Run display.
    m_runPanel = new QFrame(this);
    m_runPanel->setObjectName(QStringLiteral("RunPanel"));
    m_sentList = new QListWidget(m_runPanel);
    m_sentList->setObjectName(QStringLiteral("ListBox1"));
    m_chart = new TrafficChart(m_runPanel);
    m_chart->setObjectName(QStringLiteral("Chart2"));
    m_totalLabel = new QLabel(QStringLiteral("0"), m_runPanel);
    m_totalLabel->setObjectName(QStringLiteral("TotalLabel"));
    m_totalBar = progressBar("ProgressBar3", m_runPanel);
    m_validLabel = new QLabel(QStringLiteral("0"), m_runPanel);
    m_validLabel->setObjectName(QStringLiteral("eMailsLabel"));
    m_validBar = progressBar("ProgressBar1", m_runPanel);
    m_invalidLabel = new QLabel(QStringLiteral("0"), m_runPanel);
    m_invalidLabel->setObjectName(QStringLiteral("InvalidMailsLabel"));
    m_invalidBar = progressBar("ProgressBar2", m_runPanel);
    m_tracking = new QCheckBox(QStringLiteral("Newsletter Tracking aktivieren"), m_runPanel);
    m_tracking->setObjectName(QStringLiteral("TrackingCheckBox"));
    m_ignore2 = new QCheckBox(QStringLiteral("Verbindungsprobleme ignorieren"), m_runPanel);
    m_ignore2->setObjectName(QStringLiteral("IngoreConnecProb2"));
    auto* runLayout = new QGridLayout(m_runPanel);
    runLayout->addWidget(new QLabel(QStringLiteral("gesendet zu:"), m_runPanel), 0, 0);
    runLayout->addWidget(m_sentList, 1, 0, 6, 1);
    runLayout->addWidget(m_chart, 0, 1, 1, 3);
    runLayout->addWidget(new QLabel(QStringLiteral("gesendete Emails: "), m_runPanel), 1, 1);
    runLayout->addWidget(m_totalLabel, 1, 2);
    runLayout->addWidget(m_totalBar, 1, 3);
    runLayout->addWidget(new QLabel(QStringLiteral("gültige Email-Adressen: "), m_runPanel), 2, 1);
    runLayout->addWidget(m_validLabel, 2, 2);
    runLayout->addWidget(m_validBar, 2, 3);
    runLayout->addWidget(new QLabel(QStringLiteral("ungültige Email-Adressen: "), m_runPanel), 3,
                         1);
    runLayout->addWidget(m_invalidLabel, 3, 2);
    runLayout->addWidget(m_invalidBar, 3, 3);
    runLayout->addWidget(m_tracking, 4, 1, 1, 3);
    runLayout->addWidget(m_ignore2, 5, 1, 1, 3);
    runLayout->setColumnStretch(0, 1);
    runLayout->setColumnStretch(3, 1);

    m_lowerPanels = new QStackedWidget(this);
    m_lowerPanels->addWidget(m_placeholderPanel);
    m_lowerPanels->addWidget(m_runPanel);

    // Buttons.
    m_saveButton = button(QStringLiteral("Als Vorlage speichern"), "SaveMailButton",
                          QStyle::SP_DialogSaveButton);
    m_openButton =
        button(QStringLiteral("Vorlage öffnen"), "OpenButton", QStyle::SP_DialogOpenButton);
    m_textButton = button(QStringLiteral("Text öffnen"), "TextBitbtn", QStyle::SP_FileIcon);
    m_previewButton =
        button(QStringLiteral("Vorschau"), "PreviewBitBtn", QStyle::SP_FileDialogContentsView);
    m_sendButton = button(QStringLiteral("Senden"), "SendBitBtn", QStyle::SP_ArrowRight);
    m_abortButton =
        button(QStringLiteral("Abbrechen"), "AbortBitBtn", QStyle::SP_DialogCancelButton);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {m_saveButton, m_openButton, m_textButton, m_previewButton})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(m_sendButton);
    buttons->addWidget(m_abortButton);

    m_status = new QStatusBar(this);
    m_status->setObjectName(QStringLiteral("StatusBar1"));
    m_status->setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(m_body, 3);
    layout->addWidget(m_browserPanel, 3);
    layout->addWidget(m_lowerPanels, 2);
    layout->addLayout(buttons);
    layout->addWidget(m_status);
    resize(760, 680);

    connect(m_insertButton, &QToolButton::clicked, this, &TMailerForm::insertPlaceholder);
    connect(m_variables, &QListWidget::itemDoubleClicked, this, &TMailerForm::insertPlaceholder);
    connect(m_wordWrap, &QCheckBox::toggled, this, &TMailerForm::setWordWrap);
    connect(m_addAttachment, &QPushButton::clicked, this, &TMailerForm::addAttachment);
    connect(m_removeAttachment, &QPushButton::clicked, this, &TMailerForm::removeAttachment);
    connect(m_saveButton, &QPushButton::clicked, this, &TMailerForm::saveTemplate);
    connect(m_openButton, &QPushButton::clicked, this, &TMailerForm::openTemplate);
    connect(m_textButton, &QPushButton::clicked, this, &TMailerForm::openTextFile);
    connect(m_previewButton, &QPushButton::clicked, this, &TMailerForm::preview);
    connect(m_sendButton, &QPushButton::clicked, this, &TMailerForm::send);
    connect(m_abortButton, &QPushButton::clicked, this, &TMailerForm::abort);
}

// ---------------------------------------------------------------------------
// Opening and activation

void TMailerForm::openForComposition(MailTemplate::Mode mode, const QString& templatePath,
                                     qint64 markedCount) {
    // A running send keeps its window as it is.
    if (isSending()) {
        raise();
        return;
    }
    m_markedCount = markedCount;
    m_template.mode = mode;
    m_closable = false;
    QFile::remove(QDir(m_state.folders.systemTempFolder).filePath(QStringLiteral("SendList.txt")));

    const bool text = mode == MailTemplate::Mode::Text;
    m_body->setVisible(text);
    m_browserPanel->setVisible(!text);
    m_saveButton->setVisible(text);
    m_body->setEnabled(text);
    m_template.templatePath = text ? templatePath : QString();
    if (!text) {
        m_template.messageFile = templatePath;
        m_loadedFile = FileStamp();
    }
    if (!m_template.templatePath.isEmpty())
        loadTemplate(m_template.templatePath);
    resetRunDisplay();
    if (text && m_template.templatePath.isEmpty()) {
        m_subject->clear();
        m_body->clear();
    }

    if (!isVisible()) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    show();
    raise();
    activateWindow();
    activationSetUp();
}

bool TMailerForm::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        activationSetUp();
    return QWidget::event(event);
}

void TMailerForm::activationSetUp() {
    // A box shown by the run activates the window again; the run's values stay.
    if (isSending())
        return;
    updateTrackingBox();
    loadSenderList();
    // Rebuilt only when the table's columns changed, so a selected entry stays selected.
    const QStringList placeholders = Merge::placeholderList(
        m_state.session.definition(),
        UnsubscribeLink::hasWebKit(m_state.folders.dataFolder, m_state.session.definitionName()));
    QStringList shown;
    for (int i = 0; i < m_variables->count(); ++i)
        shown << m_variables->item(i)->text();
    if (shown != placeholders) {
        m_variables->clear();
        m_variables->addItems(placeholders);
    }
    m_textButton->setVisible(m_template.mode == MailTemplate::Mode::Text);
    m_removeAttachment->setVisible(m_attachmentList->count() > 0);
    if (m_template.mode == MailTemplate::Mode::Html)
        loadMessageFile(false);
}

// The file's subject, bodies and preview are read when the file is new or was changed
// since; an activation in between keeps what the user typed into the subject field.
bool TMailerForm::loadMessageFile(bool force) {
    const QString path = m_template.messageFile;
    if (path.trimmed().isEmpty())
        return false;
    const QFileInfo info(path);
    const FileStamp stamp{path, info.exists() ? info.size() : -1, info.lastModified()};
    if (!force && stamp == m_loadedFile)
        return true;
    m_loadedFile = stamp;
    const AccountSettings account =
        Settings::readAccountSettingsPlain(SettingsFiles::chooseSettingsFile(
            m_state.folders.programFolder, m_state.session.definitionName()));
    HtmlMailFile::Opened opened;
    QString error;
    if (!HtmlMailFile::openMessageFile(path, codeSetCharset(account.codeSetIndex).toLatin1(),
                                       m_state.folders.systemTempFolder, &opened, &error)) {
        Messages::instance().error(error);
        return false;
    }
    const bool fromImport =
        importSubject && QFileInfo(path).fileName() == HtmlMailFile::importResultName();
    m_subject->setText(HtmlMailFile::shownSubject(
        opened.subject, fromImport ? importSubject() : QString(), fromImport));
    m_template.htmlBody = opened.html;
    m_template.plainBody = opened.plain;
    m_browser->showFile(
        QDir(m_state.folders.systemTempFolder)
            .filePath(HtmlMailFile::previewFileName(m_previewCounter.next(), opened.hasHtml)));
    return true;
}

void TMailerForm::openEmailFile() {
    QDir().mkpath(m_state.folders.userTemplatesFolder);
    QString chosen = FilePicker::instance().openFile(
        QStringLiteral("Vorlage öffnen"), m_state.folders.userTemplatesFolder,
        ComposerRules::dialogFilter(ComposerRules::emailOpenFilter()));
    if (chosen.isEmpty())
        return;
    QString extension = QStringLiteral(".html");
    QString error;
    if (HtmlMailFile::isOutlookMessage(chosen)) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        QString converted;
        const bool ok = HtmlMailFile::convertOutlookMessage(chosen, m_state.folders.programFolder,
                                                            &converted, &error);
        QApplication::restoreOverrideCursor();
        if (!ok) {
            Messages::instance().error(error);
            return;
        }
        chosen = converted;
        extension = QStringLiteral(".msg");
    }
    QString copy;
    if (!HtmlMailFile::makePrivateCopy(chosen, m_state.folders.systemTempFolder, extension, &copy,
                                       &error)) {
        Messages::instance().error(error);
        return;
    }
    m_template.messageFile = copy;
    loadMessageFile(true);
}

HtmlPreview::Input TMailerForm::htmlPreviewInput() const {
    HtmlPreview::Input in;
    in.mail = isSending() ? m_run->inputs.mail : currentTemplate();
    in.senderEntry = m_sender->currentText();
    in.priority = priority();
    in.tracking = m_tracking->isChecked();
    in.statsAddress = m_statsAddress;
    in.nid = m_lastNid;
    in.unsubscribe =
        UnsubscribeLink::forDatabase(m_state.folders.dataFolder, m_state.session.definitionName());
    return in;
}

void TMailerForm::updateTrackingBox() {
    bool on = false;
    m_statsAddress.clear();
    if (!m_state.session.definitionName().isEmpty()) {
        const WebSettings web(m_state.folders.dataFolder, m_state.session.definitionName());
        on = web.statsActive() && !web.statsUrl().trimmed().isEmpty() &&
             !web.statsPassword().trimmed().isEmpty();
        m_statsAddress = web.statsUrl();
    }
    m_tracking->setChecked(on);
    m_tracking->setEnabled(on);
}

void TMailerForm::loadSenderList() {
    QStringList lines;
    QString error;
    const QString path =
        SenderList::activePath(m_state.folders.programFolder, m_state.folders.dataFolder,
                               m_state.session.definitionName());
    if (!path.isEmpty() && !SenderList::read(path, &lines, &error))
        Messages::instance().error(error);
    m_sender->clear();
    for (const QString& line : lines)
        if (!line.trimmed().isEmpty())
            m_sender->addItem(line);
    m_sender->setCurrentIndex(m_sender->count() > 0 ? 0 : -1);
}

// ---------------------------------------------------------------------------
// Template, text and attachment

MailTemplate TMailerForm::currentTemplate() const {
    MailTemplate mail = m_template;
    mail.subject = m_subject->text();
    mail.bodyLines = ComposerRules::bodyLines(m_body->toPlainText());
    return mail;
}

void TMailerForm::applyTemplate(const MailTemplate& mail) {
    m_template.attachment = mail.attachment;
    m_template.templatePath = mail.templatePath;
    m_subject->setText(mail.subject);
    m_body->setPlainText(ComposerRules::bodyText(mail.bodyLines));
    showAttachment();
}

void TMailerForm::loadTemplate(const QString& path) {
    MailTemplate mail = currentTemplate();
    mail.templatePath = path;
    QString error;
    if (!readMailTemplate(path, mail, Messages::instance(), &error)) {
        Messages::instance().error(error);
        return;
    }
    applyTemplate(mail);
}

void TMailerForm::openTemplate() {
    if (m_template.mode == MailTemplate::Mode::Html) {
        openEmailFile();
        return;
    }
    QDir().mkpath(m_state.folders.lettersFolder);
    const QString path = FilePicker::instance().openFile(
        QStringLiteral("Vorlage öffnen"), m_state.folders.lettersFolder,
        ComposerRules::dialogFilter(ComposerRules::templateOpenFilter()));
    if (path.isEmpty())
        return;
    loadTemplate(path);
}

void TMailerForm::saveTemplate() {
    QDir().mkpath(m_state.folders.lettersFolder);
    QString path = FilePicker::instance().saveFile(
        QStringLiteral("Als Vorlage speichern"), m_state.folders.lettersFolder,
        ComposerRules::dialogFilter(ComposerRules::templateSaveFilter()));
    if (path.isEmpty())
        return;
    // The default extension, which the desktop's dialogs do not always add.
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".mail");
    QString error;
    if (!writeMailTemplate(path, currentTemplate(), &error))
        Messages::instance().error(error);
}

void TMailerForm::openTextFile() {
    const QString path = FilePicker::instance().openFile(
        QStringLiteral("Text öffnen"), QString(),
        ComposerRules::dialogFilter(ComposerRules::textFileFilter()));
    if (path.isEmpty())
        return;
    QStringList lines;
    QString error;
    if (!TextFile::readLines(path, &lines, &error)) {
        Messages::instance().error(error);
        return;
    }
    m_body->setPlainText(ComposerRules::bodyText(lines));
}

void TMailerForm::addAttachment() {
    const QString path = FilePicker::instance().openFile(
        QStringLiteral("Datei Anhang hinzufügen"), QString(),
        ComposerRules::dialogFilter(ComposerRules::attachmentFilter()));
    if (path.isEmpty())
        return;
    m_template.attachment = path;
    showAttachment();
}

void TMailerForm::removeAttachment() {
    m_template.attachment.clear();
    showAttachment();
    if (m_template.templatePath.isEmpty())
        return;
    QString error;
    if (!writeMailTemplate(m_template.templatePath, currentTemplate(), &error))
        Messages::instance().error(error);
}

void TMailerForm::showAttachment() {
    m_attachmentList->clear();
    if (!m_template.attachment.isEmpty())
        m_attachmentList->addItem(QFileInfo(m_template.attachment).fileName());
    m_removeAttachment->setVisible(!m_template.attachment.isEmpty());
}

void TMailerForm::setWordWrap(bool on) {
    m_body->setLineWrapMode(on ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    m_wordWrap->setText(ComposerRules::wordWrapCaption(on));
}

void TMailerForm::insertPlaceholder() {
    QListWidgetItem* item = m_variables->currentItem();
    if (!item || !item->isSelected()) {
        Messages::instance().information(ComposerRules::noPlaceholderSelectedMessage());
        return;
    }
    const QString token = ComposerRules::placeholderToken(item->text());
    const QStringList lines = ComposerRules::bodyLines(m_body->toPlainText());
    const QTextCursor caret = m_body->textCursor();
    const int line = caret.blockNumber();
    const int column = caret.positionInBlock();
    const QStringList changed = ComposerRules::insertPlaceholder(lines, line, column, token);
    m_body->setPlainText(ComposerRules::bodyText(changed));

    // The caret goes behind the inserted placeholder.
    const int target = std::min(line, int(changed.size()) - 1);
    const QTextBlock block = m_body->document()->findBlockByNumber(target);
    QTextCursor after(block);
    const qsizetype at = block.text().indexOf(token);
    after.setPosition(block.position() + int(at < 0 ? 0 : at + token.size()));
    m_body->setTextCursor(after);
    m_body->setFocus();
}

int TMailerForm::priority() const {
    return SendRun::priorityFromText(m_priority->currentText());
}

void TMailerForm::preview() {
    m_preview->showPreview();
}

// ---------------------------------------------------------------------------
// The run

bool TMailerForm::isSending() const {
    return m_run && m_run->isRunning();
}

void TMailerForm::resetRunDisplay() {
    m_lowerPanels->setCurrentWidget(m_placeholderPanel);
    m_sentList->clear();
    for (QLabel* label : {m_totalLabel, m_validLabel, m_invalidLabel})
        label->setText(QStringLiteral("0"));
    for (QProgressBar* bar : {m_totalBar, m_validBar, m_invalidBar})
        bar->setValue(0);
    m_chart->reset();
    m_status->clearMessage();
}

void TMailerForm::showProgress() {
    if (!m_run)
        return;
    const SendRun::Progress p = m_run->progress();
    m_totalLabel->setText(p.totalText);
    m_totalBar->setValue(p.totalBar);
    m_validLabel->setText(p.validText);
    m_validBar->setValue(p.validBar);
    m_invalidLabel->setText(p.invalidText);
    m_invalidBar->setValue(p.invalidBar);
}

void TMailerForm::trafficTick() {
    if (!m_run)
        return;
    const SendRun::TrafficPoint point = m_run->trafficTick();
    m_chart->addPoint(point.tick, point.value);
}

void TMailerForm::connectRun(SendRun& run) {
    connect(m_ignore2, &QCheckBox::toggled, &run, &SendRun::setIgnoreConnectionProblems);
    connect(&run, &SendRun::displayReset, this, [this] {
        for (QLabel* label : {m_totalLabel, m_validLabel, m_invalidLabel})
            label->setText(QStringLiteral("0"));
        for (QProgressBar* bar : {m_totalBar, m_validBar, m_invalidBar})
            bar->setValue(0);
        m_sentList->clear();
        m_chart->reset();
        m_trafficTimer->start();
    });
    connect(&run, &SendRun::progressChanged, this, [this] { showProgress(); });
    connect(&run, &SendRun::recordSent, this, [this](const QString& entry) {
        m_sentList->addItem(entry);
        m_sentList->scrollToBottom();
    });
    connect(&run, &SendRun::messageMerged, this,
            [this](const QString& subject, const QStringList& lines) {
                m_subject->setText(subject);
                m_body->setPlainText(ComposerRules::bodyText(lines));
            });
    connect(&run, &SendRun::statusChanged, this,
            [this](const QString& text) { m_status->showMessage(text); });
    connect(&run, &SendRun::preparing, this, [this] {
        m_runPrepared = true;
        m_lowerPanels->setCurrentWidget(m_runPanel);
    });
    connect(&run, &SendRun::busy, this, [](bool on) {
        if (on)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            while (QApplication::overrideCursor())
                QApplication::restoreOverrideCursor();
    });
    connect(&run, &SendRun::loopStarted, this, [this] { m_progressTimer->start(); });
    connect(&run, &SendRun::finished, this, &TMailerForm::runEnded);
    // Why and until when a limit of the account holds the run.
    connect(&run, &SendRun::limitWait, this, [this](const QString& text, qint64) {
        if (text.isEmpty())
            m_status->clearMessage();
        else
            m_status->showMessage(text);
    });
}

// Only "Abbrechen" works during the run (and the preview, on its own records): a
// template opened now would not be sent anyway.
void TMailerForm::setIdleButtonsEnabled(bool on) {
    for (QPushButton* b : {m_saveButton, m_openButton, m_textButton, m_sendButton})
        b->setEnabled(on);
}

void TMailerForm::send() {
    if (isSending())
        return;
    SendRun::Inputs in;
    in.mail = currentTemplate();
    // The selected entry, or the text the user typed instead.
    in.senderEntry = m_sender->currentText();
    in.senderCount = m_sender->count();
    in.priority = priority();
    in.ignoreConnectionProblems = m_ignore->isChecked();
    in.tracking = m_tracking->isChecked();
    in.statsAddress = m_statsAddress;
    in.markedCount = m_markedCount;
    startRun(in);
}

void TMailerForm::startRun(const SendRun::Inputs& inputs) {
    m_resumeTimer->stop();
    m_run = std::make_unique<SendRun>(sendRunContext(m_state), *m_mail, Messages::instance());
    SendRun& run = *m_run;
    run.inputs = inputs;
    run.setIgnoreConnectionProblems(m_ignore2->isChecked());
    connectRun(run);

    setIdleButtonsEnabled(false);
    m_runGuard = std::make_unique<RunInputGuard>(this);
    // "Senden" returns at once; the run goes on in the event loop and ends in runEnded.
    if (!run.start())
        runEnded(SendRun::Result());
}

void TMailerForm::runEnded(const SendRun::Result& result) {
    if (m_run && m_run->inputs.mail.mode == MailTemplate::Mode::Html)
        m_lastNid = m_run->newsletterId();
    m_trafficTimer->stop();
    m_progressTimer->stop();
    showProgress();
    m_runGuard.reset();
    setIdleButtonsEnabled(true);
    m_abortButton->setEnabled(true);
    if (result.closable)
        m_closable = true;
    // Closed during the run: the component could not be released while it sent.
    if (!isVisible())
        m_mail->Release();
    // A run that got going ends with the grid unfiltered, as it always has; the run
    // itself never touched the filter.
    bool filterOff = false;
    AddressTable* table = m_state.session.currentTable();
    if (m_runPrepared && table && (table->filtered() || !table->filter().isEmpty())) {
        table->setFiltered(false);
        table->setFilter(QString());
        filterOff = true;
    }
    m_runPrepared = false;
    // The main window shows the booked table before the invalid addresses are listed.
    Q_EMIT runFinished(filterOff);
    if (!result.invalidList.isEmpty())
        m_errorForm->showList(result.invalidList);
    if (result.limitStopped && planResume(result))
        return; // the window stays open and waits
    if (result.closeWindow) {
        m_closable = true;
        close();
    }
}

// A day limit ended the run: with "automatisch fortsetzen" the run keeps its mail and
// starts again, without asking for the sender, once the limit allows.
bool TMailerForm::planResume(const SendRun::Result& result) {
    SendLimitSettings limits;
    QString error;
    if (!m_run ||
        !SendLimitSettings::read(
            SettingsFiles::chooseSettingsFile(m_state.folders.programFolder,
                                              m_state.session.definitionName()),
            &limits, &error) ||
        !limits.autoResume) {
        Messages::instance().information(
            result.limitText +
            QStringLiteral("\rDer Versand ist angehalten. Die noch markierten Datensätze werden "
                           "beim nächsten Senden verschickt."));
        return false;
    }
    m_resumeInputs = m_run->inputs;
    m_resumeInputs.senderCount = 1;
    m_resumeAtMs = result.resumeAtMs;
    m_closable = true;
    m_status->showMessage(result.limitText +
                          QStringLiteral(" – der Versand wird dann automatisch fortgesetzt"));
    m_resumeTimer->start();
    return true;
}

bool TMailerForm::waitsToResume() const {
    return m_resumeTimer->isActive();
}

void TMailerForm::resumeIfDue() {
    if (isSending() || QDateTime::currentMSecsSinceEpoch() < m_resumeAtMs)
        return;
    m_resumeTimer->stop();
    AddressTable* table = m_state.session.currentTable();
    if (!table)
        return;
    QString problem;
    const qint64 marked = qint64(
        table->tableIds(table->conditionFromFilter(SystemColumns::markedFilter, &problem)).size());
    if (!problem.isEmpty() || marked == 0) {
        m_status->clearMessage();
        return;
    }
    m_resumeInputs.markedCount = marked;
    startRun(m_resumeInputs);
}

void TMailerForm::abort() {
    m_resumeTimer->stop();
    if (isSending())
        m_run->abort();
    m_closable = true;
    close();
}

void TMailerForm::closeEvent(QCloseEvent* event) {
    // Only "Abbrechen" and the end of a run make the window closable.
    if (!m_closable) {
        event->ignore();
        return;
    }
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    m_template.attachment.clear();
    showAttachment();
    // A transfer may still be in flight after "Abbrechen"; the run releases the
    // component when it has ended.
    if (!isSending())
        m_mail->Release();
    if (m_preview->isVisible())
        m_preview->close();
    m_resumeTimer->stop(); // a resume waits only while the window is open
    event->accept();
}
