#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "JumpListApi.h"
#include "JumpListCleaner.h"

namespace {

// Objects of the fake list live as long as the test: no counting.
template <typename I, const IID* own>
struct Fake : I {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, *own) ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

struct Item : Fake<IShellItem, &IID_IShellItem> {
    Item(std::wstring url, bool pinned = false) : url(std::move(url)), pinned(pinned) {}
    std::wstring url;
    bool pinned;
    HRESULT STDMETHODCALLTYPE BindToHandler(IBindCtx*, REFGUID, REFIID, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetParent(IShellItem**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAttributes(SFGAOF, SFGAOF*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Compare(IShellItem*, SICHINTF, int*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDisplayName(SIGDN form, LPWSTR* name) override
    {
        if (form != SIGDN_URL)
            return E_FAIL;
        *name = static_cast<LPWSTR>(CoTaskMemAlloc((url.size() + 1) * sizeof(wchar_t)));
        std::copy(url.c_str(), url.c_str() + url.size() + 1, *name);
        return S_OK;
    }
};

struct Array : Fake<IObjectArray, &IID_IObjectArray> {
    std::vector<Item*> items;
    HRESULT STDMETHODCALLTYPE GetCount(UINT* count) override { return *count = static_cast<UINT>(items.size()), S_OK; }
    HRESULT STDMETHODCALLTYPE GetAt(UINT i, REFIID iid, void** out) override { return items.at(i)->QueryInterface(iid, out); }
};

// As the documentation has it: a pinned item is still listed, and removing
// it clears its usage data only.
struct JumpList : IApplicationDocumentLists, IApplicationDestinations {
    std::vector<Item*> recent, frequent;
    std::vector<std::wstring> appIds;
    bool removedAll = false;
    Array listed;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (IsEqualIID(iid, jumplist::kIidApplicationDocumentLists))
            *out = static_cast<IApplicationDocumentLists*>(this);
        else if (IsEqualIID(iid, jumplist::kIidApplicationDestinations))
            *out = static_cast<IApplicationDestinations*>(this);
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE SetAppID(LPCWSTR id) override { return appIds.push_back(id), S_OK; }
    HRESULT STDMETHODCALLTYPE GetList(APPDOCLISTTYPE type, UINT, REFIID iid, void** out) override
    {
        listed.items = type == ADLT_RECENT ? recent : frequent;
        return listed.QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE RemoveDestination(IUnknown* unknown) override
    {
        IShellItem* shellItem = nullptr;
        if (FAILED(unknown->QueryInterface(IID_IShellItem, reinterpret_cast<void**>(&shellItem))))
            return E_INVALIDARG;
        auto* item = static_cast<Item*>(shellItem);
        for (auto* list : {&recent, &frequent})
            if (!item->pinned)
                list->erase(std::remove(list->begin(), list->end(), item), list->end());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RemoveAllDestinations() override { return removedAll = true, S_OK; }
};
JumpList* g_list = nullptr;

HRESULT WINAPI Create(REFCLSID clsid, LPUNKNOWN, DWORD, REFIID iid, LPVOID* out)
{
    *out = nullptr;
    if (!g_list || (!IsEqualCLSID(clsid, jumplist::kClsidApplicationDocumentLists) &&
                    !IsEqualCLSID(clsid, jumplist::kClsidApplicationDestinations)))
        return REGDB_E_CLASSNOTREG;
    return g_list->QueryInterface(iid, out);
}

TEST(JumpListTest, TheSitesRecentAndFrequentItemsGoWhilePinnedOnesAndOtherSitesStay)
{
    Item recent(L"http://www.site.test/a.html"), frequent(L"https://site.test/"),
        pinned(L"http://site.test/pinned.html", true), other(L"http://other.test/?q=1"),
        notSite(L"http://notsite.test/");
    JumpList list;
    list.recent = {&recent, &pinned, &other, &notSite};
    list.frequent = {&frequent, &pinned, &recent};
    const JumpListApi saved = JumpLists();
    JumpLists().Create = &Create;
    g_list = &list;
    CleanJumpList(CCleaningRule("site.test"));
    g_list = nullptr;
    CleanJumpList(CCleaningRule("site.test"));  // no such classes (before Windows 7): nothing happens
    JumpLists() = saved;

    EXPECT_EQ((std::vector<Item*>{&pinned, &other, &notSite}), list.recent);
    EXPECT_EQ(std::vector<Item*>{&pinned}, list.frequent);
    EXPECT_EQ(std::vector<std::wstring>(2, kBrowserAppId), list.appIds) << "both classes speak of the browser's list";
    EXPECT_FALSE(list.removedAll);
}

}  // namespace
