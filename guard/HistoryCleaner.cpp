#include "HistoryCleaner.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <memory>

#include "AnsiText.h"
#include "ComPtr.h"
#include "Handle.h"
#include "ShellApi.h"

namespace {

const UINT kItemTimerMs = 20;
const UINT kDeleteTimerMs = 10;
const std::size_t kNameBufferSize = 260;
const DWORD kNoConsole = 0x00008000;  // CMIC_MASK_NO_CONSOLE; the no-UI flag stays off

using StrRetToBufAFn = HRESULT(WINAPI*)(STRRET*, LPCITEMIDLIST, LPSTR, UINT);

// Frees an item identifier list with the shell allocator of the run.
class OwnedPidl {
public:
    OwnedPidl(IMalloc* malloc, LPITEMIDLIST pidl) : malloc_(malloc), pidl_(pidl) {}
    OwnedPidl(const OwnedPidl&) = delete;
    OwnedPidl& operator=(const OwnedPidl&) = delete;
    ~OwnedPidl()
    {
        if (pidl_)
            malloc_->Free(pidl_);
    }
    LPITEMIDLIST Get() const { return pidl_; }

private:
    IMalloc* malloc_;
    LPITEMIDLIST pidl_;
};

class ComApartment {
public:
    ComApartment() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment()
    {
        if (initialised_)
            CoUninitialize();
    }

private:
    bool initialised_;
};

void ArmTimer(UINT ms) { SetTimer(nullptr, 0, ms, WarningTimerProc); }

// Everything one run of the walk needs besides the current folder.
struct HistoryWalk {
    IMalloc* malloc;
    StrRetToBufAFn strRetToBuf;
    const CCleaningRule& rule;

    // The next item of an enumerator, or an empty owner at the end.
    std::unique_ptr<OwnedPidl> Next(IEnumIDList* items) const
    {
        LPITEMIDLIST pidl = nullptr;
        ULONG fetched = 0;
        if (items->Next(1, &pidl, &fetched) != S_OK || !pidl)
            return nullptr;
        return std::make_unique<OwnedPidl>(malloc, pidl);
    }

    ComPtr<IEnumIDList> Enumerate(IShellFolder* folder) const
    {
        ComPtr<IEnumIDList> items;
        if (FAILED(folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, items.Put())))
            items.Reset();
        return items;
    }

    ComPtr<IShellFolder> Bind(IShellFolder* parent, LPCITEMIDLIST pidl) const
    {
        ComPtr<IShellFolder> folder;
        if (FAILED(parent->BindToObject(pidl, nullptr, IID_IShellFolder, folder.PutVoid())))
            folder.Reset();
        return folder;
    }

    // The item's in-folder name as ANSI text, cut to what the buffer holds.
    bool Name(IShellFolder* folder, LPCITEMIDLIST pidl, char (&name)[kNameBufferSize]) const
    {
        // Asked only when it can be converted: a name given as an allocated
        // string is freed by the conversion alone.
        if (!strRetToBuf)
            return false;
        STRRET strret{};
        if (FAILED(folder->GetDisplayNameOf(pidl, SHGDN_INFOLDER, &strret)))
            return false;
        if (FAILED(strRetToBuf(&strret, pidl, name, kNameBufferSize)))
            return false;
        name[kNameBufferSize - 1] = '\0';  // a conversion that ran out of room need not end the text
        return true;
    }

    void DeleteIfMatching(IShellFolder* folder, LPCITEMIDLIST pidl) const
    {
        ArmTimer(kItemTimerMs);
        char name[kNameBufferSize] = {};
        if (!Name(folder, pidl, name) || !rule.Removes(name))
            return;
        ComPtr<IContextMenu> menu;
        if (FAILED(folder->GetUIObjectOf(nullptr, 1, &pidl, IID_IContextMenu, nullptr, menu.PutVoid())) || !menu)
            return;
        CMINVOKECOMMANDINFO command{};
        command.cbSize = sizeof command;
        command.fMask = kNoConsole;
        command.lpVerb = "delete";
        command.nShow = SW_HIDE;
        ArmTimer(kDeleteTimerMs);
        menu->InvokeCommand(&command);
    }

    void CleanFirstLevelItem(IShellFolder* history, LPCITEMIDLIST pidl) const
    {
        ComPtr<IShellFolder> folder = Bind(history, pidl);
        if (!folder)
            return;
        ComPtr<IEnumIDList> items = Enumerate(folder.Get());
        if (!items)
            return;
        while (auto item = Next(items.Get()))
            DeleteIfMatching(folder.Get(), item->Get());
    }
};

}  // namespace

volatile LONG& HistoryRetryBudget()
{
    static volatile LONG budget = 1000;
    return budget;
}

void CleanHistory(const CCleaningRule& rule)
{
    LibraryHandle shlwapi(LoadLibraryA(ShellNamespace().ShlwapiName));
    auto strRetToBuf =
        shlwapi ? reinterpret_cast<StrRetToBufAFn>(reinterpret_cast<void*>(GetProcAddress(shlwapi.get(), "StrRetToBufA"))) : nullptr;
    ComApartment apartment;

    ComPtr<IMalloc> malloc;
    ComPtr<IShellFolder> desktop;
    LPITEMIDLIST historyPidl = nullptr;
    if (FAILED(ShellNamespace().GetMalloc(malloc.Put())) || !malloc)
        return;
    if (FAILED(ShellNamespace().GetDesktopFolder(desktop.Put())) || !desktop)
        return;
    if (FAILED(ShellNamespace().GetSpecialFolderLocation(nullptr, CSIDL_HISTORY, &historyPidl)) || !historyPidl)
        return;
    OwnedPidl historyItem(malloc.Get(), historyPidl);

    const HistoryWalk walk{malloc.Get(), strRetToBuf, rule};
    ComPtr<IShellFolder> history = walk.Bind(desktop.Get(), historyItem.Get());
    if (!history)
        return;
    ComPtr<IEnumIDList> firstLevel = walk.Enumerate(history.Get());
    if (!firstLevel)
        return;
    while (auto item = walk.Next(firstLevel.Get()))
        walk.CleanFirstLevelItem(history.Get(), item->Get());
}

namespace {

BOOL CALLBACK StopAtWarningDialog(HWND window, LPARAM found)
{
    char className[16] = {};
    char title[16] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    // The title is compared as FindWindowA compares it: without regard to case.
    if (lstrcmpA(className, "#32770") != 0 || lstrcmpiA(title, "WARNING") != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The "WARNING" dialog of the calling thread. Only this thread's dialog is
// the shell's confirmation of our delete; another program's dialog with the
// same title must never be answered for the user.
HWND FindOwnWarningDialog()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), StopAtWarningDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

}  // namespace

void CALLBACK WarningTimerProc(HWND window, UINT, UINT_PTR timerId, DWORD)
{
    HWND dialog = FindOwnWarningDialog();
    HWND firstChild = dialog ? GetWindow(dialog, GW_CHILD) : nullptr;
    if (firstChild) {
        SendMessageA(firstChild, WM_LBUTTONDOWN, MK_LBUTTON, 1);
        SendMessageA(firstChild, WM_LBUTTONUP, MK_LBUTTON, 1);
        KillTimer(window, timerId);
        return;
    }
    if (InterlockedDecrement(&HistoryRetryBudget()) < 0)
        KillTimer(window, timerId);
}
