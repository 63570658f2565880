#include "records/RecordEditing.h"

#include "common/Messages.h"
#include "common/TextFile.h"
#include "database/AddressTable.h"
#include "database/DatabaseDefinition.h"
#include "database/DatabaseSession.h"
#include "database/SqlSupport.h"
#include "database/SystemColumns.h"

#include <QHash>
#include <sqlite3.h>

namespace {

// Reads the column's text for the given record ids, batch by batch.
bool readColumnTexts(const AddressTable& table, int column, const std::vector<qint64>& ids,
                     QHash<qint64, QString>* texts, QString* error) {
    sqlite3* db = table.handle();
    const QString head = QStringLiteral("SELECT rowid, ") +
                         SqlSupport::quoteIdent(table.fieldName(column)) +
                         QStringLiteral(" FROM ") + QLatin1String(AddressTable::tableName()) +
                         QStringLiteral(" WHERE rowid IN (");
    const qint64 total = qint64(ids.size());
    texts->reserve(qsizetype(total));
    for (qint64 start = 0; start < total; start += AddressTable::batchSize) {
        const int count = int(std::min<qint64>(AddressTable::batchSize, total - start));
        QString sql = head;
        for (int i = 0; i < count; ++i)
            sql += i ? QStringLiteral(",?") : QStringLiteral("?");
        sql += QChar(')');
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK) {
            if (error)
                *error = QStringLiteral("Die Adressen können nicht gelesen werden: ") +
                         QString::fromUtf8(sqlite3_errmsg(db));
            sqlite3_finalize(stmt);
            return false;
        }
        for (int i = 0; i < count; ++i)
            sqlite3_bind_int64(stmt, i + 1, ids[size_t(start + i)]);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1));
            texts->insert(sqlite3_column_int64(stmt, 0),
                          text ? QString::fromUtf8(text, sqlite3_column_bytes(stmt, 1))
                               : QString());
        }
        sqlite3_finalize(stmt);
    }
    return true;
}

// The text of the value list for the field (names compared without regard to case).
QString valueOf(const FieldValues& values, const QString& fieldName) {
    for (const auto& [name, text] : values)
        if (name.compare(fieldName, Qt::CaseInsensitive) == 0)
            return text;
    return {};
}

bool isAutoIncrement(const AddressTable& table, const QString& name) {
    const int i = table.fieldIndex(name);
    return i >= 0 && table.fieldType(i) == FieldType::AutoInc;
}

} // namespace

bool WriteExistingAddresses(const DatabaseSession& session, QString* error) {
    const AddressTable* table = session.currentTable();
    QStringList lines;
    if (table) {
        const int mail = FindMailColumn(table);
        if (mail >= 0) {
            const std::vector<qint64> ids = table->viewIds();
            QHash<qint64, QString> texts;
            if (!readColumnTexts(*table, mail, ids, &texts, error))
                return false;
            lines.reserve(qsizetype(ids.size()));
            for (qint64 id : ids) {
                QString text = texts.value(id);
                // One address per line, whatever the field holds.
                text.replace(QChar('\r'), QChar(' ')).replace(QChar('\n'), QChar(' '));
                lines << text;
            }
        }
    }
    return TextFile::writeLines(session.programFolder() + kExistingAddressesFile, lines, error);
}

bool DuplicateCheckAccepts(const QString& programFolder, const QString& mail, Messages& messages) {
    // Every line contains an empty text: a record without address has nothing to compare.
    if (mail.isEmpty())
        return true;
    const QString wanted = mail.toUpper();
    bool accept = true;
    for (const QString& line : TextFile::readLines(programFolder + kExistingAddressesFile)) {
        if (!line.toUpper().contains(wanted))
            continue;
        accept = messages.question(
            QStringLiteral("Ein Datensatz mit der Emailadresse ") + line +
            QStringLiteral(" befindet sich bereits in der Datenbank! Wollen Sie diesen "
                           "Datensatz trotzdem hinzufügen???"));
    }
    return accept;
}

