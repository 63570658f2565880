#include "exchange/forms/TAsciiForm.h"

#include "common/FilePicker.h"
#include "common/Messages.h"
#include "database/AddressTable.h"
#include "exchange/CsvExport.h"
#include "shell/AppState.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

TAsciiForm::TAsciiForm(AppState& state, QWidget* parent) : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("AsciiForm"));
    setWindowTitle(QStringLiteral("Export"));
    setMinimumSize(460, 440);

    auto* explanation = new QLabel(
        QStringLiteral("Export in eine mit Trennzeichen getrennte Datei (CSV). Dieser Dateityp "
                       "kann in gängige Programme wie z.B. Access, Windows Adressbuch, Outlook, "
                       "Excel usw. importiert werden."),
        this);
    explanation->setObjectName(QStringLiteral("ExplanationLabel"));
    explanation->setWordWrap(true);

    m_columns = new QListWidget(this);
    m_columns->setObjectName(QStringLiteral("CheckListBox1"));

    m_delimiter = new QLineEdit(QStringLiteral(";"), this);
    m_delimiter->setObjectName(QStringLiteral("Edit1"));
    auto* delimiterLabel = new QLabel(QStringLiteral("Trennzeichen (Delimiter)"), this);
    delimiterLabel->setObjectName(QStringLiteral("DelimiterLabel"));
    delimiterLabel->setBuddy(m_delimiter);

    auto check = [this](const char* name, const QString& caption, bool on) {
        auto* c = new QCheckBox(caption, this);
        c->setObjectName(QLatin1String(name));
        c->setChecked(on);
        return c;
    };
    m_header = check("TableHeaderCheckBox", QStringLiteral("Tabellenkopf verwenden ?"), true);
    m_onlyMarked =
        check("OnlyMarkedCheckBox", QStringLiteral("nur markierte Daten exportieren?"), false);
    m_trim = check("TrimCheckBox", QStringLiteral("Leerzeichen entfernen (Trim)?"), false);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKBitBtn"));
    ok->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    auto* abort = new QPushButton(QStringLiteral("Abbrechen"), this);
    abort->setObjectName(QStringLiteral("AbortBitBtn"));
    abort->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    ok->setAutoDefault(false);
    abort->setAutoDefault(false);
    ok->setDefault(true);

    auto* options = new QVBoxLayout;
    auto* delimiterRow = new QHBoxLayout;
    delimiterRow->addWidget(delimiterLabel);
    delimiterRow->addWidget(m_delimiter);
    options->addLayout(delimiterRow);
    for (QCheckBox* c : {m_header, m_onlyMarked, m_trim})
        options->addWidget(c);
    options->addStretch();

    auto* middle = new QHBoxLayout;
    middle->addWidget(m_columns, 1);
    middle->addLayout(options, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(abort);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addLayout(middle, 1);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &TAsciiForm::onOk);
    connect(abort, &QPushButton::clicked, this, &QDialog::reject);
}

void TAsciiForm::showEvent(QShowEvent* event) {
    // Every column of the table, all ticked, each time the window opens.
    m_columns->clear();
    if (const AddressTable* table = m_state.session.currentTable()) {
        for (int i = 0; i < table->fieldCount(); ++i) {
            auto* item = new QListWidgetItem(table->fieldName(i), m_columns);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Checked);
        }
    }
    QDialog::showEvent(event);
}

void TAsciiForm::onOk() {
    AddressTable* table = m_state.session.currentTable();
    if (!table)
        return;
    CsvExportOptions options;
    for (int i = 0; i < m_columns->count(); ++i)
        if (m_columns->item(i)->checkState() == Qt::Checked)
            options.fields << i;
    if (options.fields.isEmpty()) {
        Messages::instance().information(
            QStringLiteral("Bitte wählen Sie mindestens eine Spalte für den Export aus."));
        return;
    }
    options.delimiter = m_delimiter->text();
    options.header = m_header->isChecked();
    options.onlyMarked = m_onlyMarked->isChecked();
    options.trim = m_trim->isChecked();

    // The file is chosen before the lines are built, so a million records are written
    // as they are read instead of being held in memory until the dialog closes.
    QDir().mkpath(m_state.folders.exportFolder);
    QString path = FilePicker::instance().saveFile(
        QStringLiteral("Speichern unter"), m_state.folders.exportFolder,
        QStringLiteral("Trennzeichen getrennte Datei (*.csv)"));
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty()) {
        // The default extension; the dialog asked about the name without it.
        path += QStringLiteral(".csv");
        if (QFileInfo::exists(path) &&
            !Messages::instance().destructiveQuestion(
                QStringLiteral("Die Datei \"%1\" existiert bereits. Wollen Sie sie ersetzen?")
                    .arg(QDir::toNativeSeparators(path))))
            path.clear();
    }

    const TableView::Bookmark current = table->bookmark();
    table->disableControls();
    table->first();
    QString error;
    const bool written = path.isEmpty() || CsvExport::write(*table, m_state.session.definition(),
                                                            options, path, m_progress, &error);
    // The table ends unfiltered on the record it stood on.
    table->setFiltered(false);
    table->enableControls();
    table->gotoBookmark(current);
    Q_EMIT filterSwitchedOff();
    if (!written) {
        Messages::instance().error(error);
        return;
    }
    accept();
}
