#include "exchange/forms/TExportWizzard1Form.h"

#include "common/Messages.h"
#include "shell/AppState.h"
#include "shell/forms/HelpPage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

TExportWizzard1Form::TExportWizzard1Form(AppState& state, QWidget* parent)
    : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("ExportWizzard1Form"));
    setWindowTitle(QStringLiteral("Export"));
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
    m_excel = radio("ExcelRadioButton", QStringLiteral("Eine Excel Datei herstellen"));
    m_xlsx = radio("XlsxRadioButton", QStringLiteral("Eine Excel Datei (.xlsx) herstellen"));
    m_other = radio("OtherRadioButton", QStringLiteral("Einen anderen Datenbank-Typ herstellen"));

    auto* weiter = new QPushButton(QStringLiteral("Weiter"), this);
    weiter->setObjectName(QStringLiteral("WeiterBitBtn"));
    weiter->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
    auto* abort = new QPushButton(QStringLiteral("Abbrechen"), this);
    abort->setObjectName(QStringLiteral("AbortBitBtn"));
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
    for (QRadioButton* r : {m_excel, m_xlsx, m_other})
        layout->addWidget(r);
    layout->addStretch();
    layout->addLayout(buttons);

    connect(weiter, &QPushButton::clicked, this, &TExportWizzard1Form::onWeiter);
    connect(abort, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [this] { OpenHelpPage(m_state); });
}

TExportWizzard1Form::Choice TExportWizzard1Form::checkedChoice() const {
    if (m_excel->isChecked())
        return Choice::Excel;
    if (m_xlsx->isChecked())
        return Choice::Xlsx;
    if (m_other->isChecked())
        return Choice::Other;
    return Choice::None;
}

void TExportWizzard1Form::onWeiter() {
    const Choice c = checkedChoice();
    if (c == Choice::None) {
        Messages::instance().information(QStringLiteral("Bitte zuerst eine Auswahl treffen!"));
        return;
    }
    m_result = c;
    accept();
}

TExportWizzard1Form::Choice TExportWizzard1Form::ask() {
    m_result = Choice::None;
    exec();
    return m_result;
}
