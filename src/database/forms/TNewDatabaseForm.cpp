#include "database/forms/TNewDatabaseForm.h"

#include "common/Messages.h"
#include "database/Catalogue.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QStringList memoLines(const QPlainTextEdit* memo) {
    const QString text = memo->toPlainText();
    if (text.isEmpty())
        return {};
    QStringList lines = text.split(QChar('\n'));
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QLabel* makeLabel(const QString& name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    return label;
}

} // namespace

TNewDatabaseForm::TNewDatabaseForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("NewDatabaseForm"));
    setWindowTitle(QStringLiteral("Neue Datenbank"));
    setMinimumSize(480, 420);

    m_nameEdit = new QLineEdit(this);
    m_nameEdit->setObjectName(QStringLiteral("Edit1"));

    m_coreMemo = new QPlainTextEdit(this);
    m_coreMemo->setObjectName(QStringLiteral("Memo1"));
    m_coreMemo->setReadOnly(true);
    m_coreMemo->setPlainText(coreColumnNames().join(QChar('\n')));
    // The core columns keep their names; what they hold, in German.
    m_coreMemo->setToolTip(QStringLiteral(
        "ID: laufende Nummer\nSelected: für den nächsten Versand markiert\nInvalid: "
        "Adresse ungültig\nLetztesMail: Datum der letzten E-Mail\nMail: E-Mail-Adresse\n"
        "Anrede, Betreff, Name: Anrede, Betreff und Name des Empfängers"));

    m_captionMemo = new QPlainTextEdit(this);
    m_captionMemo->setObjectName(QStringLiteral("Memo2"));
    m_captionMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_captionMemo->setPlainText(defaultFreeColumnCaptions().join(QChar('\n')));

    auto* okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("OKBitBtn"));
    okButton->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    okButton->setDefault(true);
    auto* abortButton = new QPushButton(QStringLiteral("Abbrechen"), this);
    abortButton->setObjectName(QStringLiteral("AbortBitBtn"));
    abortButton->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    abortButton->setAutoDefault(false);

    auto* columns = new QGridLayout;
    columns->addWidget(makeLabel(QStringLiteral("Label2"),
                                 QStringLiteral("Grundstruktur der Datenbank (Felder nicht "
                                                "veränderbar)"),
                                 this),
                       0, 0);
    columns->addWidget(makeLabel(QStringLiteral("Label3"),
                                 QStringLiteral("Zusätzliche (frei definierbare) Spalten in der "
                                                "Datenbank"),
                                 this),
                       0, 1);
    columns->addWidget(m_coreMemo, 1, 0, 2, 1);
    columns->addWidget(makeLabel(QStringLiteral("Label4"),
                                 QStringLiteral("Bitte geben Sie pro Zeile einen Begriff ein!"),
                                 this),
                       1, 1);
    columns->addWidget(m_captionMemo, 2, 1);
    columns->setRowStretch(2, 1);
    columns->setColumnStretch(0, 1);
    columns->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(abortButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeLabel(QStringLiteral("Label1"),
                                QStringLiteral("Bitte geben Sie einen Namen für die neue "
                                               "Datenbank ein"),
                                this));
    layout->addWidget(m_nameEdit);
    layout->addLayout(columns, 1);
    layout->addLayout(buttons);

    connect(okButton, &QPushButton::clicked, this, &TNewDatabaseForm::onOk);
    connect(abortButton, &QPushButton::clicked, this, &QDialog::reject);
}

QStringList TNewDatabaseForm::captionLines() const {
    return memoLines(m_captionMemo);
}

void TNewDatabaseForm::onOk() {
    Messages& messages = Messages::instance();
    const QString name = m_nameEdit->text();
    QString problem = checkNewDatabaseInput(name, memoLines(m_coreMemo), captionLines());
    if (problem.isEmpty())
        problem = checkNewDatabaseFileName(m_dataFolder, ToSafeFileName(name));
    if (!problem.isEmpty()) {
        messages.information(problem);
        return;
    }
    m_displayName = name;
    m_fileName = ToSafeFileName(name);
    accept();
}
