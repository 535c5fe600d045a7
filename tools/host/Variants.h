#pragma once
// The VARIANT arguments of the events our browser stand-ins fire: owned
// text, and the by-reference and dispatch forms the platform passes.
#include <windows.h>
#include <oleauto.h>

#include <string>

// A VARIANT that owns its string.
struct OwnedVariant {
    VARIANT v;
    OwnedVariant() { VariantInit(&v); }
    explicit OwnedVariant(const std::wstring& text)
    {
        VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }
    ~OwnedVariant() { VariantClear(&v); }
    OwnedVariant(const OwnedVariant&) = delete;
    OwnedVariant& operator=(const OwnedVariant&) = delete;
};

inline VARIANT ByRef(VARIANT& inner)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BYREF | VT_VARIANT;
    v.pvarVal = &inner;
    return v;
}

inline VARIANT ByRefBool(VARIANT_BOOL& flag)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BYREF | VT_BOOL;
    v.pboolVal = &flag;
    return v;
}

inline VARIANT Dispatch(IDispatch* object)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DISPATCH;
    v.pdispVal = object;
    return v;
}
