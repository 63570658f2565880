#include "compose/forms/THTMLImportForm.h"

#include "common/FilePicker.h"
#include "common/Messages.h"
#include "compose/ComposerRules.h"
#include "compose/HtmlImport.h"
#include "compose/HtmlMailFile.h"
#include "compose/forms/HtmlView.h"
#include "shell/AppState.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QLabel* heading(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

QPushButton* button(const QString& text, const char* name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

THTMLImportForm::THTMLImportForm(AppState& state, QWidget* parent)
    : QWidget(parent, Qt::Window), m_state(state) {
    setObjectName(QStringLiteral("HTMLImportForm"));
    setWindowTitle(QStringLiteral("HTML Datei importieren"));

    m_page = new QLineEdit(this);
    m_page->setObjectName(QStringLiteral("Edit1"));
    m_page->setReadOnly(true);
    QPushButton* open = button(QStringLiteral("HTML Datei öffnen"), "HTMLOpenBitBtn", this);
    open->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    m_browser = new HtmlView(this);
    m_browser->setObjectName(QStringLiteral("WebBrowser1"));
    m_browser->setMinimumHeight(220);
    m_embed = new QRadioButton(QStringLiteral("Bilder in E-Mail einbetten"), this);
    m_embed->setObjectName(QStringLiteral("EmbedRadioButton"));
    m_embed->setChecked(true);
    m_external =
        new QRadioButton(QStringLiteral("Bilder nicht in E-Mail einbetten (externe Bilder)"), this);
    m_external->setObjectName(QStringLiteral("ExternRadioButton"));
    m_subject = new QLineEdit(QStringLiteral("Meine neue Serien-E-Mail"), this);
    m_subject->setObjectName(QStringLiteral("Edit2"));
    m_attachment = new QLineEdit(this);
    m_attachment->setObjectName(QStringLiteral("Edit3"));
    m_attachment->setReadOnly(true);
    QPushButton* attach = button(QStringLiteral("Dateianhang auswählen"), "AttachBitBtn", this);
    m_removeAttachment =
        button(QStringLiteral("Dateianhang entfernen"), "RemoveAttachBitBtn", this);
    m_removeAttachment->setEnabled(false);
    QPushButton* hints =
        button(QStringLiteral("Hinweise zur Verwendung von HTML Elementen"), "HintsBitBtn", this);
    QPushButton* cancel = button(QStringLiteral("Abbrechen"), "AbbrechenBitBtn", this);
    cancel->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    m_next = button(QStringLiteral("Weiter"), "WeiterBitBtn", this);
    m_next->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
    m_next->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading(QStringLiteral("1. HTML Datei auswählen:"), this));
    auto* pageRow = new QHBoxLayout;
    pageRow->addWidget(m_page, 1);
    pageRow->addWidget(open);
    layout->addLayout(pageRow);
    layout->addWidget(heading(QStringLiteral("2. Importvorschau:"), this));
    layout->addWidget(m_browser, 1);
    layout->addWidget(heading(QStringLiteral("3. Bilder einbetten"), this));
    layout->addWidget(m_embed);
    layout->addWidget(m_external);
    layout->addWidget(heading(QStringLiteral("4. E-Mail Betreff:"), this));
    layout->addWidget(m_subject);
    layout->addWidget(heading(QStringLiteral("5. Dateianhang (Attachment) wählen:"), this));
    auto* attachRow = new QHBoxLayout;
    attachRow->addWidget(m_attachment, 1);
    attachRow->addWidget(attach);
    attachRow->addWidget(m_removeAttachment);
    layout->addLayout(attachRow);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(hints);
    buttons->addStretch();
    buttons->addWidget(m_next);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    resize(640, 600);

    connect(open, &QPushButton::clicked, this, &THTMLImportForm::choosePage);
    connect(attach, &QPushButton::clicked, this, &THTMLImportForm::chooseAttachment);
    connect(m_removeAttachment, &QPushButton::clicked, this, &THTMLImportForm::removeAttachment);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
    connect(m_next, &QPushButton::clicked, this, &THTMLImportForm::next);
    connect(hints, &QPushButton::clicked, this, [] {
        Messages::instance().information(QStringLiteral(
            "Grundsätzlich können mit Quillon beliebige HTML-Dateien als Newsletter versendet "
            "werden, das\r\nProgramm selbst gibt hier keine Limitierung vor. Wir weisen aber "
            "ausdrücklich darauf hin, dass\r\nSie, um eine optimale Anzeige auf allen "
            "E-Mail-Clients zu erreichen, unbedingt auf die Verwendung\r\numfangreicher "
            "CSS-Angaben oder gar Javascript verzichten sollten! Weiterhin sollte besonders "
            "schlanker\r\nHTML-Code verwendet werden, da gerade die Ansicht in Outlook 2007/2010 "
            "keinen komplexen HTML-Code\r\nund wenige CSS Funktionen unterstützt. Testen Sie "
            "unbedingt vor dem ersten Versand die Anzeige bei\r\ngängigen E-Mail-Clients, wie "
            "z.B. Outlook, Thunderbird, Live Mail und div. Webmailern.\r\nEs gilt die Regel: "
            "Keep it as simple as it can be!"));
    });
}

void THTMLImportForm::showWindow() {
    m_used = false;
    if (!isVisible())
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect free = screen->availableGeometry();
            resize(size().boundedTo(free.size() - QSize(40, 60)));
            move(free.center() - rect().center());
        }
    show();
    raise();
    activateWindow();
}

QString THTMLImportForm::subject() const {
    return m_subject->text();
}

void THTMLImportForm::choosePage() {
    const QString chosen = FilePicker::instance().openFile(
        QStringLiteral("HTML Datei öffnen"), m_state.folders.userTemplatesFolder,
        ComposerRules::dialogFilter(QStringLiteral("HTML Dateien|*.html;*.htm")));
    m_page->setText(chosen);
    if (chosen.isEmpty())
        m_browser->showBlank();
    else
        m_browser->showFile(chosen);
    m_next->setEnabled(!chosen.isEmpty());
}

void THTMLImportForm::chooseAttachment() {
    const QString chosen = FilePicker::instance().openFile(
        QStringLiteral("Dateianhang auswählen"), QString(),
        ComposerRules::dialogFilter(QStringLiteral("Alle Dateien|*.*")));
    if (chosen.isEmpty())
        return;
    m_attachment->setText(chosen);
    m_removeAttachment->setEnabled(true);
}

void THTMLImportForm::removeAttachment() {
    m_attachment->clear();
    m_removeAttachment->setEnabled(false);
}

void THTMLImportForm::next() {
    m_used = true;
    HtmlImport::Options options;
    options.pagePath = m_page->text();
    options.embedImages = m_embed->isChecked();
    options.subject = m_subject->text();
    options.attachment = m_attachment->text();
    options.outPath =
        QDir(m_state.folders.systemTempFolder).filePath(HtmlMailFile::importResultName());
    QString error;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool made = HtmlImport::importPage(options, &error);
    QApplication::restoreOverrideCursor();
    if (!made) {
        Messages::instance().error(error); // the window stays open
        return;
    }
    Q_EMIT messageReady(options.outPath);
}
