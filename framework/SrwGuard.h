// Holds a slim reader/writer lock exclusively for a scope.
#pragma once

#include <windows.h>

class SrwGuard {
public:
    explicit SrwGuard(SRWLOCK& lock) noexcept : m_lock(lock) { ::AcquireSRWLockExclusive(&m_lock); }
    SrwGuard(const SrwGuard&) = delete;
    SrwGuard& operator=(const SrwGuard&) = delete;
    ~SrwGuard() { ::ReleaseSRWLockExclusive(&m_lock); }

private:
    SRWLOCK& m_lock;
};