QList<EditorRow> EditorRows(const TableDefinition& definition) {
    QList<EditorRow> rows;
    int n = 0;
    for (const FieldDefinition& f : definition.fields) {
        ++n;
        EditorRow row;
        row.fieldName = f.name;
        row.caption = f.caption;
        row.typeName = f.typeName;
        row.hidden =
            f.name.contains(QStringLiteral("ID")) || f.name.toUpper() == QStringLiteral("ARCHIVE");
        row.choices = definition.choicesFor(f.name);
        if (!row.choices.isEmpty())
            row.kind = EditorRow::Kind::Combo;
        else if (f.typeName != QStringLiteral("ftBoolean"))
            row.kind = EditorRow::Kind::Edit;
        else
            row.kind = EditorRow::Kind::Check;
        row.y = (n - 1) * EditorRow::rowHeight;
        rows << row;
    }
    return rows;
}

SaveOutcome SaveRecord(DatabaseSession& session, bool isNew, const FieldValues& values,
                       bool checkDuplicatesOnInput, Messages& messages) {
    AddressTable* table = session.currentTable();
    if (!table)
        return SaveOutcome::Failed;
    if (!isNew) {
        if (table->recordCount() == 0)
            return SaveOutcome::Failed;
        bool changed = false;
        for (const auto& [name, text] : values)
            if (!isAutoIncrement(*table, name) && table->asString(name) != text)
                changed = true;
        if (!changed)
            return SaveOutcome::Unchanged;
    }
    if (isNew && checkDuplicatesOnInput) {
        const int mail = FindMailColumn(table);
        if (mail >= 0 && !DuplicateCheckAccepts(session.programFolder(),
                                                valueOf(values, table->fieldName(mail)), messages))
            return SaveOutcome::Refused;
    }
    if (isNew)
        table->append();
    else
        table->edit();
    QString error;
    for (const auto& [name, text] : values) {
        if (isAutoIncrement(*table, name))
            continue; // assigned by the engine
        if (!table->setString(name, text, &error)) {
            table->cancel();
            messages.error(error);
            return SaveOutcome::Failed;
        }
    }
    if (!table->post(&error)) {
        table->cancel();
        messages.error(error);
        return SaveOutcome::Failed;
    }
    // Show the saved record as stored, with whatever else changed meanwhile.
    const qint64 id = table->currentId();
    table->refresh();
    table->locateId(id);
    return SaveOutcome::Saved;
}

bool DeleteCurrentRecord(DatabaseSession& session, Messages& messages) {
    AddressTable* table = session.currentTable();
    if (!table || table->recordCount() == 0)
        return false;
    if (!messages.destructiveQuestion(QStringLiteral("Datensatz wirklich löschen?")))
        return false;
    QString error;
    if (!table->deleteRecord(&error)) {
        messages.error(error);
        return false;
    }
    return true;
}

bool SetColumnContent(DatabaseSession& session, const QString& fieldName, const QString& value,
                      bool onlyMarked, const Progress& status, Messages& messages) {
    AddressTable* table = session.currentTable();
    if (!table)
        return false;
    table->setFiltered(false);
    table->setFilter(QString());
    table->first();
    RecordCondition where;
    if (onlyMarked) {
        QString error;
        where = table->conditionFromFilter(SystemColumns::markedFilter, &error);
        if (!error.isEmpty()) {
            messages.error(error);
            return false;
        }
    }
    auto report = [&](const QString& text) { status.text(text); };
    table->disableControls();
    QString error;
    const qint64 changed = table->updateRecords(
        table->viewIds(), {{fieldName, QVariant(value)}}, where,
        [&](qint64 done, qint64 total) {
            report(QStringLiteral("Spaltenbearbeitung: ") + QString::number(done) +
                   QStringLiteral(" von ") + QString::number(total));
        },
        &error);
    table->first();
    table->enableControls();
    report(QString());
    if (changed < 0) {
        messages.error(error);
        return false;
    }
    return true;
}
