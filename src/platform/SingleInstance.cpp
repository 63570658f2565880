#include "platform/SingleInstance.h"

#include <QDir>

SingleInstance::SingleInstance() : m_path(defaultLockPath()) {}

SingleInstance::SingleInstance(QString lockPath) : m_path(std::move(lockPath)) {}

QString SingleInstance::defaultLockPath() {
    return QDir::tempPath() + QStringLiteral("/Quillon.instance.lock");
}

bool SingleInstance::acquire() {
    if (m_lock.isLocked())
        return true;
    return m_lock.tryLock(m_path);
}
