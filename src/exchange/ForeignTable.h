#pragma once
#include <QString>
#include <memory>

// A dBase (.dbf) or Paradox (.db) table file read record by record: each value as the
// text a user expects (numbers as written, decimals with a comma, dates as dd.MM.yyyy,
// logical values as "True"/"False", memos as their text), decoded by the code page the
// file declares (Windows-1252 when it declares none).
class ForeignTable {
public:
    virtual ~ForeignTable() = default;

    // Opens the file by its extension (".dbf" or ".db", case ignored); nullptr when
    // the library refuses it, with the library's reason in *detail.
    static std::unique_ptr<ForeignTable> open(const QString& path, QString* detail = nullptr);

    virtual int recordCount() const = 0;
    virtual int columnCount() const = 0;
    // Reads record k (from 0); false when it cannot be read (reason in error()).
    // Deleted records of a dBase file are reported by isDeleted and hold no texts.
    virtual bool read(int k) = 0;
    virtual bool isDeleted() const { return false; }
    // Column n (from 1) of the record read last; empty beyond the last column.
    virtual QString text(int n) const = 0;
    virtual QString error() const = 0;
};

// The codec name of a dBase language driver byte or a Paradox DOS code page; empty
// when unknown.
QString CodecForDbaseLanguageDriver(int ldid);
QString CodecForCodePage(int codePage);
