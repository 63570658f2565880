#pragma once
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <freexl.h>
#include <gtest/gtest.h>

// A workbook as an independent reader sees it: the sheet names and the first sheet's
// cells as text ("" for an empty cell).
struct ReadWorkbook {
    QStringList sheets;
    QList<QStringList> rows;
};

// Reads an .xls with freexl.
inline ReadWorkbook readXls(const QString& path) {
    ReadWorkbook book;
    const void* handle = nullptr;
    const int opened = freexl_open(QFile::encodeName(path).constData(), &handle);
    EXPECT_EQ(opened, FREEXL_OK) << "freexl_open " << opened;
    if (opened != FREEXL_OK)
        return book;
    unsigned int sheets = 0;
    freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheets);
    for (unsigned short i = 0; i < sheets; ++i) {
        const char* name = nullptr;
        freexl_get_worksheet_name(handle, i, &name);
        book.sheets << QString::fromUtf8(name);
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(handle, 0) == FREEXL_OK &&
        freexl_worksheet_dimensions(handle, &rows, &columns) == FREEXL_OK) {
        for (unsigned int r = 0; r < rows; ++r) {
            QStringList row;
            for (unsigned short c = 0; c < columns; ++c) {
                FreeXL_CellValue cell;
                EXPECT_EQ(freexl_get_cell_value(handle, r, c, &cell), FREEXL_OK);
                if (cell.type == FREEXL_CELL_SST_TEXT || cell.type == FREEXL_CELL_TEXT)
                    row << QString::fromUtf8(cell.value.text_value);
                else {
                    EXPECT_EQ(cell.type, FREEXL_CELL_NULL) << r << "," << c;
                    row << QString();
                }
            }
            book.rows << row;
        }
    }
    freexl_close(handle);
    return book;
}

// Reads an .xlsx with openpyxl; also checks every written cell is a text.
inline ReadWorkbook readXlsx(const QString& path) {
    const char* script = R"(
import json, sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1], read_only=True)
ws = wb.worksheets[0]
rows = []
for row in ws.iter_rows(values_only=True):
    for v in row:
        if v is not None and not isinstance(v, str):
            raise SystemExit("not a text: %r" % (v,))
    rows.append(["" if v is None else v for v in row])
json.dump({"sheets": wb.sheetnames, "rows": rows}, sys.stdout)
)";
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"), QLatin1String(script), path});
    EXPECT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QJsonObject o = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    ReadWorkbook book;
    for (const QJsonValue& s : o.value("sheets").toArray())
        book.sheets << s.toString();
    for (const QJsonValue& r : o.value("rows").toArray()) {
        QStringList row;
        for (const QJsonValue& v : r.toArray())
            row << v.toString();
        book.rows << row;
    }
    return book;
}
