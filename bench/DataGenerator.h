#pragma once
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <random>

class AddressTable;

// Synthetic German address records in the standard layout: realistic names,
// streets and towns, about 2% syntactically broken and 3% duplicate addresses.
class DataGenerator {
public:
    explicit DataGenerator(quint64 seed = 42);

    // Fills row (one value per field of the table) with the next record.
    void fill(const AddressTable& table, QVariantList& row);

    // Lays out a program folder with the standard database holding n records.
    // Returns an empty string on success, else the reason.
    static QString makeProgramFolder(const QString& programFolder, qint64 n,
                                     const std::function<void(qint64)>& progress = {});

    // Writes n records of the standard layout as a semicolon-separated UTF-8 text file,
    // one line per record, the target fields (Mail ... Kategorie) in definition order.
    // Returns an empty string on success, else the reason.
    static QString writeCsv(const QString& path, qint64 n);
    // The same records as a dBase table, written with shapelib.
    static QString writeDbf(const QString& path, qint64 n);

    // The target fields of the standard layout, in the order the files hold them.
    static QStringList targetFields();

private:
    std::mt19937_64 m_rng;
    qint64 m_count = 0;
    std::vector<QString> m_recentMails;
    int pick(int n) { return int(m_rng() % quint64(n)); }
};
