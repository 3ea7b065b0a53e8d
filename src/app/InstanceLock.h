#pragma once
// Refuses a second running copy: a lock file in the program folder, held for the life of the
// process. A copy that died leaves a stale lock, which the next start takes over.

#include <QLockFile>
#include <memory>

namespace lumaro::app {

class InstanceLock {
public:
    // False when another running copy holds the lock. When no lock file can be written the
    // check cannot be made: that is logged and the program runs.
    bool acquire();
    // After acquire() returned false: the process id of the copy that holds the lock; 0 when
    // the lock file does not say.
    qint64 owner() const;

private:
    std::unique_ptr<QLockFile> m_lock;
};

}  // namespace lumaro::app
