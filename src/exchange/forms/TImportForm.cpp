#include "exchange/forms/TImportForm.h"

#include "common/FilePicker.h"
#include "common/Messages.h"
#include "compose/ComposerRules.h"
#include "database/DatabaseSession.h"
#include "exchange/ImportMapping.h"
#include "exchange/ImportRun.h"
#include "exchange/TextImport.h"
#include "exchange/forms/ImportButton.h"
#include "platform/DocumentOpener.h"
#include "shell/AppState.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const char* const kNoFile = "Noch keine Datei gewählt";
const char* const kFilter = "Import|*.txt; *.csv; *.db; *.dbf";

QString blacklistExplanation() {
    return QStringLiteral(
        "Was ist eine Blacklist? Sie können hier eine Textdatei laden, in der pro Zeile ein "
        "Begriff (Name, E-Mail-Adresse) steht. Datensätze, die diese Daten enhalten, werden "
        "beim Import nicht berücksichtigt. Es ist z.B. auch möglich hier mit Begriffen wie "
        "\"@beispiel-domain.de\", alle Datensätze mit E-Mail-Adressen dieser Domain nicht zu "
        "importieren!");
}

QPushButton* linkButton(const QString& text, const char* name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setFlat(true);
    b->setCursor(Qt::PointingHandCursor);
    b->setStyleSheet(QStringLiteral("QPushButton { color: #1a4f9c; text-decoration: underline; "
                                    "text-align: left; border: none; padding: 1px 2px; }"));
    b->setAutoDefault(false);
    return b;
}

} // namespace

