#include "exchange/forms/TOutlookImportForm.h"

#include "common/FilePicker.h"
#include "common/Messages.h"
#include "common/Texts.h"
#include "database/AddressTable.h"
#include "database/DatabaseSession.h"
#include "exchange/ImportRun.h"
#include "exchange/OutlookContacts.h"
#include "exchange/forms/ImportButton.h"
#include "shell/AppState.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const char* const kNotImported = "Nicht importieren";

} // namespace

TOutlookImportForm::TOutlookImportForm(AppState& state, QWidget* parent)
    : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("OutlookImportForm"));
    setWindowTitle(QStringLiteral("  Quillon Outlook Import"));
    setMinimumSize(760, 520);
    resize(900, 620);

    auto combo = [this](const char* name) {
        auto* c = new QComboBox(this);
        c->setObjectName(QLatin1String(name));
        return c;
    };

    // The folder of vCard files and its subfolders.
    auto* choose = importButton(this, QStringLiteral("Kontaktordner wählen ..."), "FolderButton",
                                QStyle::SP_DirOpenIcon);
    choose->setToolTip(QStringLiteral("Ordner mit vCard-Dateien (.vcf) wählen"));
    m_folderLabel = new QLabel(this);
    m_folderLabel->setObjectName(QStringLiteral("FolderPathLabel"));
    m_folderLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_folder = combo("cbOutlookFolder");
    auto* folderLabel = new QLabel(QStringLiteral("Vorschau der Daten aus:"), this);
    folderLabel->setBuddy(m_folder);

    // Mapping lines.
    auto* nameSource = combo("ComboBox1");
    nameSource->addItem(QStringLiteral("Name"));
    nameSource->setEnabled(false);
    auto* mailTarget = combo("ComboBox2");
    mailTarget->addItem(QStringLiteral("E-Mail"));
    mailTarget->setEnabled(false);
    auto* nameTarget = combo("NameTargetComboBox");
    nameTarget->addItem(QStringLiteral("Name"));
    nameTarget->setEnabled(false);
    m_email = combo("ComboBox6");
    m_email->addItems(
        {QStringLiteral("E-Mail"), QStringLiteral("E-Mail 2"), QStringLiteral("E-Mail 3")});
    m_combine = new QCheckBox(QStringLiteral("Vorname und Nachname kombinieren"), this);
    m_combine->setObjectName(QStringLiteral("CheckBox1"));
    m_combine->setChecked(true);
    const char* const propertyNames[] = {"Import1Comboxbox", "Import2Comboxbox",
                                         "Import3Comboxbox"};
    const char* const targetNames[] = {"ComboBox3", "ComboBox4", "ComboBox5"};
    for (int i = 0; i < 3; ++i) {
        m_properties[i] = combo(propertyNames[i]);
        m_properties[i]->addItem(QString::fromUtf8(kNotImported));
        for (const OutlookContacts::PropertyChoice& p : OutlookContacts::extraProperties())
            m_properties[i]->addItem(p.caption);
        m_properties[i]->setMaxVisibleItems(20);
        m_targets[i] = combo(targetNames[i]);
        m_targets[i]->setMaxVisibleItems(20);
    }

    auto* mapping = new QGridLayout;
    mapping->addWidget(new QLabel(QStringLiteral("Outlook Felder:"), this), 0, 0);
    mapping->addWidget(new QLabel(QStringLiteral("Quillon Felder:"), this), 0, 1);
    mapping->addWidget(nameSource, 1, 0);
    mapping->addWidget(nameTarget, 1, 1);
    mapping->addWidget(m_combine, 1, 2);
    mapping->addWidget(m_email, 2, 0);
    mapping->addWidget(mailTarget, 2, 1);
    for (int i = 0; i < 3; ++i) {
        mapping->addWidget(m_properties[i], 3 + i, 0);
        mapping->addWidget(m_targets[i], 3 + i, 1);
    }
    mapping->setColumnStretch(0, 1);
    mapping->setColumnStretch(1, 1);

    auto* warning = new QLabel(
        QStringLiteral("Achtung! Es werden nur Datensätze angezeigt, die auch eine E-Mail "
                       "Adresse haben, da diese ein Pflichtfeld für den Import sind."),
        this);
    warning->setObjectName(QStringLiteral("WarningLabel"));
    warning->setWordWrap(true);
    warning->setStyleSheet(QStringLiteral("color: #b00000;"));

    m_grid = new QTableWidget(this);
    m_grid->setObjectName(QStringLiteral("StringGrid1"));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->setVisible(false);
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("Anzeigelabel"));

    auto* start = importButton(this, QStringLiteral("Starte Import"), "StartImportBitBtn",
                               QStyle::SP_DialogApplyButton);
    start->setToolTip(QStringLiteral("Starten Sie hier den Import aus Ihrem Outlook!"));
    auto* abort = importButton(this, QStringLiteral("Import abbrechen"), "AbortBitbtn",
                               QStyle::SP_DialogCancelButton);
    abort->setToolTip(QStringLiteral("Import abbrechen und Fenster schliessen!"));

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(choose);
    folderRow->addWidget(m_folderLabel, 1);
    auto* previewRow = new QHBoxLayout;
    previewRow->addWidget(folderLabel);
    previewRow->addWidget(m_folder, 1);
    previewRow->addStretch();
    previewRow->addWidget(m_count);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(start);
    buttons->addWidget(abort);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(folderRow);
    layout->addLayout(mapping);
    layout->addWidget(warning);
    layout->addLayout(previewRow);
    layout->addWidget(m_grid, 1);
    layout->addLayout(buttons);

    connect(choose, &QPushButton::clicked, this, &TOutlookImportForm::chooseMainFolder);
    connect(m_folder, &QComboBox::activated, this, &TOutlookImportForm::folderChosen);
    connect(m_email, &QComboBox::currentIndexChanged, this, &TOutlookImportForm::updatePreview);
    connect(m_combine, &QCheckBox::toggled, this, &TOutlookImportForm::updatePreview);
    for (int i = 0; i < 3; ++i)
        connect(m_properties[i], &QComboBox::currentIndexChanged, this,
                [this, i] { propertyChanged(i); });
    connect(start, &QPushButton::clicked, this, &TOutlookImportForm::startImport);
    connect(abort, &QPushButton::clicked, this, &QDialog::reject);
    propertyChanged(0);
}

