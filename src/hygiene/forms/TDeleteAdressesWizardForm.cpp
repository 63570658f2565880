#include "hygiene/forms/TDeleteAdressesWizardForm.h"

#include "common/Messages.h"
#include "shell/forms/HelpPage.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

TDeleteAdressesWizardForm::TDeleteAdressesWizardForm(AppState& state, QWidget* parent)
    : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("DeleteAdressesWizardForm"));
    setWindowTitle(QStringLiteral("Doppelte Datensätze löschen"));
    setMinimumWidth(460);

    m_question = new QLabel(QStringLiteral("Was wollen Sie tun?"), this);
    m_question->setObjectName(QStringLiteral("QuestionLabel"));
    QFont bold = m_question->font();
    bold.setBold(true);
    m_question->setFont(bold);

    m_deleteRadio = new QRadioButton(QStringLiteral("Doppelte Datensätze löschen"), this);
    m_deleteRadio->setObjectName(QStringLiteral("DeleteSofortRadioButton"));
    m_markRadio = new QRadioButton(
        QStringLiteral("Doppelte Datensätze markieren und anschließen von Hand löschen"), this);
    m_markRadio->setObjectName(QStringLiteral("ManuellDeleteRadioButton"));

    m_keepRule = new QComboBox(this);
    m_keepRule->setObjectName(QStringLiteral("ComboBox1"));
    m_keepRule->addItem(QStringLiteral("den ältesten Datensatz bestehen lassen"));
    m_keepRule->addItem(QStringLiteral("den neuesten Datensatz bestehen lassen"));
    m_keepRule->setCurrentIndex(0);
    m_keepRule->setEditable(false);

    m_weiter = new QPushButton(QStringLiteral("Weiter"), this);
    m_weiter->setObjectName(QStringLiteral("WeiterBitBtn"));
    m_weiter->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
    m_abort = new QPushButton(QStringLiteral("Abbrechen"), this);
    m_abort->setObjectName(QStringLiteral("AbortBitBtn"));
    m_abort->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    m_help = new QPushButton(QStringLiteral("Hilfe"), this);
    m_help->setObjectName(QStringLiteral("HilfeBitBtn"));
    m_help->setIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));
    for (QPushButton* b : {m_weiter, m_abort, m_help})
        b->setAutoDefault(false);
    m_weiter->setDefault(true);

    auto* keepRow = new QHBoxLayout;
    keepRow->addSpacing(24);
    keepRow->addWidget(m_keepRule, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_help);
    buttons->addStretch();
    buttons->addWidget(m_weiter);
    buttons->addWidget(m_abort);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_question);
    layout->addSpacing(8);
    layout->addWidget(m_deleteRadio);
    layout->addLayout(keepRow);
    layout->addWidget(m_markRadio);
    layout->addStretch();
    layout->addLayout(buttons);

    connect(m_deleteRadio, &QRadioButton::toggled, this,
            &TDeleteAdressesWizardForm::updateKeepRule);
    connect(m_markRadio, &QRadioButton::toggled, this, &TDeleteAdressesWizardForm::updateKeepRule);
    connect(m_weiter, &QPushButton::clicked, this, &TDeleteAdressesWizardForm::onWeiter);
    connect(m_abort, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_help, &QPushButton::clicked, this, [this] { OpenHelpPage(m_state); });
}

void TDeleteAdressesWizardForm::showEvent(QShowEvent* event) {
    m_proceed = false;
    if (!m_deleteRadio->isChecked() && !m_markRadio->isChecked())
        m_deleteRadio->setChecked(true);
    updateKeepRule();
    QDialog::showEvent(event);
}

void TDeleteAdressesWizardForm::updateKeepRule() {
    // The keep rule only matters for deleting.
    m_keepRule->setEnabled(!m_markRadio->isChecked());
}

void TDeleteAdressesWizardForm::onWeiter() {
    if (!m_deleteRadio->isChecked() && !m_markRadio->isChecked()) {
        Messages::instance().information(QStringLiteral("Bitte zuerst eine Auswahl treffen!"));
        return;
    }
    m_proceed = true;
    accept();
}

Duplicates::Choice TDeleteAdressesWizardForm::choice() const {
    Duplicates::Choice c;
    c.proceed = m_proceed;
    c.action = m_markRadio->isChecked() ? Duplicates::Action::Mark : Duplicates::Action::Delete;
    c.keep = m_keepRule->currentIndex() == 1 ? Duplicates::KeepRule::Newest
                                             : Duplicates::KeepRule::Oldest;
    return c;
}

Duplicates::Choice TDeleteAdressesWizardForm::ask() {
    m_proceed = false;
    exec();
    return choice();
}
