#include "settings/forms/TImportAccountsForm.h"

#include "common/Messages.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

TImportAccountsForm::TImportAccountsForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ImportAccountsForm"));
    setWindowTitle(QStringLiteral("Konto auswählen"));
    setMinimumSize(420, 300);

    auto* label = new QLabel(QStringLiteral("Wählen Sie ein Thunderbird Konto aus:"), this);
    label->setObjectName(QStringLiteral("Label1"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("ListBox1"));
    label->setBuddy(m_list);
    auto* run = new QPushButton(QStringLiteral("Ausführen"), this);
    run->setObjectName(QStringLiteral("AusfuehrenBitBtn"));
    run->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    cancel->setObjectName(QStringLiteral("AbbrechenBitBtn"));
    cancel->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    for (QPushButton* b : {run, cancel})
        b->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(run);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    connect(run, &QPushButton::clicked, this, &TImportAccountsForm::execute);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &TImportAccountsForm::execute);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TImportAccountsForm::profileExists() {
    return !ThunderbirdAccounts::profileFolders(QDir::homePath()).isEmpty();
}

void TImportAccountsForm::showEvent(QShowEvent* event) {
    m_list->clear();
    const ThunderbirdAccounts::Found found = ThunderbirdAccounts::find(QDir::homePath());
    m_accounts = found.accounts;
    for (const ThunderbirdAccounts::MailAccount& a : m_accounts)
        m_list->addItem(a.entry());
    QDialog::showEvent(event);
    if (found.unreadable > 0)
        QTimer::singleShot(0, this, [n = found.unreadable] {
            Messages::instance().information(ThunderbirdAccounts::unreadableText(n));
        });
}

void TImportAccountsForm::execute() {
    const int row = m_list->currentRow();
    if (row < 0 || row >= m_accounts.size() || !m_list->currentItem()->isSelected()) {
        Messages::instance().information(QStringLiteral("Bitte wählen Sie ein Konto aus!"));
        return;
    }
    if (fillOptions)
        fillOptions(ThunderbirdAccounts::optionsFields(m_accounts[row]));
    Messages::instance().information(
        QStringLiteral("ACHTUNG! Aus Sicherheitsgründen werden Ihre Passwörter nicht ausgelesen, "
                       "bitte ergänzen Sie diese noch!"));
    accept();
}
