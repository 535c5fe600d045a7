#pragma once
// A critical section that lives as long as its owner, and the scope that
// holds it: entered on construction, left on every way out.
#include <windows.h>

class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&section_); }
    ~CriticalSection() { DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    class Hold {
    public:
        explicit Hold(CriticalSection& lock) : lock_(lock) { EnterCriticalSection(&lock_.section_); }
        ~Hold() { LeaveCriticalSection(&lock_.section_); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        CriticalSection& lock_;
    };

private:
    CRITICAL_SECTION section_;
};
