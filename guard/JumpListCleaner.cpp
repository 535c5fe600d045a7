#include "JumpListCleaner.h"

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "ComApartment.h"
#include "ComPtr.h"
#include "JumpListApi.h"

const wchar_t kBrowserAppId[] = L"Microsoft.InternetExplorer.Default";

namespace {

// A link's arguments: room for an address the browser is handed.
const int kArgumentsSize = 4096;

// A name the shell allocated, freed on every path.
class ShellName {
public:
    ShellName() = default;
    ShellName(const ShellName&) = delete;
    ShellName& operator=(const ShellName&) = delete;
    ~ShellName() { CoTaskMemFree(name_); }
    PWSTR* Put() { return &name_; }
    std::wstring Text() const { return name_ ? name_ : L""; }

private:
    PWSTR name_ = nullptr;
};

// What a shell item is known by: its address, and its parsing name.
void ItemNames(IShellItem* item, std::vector<std::wstring>& names)
{
    for (const SIGDN form : {SIGDN_URL, SIGDN_DESKTOPABSOLUTEPARSING}) {
        ShellName name;
        if (SUCCEEDED(item->GetDisplayName(form, name.Put())))
            names.push_back(name.Text());
    }
}

// What a link is known by: its target's address and parsing name (asked
// by name: Vista and later), and the arguments it hands the browser.
void LinkNames(IShellLinkW* link, std::vector<std::wstring>& names)
{
    using NameOfIdListFn = HRESULT(WINAPI*)(LPCITEMIDLIST, SIGDN, PWSTR*);
    static const auto nameOf = [] {
        HMODULE shell = GetModuleHandleA("shell32.dll");
        return shell ? reinterpret_cast<NameOfIdListFn>(
                           reinterpret_cast<void*>(GetProcAddress(shell, "SHGetNameFromIDList")))
                     : nullptr;
    }();
    LPITEMIDLIST target = nullptr;
    if (nameOf && SUCCEEDED(link->GetIDList(&target)) && target) {
        for (const SIGDN form : {SIGDN_URL, SIGDN_DESKTOPABSOLUTEPARSING}) {
            ShellName name;
            if (SUCCEEDED(nameOf(target, form, name.Put())))
                names.push_back(name.Text());
        }
        CoTaskMemFree(target);
    }
    std::vector<wchar_t> arguments(kArgumentsSize);
    if (SUCCEEDED(link->GetArguments(arguments.data(), kArgumentsSize))) {
        arguments.back() = L'\0';
        names.emplace_back(arguments.data());
    }
}

bool ItemOfTheSite(IUnknown* item, const CCleaningRule& rule)
{
    std::vector<std::wstring> names;
    ComPtr<IUnknown> unknown = ComPtr<IUnknown>::Share(item);
    if (const auto shellItem = unknown.As<IShellItem>(IID_IShellItem))
        ItemNames(shellItem.Get(), names);
    else if (const auto link = unknown.As<IShellLinkW>(IID_IShellLinkW))
        LinkNames(link.Get(), names);
    // Only an address says which site an item is: a link's target is the
    // browser itself, the same for every item ("...\iexplore.exe").
    for (const auto& name : names)
        if (name.find(L"://") != std::wstring::npos && rule.RemovesName(name))
            return true;
    return false;
}

void CleanList(IApplicationDocumentLists* lists, APPDOCLISTTYPE type, IApplicationDestinations* destinations,
               const CCleaningRule& rule, const CPassDeadline& deadline)
{
    ComPtr<IObjectArray> items;
    UINT count = 0;
    if (FAILED(lists->GetList(type, 0, IID_IObjectArray, items.PutVoid())) || !items || FAILED(items->GetCount(&count)))
        return;
    // The list is a copy: removing an item leaves its order as it was.
    for (UINT i = 0; i < count && !deadline.Passed(); ++i) {
        ComPtr<IUnknown> item;
        if (SUCCEEDED(items->GetAt(i, IID_IUnknown, item.PutVoid())) && item && ItemOfTheSite(item.Get(), rule))
            destinations->RemoveDestination(item.Get());
    }
}

}  // namespace

void CleanJumpList(const CCleaningRule& rule, const CPassDeadline& deadline)
{
    const ComApartment apartment;
    ComPtr<IApplicationDocumentLists> lists;
    ComPtr<IApplicationDestinations> destinations;
    if (FAILED(JumpLists().Create(jumplist::kClsidApplicationDocumentLists, nullptr, CLSCTX_INPROC_SERVER,
                                  jumplist::kIidApplicationDocumentLists, lists.PutVoid())) ||
        !lists ||
        FAILED(JumpLists().Create(jumplist::kClsidApplicationDestinations, nullptr, CLSCTX_INPROC_SERVER,
                                  jumplist::kIidApplicationDestinations, destinations.PutVoid())) ||
        !destinations)
        return;
    // The browser gives its windows an explicit id; the documentation asks
    // for it before a list is read or an item removed.
    if (FAILED(lists->SetAppID(kBrowserAppId)) || FAILED(destinations->SetAppID(kBrowserAppId)))
        return;
    for (const APPDOCLISTTYPE type : {ADLT_RECENT, ADLT_FREQUENT})
        CleanList(lists.Get(), type, destinations.Get(), rule, deadline);
}
