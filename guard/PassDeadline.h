#pragma once
// The moment, by the tick count, after which a cleaning pass gives up what it
// has not done yet; by default a pass never gives up.
#include <windows.h>

class CPassDeadline {
public:
    CPassDeadline() = default;
    static CPassDeadline In(DWORD milliseconds)
    {
        CPassDeadline deadline;
        deadline.set_ = true;
        deadline.at_ = GetTickCount() + milliseconds;
        return deadline;
    }
    bool IsSet() const { return set_; }
    // Compared as a difference: right across the tick count's wrap.
    bool Passed() const { return set_ && static_cast<LONG>(GetTickCount() - at_) >= 0; }

private:
    bool set_ = false;
    DWORD at_ = 0;
};
