#pragma once
// The moment, by the tick count, after which a cleaning pass gives up what it
// has not done yet; by default a pass never gives up. Another thread may cut
// a pass short too, through a flag it raises: the pass sees it between two
// items, as it sees the time.
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
    // This deadline, or earlier once the flag is raised (not 0).
    CPassDeadline CutBy(const volatile LONG* cut) const
    {
        CPassDeadline deadline = *this;
        deadline.cut_ = cut;
        return deadline;
    }
    bool IsSet() const { return set_; }
    // Compared as a difference: right across the tick count's wrap.
    bool Passed() const
    {
        return (set_ && static_cast<LONG>(GetTickCount() - at_) >= 0) || (cut_ && *cut_ != 0);
    }
    // The milliseconds left, 0 once passed; INFINITE for a pass that never gives up.
    DWORD Left() const
    {
        if (!set_)
            return INFINITE;
        const LONG left = static_cast<LONG>(at_ - GetTickCount());
        return left > 0 ? static_cast<DWORD>(left) : 0;
    }
    // The earlier of two deadlines.
    static CPassDeadline Earlier(const CPassDeadline& a, const CPassDeadline& b)
    {
        if (!a.set_ || !b.set_)
            return a.set_ ? a : b;
        return static_cast<LONG>(a.at_ - b.at_) <= 0 ? a : b;
    }

private:
    bool set_ = false;
    DWORD at_ = 0;
    const volatile LONG* cut_ = nullptr;
};
