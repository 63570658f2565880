#pragma once
#include "database/DatabaseTestSupport.h"
#include "exchange/ImportOptions.h"
#include "hygiene/HygieneTestSupport.h"

#include <QDate>
#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>

// The standard database open (with feedback() recording the progress texts and the
// busy cursor), and helpers to write import files and read records.
class ImportFixture : public HygieneFixture {
protected:
    // Options mapping the named fields to columns; every other target field gets 0.
    ImportOptions optionsFor(const QList<QPair<QString, int>>& mapping,
                             const QString& delimiter = QStringLiteral(";")) const {
        ImportOptions o;
        for (const FieldDefinition& f : state.session.definition().targetFields()) {
            o.fieldNames << f.name;
            int column = 0;
            for (const auto& [name, n] : mapping)
                if (name == f.name)
                    column = n;
            o.columns << column;
        }
        o.delimiter = delimiter;
        return o;
    }

    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = folder.file(name);
        writeBytes(path, bytes);
        return path;
    }

    // The named fields of every record in id order, as the user sees them.
    QList<QStringList> records(const QStringList& fields) const {
        QList<QStringList> out;
        for (qint64 id : table->tableIds()) {
            const QVariantList values = table->recordValues(id);
            QStringList row;
            for (const QString& f : fields) {
                const int i = table->fieldIndex(f);
                row << (i >= 0 && !values[i].isNull() ? values[i].toString() : QString());
            }
            out << row;
        }
        return out;
    }
};

// Runs /usr/bin/python3 with the script; fails the test when it does not succeed.
inline void writeWithPython(const QString& script, const QStringList& args = {}) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral("-c"), script} + args);
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
}
