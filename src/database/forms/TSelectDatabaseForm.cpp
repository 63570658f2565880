#include "database/forms/TSelectDatabaseForm.h"

#include "common/Messages.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

TSelectDatabaseForm::TSelectDatabaseForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SelectDatabaseForm"));
    setWindowTitle(QStringLiteral("Datenbank"));
    setMinimumSize(320, 300);

    m_topLabel = new QLabel(this);
    m_topLabel->setObjectName(QStringLiteral("TopLabel"));
    QFont f = m_topLabel->font();
    f.setBold(true);
    m_topLabel->setFont(f);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("ListBox1"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);

    m_openButton = new QPushButton(QStringLiteral("Öffnen"), this);
    m_openButton->setObjectName(QStringLiteral("OpenBitBtn"));
    m_openButton->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    m_deleteButton = new QPushButton(QStringLiteral("Löschen"), this);
    m_deleteButton->setObjectName(QStringLiteral("DeleteBitBtn"));
    m_deleteButton->setIcon(style()->standardIcon(QStyle::SP_TrashIcon));
    m_abortButton = new QPushButton(QStringLiteral("Abbrechen"), this);
    m_abortButton->setObjectName(QStringLiteral("AbortBitBtn"));
    m_abortButton->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    m_openButton->setAutoDefault(false);
    m_deleteButton->setAutoDefault(false);
    m_abortButton->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_openButton);
    buttons->addWidget(m_deleteButton);
    buttons->addWidget(m_abortButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_topLabel);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    connect(m_openButton, &QPushButton::clicked, this, &TSelectDatabaseForm::pickSelected);
    connect(m_deleteButton, &QPushButton::clicked, this, &TSelectDatabaseForm::pickSelected);
    connect(m_abortButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &TSelectDatabaseForm::onDoubleClicked);

    setMode(Mode::Open);
}

void TSelectDatabaseForm::setMode(Mode mode) {
    m_mode = mode;
    const bool open = mode == Mode::Open;
    m_topLabel->setText(open ? QStringLiteral("Öffnen Datenbank")
                             : QStringLiteral("Löschen Datenbank"));
    m_openButton->setVisible(open);
    m_deleteButton->setVisible(!open);
}

void TSelectDatabaseForm::setEntries(const QList<CatalogEntry>& entries) {
    const int row = m_list->currentRow();
    const QString previous = row >= 0 && row < m_entries.size() && m_list->currentItem() &&
                                     m_list->currentItem()->isSelected()
                                 ? m_entries[row].definitionName
                                 : QString();
    m_entries = entries;
    m_list->clear();
    for (const CatalogEntry& e : entries)
        m_list->addItem(e.displayName);
    if (previous.isEmpty())
        return;
    for (int i = 0; i < entries.size(); ++i) {
        if (entries[i].definitionName.compare(previous, Qt::CaseInsensitive) == 0) {
            m_list->setCurrentRow(i);
            break;
        }
    }
}

void TSelectDatabaseForm::prepare() {
    m_result.clear();
}

void TSelectDatabaseForm::pickSelected() {
    const int row = m_list->currentRow();
    const bool selected = row >= 0 && row < m_entries.size() && m_list->currentItem() &&
                          m_list->currentItem()->isSelected();
    if (!selected) {
        Messages::instance().information(QStringLiteral("Bitte treffen Sie zuerst eine Auswahl!"));
        m_result.clear();
        reject();
        return;
    }
    m_result = m_entries[row].definitionName;
    accept();
}

void TSelectDatabaseForm::onDoubleClicked(QListWidgetItem* item) {
    // Deleting needs the explicit button; a double click there only selects.
    if (m_mode != Mode::Open || !item)
        return;
    m_list->setCurrentItem(item);
    pickSelected();
}
