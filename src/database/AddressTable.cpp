#include "database/AddressTable.h"

AddressTable::AddressTable(QObject* parent)
    : TableView(nullptr, parent), m_ownStore(std::make_unique<TableStore>()) {
    setStore(m_ownStore.get());
}

AddressTable::~AddressTable() {
    setStore(nullptr);
    m_ownStore->close();
}

bool AddressTable::open(const QString& path, QString* error) {
    if (!m_ownStore->open(path, error))
        return false;
    Q_EMIT afterOpen();
    return true;
}

void AddressTable::close() {
    m_ownStore->close();
}

qint64 AddressTable::updateRecords(const std::vector<qint64>& ids,
                                   const QList<QPair<QString, QVariant>>& values,
                                   const RecordCondition& where, const ProgressFn& progress,
                                   QString* error) {
    if (!postBeforeMove())
        return -1;
    return m_ownStore->updateRecords(ids, values, where, progress, error);
}

qint64 AddressTable::deleteRecords(const std::vector<qint64>& ids, const RecordCondition& where,
                                   const ProgressFn& progress, QString* error) {
    if (!isOpen())
        return -1;
    cancel();
    return m_ownStore->deleteRecords(ids, where, progress, error);
}

qint64 AddressTable::appendRecords(const std::function<bool(QVariantList&)>& nextRow,
                                   const ProgressFn& progress, QString* error, bool deferIndexes) {
    if (!postBeforeMove())
        return -1;
    return m_ownStore->appendRecords(nextRow, progress, error, deferIndexes);
}

qint64 AddressTable::appendBatches(const std::function<bool(RowBatch&)>& nextBatch,
                                   const ProgressFn& progress, QString* error, bool deferIndexes) {
    if (!postBeforeMove())
        return -1;
    return m_ownStore->appendBatches(nextBatch, progress, error, deferIndexes);
}

bool AddressTable::updateRecord(qint64 id, const QList<QPair<QString, QVariant>>& values,
                                QString* error) {
    if (!isOpen())
        return false;
    QList<int> fields;
    QVariantList stored;
    for (const auto& [name, v] : values) {
        const int i = fieldIndex(name);
        if (i < 0 || i == m_ownStore->rowidColumn()) {
            if (error)
                *error = QStringLiteral("Das Feld \"") + name +
                         (i < 0 ? QStringLiteral("\" gibt es in dieser Tabelle nicht.")
                                : QStringLiteral("\" wird automatisch vergeben."));
            return false;
        }
        QVariant s;
        if (!m_ownStore->toStored(i, v, &s, error))
            return false;
        fields << i;
        stored << s;
    }
    if (!m_ownStore->updateRecord(id, fields, stored, error))
        return false;
    Q_EMIT afterPost();
    return true;
}