TImportForm::TImportForm(AppState& state, QWidget* parent) : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("ImportForm"));
    setWindowTitle(QStringLiteral("Import"));
    setMinimumSize(760, 560);
    resize(900, 680);

    auto button = [this](const QString& text, const char* name, QStyle::StandardPixmap icon) {
        return importButton(this, text, name, icon);
    };

    // Files.
    auto* open = button(QStringLiteral("Datei öffnen"), "OpenBitBtn", QStyle::SP_DialogOpenButton);
    m_fileEdit = new QLineEdit(QString::fromUtf8(kNoFile), this);
    m_fileEdit->setObjectName(QStringLiteral("FilenameEdit"));
    m_fileEdit->setReadOnly(true);
    auto* blacklist =
        button(QStringLiteral("Blacklist laden"), "Blacklistbtn", QStyle::SP_FileDialogStart);
    m_blacklistDelete = button(QString(), "BlacklistDeletebtn", QStyle::SP_DialogDiscardButton);
    m_blacklistDelete->setToolTip(QStringLiteral("Keine Blacklist-Negativliste verwenden"));
    m_blacklistDelete->setEnabled(false);
    auto* blacklistInfo = button(QString(), "BlacklistInfobtn", QStyle::SP_MessageBoxQuestion);
    blacklistInfo->setToolTip(QStringLiteral("Was ist eine Blacklist - Negativliste?"));
    m_blacklistLabel = new QLabel(this);
    m_blacklistLabel->setObjectName(QStringLiteral("BlacklistLabel"));

    // Delimiter, quote, header line.
    m_delimiter = new QComboBox(this);
    m_delimiter->setObjectName(QStringLiteral("DelimiterComboBox"));
    m_delimiter->setEditable(true);
    m_delimiter->addItems({";", "|", ",", ".", "Tab", "Space", "*", "+", "~", "'", "#", "\"", "$",
                           QStringLiteral("§"), "%", "&", "_", "-"});
    m_delimiter->setCurrentIndex(0);
    m_quote = new QComboBox(this);
    m_quote->setObjectName(QStringLiteral("ComboBox1"));
    m_quote->addItems(
        {QStringLiteral("keiner"), "\"", "'", QStringLiteral("´"), "`", "~", "#", "*", "+"});
    m_quote->setCurrentIndex(0);
    m_skip = new QCheckBox(QStringLiteral("Ersten Datensatz überspringen (Kopfzeile)"), this);
    m_skip->setObjectName(QStringLiteral("SkipCheckBox"));
    auto* delimiterLabel = new QLabel(QStringLiteral("Datensatz Delimiter (Trennzeichen)"), this);
    delimiterLabel->setBuddy(m_delimiter);
    auto* quoteLabel = new QLabel(QStringLiteral("Feld Delimiter"), this);
    quoteLabel->setBuddy(m_quote);

    // Column boxes.
    auto* hint = new QLabel(QStringLiteral("Geben Sie 0 für nicht vorhandene Spalten ein"), this);
    hint->setObjectName(QStringLiteral("ColumnHintLabel"));
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("ScrollBox1"));
    m_scroll->setWidgetResizable(true);
    m_rows = new QWidget(m_scroll);
    m_rowsLayout = new QVBoxLayout(m_rows);
    m_rowsLayout->addStretch();
    m_scroll->setWidget(m_rows);

    // Fixed entry.
    m_fixCheck = new QCheckBox(QStringLiteral("Festen Feldinhalt einfügen"), this);
    m_fixCheck->setObjectName(QStringLiteral("FixEntryChkBox"));
    m_fixCombo = new QComboBox(this);
    m_fixCombo->setObjectName(QStringLiteral("FixedEntryComboBox"));
    m_fixEdit = new QLineEdit(this);
    m_fixEdit->setObjectName(QStringLiteral("FixedEntryEdit"));

    // Actions.
    m_importButton =
        button(QStringLiteral("Starte Import"), "ImportBitBtn", QStyle::SP_DialogApplyButton);
    m_importButton->setEnabled(false);
    m_previewButton =
        button(QStringLiteral("Import Vorschau"), "BitBtn1", QStyle::SP_FileDialogContentsView);
    auto* help = button(QStringLiteral("Hilfe"), "HilfeBitBtn", QStyle::SP_DialogHelpButton);
    auto* cancel =
        button(QStringLiteral("Abbrechen"), "AbbrechenBitBtn", QStyle::SP_DialogCancelButton);
    auto* excel = linkButton(QStringLiteral("Hilfe: Import von MS Excel"), "ExcelHelpLabel", this);
    auto* access =
        linkButton(QStringLiteral("Hilfe: Import von MS Access"), "AccessHelpLabel", this);
    auto* databases = linkButton(QStringLiteral("Hilfe: Import von dBase, Paradox oder Foxpro"),
                                 "DatenbankenHelpLabel", this);
    auto* text = linkButton(QStringLiteral("Hilfe: Import von Textdateien mit Delimiter (csv)"),
                            "TextimportHelpLabel", this);

    // Preview.
    m_grid = new QTableWidget(this);
    m_grid->setObjectName(QStringLiteral("StringGrid1"));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->setVisible(false);
    m_grid->setVisible(false);
    m_previewRows = new QComboBox(this);
    m_previewRows->setObjectName(QStringLiteral("PreviewComboBox"));
    m_previewRows->addItems(
        {QStringLiteral("1 Vorschaudatensatz"), QStringLiteral("5 Vorschaudatensätze"),
         QStringLiteral("10 Vorschaudatensätze"), QStringLiteral("20 Vorschaudatensätze")});
    m_previewRows->setCurrentIndex(1);
    m_previewRows->setVisible(false);
    m_previewInfo = new QLabel(this);
    m_previewInfo->setObjectName(QStringLiteral("PreviewInfoLabel"));
    m_previewInfo->setWordWrap(true);
    m_previewInfo->setVisible(false);

    // Layout: settings on the left, the column boxes on the right, the preview below.
    auto* fileBox = new QGroupBox(QStringLiteral("Datei"), this);
    auto* fileGrid = new QGridLayout(fileBox);
    fileGrid->addWidget(open, 0, 0);
    fileGrid->addWidget(m_fileEdit, 0, 1, 1, 3);
    fileGrid->addWidget(blacklist, 1, 0);
    fileGrid->addWidget(m_blacklistLabel, 1, 1);
    fileGrid->addWidget(m_blacklistDelete, 1, 2);
    fileGrid->addWidget(blacklistInfo, 1, 3);
    fileGrid->setColumnStretch(1, 1);

    auto* formatBox = new QGroupBox(QStringLiteral("Aufbau der Datei"), this);
    auto* formatGrid = new QGridLayout(formatBox);
    formatGrid->addWidget(delimiterLabel, 0, 0);
    formatGrid->addWidget(m_delimiter, 0, 1);
    formatGrid->addWidget(quoteLabel, 1, 0);
    formatGrid->addWidget(m_quote, 1, 1);
    formatGrid->addWidget(m_skip, 2, 0, 1, 2);

    auto* fixBox = new QGroupBox(QStringLiteral("Fester Feldinhalt"), this);
    auto* fixGrid = new QGridLayout(fixBox);
    fixGrid->addWidget(m_fixCheck, 0, 0, 1, 2);
    fixGrid->addWidget(m_fixCombo, 1, 0);
    fixGrid->addWidget(m_fixEdit, 1, 1);

    auto* helpBox = new QVBoxLayout;
    for (QPushButton* b : {excel, access, databases, text})
        helpBox->addWidget(b);

    auto* left = new QVBoxLayout;
    left->addWidget(fileBox);
    left->addWidget(formatBox);
    left->addWidget(fixBox);
    left->addLayout(helpBox);
    left->addStretch();

    auto* right = new QVBoxLayout;
    right->addWidget(hint);
    right->addWidget(m_scroll, 1);

    auto* top = new QHBoxLayout;
    top->addLayout(left, 3);
    top->addLayout(right, 2);

    auto* previewRow = new QHBoxLayout;
    previewRow->addWidget(m_previewButton);
    previewRow->addWidget(m_previewRows);
    previewRow->addStretch();

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(help);
    buttons->addStretch();
    buttons->addWidget(m_importButton);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 3);
    layout->addLayout(previewRow);
    layout->addWidget(m_grid, 2);
    layout->addWidget(m_previewInfo);
    layout->addLayout(buttons);

    m_timer = new QTimer(this);
    m_timer->setInterval(checkIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &TImportForm::periodicCheck);

    connect(open, &QPushButton::clicked, this, &TImportForm::chooseFile);
    connect(blacklist, &QPushButton::clicked, this, &TImportForm::chooseBlacklist);
    connect(m_blacklistDelete, &QPushButton::clicked, this, &TImportForm::clearBlacklist);
    connect(blacklistInfo, &QPushButton::clicked, this, &TImportForm::showBlacklistInfo);
    connect(m_delimiter, &QComboBox::currentTextChanged, this, [this](const QString& item) {
        m_activeDelimiter = TextImport::delimiterFromItem(item);
    });
    connect(m_skip, &QCheckBox::clicked, this, &TImportForm::updatePreview);
    connect(m_previewRows, &QComboBox::currentIndexChanged, this, &TImportForm::updatePreview);
    connect(m_previewButton, &QPushButton::clicked, this, &TImportForm::togglePreview);
    connect(m_fixCheck, &QCheckBox::toggled, this, &TImportForm::updateFixedEntry);
    connect(m_fixCombo, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i >= 0 && i < m_fieldNames.size())
            m_fixedFieldName = m_fieldNames[i];
    });
    connect(m_importButton, &QPushButton::clicked, this, &TImportForm::startImport);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [this] { openHelp(QStringLiteral("help.html")); });
    connect(excel, &QPushButton::clicked, this, [this] { openHelp(QStringLiteral("excel.html")); });
    connect(access, &QPushButton::clicked, this,
            [this] { openHelp(QStringLiteral("access.html")); });
    connect(databases, &QPushButton::clicked, this,
            [this] { openHelp(QStringLiteral("datenbanken.html")); });
    connect(text, &QPushButton::clicked, this,
            [this] { openHelp(QStringLiteral("textimport.html")); });
    updateFixedEntry();
}

