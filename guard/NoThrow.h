#pragma once
// Runs the work and keeps what it throws (a failed allocation) from leaving
// through a COM method or a thread's start routine; whether it ran to its end.
template <typename Work>
bool NoThrow(Work work)
{
    try {
        work();
        return true;
    } catch (...) {
        return false;
    }
}
