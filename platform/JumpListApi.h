#pragma once
// The taskbar's jump lists (Windows 7 and later): the classes that list an
// application's Recent and Frequent items and remove one, declared here as
// the platform declares them (its headers do so only for Windows 7 builds),
// and the call that makes them, as a table that tests point at a fake list.
// Nothing here is imported: on an older system the classes are missing and
// making them fails.
#include <windows.h>
#include <objectarray.h>
#include <shobjidl.h>

#ifndef __IApplicationDestinations_INTERFACE_DEFINED__
#define __IApplicationDestinations_INTERFACE_DEFINED__
MIDL_INTERFACE("12337d35-94c6-48a0-bce7-6a9c69d4d600")
IApplicationDestinations : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetAppID(LPCWSTR pszAppID) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveDestination(IUnknown* punk) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveAllDestinations() = 0;
};
#endif

#ifndef __IApplicationDocumentLists_INTERFACE_DEFINED__
#define __IApplicationDocumentLists_INTERFACE_DEFINED__
typedef enum APPDOCLISTTYPE { ADLT_RECENT = 0, ADLT_FREQUENT = 1 } APPDOCLISTTYPE;
MIDL_INTERFACE("3c594f9f-9f30-47a1-979a-c9e83d3d0a06")
IApplicationDocumentLists : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetAppID(LPCWSTR pszAppID) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetList(APPDOCLISTTYPE listtype, UINT cItemsDesired, REFIID riid,
                                              void** ppv) = 0;
};
#endif

namespace jumplist {

const IID kIidApplicationDestinations = {0x12337d35, 0x94c6, 0x48a0, {0xbc, 0xe7, 0x6a, 0x9c, 0x69, 0xd4, 0xd6, 0x00}};
const IID kIidApplicationDocumentLists = {0x3c594f9f, 0x9f30, 0x47a1, {0x97, 0x9a, 0xc9, 0xe8, 0x3d, 0x3d, 0x0a, 0x06}};
const CLSID kClsidApplicationDestinations = {0x86c14003, 0x4d6b, 0x4ef3, {0xa7, 0xb4, 0x05, 0x06, 0x66, 0x3b, 0x2e, 0x68}};
const CLSID kClsidApplicationDocumentLists = {0x86bec222, 0x30f2, 0x47e0, {0x9f, 0x25, 0x60, 0xd1, 0x1c, 0xd7, 0x5c, 0x28}};

}  // namespace jumplist

struct JumpListApi {
    decltype(&::CoCreateInstance) Create = &::CoCreateInstance;
};

// The table in force for the whole process.
JumpListApi& JumpLists();
