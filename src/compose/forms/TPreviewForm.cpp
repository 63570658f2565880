#include "compose/forms/TPreviewForm.h"

#include "common/Messages.h"
#include "common/Texts.h"
#include "compose/TextPreview.h"
#include "compose/forms/HtmlView.h"
#include "database/AddressTable.h"
#include "database/SqlFunctions.h"
#include "database/SystemColumns.h"
#include "shell/AppState.h"

#include <QDir>
#include <QFont>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TPreviewForm::TPreviewForm(AppState& state, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), m_state(state) {
    setObjectName(QStringLiteral("PreviewForm"));
    setWindowTitle(QStringLiteral("Vorschau"));

    m_caption = new QLabel(QStringLiteral("Vorschau Datensatz Nr: "), this);
    m_caption->setObjectName(QStringLiteral("PreviewLabel"));
    QFont bold = m_caption->font();
    bold.setBold(true);
    m_caption->setFont(bold);
    m_subjectLabel = new QLabel(QStringLiteral("Betreff:"), this);
    m_subjectLabel->setObjectName(QStringLiteral("SubjectLabel"));
    m_subject = new QLineEdit(this);
    m_subject->setObjectName(QStringLiteral("PreviewSubjectEdit"));
    m_subject->setReadOnly(true);
    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(QStringLiteral("PreviewMemo"));
    m_memo->setReadOnly(true);
    // HTML mails are previewed in a browser view in this panel; text mails do not use it.
    m_browserPanel = new QFrame(this);
    m_browserPanel->setObjectName(QStringLiteral("BrowserPanel"));
    m_browserPanel->setVisible(false);
    m_browser = new HtmlView(m_browserPanel);
    m_browser->setObjectName(QStringLiteral("WebBrowser"));
    auto* browserLayout = new QVBoxLayout(m_browserPanel);
    browserLayout->setContentsMargins(0, 0, 0, 0);
    browserLayout->addWidget(m_browser);

    auto button = [this](const QString& caption, const char* name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* prior = button(QStringLiteral("<"), "PriorButton");
    QPushButton* next = button(QStringLiteral(">"), "NextButton");
    QPushButton* update = button(QStringLiteral("Aktualisieren"), "RefreshButton");
    QPushButton* close = button(QStringLiteral("Schliessen"), "CloseButton");

    auto* subjectRow = new QHBoxLayout;
    subjectRow->addWidget(m_subjectLabel);
    subjectRow->addWidget(m_subject, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(prior);
    buttons->addWidget(next);
    buttons->addWidget(update);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_caption);
    layout->addLayout(subjectRow);
    layout->addWidget(m_memo, 1);
    layout->addWidget(m_browserPanel, 1);
    layout->addLayout(buttons);
    resize(640, 520);

    connect(prior, &QPushButton::clicked, this, &TPreviewForm::previous);
    connect(next, &QPushButton::clicked, this, &TPreviewForm::nextRecord);
    connect(update, &QPushButton::clicked, this, [this] { refresh(); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

void TPreviewForm::showPreview() {
    AddressTable* table = m_state.session.currentTable();
    if (!table) {
        Messages::instance().information(Texts::openDatabaseFirst());
        return;
    }
    if (isVisible()) {
        refresh();
        return;
    }
    QString error;
    if (!m_records.take(*table, &error)) {
        Messages::instance().error(error);
        return;
    }
    if (m_records.count() == 0) {
        Messages::instance().information(
            QStringLiteral("Keine Datensätze zum Versenden markiert!"));
        return;
    }
    m_position = 0;
    showMode(currentTemplate && currentTemplate().mode == MailTemplate::Mode::Html);
    show();
    raise();
    refresh();
}

qint64 TPreviewForm::currentId() const {
    return m_position < m_records.count() ? m_records.ids()[size_t(m_position)] : 0;
}

bool TPreviewForm::refresh() {
    AddressTable* table = m_state.session.currentTable();
    if (!table || !currentTemplate)
        return false;
    const QVariantList record = m_records.valuesOf(currentId());
    const int idColumn = table->fieldIndex(SystemColumns::ID);
    m_caption->setText(QStringLiteral("Vorschau Datensatz Nr: ") +
                       (idColumn >= 0 ? SqlFunctions::displayText(record.value(idColumn),
                                                                  table->fieldType(idColumn))
                                      : QString()));
    const MailTemplate mail = currentTemplate();
    showMode(mail.mode == MailTemplate::Mode::Html);
    if (mail.mode == MailTemplate::Mode::Html)
        return refreshHtml(*table, record);
    TextPreview::Result result;
    QString error;
    if (!TextPreview::build(currentTemplate(), *table, record, m_state.folders.programFolder,
                            m_state.folders.systemTempFolder, &result, &error,
                            UnsubscribeLink::forDatabase(m_state.folders.dataFolder,
                                                         m_state.session.definitionName()))) {
        Messages::instance().error(error);
        return false;
    }
    m_subject->setText(result.subject);
    m_memo->setPlainText(result.lines.join(QChar('\n')));
    return true;
}

void TPreviewForm::showMode(bool html) {
    m_subjectLabel->setVisible(!html);
    m_subject->setVisible(!html);
    m_memo->setVisible(!html);
    m_browserPanel->setVisible(html);
}

// The record's message as the run would build it, shown from the preview copy the
// browser does not show yet.
bool TPreviewForm::refreshHtml(const AddressTable& table, const QVariantList& record) {
    if (!htmlInput)
        return false;
    bool hasHtml = false;
    QString error;
    if (!HtmlPreview::build(htmlInput(), table, currentId(), record, m_state.folders.programFolder,
                            m_state.session.definitionName(), m_state.folders.systemTempFolder,
                            &hasHtml, &error)) {
        Messages::instance().error(error);
        return false;
    }
    m_browser->showFile(QDir(m_state.folders.systemTempFolder)
                            .filePath(HtmlMailFile::previewFileName(m_counter.next(), hasHtml)));
    return true;
}

void TPreviewForm::previous() {
    if (m_position > 0)
        --m_position;
    refresh();
}

void TPreviewForm::nextRecord() {
    if (m_position + 1 < m_records.count())
        ++m_position;
    refresh();
}

bool TPreviewForm::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && isVisible())
        refresh();
    return QWidget::event(event);
}