void TImportForm::showEvent(QShowEvent* event) {
    buildRows();
    // The fixed entry keeps its field where the table still has it.
    {
        const QSignalBlocker block(m_fixCombo);
        m_fixCombo->clear();
        m_fixCombo->addItems(m_captions);
        const qsizetype kept = m_fieldNames.indexOf(m_fixedFieldName);
        m_fixCombo->setCurrentIndex(kept >= 0 ? int(kept) : 0);
        if (kept < 0 && !m_fieldNames.isEmpty())
            m_fixedFieldName = m_fieldNames.first();
    }
    const ImportMapping::Stored stored =
        ImportMapping::read(ImportMapping::path(m_state.session), int(m_fieldNames.size()));
    for (int i = 0; i < m_fieldNames.size(); ++i)
        if (QLineEdit* box = columnBox(m_fieldNames[i]))
            box->setText(stored.columns.value(i, QStringLiteral("0")));
    clearBlacklist();
    m_file.clear();
    m_fileEdit->setText(QString::fromUtf8(kNoFile));
    m_importButton->setEnabled(false);
    m_activeDelimiter = QStringLiteral(";");
    m_grid->setVisible(false);
    m_previewRows->setVisible(false);
    m_previewInfo->setVisible(false);
    for (int c = 0; c < m_grid->columnCount(); ++c)
        if (m_grid->rowCount() > 0)
            m_grid->setItem(0, c, new QTableWidgetItem);
    updateFixedEntry();
    QDialog::showEvent(event);
    m_timer->start();
    if (!stored.problem.isEmpty())
        QTimer::singleShot(0, this,
                           [problem = stored.problem] { Messages::instance().error(problem); });
}

