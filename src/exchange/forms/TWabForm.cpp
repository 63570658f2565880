#include "exchange/forms/TWabForm.h"

#include "common/FilePicker.h"
#include "common/Messages.h"
#include "common/Texts.h"
#include "database/AddressTable.h"
#include "database/DatabaseSession.h"
#include "exchange/ImportRun.h"
#include "exchange/OutlookContacts.h"
#include "exchange/forms/ImportButton.h"
#include "shell/AppState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// Distribution lists are drawn in this grey (colour value 8421504).
const QColor kListGrey(0x80, 0x80, 0x80);

} // namespace

TWabForm::TWabForm(AppState& state, QWidget* parent) : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("WabForm"));
    setWindowTitle(QStringLiteral("Outlook Express Addressbook"));
    setMinimumSize(600, 400);
    resize(760, 520);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("AdrBookListView"));
    m_list->setHeaderLabels(
        {QStringLiteral("Name"), QStringLiteral("Email address"), QStringLiteral("Home page")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->header()->setSectionResizeMode(QHeaderView::Stretch);

    m_details = new QTreeWidget(this);
    m_details->setObjectName(QStringLiteral("DetailListView"));
    m_details->setHeaderLabels(
        {QStringLiteral("Index"), QStringLiteral("Prop ID"), QStringLiteral("Prop value")});
    m_details->setRootIsDecorated(false);
    m_details->setVisible(false);

    auto button = [this](const QString& text, const char* name, QStyle::StandardPixmap icon) {
        return importButton(this, text, name, icon);
    };
    auto* import = button(QStringLiteral("Ausgewählte Adressen importieren"), "ImportButton",
                          QStyle::SP_DialogApplyButton);
    auto* all = button(QStringLiteral("Alle auswählen"), "AlleButton", QStyle::SP_DialogYesButton);
    auto* close = button(QStringLiteral("Schließen"), "CloseButton", QStyle::SP_DialogCloseButton);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(all);
    buttons->addStretch();
    buttons->addWidget(import);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_details);
    layout->addLayout(buttons);

    connect(m_list, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { showDetails(item); });
    connect(import, &QPushButton::clicked, this, &TWabForm::importTicked);
    connect(all, &QPushButton::clicked, this, [this] {
        for (int i = 0; i < m_list->topLevelItemCount(); ++i)
            m_list->topLevelItem(i)->setCheckState(0, Qt::Checked);
    });
    connect(close, &QPushButton::clicked, this, &TWabForm::reject);
}

void TWabForm::showEvent(QShowEvent* event) {
    m_imported = false;
    QDialog::showEvent(event);
    if (m_list->topLevelItemCount() == 0)
        QTimer::singleShot(0, this, &TWabForm::pickFile);
}

void TWabForm::pickFile() {
    const QString folder = m_lastFolder.isEmpty() ? QDir::homePath() : m_lastFolder;
    const QString path = FilePicker::instance().openFile(
        QStringLiteral("Adressbuch öffnen (vCard- oder LDIF-Datei)"), folder,
        QStringLiteral("Adressbuch (*.vcf *.vcard *.ldif *.ldi);;Alle Dateien (*)"));
    if (path.isEmpty() || !openBook(path))
        reject();
}

bool TWabForm::openBook(const QString& path) {
    release();
    Messages& messages = Messages::instance();
    if (!QFileInfo(path).isFile()) {
        messages.error(QStringLiteral("Addressbook not found"));
        return false;
    }
    m_lastFolder = QFileInfo(path).absolutePath();
    // The file itself is never opened for the import: a copy beside it is, made anew.
    const QString copy = AddressBook::copyPath(path);
    QFile::remove(copy);
    const QString source = QFile::copy(path, copy) ? copy : path;
    QFile f(source);
    if (!f.open(QIODevice::ReadOnly)) {
        messages.error(QStringLiteral("Addressbook not found"));
        return false;
    }
    QString error;
    if (!AddressBook::read(f.readAll(), &m_book, &error)) {
        messages.error(error);
        return false;
    }
    m_list->setUpdatesEnabled(false);
    for (const AddressBook::Entry& e : m_book.entries) {
        auto* item = new QTreeWidgetItem({e.displayName(), e.email(), e.homePage()});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
        if (e.objectType == AddressBook::DistributionListType)
            for (int c = 0; c < 3; ++c)
                item->setForeground(c, kListGrey);
        m_list->addTopLevelItem(item);
    }
    m_list->setUpdatesEnabled(true);
    if (m_book.unreadable > 0)
        messages.information(OutlookContacts::unreadableText(m_book.unreadable));
    return true;
}

void TWabForm::showDetails(QTreeWidgetItem* item) {
    m_details->clear();
    const int index = item ? m_list->indexOfTopLevelItem(item) : -1;
    if (index < 0 || index >= m_book.entries.size())
        return;
    int n = 0;
    for (const AddressBook::Property& p : m_book.entries[index].properties)
        m_details->addTopLevelItem(
            new QTreeWidgetItem({QString::number(n++), AddressBook::tagName(p.tag), p.value}));
}

void TWabForm::importTicked() {
    AddressTable* table = m_state.session.currentTable();
    if (!table) {
        Messages::instance().information(Texts::openDatabaseFirst());
        return;
    }
    bool ok = false;
    {
        BusyScope busy(m_progress);
        QList<QStringList> rows;
        for (int i = 0; i < m_list->topLevelItemCount() && i < m_book.entries.size(); ++i) {
            QTreeWidgetItem* item = m_list->topLevelItem(i);
            m_list->setCurrentItem(item);
            if (item->checkState(0) != Qt::Checked)
                continue;
            item->setCheckState(0, Qt::Unchecked);
            const AddressBook::Entry& e = m_book.entries[i];
            if (e.objectType != AddressBook::PersonType)
                continue; // distribution lists are not imported
            QStringList row = AddressBook::importValues(e);
            row.insert(2, QStringLiteral("Windows Addressbook"));
            rows << row;
        }
        if (table->state() != TableView::State::Browse)
            table->post();
        const qint64 current = table->currentId();
        ok = ImportRun::appendRows(table,
                                   {QStringLiteral("Mail"), QStringLiteral("Name"),
                                    QStringLiteral("Kategorie"), QStringLiteral("Str"),
                                    QStringLiteral("PLZ"), QStringLiteral("Ort")},
                                   rows, Messages::instance(), m_progress, false);
        ImportRun::reopenTable(m_state.session, current, Messages::instance());
    }
    if (ok)
        Messages::instance().information(QStringLiteral("Importvorgang war erfolgreich!"));
    m_imported = true;
}

void TWabForm::reject() {
    // Every way of closing ("Schließen", Escape, the title bar) says the same first.
    if (m_imported)
        Messages::instance().information(
            QStringLiteral("Die Datensätze wurden nur mit den im Windows Adressbuch zur "
                           "Verfügung stehenden Daten importiert. Zusätzliche Informationen wie "
                           "z.B. die Anrede müssen selbst ergänzt werden."));
    m_imported = false;
    release();
    QDialog::reject();
}

void TWabForm::release() {
    m_list->clear();
    m_details->clear();
    m_book = AddressBook::Book();
}
