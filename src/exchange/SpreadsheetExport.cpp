#include "exchange/SpreadsheetExport.h"

#include "database/AddressTable.h"
#include "exchange/XlsWorkbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryFile>
#include <xlsxwriter.h>

namespace SpreadsheetExport {

namespace {

constexpr int kXlsxRows = 1048576;
constexpr int kXlsxColumns = 16384;

QString writeError(const QString& path, const QString& reason) {
    return QStringLiteral("Die Datei \"%1\" kann nicht geschrieben werden: %2")
        .arg(QDir::toNativeSeparators(path), reason);
}

QString cellText(const QString& text) {
    if (text.size() <= XlsWorkbook::maxTextLength)
        return text;
    qsizetype cut = XlsWorkbook::maxTextLength;
    if (text[cut - 1].isHighSurrogate())
        --cut;
    return text.left(cut);
}

bool writeXls(const AddressTable& table, const QList<ExportColumn>& columns, const QString& path,
              const Progress& progress, QString* error) {
    XlsWorkbook book(sheetName());
    QStringList titles;
    QList<int> fields;
    for (const ExportColumn& c : columns) {
        titles << c.title;
        fields << c.field;
    }
    book.addRow(titles);
    const ExportRows rows(*table.store(), fields);
    if (!rows.read(
            table.viewIds(),
            [&](const QStringList& values) {
                book.addRow(values);
                return true;
            },
            progress.counter(QStringLiteral("Export: ")), error))
        return false;
    return book.save(path, error);
}

bool writeXlsx(const AddressTable& table, const QList<ExportColumn>& columns, const QString& path,
               const Progress& progress, QString* error) {
    // libxlsxwriter writes the file itself when the workbook closes; it writes into a
    // temporary file beside the target, which then replaces the target.
    const QFileInfo info(path);
    QTemporaryFile temporary(info.absolutePath() + QStringLiteral("/~") + info.fileName() +
                             QStringLiteral(".XXXXXX"));
    if (!temporary.open()) {
        if (error)
            *error = writeError(path, temporary.errorString());
        return false;
    }
    temporary.close();
    const QByteArray tempName = QFile::encodeName(temporary.fileName());
    const QByteArray tmpdir = QFile::encodeName(QDir::tempPath());

    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE; // rows go to disk as they are written
    options.tmpdir = const_cast<char*>(tmpdir.constData());
    options.use_zip64 = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(tempName.constData(), &options);
    if (!book) {
        if (error)
            *error =
                writeError(path, QStringLiteral("Die Arbeitsmappe kann nicht angelegt werden."));
        return false;
    }
    const QByteArray name = sheetName().toUtf8();
    lxw_worksheet* sheet = workbook_add_worksheet(book, name.constData());
    lxw_format* text = workbook_add_format(book);
    format_set_num_format(text, "@");
    if (!columns.isEmpty())
        worksheet_set_column(sheet, 0, lxw_col_t(columns.size() - 1), 20, text);

    lxw_error failure = LXW_NO_ERROR;
    lxw_row_t row = 0;
    auto writeRow = [&](const QStringList& cells) {
        for (qsizetype c = 0; c < cells.size() && failure == LXW_NO_ERROR; ++c) {
            if (cells[c].isEmpty())
                continue;
            const QByteArray utf8 = cellText(cells[c]).toUtf8();
            failure = worksheet_write_string(sheet, row, lxw_col_t(c), utf8.constData(), text);
        }
        ++row;
        return failure == LXW_NO_ERROR;
    };
    QStringList titles;
    QList<int> fields;
    for (const ExportColumn& c : columns) {
        titles << c.title;
        fields << c.field;
    }
    writeRow(titles);
    const ExportRows rows(*table.store(), fields);
    const bool read =
        rows.read(table.viewIds(), writeRow, progress.counter(QStringLiteral("Export: ")), error);
    const lxw_error closed = workbook_close(book);
    if (!read)
        return false;
    if (failure != LXW_NO_ERROR || closed != LXW_NO_ERROR) {
        if (error)
            *error = writeError(
                path, QString::fromUtf8(lxw_strerror(failure != LXW_NO_ERROR ? failure : closed)));
        return false;
    }
    if (QFile::exists(path) && !QFile::remove(path)) {
        if (error)
            *error =
                writeError(path, QStringLiteral("Die vorhandene Datei lässt sich nicht ersetzen."));
        return false;
    }
    temporary.setAutoRemove(false);
    if (!temporary.rename(path)) {
        temporary.setAutoRemove(true);
        if (error)
            *error = writeError(path, temporary.errorString());
        return false;
    }
    return true;
}

} // namespace

QString sheetName() {
    return QStringLiteral("Quillon_Export");
}

qint64 maxRecords(Format format) {
    return (format == Format::Xls ? XlsWorkbook::maxRows : kXlsxRows) - 1;
}

int maxColumns(Format format) {
    return format == Format::Xls ? XlsWorkbook::maxColumns : kXlsxColumns;
}

bool write(Format format, const AddressTable& table, const QList<ExportColumn>& columns,
           const QString& path, const Progress& progress, QString* error) {
    const QString kind = format == Format::Xls ? QStringLiteral("Excel 97-2003 Datei (.xls)")
                                               : QStringLiteral("Excel Datei (.xlsx)");
    if (table.recordCount() > maxRecords(format)) {
        if (error)
            *error = QStringLiteral("Eine %1 fasst höchstens %2 Datensätze unter der "
                                    "Titelzeile; die Tabelle zeigt %3. Es wurde nichts exportiert.")
                         .arg(kind, QLocale(QLocale::German).toString(maxRecords(format)),
                              QLocale(QLocale::German).toString(table.recordCount()));
        return false;
    }
    if (columns.size() > maxColumns(format)) {
        if (error)
            *error = QStringLiteral("Eine %1 fasst höchstens %2 Spalten; das Gitter zeigt %3. "
                                    "Es wurde nichts exportiert.")
                         .arg(kind, QString::number(maxColumns(format)),
                              QString::number(columns.size()));
        return false;
    }
    BusyScope busy(progress);
    const bool ok = format == Format::Xls ? writeXls(table, columns, path, progress, error)
                                          : writeXlsx(table, columns, path, progress, error);
    progress.clear();
    return ok;
}

} // namespace SpreadsheetExport
