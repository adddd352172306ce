#include "task/autowritelocker.h"

AutoWriteLocker::AutoWriteLocker(QReadWriteLock* lock, bool doLock)
    : m_lock(lock)
{
    if (doLock)
        relock();
}

AutoWriteLocker::~AutoWriteLocker()
{
    unlock();
}

void AutoWriteLocker::unlock()
{
    if (m_lock && m_locked) {
        m_lock->unlock();
        m_locked = false;
    }
}

void AutoWriteLocker::relock()
{
    if (m_lock && !m_locked) {
        m_lock->lockForWrite();
        m_locked = true;
    }
}