void TOutlookImportForm::showEvent(QShowEvent* event) {
    // The targets: the captions of the target fields except "Name" and "Mail".
    m_targetFields.clear();
    QStringList captions;
    for (const FieldDefinition& f : m_state.session.definition().targetFields()) {
        if (f.caption == QLatin1String("Name") || f.caption == QLatin1String("Mail"))
            continue;
        m_targetFields << f.name;
        captions << f.caption;
    }
    for (QComboBox* t : m_targets) {
        const QSignalBlocker block(t);
        t->clear();
        t->addItem(QString::fromUtf8(kNotImported));
        t->addItems(captions);
    }
    QDialog::showEvent(event);
    if (m_mainFolder.isEmpty())
        QTimer::singleShot(0, this, &TOutlookImportForm::chooseMainFolder);
    else
        setMainFolder(m_mainFolder);
}

void TOutlookImportForm::chooseMainFolder() {
    const QString start = m_mainFolder.isEmpty() ? QDir::homePath() : m_mainFolder;
    const QString picked = FilePicker::instance().folder(
        QStringLiteral("Bitte Ordner mit Ihren Kontakten (vCard-Dateien) wählen"), start);
    if (!picked.isEmpty())
        setMainFolder(picked);
    else
        updatePreview();
}

void TOutlookImportForm::setMainFolder(const QString& folder) {
    m_mainFolder = QDir(folder).absolutePath();
    m_currentFolder = m_mainFolder;
    m_folderLabel->setText(QDir::toNativeSeparators(m_mainFolder));
    fillFolderList();
    readCurrentFolder();
}

void TOutlookImportForm::fillFolderList() {
    const QSignalBlocker block(m_folder);
    m_folder->clear();
    m_folder->addItem(OutlookContacts::mainFolderCaption());
    m_folder->addItems(OutlookContacts::subfolders(m_mainFolder));
    m_folder->setCurrentIndex(0);
}

