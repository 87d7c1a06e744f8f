#pragma once
// CCriticalSection and CSingleLock: a lock within one process, and its holder
// for one scope. A critical section exists on every Windows pelko serves.
#include <windows.h>

class CCriticalSection {
public:
    CCriticalSection() { ::InitializeCriticalSection(&m_sect); }
    ~CCriticalSection() { ::DeleteCriticalSection(&m_sect); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    void Lock() { ::EnterCriticalSection(&m_sect); }
    void Unlock() { ::LeaveCriticalSection(&m_sect); }

private:
    CRITICAL_SECTION m_sect;
};

// Holds the lock from construction to the end of the scope.
class CSingleLock {
public:
    explicit CSingleLock(CCriticalSection& lock) : m_lock(lock) { m_lock.Lock(); }
    ~CSingleLock() { m_lock.Unlock(); }
    CSingleLock(const CSingleLock&) = delete;
    CSingleLock& operator=(const CSingleLock&) = delete;

private:
    CCriticalSection& m_lock;
};