void TImportForm::hideEvent(QHideEvent* event) {
    m_timer->stop();
    removeRows();
    QDialog::hideEvent(event);
}

void TImportForm::buildRows() {
    removeRows();
    m_fieldNames.clear();
    m_captions.clear();
    for (const FieldDefinition& f : m_state.session.definition().targetFields()) {
        m_fieldNames << f.name;
        m_captions << f.caption;
    }
    for (int i = 0; i < m_fieldNames.size(); ++i) {
        auto* row = new QWidget(m_rows);
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(0, 0, 0, 0);
        auto* label =
            new QLabel(QChar('"') + m_captions[i] + QStringLiteral("\" ist in Spalte"), row);
        label->setObjectName(QStringLiteral("Label_") + m_fieldNames[i]);
        auto* box = new QLineEdit(QStringLiteral("0"), row);
        box->setObjectName(QStringLiteral("Edit_") + m_fieldNames[i]);
        box->setMaximumWidth(70);
        label->setBuddy(box);
        rowLayout->addWidget(label, 1);
        rowLayout->addWidget(box);
        m_rowsLayout->insertWidget(m_rowsLayout->count() - 1, row);
    }
    m_grid->clear();
    m_grid->setColumnCount(int(m_captions.size()));
    m_grid->setHorizontalHeaderLabels(m_captions);
}

void TImportForm::removeRows() {
    // Rows are the widgets before the final stretch.
    while (m_rowsLayout->count() > 1) {
        QLayoutItem* item = m_rowsLayout->takeAt(0);
        if (QWidget* w = item->widget()) {
            // Gone from lookups at once, deleted when control returns to the loop.
            const QList<QWidget*> children = w->findChildren<QWidget*>();
            for (QWidget* c : children)
                c->setObjectName(QString());
            w->hide();
            w->deleteLater();
        }
        delete item;
    }
}

QLineEdit* TImportForm::columnBox(const QString& fieldName) const {
    return m_rows->findChild<QLineEdit*>(QStringLiteral("Edit_") + fieldName);
}

QStringList TImportForm::columnTexts() const {
    QStringList texts;
    for (const QString& name : m_fieldNames) {
        const QLineEdit* box = columnBox(name);
        texts << (box ? box->text() : QStringLiteral("0"));
    }
    return texts;
}

ImportOptions TImportForm::options(bool* valid) const {
    ImportOptions o;
    o.fieldNames = m_fieldNames;
    *valid = true;
    for (const QString& t : columnTexts()) {
        bool ok = false;
        const int n = t.trimmed().toInt(&ok);
        *valid = *valid && ok;
        o.columns << (ok ? n : 0);
    }
    o.delimiter = m_activeDelimiter;
    o.quote = TextImport::quoteFromItem(m_quote->currentText());
    o.skipFirstLine = m_skip->isChecked();
    o.blacklistPath = m_blacklist;
    o.fixedEntry = m_fixCheck->isChecked();
    const int fixed = m_fixCombo->currentIndex();
    o.fixedField = fixed >= 0 && fixed < m_fieldNames.size() ? m_fieldNames[fixed] : QString();
    o.fixedValue = m_fixEdit->text();
    return o;
}

