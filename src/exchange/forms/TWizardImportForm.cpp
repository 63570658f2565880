#include "exchange/forms/TWizardImportForm.h"

#include "common/Messages.h"
#include "shell/AppState.h"
#include "shell/forms/HelpPage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

TWizardImportForm::TWizardImportForm(AppState& state, QWidget* parent)
    : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("WizardImportForm"));
    setWindowTitle(QStringLiteral("Import"));
    setMinimumWidth(420);

    auto* question = new QLabel(QStringLiteral("Was wollen Sie tun?"), this);
    question->setObjectName(QStringLiteral("QuestionLabel"));
    QFont bold = question->font();
    bold.setBold(true);
    question->setFont(bold);

    auto radio = [this](const char* name, const QString& caption) {
        auto* r = new QRadioButton(caption, this);
        r->setObjectName(QLatin1String(name));
        return r;
    };
    m_oe = radio("OERadioButton", QStringLiteral("Outlook Express Adressbuch importieren"));
    m_outlook = radio("OutlookButton", QStringLiteral("Outlook Kontakte importieren"));
    m_windowsMail =
        radio("WindowsMailRadioButton", QStringLiteral("Windows Mail Kontakte importieren"));
    m_other = radio("OtherRadioButton", QStringLiteral("Andere Datenformate importieren"));

    auto* weiter = new QPushButton(QStringLiteral("Weiter"), this);
    weiter->setObjectName(QStringLiteral("WeiterBitBtn"));
    weiter->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
    auto* abort = new QPushButton(QStringLiteral("Abbrechen"), this);
    abort->setObjectName(QStringLiteral("AbbrechenBitBtn"));
    abort->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    auto* help = new QPushButton(QStringLiteral("Hilfe"), this);
    help->setObjectName(QStringLiteral("HilfeBitBtn"));
    help->setIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));
    for (QPushButton* b : {weiter, abort, help})
        b->setAutoDefault(false);
    weiter->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(help);
    buttons->addStretch();
    buttons->addWidget(weiter);
    buttons->addWidget(abort);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(question);
    layout->addSpacing(8);
    for (QRadioButton* r : {m_oe, m_outlook, m_windowsMail, m_other})
        layout->addWidget(r);
    layout->addStretch();
    layout->addLayout(buttons);

    connect(weiter, &QPushButton::clicked, this, &TWizardImportForm::onWeiter);
    connect(abort, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [this] { OpenHelpPage(m_state); });
    updateAvailability();
}

void TWizardImportForm::updateAvailability() {
    // Every source has a stand-in that needs neither Windows nor Outlook: an address-book
    // file (vCard or LDIF), a folder of vCard files and a folder of .contact files.
    for (QRadioButton* r : {m_oe, m_outlook, m_windowsMail})
        r->setEnabled(true);
}

void TWizardImportForm::showEvent(QShowEvent* event) {
    m_result = Choice::None;
    updateAvailability();
    QDialog::showEvent(event);
}

TWizardImportForm::Choice TWizardImportForm::checkedChoice() const {
    if (m_oe->isChecked())
        return Choice::OutlookExpress;
    if (m_outlook->isChecked())
        return Choice::Outlook;
    if (m_windowsMail->isChecked())
        return Choice::WindowsMail;
    if (m_other->isChecked())
        return Choice::Other;
    return Choice::None;
}

void TWizardImportForm::onWeiter() {
    const Choice c = checkedChoice();
    if (c == Choice::None) {
        Messages::instance().information(QStringLiteral("Bitte zuerst eine Auswahl treffen!"));
        return;
    }
    m_result = c;
    accept();
}

TWizardImportForm::Choice TWizardImportForm::ask() {
    m_result = Choice::None;
    exec();
    return m_result;
}