void TOutlookImportForm::folderChosen() {
    const int i = m_folder->currentIndex();
    m_currentFolder = i <= 0 ? m_mainFolder : QDir(m_mainFolder).filePath(m_folder->currentText());
    if (i <= 0)
        fillFolderList();
    readCurrentFolder();
}

void TOutlookImportForm::readCurrentFolder() {
    OutlookContacts::FolderItems read;
    {
        BusyScope busy(m_progress);
        read = OutlookContacts::readFolder(m_currentFolder);
    }
    m_items = read.items;
    updatePreview();
    if (read.unreadable > 0)
        Messages::instance().information(OutlookContacts::unreadableText(read.unreadable));
}

void TOutlookImportForm::propertyChanged(int which) {
    // A later property (and its target) is open only while the one before is chosen.
    for (int i = which + 1; i < 3; ++i) {
        const bool open =
            m_properties[i - 1]->isEnabled() && m_properties[i - 1]->currentIndex() > 0;
        if (!open) {
            const QSignalBlocker a(m_properties[i]), b(m_targets[i]);
            m_properties[i]->setCurrentIndex(0);
            m_targets[i]->setCurrentIndex(0);
        }
        m_properties[i]->setEnabled(open);
        m_targets[i]->setEnabled(open);
    }
    updatePreview();
}

void TOutlookImportForm::updatePreview() {
    OutlookContacts::PreviewChoice choice;
    choice.email = m_email->currentIndex();
    choice.combineNames = m_combine->isChecked();
    QStringList headers{QStringLiteral("Name"), QStringLiteral("E-Mail")};
    for (QComboBox* p : m_properties) {
        if (!p->isEnabled() || p->currentIndex() <= 0)
            break;
        choice.extras << p->currentIndex();
        headers << p->currentText();
    }
    const QList<QStringList> rows = OutlookContacts::preview(m_items, choice);
    m_grid->setUpdatesEnabled(false);
    m_grid->clear();
    m_grid->setColumnCount(int(headers.size()));
    m_grid->setHorizontalHeaderLabels(headers);
    m_grid->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size(); ++c)
            m_grid->setItem(r, c, new QTableWidgetItem(rows[r][c]));
    const int width = m_grid->viewport()->width() / int(headers.size()) - 2;
    for (int c = 0; c < headers.size(); ++c)
        m_grid->setColumnWidth(c, std::max(width, 60));
    m_grid->setUpdatesEnabled(true);
    m_count->setText(QStringLiteral("Datensätze: ") + QString::number(rows.size()));
}

void TOutlookImportForm::startImport() {
    AddressTable* table = m_state.session.currentTable();
    if (!table) {
        Messages::instance().information(Texts::openDatabaseFirst());
        return;
    }
    QStringList fields{QStringLiteral("Name"), QStringLiteral("Mail")};
    QStringList chosen;
    for (int i = 0; i < 3; ++i) {
        const int t = m_targets[i]->currentIndex();
        const QString field =
            m_targets[i]->isEnabled() && t > 0 ? m_targetFields.value(t - 1) : QString();
        if (!field.isEmpty() && chosen.contains(field)) {
            Messages::instance().information(
                QStringLiteral("Sie haben mehrmals das gleiche Zielfeld angegeben! Bitte "
                               "korrigieren dieses!"));
            return;
        }
        if (!field.isEmpty())
            chosen << field;
        // A target without a property in the preview takes nothing.
        const bool shown = i + 2 < m_grid->columnCount();
        fields << (shown ? field : QString());
    }
    QList<QStringList> rows;
    rows.reserve(m_grid->rowCount());
    for (int r = 0; r < m_grid->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < m_grid->columnCount(); ++c)
            row << (m_grid->item(r, c) ? m_grid->item(r, c)->text() : QString());
        rows << row;
    }
    {
        BusyScope busy(m_progress);
        m_progress.clear();
        if (table->state() != TableView::State::Browse)
            table->post();
        const qint64 current = table->currentId();
        ImportRun::appendRows(table, fields, rows, Messages::instance(), m_progress);
        ImportRun::reopenTable(m_state.session, current, Messages::instance());
        m_progress.clear();
    }
    accept();
}
