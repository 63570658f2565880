#pragma once
#include <QString>
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

private:
    std::mt19937_64 m_rng;
    qint64 m_count = 0;
    std::vector<QString> m_recentMails;
    int pick(int n) { return int(m_rng() % quint64(n)); }
};
