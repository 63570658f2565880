#pragma once
#include <QString>
#include <QTemporaryDir>

// A fresh, empty program folder for one test, removed afterwards.
class TempProgramFolder {
public:
    TempProgramFolder() { m_dir.setAutoRemove(true); }
    QString path() const { return m_dir.path() + QStringLiteral("/"); }
    QString file(const QString& name) const { return path() + name; }
    bool isValid() const { return m_dir.isValid(); }

private:
    QTemporaryDir m_dir;
};
