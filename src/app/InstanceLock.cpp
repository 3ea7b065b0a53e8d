#include "app/InstanceLock.h"

#include "config/Settings.h"

namespace lumaro::app {

bool InstanceLock::acquire() {
    m_lock = std::make_unique<QLockFile>(
        config::programPath(config::executableBaseName() + QStringLiteral(".lock")));
    // Only a dead owner makes the lock stale: a copy that runs for days keeps it.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) return true;
    if (m_lock->error() == QLockFile::LockFailedError) {
        // The copy that holds the lock keeps its file open (Windows: without letting it be
        // deleted; elsewhere: under a file lock), so a file that can be removed was left by a
        // copy that was killed or lost with the power. Its process id may since have gone to
        // another program of the same name, after a restart even to this one, which the
        // owner's id alone cannot tell.
        return m_lock->removeStaleLockFile() && m_lock->tryLock(0);
    }
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
