#pragma once
#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>
#include <sqlite3.h>

// Overwrites one page of a closed table file with garbage.
inline void damagePage(const QString& path, qint64 page) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek((page - 1) * 4096));
    file.write(QByteArray(4096, '\x5a'));
}

// The root page of the table's index over Name.
inline qint64 nameIndexPage(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT rootpage FROM sqlite_master WHERE type='index' AND sql LIKE "
                       "'%\"Name\"%'",
                       -1, &stmt, nullptr);
    const qint64 page = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : 0;
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return page;
}
