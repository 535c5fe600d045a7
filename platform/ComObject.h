#pragma once
// What the small COM objects of this code share: the QueryInterface of an
// object that is one interface, and a reference count for objects made with
// new (std::nothrow) that delete themselves at the last Release.
#include <oaidl.h>
#include <unknwn.h>

// QueryInterface for an object that answers only IUnknown and its own
// interface: itself, with a reference added.
template <typename Interface>
HRESULT QueryOwnInterface(Interface* self, REFIID own, REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, own))
        return E_NOINTERFACE;
    *out = self;
    self->AddRef();
    return S_OK;
}

// An IDispatch that is only ever invoked (an event sink): no type
// information, no names.
class EventDispatch : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
};

// One reference count, on the object's own thread.
template <typename Self>
class RefCounted {
public:
    ULONG AddRefImpl() { return ++refs_; }
    ULONG ReleaseImpl()
    {
        const ULONG left = --refs_;
        if (left == 0)
            delete static_cast<Self*>(this);
        return left;
    }

private:
    ULONG refs_ = 1;
};
