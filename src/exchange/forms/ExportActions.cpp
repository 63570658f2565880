#include "exchange/forms/ExportActions.h"

#include "common/FilePicker.h"
#include "common/Messages.h"
#include "common/Texts.h"
#include "database/AddressTable.h"
#include "database/DatabaseDefinition.h"
#include "exchange/BccExport.h"
#include "exchange/SpreadsheetExport.h"
#include "exchange/forms/TAsciiForm.h"
#include "exchange/forms/TExportWizzard1Form.h"
#include "hygiene/EmailAddress.h"
#include "shell/AppState.h"
#include "shell/forms/BusyCursor.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QWidget>

namespace {

QString openFirstForBcc() {
    return QStringLiteral("Öffnen Sie zuerst eine Datenbank!");
}

} // namespace

ExportActions::ExportActions(AppState& state, QWidget* parent) : QObject(parent), m_state(state) {
    setObjectName(QStringLiteral("ExportActions"));
    m_wizard = new TExportWizzard1Form(state, parent);
    m_ascii = new TAsciiForm(state, parent);
    m_ascii->setProgress(feedback());
    connect(m_ascii, &TAsciiForm::filterSwitchedOff, this, &ExportActions::filterSwitchedOff);
}

Progress ExportActions::feedback() const {
    Progress p;
    // Read status at call time: the main window sets it after construction.
    p.status = [this](const QString& text) { status.text(text); };
    p.busy = [](bool on) {
        if (on)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    return p;
}

void ExportActions::start() {
    AddressTable* table = m_state.session.currentTable();
    if (!table) {
        Messages::instance().information(Texts::openDatabaseFirst());
        return;
    }
    table->first();
    switch (m_wizard->ask()) {
    case TExportWizzard1Form::Choice::Excel:
        exportWorkbook(false);
        break;
    case TExportWizzard1Form::Choice::Xlsx:
        exportWorkbook(true);
        break;
    case TExportWizzard1Form::Choice::Other:
        m_ascii->exec();
        break;
    case TExportWizzard1Form::Choice::None:
        break;
    }
}

void ExportActions::exportWorkbook(bool xlsx) {
    AddressTable* table = m_state.session.currentTable();
    if (!table)
        return;
    using SpreadsheetExport::Format;
    Format format = xlsx ? Format::Xlsx : Format::Xls;
    const QLocale german(QLocale::German);
    if (format == Format::Xls && table->recordCount() > SpreadsheetExport::maxRecords(format)) {
        // An .xls cut short would pass for the whole table; the modern workbook holds it.
        if (!Messages::instance().question(
                QStringLiteral("Die Tabelle zeigt %1 Datensätze. Eine Excel 97-2003 Datei (.xls) "
                               "fasst höchstens %2 Datensätze unter der Titelzeile.\r\rWollen Sie "
                               "stattdessen eine Excel Datei (.xlsx) herstellen?")
                    .arg(german.toString(table->recordCount()),
                         german.toString(SpreadsheetExport::maxRecords(format)))))
            return;
        format = Format::Xlsx;
    }
    const QString extension =
        format == Format::Xls ? QStringLiteral("xls") : QStringLiteral("xlsx");
    QDir().mkpath(m_state.folders.exportFolder);
    QString path = FilePicker::instance().saveFile(
        QStringLiteral("Speichern unter"), m_state.folders.exportFolder,
        format == Format::Xls ? QStringLiteral("Excel-Datei (*.xls)")
                              : QStringLiteral("Excel-Arbeitsmappe (*.xlsx)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QChar('.') + extension;
        if (QFileInfo::exists(path) &&
            !Messages::instance().destructiveQuestion(
                QStringLiteral("Die Datei \"%1\" existiert bereits. Wollen Sie sie ersetzen?")
                    .arg(QDir::toNativeSeparators(path))))
            return;
    }
    const QList<ExportColumn> columns = gridColumns ? gridColumns() : QList<ExportColumn>();
    const TableView::Bookmark current = table->bookmark();
    table->disableControls();
    QString error;
    const bool ok = SpreadsheetExport::write(format, *table, columns, path, feedback(), &error);
    table->gotoBookmark(current);
    table->enableControls();
    if (!ok)
        Messages::instance().error(error);
}

int ExportActions::bccMailColumn() {
    AddressTable* table = m_state.session.currentTable();
    if (!table) {
        Messages::instance().information(openFirstForBcc());
        return -1;
    }
    const int mail = FindMailColumn(table);
    if (mail < 0)
        Messages::instance().information(
            QStringLiteral("Keine Mail - Spalte vorhanden in der Tabelle!"));
    return mail;
}

void ExportActions::copyMarkedToClipboard() {
    const int mail = bccMailColumn();
    if (mail < 0)
        return;
    QString list;
    {
        const BusyCursor busy;
        list = CollectMarkedAddresses(m_state.session.currentTable(), mail, QStringLiteral(", "));
        QApplication::clipboard()->setText(list);
    }
    Q_EMIT filterSwitchedOff();
    Messages::instance().information(QChar('"') + list +
                                     QStringLiteral("\" ins Clipbord kopiert!"));
}

void ExportActions::writeBccFiles() {
    const int mail = bccMailColumn();
    if (mail < 0)
        return;
    QString error;
    int written = 0;
    {
        const BusyCursor busy;
        const QString list =
            CollectMarkedAddresses(m_state.session.currentTable(), mail, QStringLiteral("; "));
        QApplication::clipboard()->setText(list);
        written = BccExport::writeFiles(m_state.folders.exportFolder, list, &error);
    }
    Q_EMIT filterSwitchedOff();
    if (written < 0) {
        Messages::instance().error(error);
        return;
    }
    Messages::instance().information(QStringLiteral("BCC-Dateien wurden unter ") +
                                     QDir::toNativeSeparators(m_state.folders.exportFolder) +
                                     QStringLiteral(" gespeichert!"));
}
