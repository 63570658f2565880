#pragma once
#include "database/AddressTable.h"
#include "database/Catalogue.h"
#include "database/DatabaseTestSupport.h"
#include "shell/AppState.h"
#include "support/ScriptedMessages.h"
#include "support/TempProgramFolder.h"

#include <QPair>
#include <gtest/gtest.h>

// The question before a record with an address already in the table is saved.
inline QString duplicateQuestion(const QString& line) {
    return "Ein Datensatz mit der Emailadresse " + line +
           " befindet sich bereits in der Datenbank! Wollen Sie diesen Datensatz trotzdem "
           "hinzufügen???";
}

// A program folder with the standard database open and a few helpers to fill it.
class OpenStandardDatabase : public StandardDatabaseTest {
protected:
    // Appends and posts a record with these field texts.
    void add(const QList<QPair<QString, QString>>& fields) {
        table->append();
        for (const auto& [name, text] : fields)
            ASSERT_TRUE(table->setString(name, text)) << name.toStdString();
        QString error;
        ASSERT_TRUE(table->post(&error)) << error.toStdString();
    }

    // The field's text of every record of the table, in primary order.
    QStringList column(const QString& field) const {
        QStringList texts;
        const int i = table->fieldIndex(field);
        for (qint64 id : table->tableIds())
            texts << storedText(table->recordValues(id).value(i), table->fieldType(i));
        return texts;
    }

    static QString storedText(const QVariant& v, FieldType type) {
        if (type == FieldType::Boolean)
            return v.toLongLong() ? QStringLiteral("True") : QStringLiteral("False");
        return v.isNull() ? QString() : v.toString();
    }
};
