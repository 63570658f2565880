#include "exchange/forms/TExportWizzard1Form.h"

#include "exchange/forms/ChoicePage.h"
#include "shell/AppState.h"
#include "shell/forms/HelpPage.h"

#include <QPushButton>
#include <QRadioButton>

TExportWizzard1Form::TExportWizzard1Form(AppState& state, QWidget* parent)
    : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("ExportWizzard1Form"));
    setWindowTitle(QStringLiteral("Export"));
    setMinimumWidth(420);

    const ChoicePage page = ChoicePage::layOut(
        this,
        {{"ExcelRadioButton", QStringLiteral("Eine Excel Datei herstellen")},
         {"XlsxRadioButton", QStringLiteral("Eine Excel Datei (.xlsx) herstellen")},
         {"OtherRadioButton", QStringLiteral("Einen anderen Datenbank-Typ herstellen")}},
        "AbortBitBtn", [this](int index) {
            m_result = Choice(index + 1);
            accept();
        });
    m_choices = page.choices;
    connect(page.help, &QPushButton::clicked, this, [this] { OpenHelpPage(m_state); });
}

// The choices stand in the order of Choice, after None.
TExportWizzard1Form::Choice TExportWizzard1Form::checkedChoice() const {
    return Choice(ChoicePage{m_choices, nullptr}.checked() + 1);
}

TExportWizzard1Form::Choice TExportWizzard1Form::ask() {
    m_result = Choice::None;
    exec();
    return m_result;
}
