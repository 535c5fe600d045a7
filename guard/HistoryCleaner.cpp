#include "HistoryCleaner.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <memory>

#include "AnsiText.h"
#include "ComApartment.h"
#include "ComPtr.h"
#include "Handle.h"
#include "ShellApi.h"

namespace {

const UINT kDeleteTimerMs = 10;
const UINT kGiveUpTimerMs = 100;
// A question the shell asks inside a delete that nobody has answered by then
// is declined: the walk runs on a thread of its own, whose dialog the
// browser may never show to a person.
const DWORD kLongestQuestionMs = 3000;
const std::size_t kNameBufferSize = 260;
const DWORD kNoConsole = 0x00008000;  // CMIC_MASK_NO_CONSOLE; the no-UI flag stays off

using StrRetToBufWFn = HRESULT(WINAPI*)(STRRET*, LPCITEMIDLIST, LPWSTR, UINT);

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

// The confirmation timer of one delete. The shell asks inside the delete
// command, in a modal loop; once the command has returned there is nothing
// left to answer, and a timer left ticking in the thread's loop would only
// spend the process's budget of ticks.
class ConfirmationTimer {
public:
    explicit ConfirmationTimer(UINT ms) : id_(SetTimer(nullptr, 0, ms, WarningTimerProc)) {}
    ConfirmationTimer(const ConfirmationTimer&) = delete;
    ConfirmationTimer& operator=(const ConfirmationTimer&) = delete;
    ~ConfirmationTimer()
    {
        if (id_)
            KillTimer(nullptr, id_);
    }

private:
    UINT_PTR id_;
};

// The deadline of the walk running on this thread, for its timers, and when
// the delete under way began (0 for none).
thread_local const CPassDeadline* tWalkDeadline = nullptr;

thread_local DWORD tDeleteStarted = 0;

bool WalkGivenUp()
{
    return (tWalkDeadline && tWalkDeadline->Passed()) ||
           (tDeleteStarted && GetTickCount() - tDeleteStarted >= kLongestQuestionMs);
}

void CALLBACK GiveUpTimerProc(HWND, UINT, UINT_PTR, DWORD);

// The walk's deadline for this thread, and a timer of its own that watches
// it: the confirmation timers may have spent their budget long before.
class WalkDeadlineScope {
public:
    explicit WalkDeadlineScope(const CPassDeadline& deadline)
        : saved_(tWalkDeadline), timer_(SetTimer(nullptr, 0, kGiveUpTimerMs, GiveUpTimerProc))
    {
        tWalkDeadline = &deadline;
    }
    WalkDeadlineScope(const WalkDeadlineScope&) = delete;
    WalkDeadlineScope& operator=(const WalkDeadlineScope&) = delete;
    ~WalkDeadlineScope()
    {
        if (timer_)
            KillTimer(nullptr, timer_);
        tWalkDeadline = saved_;
    }

private:
    const CPassDeadline* saved_;
    UINT_PTR timer_;
};

// Everything one run of the walk needs besides the current folder.
struct HistoryWalk {
    IMalloc* malloc;
    StrRetToBufWFn strRetToBuf;
    const CCleaningRule& rule;
    const CPassDeadline& deadline;

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

    // The item's in-folder name, as the shell spells it (never through a
    // best-fit conversion), cut to what the buffer holds.
    bool Name(IShellFolder* folder, LPCITEMIDLIST pidl, wchar_t (&name)[kNameBufferSize]) const
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
        wchar_t name[kNameBufferSize] = {};
        if (!Name(folder, pidl, name) || !rule.RemovesName(name))
            return;
        ComPtr<IContextMenu> menu;
        if (FAILED(folder->GetUIObjectOf(nullptr, 1, &pidl, IID_IContextMenu, nullptr, menu.PutVoid())) || !menu)
            return;
        CMINVOKECOMMANDINFO command{};
        command.cbSize = sizeof command;
        command.fMask = kNoConsole;
        command.lpVerb = "delete";
        command.nShow = SW_HIDE;
        // Only a delete can raise the confirmation: the process's budget of
        // ticks without one is spent on deletes alone.
        const ConfirmationTimer timer(kDeleteTimerMs);
        tDeleteStarted = GetTickCount() | 1;
        menu->InvokeCommand(&command);
        tDeleteStarted = 0;
    }

    void CleanFirstLevelItem(IShellFolder* history, LPCITEMIDLIST pidl) const
    {
        ComPtr<IShellFolder> folder = Bind(history, pidl);
        if (!folder)
            return;
        ComPtr<IEnumIDList> items = Enumerate(folder.Get());
        if (!items)
            return;
        while (!deadline.Passed()) {
            const auto item = Next(items.Get());
            if (!item)
                break;
            DeleteIfMatching(folder.Get(), item->Get());
        }
    }
};

}  // namespace

volatile LONG& HistoryRetryBudget()
{
    static volatile LONG budget = 1000;
    return budget;
}

void CleanHistory(const CCleaningRule& rule, const CPassDeadline& deadline)
{
    const WalkDeadlineScope scope(deadline);
    LibraryHandle shlwapi(LoadLibraryA(ShellNamespace().ShlwapiName));
    auto strRetToBuf =
        shlwapi ? reinterpret_cast<StrRetToBufWFn>(reinterpret_cast<void*>(GetProcAddress(shlwapi.Get(), "StrRetToBufW"))) : nullptr;
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

    const HistoryWalk walk{malloc.Get(), strRetToBuf, rule, deadline};
    ComPtr<IShellFolder> history = walk.Bind(desktop.Get(), historyItem.Get());
    if (!history)
        return;
    ComPtr<IEnumIDList> firstLevel = walk.Enumerate(history.Get());
    if (!firstLevel)
        return;
    while (!deadline.Passed()) {
        const auto item = walk.Next(firstLevel.Get());
        if (!item)
            break;
        walk.CleanFirstLevelItem(history.Get(), item->Get());
    }
}

namespace {

bool IsDialog(HWND window)
{
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    return lstrcmpA(className, "#32770") == 0;
}

BOOL CALLBACK StopAtWarningDialog(HWND window, LPARAM found)
{
    char title[16] = {};
    GetWindowTextA(window, title, sizeof title);
    // The title is compared as FindWindowA compares it: without regard to case.
    if (!IsDialog(window) || lstrcmpiA(title, "WARNING") != 0)
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

// Declines a confirmation the walk can no longer wait for: No for a
// question, Cancel for a dialog without one.
BOOL CALLBACK DeclineDialog(HWND window, LPARAM)
{
    if (IsDialog(window) && IsWindowVisible(window)) {
        PostMessageA(window, WM_COMMAND, IDNO, 0);
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    }
    return TRUE;
}

void CALLBACK GiveUpTimerProc(HWND, UINT, UINT_PTR, DWORD)
{
    if (WalkGivenUp())
        EnumThreadWindows(GetCurrentThreadId(), DeclineDialog, 0);
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
