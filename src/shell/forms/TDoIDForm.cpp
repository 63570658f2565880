#include "shell/forms/TDoIDForm.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

TDoIDForm::TDoIDForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DoIDForm"));
    setWindowTitle(QStringLiteral("Markieren von ID bis ID"));
    auto* layout = new QVBoxLayout(this);
    m_doLabel = new QLabel(QStringLiteral("Markieren"), this);
    m_doLabel->setObjectName(QStringLiteral("DoLabel"));
    QFont bold = m_doLabel->font();
    bold.setBold(true);
    m_doLabel->setFont(bold);
    layout->addWidget(m_doLabel);

    // Digits and blanks only; blanks are dropped when the range is read.
    auto* digits =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9 ]*")), this);
    auto* form = new QFormLayout;
    m_start = new QLineEdit(this);
    m_start->setObjectName(QStringLiteral("StartIDEdit"));
    m_end = new QLineEdit(this);
    m_end->setObjectName(QStringLiteral("EndIDEdit"));
    for (QLineEdit* e : {m_start, m_end}) {
        e->setMaxLength(11);
        e->setValidator(digits);
    }
    form->addRow(QStringLiteral("Start ID"), m_start);
    form->addRow(QStringLiteral("End ID"), m_end);
    layout->addLayout(form);

    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    cancel->setObjectName(QStringLiteral("AbortButton"));
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TDoIDForm::startText() const {
    return m_start->text();
}

QString TDoIDForm::endText() const {
    return m_end->text();
}
