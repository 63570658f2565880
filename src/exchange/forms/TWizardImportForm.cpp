#include "exchange/forms/TWizardImportForm.h"

#include "exchange/forms/ChoicePage.h"
#include "shell/AppState.h"
#include "shell/forms/HelpPage.h"

#include <QPushButton>
#include <QRadioButton>

TWizardImportForm::TWizardImportForm(AppState& state, QWidget* parent)
    : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("WizardImportForm"));
    setWindowTitle(QStringLiteral("Import"));
    setMinimumWidth(420);

    const ChoicePage page = ChoicePage::layOut(
        this,
        {{"OERadioButton", QStringLiteral("Outlook Express Adressbuch importieren")},
         {"OutlookButton", QStringLiteral("Outlook Kontakte importieren")},
         {"WindowsMailRadioButton", QStringLiteral("Windows Mail Kontakte importieren")},
         {"OtherRadioButton", QStringLiteral("Andere Datenformate importieren")}},
        "AbbrechenBitBtn", [this](int index) {
            m_result = Choice(index + 1);
            accept();
        });
    m_choices = page.choices;
    connect(page.help, &QPushButton::clicked, this, [this] { OpenHelpPage(m_state); });
    // Every choice stays available: each source has a stand-in that needs neither Windows
    // nor Outlook (an address-book file, a folder of vCard files, a folder of .contact
    // files).
}

void TWizardImportForm::showEvent(QShowEvent* event) {
    m_result = Choice::None;
    QDialog::showEvent(event);
}

// The choices stand in the order of Choice, after None.
TWizardImportForm::Choice TWizardImportForm::checkedChoice() const {
    return Choice(ChoicePage{m_choices, nullptr}.checked() + 1);
}

TWizardImportForm::Choice TWizardImportForm::ask() {
    m_result = Choice::None;
    exec();
    return m_result;
}
