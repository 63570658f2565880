#include "web/forms/TStatsForm.h"

#include "common/Messages.h"
#include "database/WebSettings.h"
#include "platform/DocumentOpener.h"
#include "shell/AppState.h"
#include "web/TrackingSetup.h"
#include "web/forms/WebFormSupport.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace

TStatsForm::TStatsForm(AppState& state, QWidget* parent) : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("StatsForm"));
    setWindowTitle(u("Newsletter Statistik einrichten"));
    setMinimumWidth(560);
    auto* layout = new QVBoxLayout(this);

    auto* heading = new QLabel(u("<b>Serverpfad für das Newslettertracking</b>"), this);
    heading->setObjectName(QStringLiteral("Label1"));
    layout->addWidget(heading);
    auto* explanation = new QLabel(
        u("Verwenden Sie für jede Datenbank einen eigenen Pfad, damit die Statistiken der "
          "Datenbanken getrennt bleiben."),
        this);
    explanation->setObjectName(QStringLiteral("Label2"));
    explanation->setWordWrap(true);
    layout->addWidget(explanation);
    m_url = new QLineEdit(this);
    m_url->setObjectName(QStringLiteral("URLEdit"));
    layout->addWidget(m_url);
    auto* example =
        new QLabel(u("(z.B.  ") + TrackingSetup::exampleAddress() + QStringLiteral(" )"), this);
    example->setObjectName(QStringLiteral("ExampleLabel"));
    example->setStyleSheet(QStringLiteral("color: #FF0000"));
    layout->addWidget(example);

    auto* pwHeading = new QLabel(u("<b>Passwort für die Trackingbereich</b>"), this);
    pwHeading->setObjectName(QStringLiteral("Label3"));
    layout->addWidget(pwHeading);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("PasswdEdit"));
    m_password->setMaxLength(40);
    WebForms::acceptLettersAndDigitsOnly(m_password);
    layout->addWidget(m_password);

    m_active = new QCheckBox(u("Newslettertracking standardmäßig aktivieren "), this);
    m_active->setObjectName(QStringLiteral("TrackingCheckBox"));
    layout->addWidget(m_active);

    auto* notice = new QFrame(this);
    notice->setObjectName(QStringLiteral("HinweisBox"));
    notice->setFrameShape(QFrame::StyledPanel);
    auto* noticeLayout = new QVBoxLayout(notice);
    auto* noticeText = new QLabel(
        u("<b>Hinweis! </b>Das Newslettertracking läuft ausschließlich online. Sie benötigen "
          "dafür PHP-fähigen Webspace (PHP 4 oder 5 oder neuer)."),
        notice);
    noticeText->setObjectName(QStringLiteral("HinweisLabel"));
    noticeText->setWordWrap(true);
    noticeLayout->addWidget(noticeText);
    layout->addWidget(notice);
    auto* steps = new QLabel(u("<b>Bitte führen Sie nach dem Speichern die in der Einbauanleitung "
                               "aufgeführten Schritte aus!</b>"),
                             this);
    steps->setObjectName(QStringLiteral("StepsLabel"));
    steps->setWordWrap(true);
    layout->addWidget(steps);

    auto* buttons = new QHBoxLayout;
    auto* use = new QPushButton(u("Verwenden"), this);
    use->setObjectName(QStringLiteral("BitBtn1"));
    auto* clicksOnly = new QPushButton(u("Nur Klickstatistiken?"), this);
    clicksOnly->setObjectName(QStringLiteral("BitBtn3"));
    auto* cancel = new QPushButton(u("Abbrechen"), this);
    cancel->setObjectName(QStringLiteral("BitBtn2"));
    buttons->addWidget(use);
    buttons->addWidget(clicksOnly);
    buttons->addStretch();
    buttons->addWidget(cancel);
    for (QPushButton* b : {use, clicksOnly, cancel})
        b->setAutoDefault(false);
    layout->addLayout(buttons);

    connect(use, &QPushButton::clicked, this, &TStatsForm::use);
    connect(clicksOnly, &QPushButton::clicked, this, &TStatsForm::explainClicksOnly);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TStatsForm::prepare() {
    if (!WebForms::requireDatabase(m_state.session))
        return false;
    const TrackingState t =
        WebSettings(m_state.folders.dataFolder, m_state.session.definitionName()).tracking();
    m_url->setText(t.statsAddress);
    m_password->setText(t.password);
    m_active->setChecked(t.onByDefault);
    return true;
}

int TStatsForm::run() {
    if (!prepare())
        return QDialog::Rejected;
    return exec();
}

void TStatsForm::use() {
    Messages& messages = Messages::instance();
    const QString address = m_url->text();
    const QString fault = TrackingSetup::check(address, m_password->text());
    if (!fault.isEmpty()) {
        messages.error(fault);
        return;
    }
    const QString url = address.trimmed();
    const QString password = m_password->text().trimmed();
    const QString programFolder = m_state.folders.programFolder;
    const QString base = WebForms::outputBase(programFolder);
    if (!base.isEmpty()) {
        QString error;
        if (!TrackingSetup::prepare(programFolder, base + TrackingSetup::folderName(address),
                                    address, password, m_state.session.displayName(), &error)) {
            messages.error(error);
            return;
        }
        if (messages.question(
                u("Dateien wurden erstellt! Möchten Sie nun die Einbauanleitung starten?")))
            Documents::openOrReport(
                QUrl::fromLocalFile(programFolder + QStringLiteral("stats-einbau.html")), messages);
    }
    WebSettings web(m_state.folders.dataFolder, m_state.session.definitionName());
    if (!web.setStatsUrl(url) || !web.setStatsPassword(password) ||
        !web.setStatsActive(m_active->isChecked())) {
        messages.error(u("Die Datei\r") + web.path() + u("\rkann nicht geschrieben werden."));
        return;
    }
    m_state.session.reloadWebSettings();
    accept();
}

void TStatsForm::explainClicksOnly() {
    Messages::instance().information(
        u("Warum gibt es in Quillon \"nur\" Klicktracking und kein Aufrufstracking?\r\rImmer "
          "finden sich im E-Mail-Marketing Bereich neben den Klickstatistiken, die jeden Klick "
          "auf einen Link in einem Newsletter zählen,\rauch sogenannte Aufrufsstatistiken, die "
          "jeden Aufruf (Betrachten) des Newsletter zählen wollen. Grundsätzlich ist dies eine "
          "recht\rinteressante Statistik, das dies aber nur anhand eines extern abgelegten "
          "Bildes realisiert werden kann und nahezu jede aktuelle\rE-Mail- oder "
          "Webmail-Obefläche das direkte Nachladen von externen Bilder blockiert, ist diese "
          "faktisch nicht mehr zu gebrauchen\rund wurde absichtlich hier nicht "
          "berücksichtigt!"));
}
