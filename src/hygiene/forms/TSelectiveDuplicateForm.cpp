#include "hygiene/forms/TSelectiveDuplicateForm.h"

#include "database/DatabaseDefinition.h"
#include "shell/AppState.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

TSelectiveDuplicateForm::TSelectiveDuplicateForm(AppState& state, QWidget* parent)
    : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("SelectiveDuplicateForm"));
    setWindowTitle(QStringLiteral("Selektives Löschen doppelter Datensätze"));
    setMinimumWidth(480);

    auto* label = new QLabel(QStringLiteral("Datenbankspalte:"), this);
    label->setObjectName(QStringLiteral("Label1"));
    m_columns = new QComboBox(this);
    m_columns->setObjectName(QStringLiteral("cbDB"));
    label->setBuddy(m_columns);

    auto* explanation = new QLabel(
        QStringLiteral(
            "Mit dieser Funktion können Sie Datensätze, die in einen von Ihnen aus-\n"
            "gewählten Feld den gleichen Inhalt haben, löschen lassen. Bitte beachten \n"
            "Sie, dass die Feldinhalte zu 100% übereinstimmen müssen, um als Duplikate \n"
            "behandelt zu werden!"),
        this);
    explanation->setObjectName(QStringLiteral("ExplanationLabel"));

    m_apply = new QPushButton(QStringLiteral("Anwenden"), this);
    m_apply->setObjectName(QStringLiteral("btnDo"));
    m_apply->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    m_cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    m_cancel->setObjectName(QStringLiteral("btnCancel"));
    m_cancel->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    m_apply->setAutoDefault(false);
    m_cancel->setAutoDefault(false);

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(m_columns, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_apply);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(explanation);
    layout->addStretch();
    layout->addLayout(buttons);

    connect(m_apply, &QPushButton::clicked, this, &TSelectiveDuplicateForm::apply);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TSelectiveDuplicateForm::showEvent(QShowEvent* event) {
    refill();
    QDialog::showEvent(event);
}

void TSelectiveDuplicateForm::refill() {
    m_columns->clear();
    m_fieldNames.clear();
    for (const FieldDefinition& f : m_state.session.definition().targetFields()) {
        m_columns->addItem(f.caption);
        m_fieldNames.append(f.name);
    }
    if (m_columns->count() > 1)
        m_columns->setCurrentIndex(1);
}

QString TSelectiveDuplicateForm::selectedFieldName() const {
    const int i = m_columns->currentIndex();
    return i >= 0 && i < m_fieldNames.size() ? m_fieldNames[i] : QString();
}

void TSelectiveDuplicateForm::apply() {
    if (m_run && m_run(selectedFieldName()))
        accept();
}
