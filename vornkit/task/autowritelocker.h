#pragma once

#include "sys/vornkit_global.h"

#include <QReadWriteLock>

// Holds a write lock on a QReadWriteLock while it lives (when asked to lock at all).
class VORNKIT_EXPORT AutoWriteLocker {
public:
    AutoWriteLocker(QReadWriteLock* lock, bool doLock);
    ~AutoWriteLocker();
    AutoWriteLocker(const AutoWriteLocker&) = delete;
    AutoWriteLocker& operator=(const AutoWriteLocker&) = delete;

    void unlock();
    void relock();
    QReadWriteLock* lock() const { return m_lock; }

private:
    QReadWriteLock* m_lock;
    bool m_locked = false;
};
