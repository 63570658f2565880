#pragma once
#include <QList>
#include <QString>
#include <QStringList>

// The saved column layout of the address grid: the columns in display order with
// field name, title text, title font and width. Stored as *base*.grd in the data
// folder, one tab-separated line per column after a header line.
struct GridColumnLayout {
    QString field;
    QString title;
    QString fontFamily;
    int fontPointSize = 8;
    bool fontBold = false;
    int width = 64;
};

struct GridLayout {
    QList<GridColumnLayout> columns;

    // Reads a layout file. A missing or unreadable file, one of 100 bytes or less, or one
    // without columns gives false and leaves the layout empty.
    bool load(const QString& path);
    bool save(const QString& path, QString* error = nullptr) const;

    // The layout fitted to the table's fields: columns of unknown fields are dropped,
    // fields the layout lacks are appended with their names as titles.
    GridLayout fittedTo(const QStringList& fieldNames) const;
};
