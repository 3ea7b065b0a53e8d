#include "app/InstanceLock.h"

#include "config/Settings.h"

namespace lumaro::app {

bool InstanceLock::acquire() {
    m_lock = std::make_unique<QLockFile>(
        config::programPath(config::executableBaseName() + QStringLiteral(".lock")));
    // Only a dead owner makes the lock stale: a copy that runs for days keeps it.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) return true;
    if (m_lock->error() == QLockFile::LockFailedError) return false;
    // The check cannot be made (folder not writable): run, and say so.
    config::EscribirLog(QStringLiteral("No se pudo crear el archivo de bloqueo ") +
                        m_lock->fileName());
    return true;
}

qint64 InstanceLock::owner() const {
    qint64 pid = 0;
    QString host, app;
    if (!m_lock || !m_lock->getLockInfo(&pid, &host, &app)) return 0;
    return pid;
}

}  // namespace lumaro::app
