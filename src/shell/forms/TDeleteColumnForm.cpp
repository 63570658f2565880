#include "shell/forms/TDeleteColumnForm.h"

#include "common/Texts.h"
#include "shell/forms/BusyCursor.h"

#include "common/Messages.h"
#include "database/DatabaseDefinition.h"
#include "records/RecordEditing.h"
#include "shell/AppState.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

TDeleteColumnForm::TDeleteColumnForm(AppState& state, QWidget* parent)
    : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("DeleteColumnForm"));
    setWindowTitle(QStringLiteral("Spalteninhalt löschen/setzen"));
    setModal(true);

    QString shown = explanation();
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    auto* info = new QLabel(shown, this);
    info->setObjectName(QStringLiteral("InfoLabel"));

    m_columns = new QComboBox(this);
    m_columns->setObjectName(QStringLiteral("cbDB"));
    m_value = new QLineEdit(this);
    m_value->setObjectName(QStringLiteral("Edit1"));
    m_onlyMarked = new QCheckBox(QStringLiteral("Nur selektierte Datensätze"), this);
    m_onlyMarked->setObjectName(QStringLiteral("chk1"));

    m_doButton = new QPushButton(QStringLiteral("Anwenden"), this);
    m_doButton->setObjectName(QStringLiteral("btnDo"));
    m_doButton->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    m_doButton->setAutoDefault(false);
    m_cancelButton = new QPushButton(QStringLiteral("Abbrechen"), this);
    m_cancelButton->setObjectName(QStringLiteral("btnCancel"));
    m_cancelButton->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    m_cancelButton->setAutoDefault(false);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Datenbankspalte:"), m_columns);
    form->addRow(QStringLiteral("Neuer Feldinhalt:"), m_value);
    form->addRow(QString(), m_onlyMarked);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_doButton);
    buttons->addWidget(m_cancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(info);
    layout->addLayout(form);
    layout->addStretch();
    layout->addLayout(buttons);

    connect(m_doButton, &QPushButton::clicked, this, &TDeleteColumnForm::apply);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

const QString& TDeleteColumnForm::explanation() {
    static const QString text = QStringLiteral(
        "Mit dieser Funktion können Sie die Inhalte einer einzelnen Spalte auf\r\neinmal mit "
        "einem Wert befüllen oder löschen. Zum Löschen lassen Sie das \r\nunten stehende Feld "
        "einfach leer!");
    return text;
}

void TDeleteColumnForm::execute() {
    if (!m_state.session.hasOpenTable()) {
        Messages::instance().information(Texts::openDatabaseFirst());
        return;
    }
    exec();
}

void TDeleteColumnForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    refill();
}

void TDeleteColumnForm::refill() {
    m_columns->clear();
    m_fieldNames.clear();
    for (const FieldDefinition& f : m_state.session.definition().targetFields()) {
        m_columns->addItem(f.caption);
        m_fieldNames << f.name;
    }
    m_columns->setCurrentIndex(m_fieldNames.size() > 1 ? 1 : m_fieldNames.size() - 1);
}

void TDeleteColumnForm::apply() {
    const int index = m_columns->currentIndex();
    if (index < 0 || index >= m_fieldNames.size())
        return;
    if (!m_state.session.hasOpenTable()) {
        Messages::instance().information(Texts::openDatabaseFirst());
        return;
    }
    const QString value = m_value->text().trimmed();
    const bool onlyMarked = m_onlyMarked->isChecked();
    const QString question = QStringLiteral("Wollen Sie wirklich alle ") +
                             (onlyMarked ? QStringLiteral("selektierten ") : QString()) +
                             QStringLiteral("Felder in der Spalte \"") + m_columns->currentText() +
                             QStringLiteral("\" ") +
                             (value.isEmpty() ? QStringLiteral("leeren?")
                                              : QStringLiteral("mit dem Wert \"") + value +
                                                    QStringLiteral("\" ersetzen?"));
    if (!Messages::instance().destructiveQuestion(question))
        return;
    {
        const BusyCursor busy;
        SetColumnContent(m_state.session, m_fieldNames.at(index), value, onlyMarked, m_status,
                         Messages::instance());
    }
    // Also after a refusal: the filter was switched off either way.
    Q_EMIT columnContentSet();
}
