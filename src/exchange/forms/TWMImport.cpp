#include "exchange/forms/TWMImport.h"

#include "common/FilePicker.h"
#include "common/Messages.h"
#include "common/Texts.h"
#include "database/AddressTable.h"
#include "database/DatabaseSession.h"
#include "exchange/ImportRun.h"
#include "exchange/WindowsMailContacts.h"
#include "exchange/forms/ImportButton.h"
#include "shell/AppState.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

TWMImport::TWMImport(AppState& state, QWidget* parent) : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("WMImport"));
    setWindowTitle(QStringLiteral("Import von Windows Mail"));
    setMinimumSize(520, 440);

    auto* heading = new QLabel(QStringLiteral("Import von Windows Mail Kontakten"), this);
    heading->setObjectName(QStringLiteral("HeadingLabel"));
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    heading->setFont(bold);

    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("Edit1"));
    m_path->setReadOnly(true);
    auto* pathLabel = new QLabel(QStringLiteral("Aktueller Importpfad"), this);
    pathLabel->setBuddy(m_path);

    auto button = [this](const QString& text, const char* name, QStyle::StandardPixmap icon) {
        return importButton(this, text, name, icon);
    };
    auto* load = button(QString(), "Loadbutton", QStyle::SP_DirOpenIcon);
    load->setToolTip(QStringLiteral("Anderen Import Ordner wählen"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("chklst1"));
    auto* all = button(QStringLiteral("Alle auswählen"), "BitBtn1", QStyle::SP_DialogYesButton);
    auto* none = button(QStringLiteral("Keine auswählen"), "BitBtn2", QStyle::SP_DialogNoButton);
    auto* start =
        button(QStringLiteral("Import starten"), "startbutton", QStyle::SP_DialogApplyButton);

    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(m_path, 1);
    pathRow->addWidget(load);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(all);
    buttons->addWidget(none);
    buttons->addStretch();
    buttons->addWidget(start);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(pathLabel);
    layout->addLayout(pathRow);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    connect(load, &QPushButton::clicked, this, &TWMImport::chooseFolder);
    connect(all, &QPushButton::clicked, this, [this] { setAllTicks(true); });
    connect(none, &QPushButton::clicked, this, [this] { setAllTicks(false); });
    connect(start, &QPushButton::clicked, this, &TWMImport::startImport);
}

void TWMImport::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // After the window is up, so a message about unreadable files stands above it.
    QTimer::singleShot(0, this, [this] { setFolder(WindowsMailContacts::defaultFolder()); });
}

void TWMImport::setFolder(const QString& folder) {
    m_folder = QDir::cleanPath(folder);
    if (!m_folder.endsWith(u'/'))
        m_folder += u'/';
    m_path->setText(QDir::toNativeSeparators(m_folder));
    fillList();
}

void TWMImport::chooseFolder() {
    const QString picked =
        FilePicker::instance().folder(QStringLiteral("Bitte Kontakte-Ordner wählen"), m_folder);
    if (picked.isEmpty())
        fillList();
    else
        setFolder(picked);
}

void TWMImport::fillList() {
    int unreadable = 0;
    QStringList names;
    {
        BusyScope busy(m_progress);
        names = WindowsMailContacts::list(m_folder, &unreadable);
    }
    m_list->clear();
    for (const QString& name : names) {
        auto* item = new QListWidgetItem(name, m_list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    if (unreadable > 0)
        Messages::instance().information(WindowsMailContacts::unreadableText(unreadable));
}

void TWMImport::setAllTicks(bool on) {
    for (int i = 0; i < m_list->count(); ++i)
        m_list->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

void TWMImport::startImport() {
    QStringList ticked;
    for (int i = 0; i < m_list->count(); ++i)
        if (m_list->item(i)->checkState() == Qt::Checked)
            ticked << m_list->item(i)->text();
    Messages& messages = Messages::instance();
    if (ticked.isEmpty()) {
        messages.information(
            QStringLiteral("Bitte wählen Sie zuerst Datensätze zum Importieren aus!"));
        return;
    }
    AddressTable* table = m_state.session.currentTable();
    if (!table) {
        messages.information(Texts::openDatabaseFirst());
        return;
    }
    qint64 imported = 0;
    int unreadable = 0;
    bool ok = false;
    {
        BusyScope busy(m_progress);
        m_progress.clear();
        // Every file read first, so a broken one stops nothing half-way.
        QList<QStringList> rows;
        for (const QString& name : ticked) {
            WindowsMailContacts::Contact c;
            if (WindowsMailContacts::read(m_folder, name, &c))
                rows << QStringList{c.name, c.mail};
            else
                ++unreadable;
        }
        if (table->state() != TableView::State::Browse)
            table->post();
        const qint64 current = table->currentId();
        ok = ImportRun::appendRows(table, {QStringLiteral("Name"), QStringLiteral("Mail")}, rows,
                                   messages, m_progress, false, &imported);
        ImportRun::reopenTable(m_state.session, current, messages);
    }
    if (ok && imported > 0)
        messages.information(WindowsMailContacts::importedText(int(imported)));
    if (unreadable > 0)
        messages.information(WindowsMailContacts::unreadableText(unreadable));
    accept();
}
