#include "ClassFactory.h"

#include <new>

#include "ComObject.h"
#include "CriticalSection.h"
#include "GuardModule.h"
#include "IEWebGuard.h"

namespace {

// Two threads that ask at once get the same class object.
struct FactorySlot {
    CriticalSection lock;
    CGuardClassFactory* factory = nullptr;
};

FactorySlot& Slot()
{
    static FactorySlot slot;
    return slot;
}

}  // namespace

CGuardClassFactory* CGuardClassFactory::Instance()
{
    FactorySlot& slot = Slot();
    const CriticalSection::Hold hold(slot.lock);
    if (!slot.factory)
        slot.factory = new (std::nothrow) CGuardClassFactory;
    return slot.factory;
}

void CGuardClassFactory::ReleaseInstance()
{
    FactorySlot& slot = Slot();
    const CriticalSection::Hold hold(slot.lock);
    if (slot.factory && InterlockedDecrement(&slot.factory->refs_) == 0)
        delete slot.factory;
    slot.factory = nullptr;
}

HRESULT CGuardClassFactory::QueryInterface(REFIID iid, void** out)
{
    return QueryOwnInterface(static_cast<IClassFactory*>(this), IID_IClassFactory, iid, out);
}

// References from outside the module keep it loaded.
ULONG CGuardClassFactory::AddRef()
{
    guard_module::Lock();
    return InterlockedIncrement(&refs_);
}

ULONG CGuardClassFactory::Release()
{
    const LONG left = InterlockedDecrement(&refs_);
    guard_module::Unlock();
    if (left == 0)
        delete this;
    return left;
}

HRESULT CGuardClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out)
{
    return IEWebGuard::Create(outer, iid, out);
}

HRESULT CGuardClassFactory::LockServer(BOOL lock)
{
    if (lock)
        guard_module::Lock();
    else
        guard_module::Unlock();
    return S_OK;
}
