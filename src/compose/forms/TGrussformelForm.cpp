#include "compose/forms/TGrussformelForm.h"

#include "common/Messages.h"
#include "compose/SalutationFormula.h"
#include "platform/DocumentOpener.h"
#include "shell/AppState.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

TGrussformelForm::TGrussformelForm(AppState& state, QWidget* parent)
    : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("GrussformelForm"));
    setWindowTitle(QStringLiteral("Grußformel"));

    auto* explanation = new QLabel(
        QStringLiteral("Während des Mailvorganges werden alle Begriffe in der Spalte \"Anrede\" "
                       "durch folgende Grußformeln ersetzt:"),
        this);
    explanation->setWordWrap(true);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Spalte \"Anrede\""), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("ersetzen durch:"), this), 0, 2);
    for (int i = 1; i <= SalutationFormula::rowCount; ++i) {
        auto* key = new QLineEdit(this);
        key->setObjectName(QStringLiteral("Edit%1").arg(i));
        auto* value = new QLineEdit(this);
        value->setObjectName(QStringLiteral("Edit_%1").arg(i));
        value->setMinimumWidth(240);
        grid->addWidget(key, i, 0);
        grid->addWidget(new QLabel(QStringLiteral("="), this), i, 1);
        grid->addWidget(value, i, 2);
        m_keys.append(key);
        m_values.append(value);
    }

    auto* hint = new QLabel(
        QStringLiteral("Wenn Sie eine leere Anrede ersetzen wollen, benutzen Sie bitte den Text "
                       "{LEER}!"),
        this);
    hint->setWordWrap(true);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKBitBtn"));
    ok->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    cancel->setObjectName(QStringLiteral("AbbrechenBitBtn"));
    cancel->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    cancel->setAutoDefault(false);
    auto* help = new QPushButton(QStringLiteral("Hilfe"), this);
    help->setObjectName(QStringLiteral("HilfeBitBtn"));
    help->setIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));
    help->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(help);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addLayout(grid);
    layout->addWidget(hint);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &TGrussformelForm::okClicked);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [this] {
        Documents::openHelpPage(m_state.folders.helpFolder, QStringLiteral("help.html"),
                                Messages::instance());
    });
}

QString TGrussformelForm::filePath() const {
    return QDir(m_state.folders.programFolder).filePath(SalutationFormula::fileName());
}

void TGrussformelForm::load() {
    QString error;
    const QList<SalutationFormula::Entry> rows =
        SalutationFormula::readRows(filePath(), &m_extraLines, &error);
    if (!error.isEmpty())
        Messages::instance().error(error);
    for (int i = 0; i < SalutationFormula::rowCount; ++i) {
        m_keys[i]->setText(rows.value(i).key);
        m_values[i]->setText(rows.value(i).value);
    }
}

int TGrussformelForm::runModal() {
    load();
    return exec();
}

void TGrussformelForm::okClicked() {
    QList<SalutationFormula::Entry> rows;
    for (int i = 0; i < SalutationFormula::rowCount; ++i) {
        const QString key = m_keys[i]->text().trimmed();
        const QString value = m_values[i]->text().trimmed();
        // "|" separates key and greeting in the file; in a field it would cut the row.
        if (key.contains(QChar('|')) || value.contains(QChar('|'))) {
            Messages::instance().information(
                QStringLiteral(
                    "Das Zeichen \"|\" darf in einer Grußformel nicht vorkommen. Bitte entfernen "
                    "Sie es aus Zeile ") +
                QString::number(i + 1) + QStringLiteral("!"));
            return;
        }
        // Written as "|greeting", a row without key would read back as a key with an
        // empty greeting and blank out every Anrede beginning with that text.
        if (key.isEmpty() && !value.isEmpty()) {
            Messages::instance().information(
                QStringLiteral("Bitte geben Sie in Zeile ") + QString::number(i + 1) +
                QStringLiteral(" auch den Begriff der Spalte \"Anrede\" ein (für eine leere "
                               "Anrede {LEER})!"));
            return;
        }
        rows.append({key, value});
    }
    QString error;
    if (!SalutationFormula::writeRows(filePath(), rows, m_extraLines, &error)) {
        Messages::instance().error(error);
        return;
    }
    accept();
}
