#pragma once
// Module-wide state of the guard server: the lock count that decides whether
// the DLL may unload, and the type information of IIEWebGuard, loaded from the
// registered type library once and held until the module goes.
#include <windows.h>
#include <oaidl.h>

namespace guard_module {

void Lock();
void Unlock();
LONG LockCount();

// Holds one lock on the module for its own life.
class ModuleLock {
public:
    ModuleLock() { Lock(); }
    ModuleLock(const ModuleLock&) = delete;
    ModuleLock& operator=(const ModuleLock&) = delete;
    ~ModuleLock() { Unlock(); }
};

// The type information of IIEWebGuard, or null while the library is not registered.
ITypeInfo* GuardTypeInfo();

// Releases what the module holds; called when the process detaches.
void Terminate();

}  // namespace guard_module
