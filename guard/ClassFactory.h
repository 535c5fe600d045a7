#pragma once
// The class object of IEWebGuard. The module keeps one, created at the first
// request; every reference handed out keeps the module loaded.
#include <windows.h>
#include <unknwn.h>

class CGuardClassFactory : public IClassFactory {
public:
    // The module's class object, created on first use (thread-safe).
    static CGuardClassFactory* Instance();
    // Drops the module's own reference when the process detaches.
    static void ReleaseInstance();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    CGuardClassFactory() = default;
    virtual ~CGuardClassFactory() = default;
    LONG refs_ = 1;  // the module's own reference, which does not lock it
};
