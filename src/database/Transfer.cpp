#include "database/Transfer.h"

#include "database/AddressTable.h"
#include "database/SqlFunctions.h"
#include "database/SystemColumns.h"

#include <QDir>

namespace {

QString baseName(const QString& definitionName) {
    const auto dot = definitionName.indexOf(QChar('.'));
    return dot < 0 ? definitionName : definitionName.left(dot);
}

// Positions 2 to 9 of a record are copied position by position.
constexpr int kFirstPositional = 1;
constexpr int kLastPositional = 8;
// Definitions one to eight are the core columns; the mapping starts after them.
constexpr int kFirstMapped = 8;
constexpr qint64 kDeferIndexesFrom = 20000;

bool isTextual(FieldType t) {
    return t == FieldType::String || t == FieldType::Memo;
}

} // namespace

namespace Transfer {

QString tablePath(const QString& dataFolder, const QString& definitionName) {
    return resolveDataFile(dataFolder, baseName(definitionName) + QStringLiteral(".DB"));
}

bool mappableFields(const QString& dataFolder, const QString& definitionName,
                    QList<FieldDefinition>* fields, QString* error) {
    fields->clear();
    const QString name = baseName(definitionName) + QStringLiteral(".pro");
    const QString path = resolveDataFile(dataFolder, name);
    QStringList lines;
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("Die Datei \"") + QDir::toNativeSeparators(dataFolder + name) +
                     QStringLiteral("\" wurde nicht gefunden.");
        return false;
    }
    if (!readDefinitionLines(path, &lines, error))
        return false;
    *fields = parseFieldDefinitions(lines).mid(kFirstMapped);
    return true;
}

bool Run::open(const QString& dataFolder, const QString& definitionName, bool onlyMarked,
               QString* error) {
    m_ids.clear();
    const QString path = tablePath(dataFolder, definitionName);
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("Die Tabelle \"") +
                     QDir::toNativeSeparators(dataFolder + baseName(definitionName) +
                                              QStringLiteral(".DB")) +
                     QStringLiteral("\" wurde nicht gefunden.");
        return false;
    }
    if (!m_source.open(path, error))
        return false;
    RecordCondition where;
    if (onlyMarked) {
        where = m_source.conditionFromFilter(SystemColumns::markedFilter, error);
        if (where.isEmpty()) {
            m_source.close();
            return false;
        }
    }
    if (!m_source.selectIds(where, QString(), &m_ids, error)) {
        m_source.close();
        return false;
    }
    return true;
}

qint64 Run::copyInto(AddressTable& target, const QList<QPair<QString, QString>>& mapping,
                     const ProgressFn& progress, qint64* unfit, QString* error) {
    *unfit = 0;
    TableStore* store = target.store();
    if (!store || !m_source.isOpen())
        return -1;
    const int targetCount = store->fieldCount();
    // Source column of every target column; -1: none.
    std::vector<int> from(size_t(targetCount), -1);
    for (int p = kFirstPositional; p <= kLastPositional; ++p)
        if (p < targetCount && p < m_source.fieldCount())
            from[size_t(p)] = p;
    for (const auto& [targetField, sourceField] : mapping) {
        const int t = store->fieldIndex(targetField);
        const int s = m_source.fieldIndex(sourceField);
        if (t >= 0 && s >= 0)
            from[size_t(t)] = s;
    }
    // What an untouched column gets: the value a new record starts with.
    QVariantList defaults;
    for (int t = 0; t < targetCount; ++t) {
        QVariant v;
        store->toStored(t, QVariant(), &v, nullptr);
        defaults << v;
    }
    const int rowid = store->rowidColumn();
    const qint64 n = count();
    qint64 k = 0;
    const qint64 step = std::max<qint64>(1, n / 200);
    auto nextRow = [&](QVariantList& row) {
        if (k >= n)
            return false;
        const QVariantList source = m_source.recordValues(m_ids[size_t(k)]);
        row = defaults;
        for (int t = 0; t < targetCount; ++t) {
            const int s = from[size_t(t)];
            if (s < 0 || t == rowid || s >= source.size())
                continue;
            const QVariant& v = source[s];
            const FieldType st = m_source.fieldType(s);
            const FieldType tt = store->fieldType(t);
            if (st == tt || (isTextual(st) && isTextual(tt))) {
                if (!v.isNull())
                    row[t] = v;
                continue;
            }
            // Different types meet through the text a user sees.
            QVariant stored;
            if (store->toStored(t, SqlFunctions::displayText(v, st), &stored, nullptr))
                row[t] = stored;
            else
                ++*unfit;
        }
        ++k;
        if (progress && (k % step == 0 || k == n))
            progress(k, n);
        return true;
    };
    // A large transfer builds the target's indexes once at the end, as a large import
    // does: sorting every key once is several times faster than growing each index.
    const qint64 present = qint64(target.store()->tableIds().size());
    const bool deferIndexes = n >= kDeferIndexesFrom && n * 10 >= present;
    return target.appendRecords(nextRow, {}, error, deferIndexes);
}

} // namespace Transfer