void TImportForm::chooseFile() {
    const QString folder =
        m_file.isEmpty() ? m_state.folders.dataFolder : QFileInfo(m_file).absolutePath();
    const QString path =
        FilePicker::instance().openFile(QStringLiteral("Datei öffnen"), folder,
                                        ComposerRules::dialogFilter(QString::fromUtf8(kFilter)));
    if (path.isEmpty())
        return;
    m_file = path;
    m_fileEdit->setText(QFileInfo(path).fileName());
}

void TImportForm::chooseBlacklist() {
    const QString path = FilePicker::instance().openFile(
        QStringLiteral("Blacklist laden"), m_state.folders.dataFolder,
        ComposerRules::dialogFilter(QString::fromUtf8(kFilter)));
    if (path.isEmpty())
        return;
    m_blacklist = path;
    m_blacklistLabel->setText(QFileInfo(path).fileName());
    m_blacklistDelete->setEnabled(true);
}

void TImportForm::clearBlacklist() {
    m_blacklist.clear();
    m_blacklistLabel->clear();
    m_blacklistDelete->setEnabled(false);
}

void TImportForm::showBlacklistInfo() {
    Messages::instance().information(blacklistExplanation());
}

void TImportForm::togglePreview() {
    const bool show = !m_grid->isVisible();
    m_grid->setVisible(show);
    m_previewRows->setVisible(show);
    if (show)
        updatePreview();
    else
        m_previewInfo->setVisible(false);
}

void TImportForm::updateFixedEntry() {
    const bool on = m_fixCheck->isChecked();
    m_fixCombo->setEnabled(on);
    m_fixEdit->setEnabled(on);
}

void TImportForm::periodicCheck() {
    if (m_file.isEmpty())
        return;
    m_importButton->setEnabled(true);
    bool valid = false;
    options(&valid);
    if (valid)
        updatePreview();
}

void TImportForm::updatePreview() {
    m_activeDelimiter = TextImport::delimiterFromItem(m_delimiter->currentText());
    static const int counts[] = {1, 5, 10, 20};
    const int rows = counts[std::clamp(m_previewRows->currentIndex(), 0, 3)];
    if (m_grid->rowCount() != rows)
        m_grid->setRowCount(rows);
    // Only a shown preview is read; a table file has no lines to show.
    if (!m_grid->isVisible() || m_file.isEmpty() || ImportRun::isTableFile(m_file))
        return;
    bool valid = false;
    const ImportOptions o = options(&valid);
    if (!valid)
        return;
    QList<QStringList> cells;
    QString error;
    const bool ok = TextImport::preview(m_file, o, rows, &cells, &error);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < m_grid->columnCount(); ++c) {
            const QString text = r < cells.size() ? cells[r].value(c) : QString();
            QTableWidgetItem* item = m_grid->item(r, c);
            if (!item)
                m_grid->setItem(r, c, new QTableWidgetItem(text));
            else if (item->text() != text)
                item->setText(text);
        }
    m_previewInfo->setText(ok ? QString() : error);
    m_previewInfo->setVisible(!ok);
}

void TImportForm::openHelp(const QString& page) {
    Documents::openHelpPage(m_state.folders.helpFolder, page, Messages::instance());
}

void TImportForm::startImport() {
    if (m_file.isEmpty())
        return;
    const QStringList texts = columnTexts();
    const int bad = ImportRun::firstInvalidColumn(texts);
    if (bad >= 0) {
        Messages::instance().error(ImportRun::invalidColumnText(m_captions.value(bad), texts[bad]));
        return;
    }
    bool valid = false;
    ImportOptions o = options(&valid);
    // The delimiter as the box shows it now, also when no preview ran since it changed.
    o.delimiter = TextImport::delimiterFromItem(m_delimiter->currentText());
    m_timer->stop();
    ImportRun::start(m_state.session, m_file, o, texts, Messages::instance(), m_progress);
    accept();
}
