#include "GuardModule.h"

#include "ComPtr.h"
#include "CriticalSection.h"
#include "Vexmoor.h"

namespace guard_module {

namespace {

volatile LONG g_lockCount = 0;

struct TypeInfoCache {
    CriticalSection lock;
    ComPtr<ITypeInfo> info;
};

TypeInfoCache& Cache()
{
    static TypeInfoCache cache;
    return cache;
}

}  // namespace

void Lock() { InterlockedIncrement(&g_lockCount); }
void Unlock() { InterlockedDecrement(&g_lockCount); }
LONG LockCount() { return g_lockCount; }

ITypeInfo* GuardTypeInfo()
{
    TypeInfoCache& cache = Cache();
    const CriticalSection::Hold hold(cache.lock);
    if (!cache.info) {
        ComPtr<ITypeLib> library;
        if (SUCCEEDED(LoadRegTypeLib(LIBID_VEXMOORLib, 1, 0, 0, library.Put())))
            library->GetTypeInfoOfGuid(IID_IIEWebGuard, cache.info.Put());
    }
    return cache.info.Get();
}

void Terminate()
{
    TypeInfoCache& cache = Cache();
    const CriticalSection::Hold hold(cache.lock);
    cache.info.Reset();
}

}  // namespace guard_module
