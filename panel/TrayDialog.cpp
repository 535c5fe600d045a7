#include "TrayDialog.h"

#include <cstring>

#include "NotifyIconApi.h"

namespace {

// A shell that is busy may refuse an add for a moment: a hide that waits for
// the icon tries again this often, besides waiting for "TaskbarCreated".
const UINT_PTR kTrayRetryTimer = 0x7E1;
const UINT kTrayRetryMs = 1000;

}  // namespace

CTrayDialog::CTrayDialog(UINT templateId, UINT firstPage, HWND parent)
    : CMultiPageDHtmlDialog(templateId, firstPage, parent)
{
    notify_.cbSize = NOTIFYICONDATAA_V1_SIZE;  // the first version of the record
    notify_.uID = 1;
    notify_.uFlags = NIF_MESSAGE;
    notify_.uCallbackMessage = WM_TRAYNOTIFY;
}

CTrayDialog::~CTrayDialog()
{
    if (menu_)
        DestroyMenu(menu_);
}

HICON CTrayDialog::SetTrayIcon(UINT iconId)
{
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(iconId));
    if (icon) {
        notify_.hIcon = icon;
        notify_.uFlags |= NIF_ICON;
    }
    return icon;
}

void CTrayDialog::SetTrayTip(const char* tip)
{
    lstrcpynA(notify_.szTip, tip, sizeof notify_.szTip);
    notify_.uFlags |= NIF_TIP;
}

void CTrayDialog::SetTrayMenu(UINT menuId)
{
    if (menu_)
        DestroyMenu(menu_);
    menu_ = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(menuId));
}

BOOL CTrayDialog::AddTrayIcon()
{
    if (iconShown_)
        return FALSE;
    const BOOL added = NotifyIconHook()(NIM_ADD, &notify_);
    if (added)
        iconShown_ = 1;
    return added;
}

BOOL CTrayDialog::RemoveTrayIcon()
{
    if (!iconShown_)
        return FALSE;
    const BOOL removed = NotifyIconHook()(NIM_DELETE, &notify_);
    if (removed)
        iconShown_ = 0;
    return removed;
}

void CTrayDialog::RestoreFromTray()
{
    hideWhenTaskbarComes_ = false;
    KillTimer(GetSafeHwnd(), kTrayRetryTimer);
    if (!kTraySwitch || !iconShown_)
        return;
    // A delete the shell refuses because it has no such icon any more (it
    // restarted) still brings the window back: the flag follows the shell.
    if (NotifyIconHook()(NIM_DELETE, &notify_) || !NotifyIconHook()(NIM_MODIFY, &notify_)) {
        iconShown_ = 0;
        ShowWindow(GetSafeHwnd(), SW_SHOW);
        FocusPage();
    }
}

void CTrayDialog::HideToTrayWhenPossible()
{
    hideWhenTaskbarComes_ = !iconShown_ && !AddTrayIcon();
    if (hideWhenTaskbarComes_) {
        SetTimer(GetSafeHwnd(), kTrayRetryTimer, kTrayRetryMs, nullptr);
        return;
    }
    KillTimer(GetSafeHwnd(), kTrayRetryTimer);
    ShowWindow(GetSafeHwnd(), SW_HIDE);
}

void CTrayDialog::OnTaskbarCreated()
{
    if (iconShown_) {
        // The message also comes where the icon survived (a taskbar that
        // starts late, a broadcast after a settings change): only a lost
        // icon is added again.
        if (NotifyIconHook()(NIM_MODIFY, &notify_))
            return;
        iconShown_ = 0;
        if (!AddTrayIcon())
            ShowWindow(GetSafeHwnd(), SW_SHOW);
        return;
    }
    if (hideWhenTaskbarComes_)
        HideToTrayWhenPossible();
}

UINT CTrayDialog::TaskbarCreatedMessage()
{
    static const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

void CTrayDialog::AllowFromLowerIntegrity(UINT message)
{
    using FilterFn = BOOL(WINAPI*)(UINT, DWORD);
    const DWORD kAllow = 1;  // MSGFLT_ADD
    HMODULE user32 = GetModuleHandleA("user32.dll");
    auto filter = user32 ? reinterpret_cast<FilterFn>(
                               reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilter")))
                         : nullptr;
    if (filter)
        filter(message, kAllow);
}

bool CTrayDialog::OnSysCommand(UINT id, LPARAM)
{
    const UINT command = id & 0xFFF0;
    if (!kTraySwitch || (command != SC_CLOSE && command != SC_MINIMIZE))
        return false;  // default processing
    if (!iconShown_ && NotifyIconHook()(NIM_ADD, &notify_)) {
        iconShown_ = 1;
        ShowWindow(GetSafeHwnd(), SW_HIDE);
    }
    return true;  // otherwise dropped: the window stays as it is
}

LRESULT CTrayDialog::OnTrayNotify(WPARAM iconId, LPARAM mouseMessage)
{
    if (iconId != 1)
        return 0;
    POINT at{};
    switch (static_cast<UINT>(mouseMessage)) {
    case WM_LBUTTONDOWN:
        OnTrayLButtonDown(at);
        break;
    case WM_LBUTTONDBLCLK:
        OnTrayLButtonDblClk(at);
        break;
    case WM_RBUTTONDOWN:
    case WM_CONTEXTMENU:
        GetCursorPos(&at);
        OnTrayRButtonDown(at);
        break;
    case WM_RBUTTONDBLCLK:
        OnTrayRButtonDblClk(at);
        break;
    case WM_MOUSEMOVE:
        OnTrayMouseMove(at);
        break;
    default:
        break;
    }
    return 0;
}

void CTrayDialog::OnTrayRButtonDown(POINT at)
{
    HMENU popup = menu_ ? GetSubMenu(menu_, 0) : nullptr;
    if (!popup)
        return;
    // The menu closes when the user clicks elsewhere only if its owner is in front.
    SetForegroundWindow(GetSafeHwnd());
    TrackPopupMenu(popup, TPM_BOTTOMALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, GetSafeHwnd(), nullptr);
    PostMessageA(GetSafeHwnd(), WM_NULL, 0, 0);
    SetMenuDefaultItem(popup, kDefaultItem, TRUE);
}

bool CTrayDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == TaskbarCreatedMessage()) {
        OnTaskbarCreated();
        result = 0;
        return true;
    }
    switch (message) {
    case WM_WINDOWPOSCHANGING:
        KeepInTray(*reinterpret_cast<WINDOWPOS*>(lParam));
        return false;  // the rest of the change takes the default path
    case WM_TRAYNOTIFY:
        result = OnTrayNotify(wParam, lParam);
        return true;
    case WM_SYSCOMMAND:
        result = 0;
        return OnSysCommand(static_cast<UINT>(wParam), lParam);
    case WM_TIMER:
        if (wParam != kTrayRetryTimer)
            return CMultiPageDHtmlDialog::OnMessage(message, wParam, lParam, result);
        if (hideWhenTaskbarComes_)
            HideToTrayWhenPossible();
        else
            KillTimer(GetSafeHwnd(), kTrayRetryTimer);
        result = 0;
        return true;
    default:
        return CMultiPageDHtmlDialog::OnMessage(message, wParam, lParam, result);
    }
}

// In the tray the window stays hidden, whoever asks to show it: the dialog
// manager shows a visible template at its first idle moment, and a start
// meant hidden must not flash up then. Every show of our own removes the icon
// first, so this holds back only the shows that would put the window on
// screen beside its icon.
void CTrayDialog::KeepInTray(WINDOWPOS& change) const
{
    if (!iconShown_ || !(change.flags & SWP_SHOWWINDOW))
        return;
    change.flags &= ~SWP_SHOWWINDOW;
    change.flags |= SWP_NOACTIVATE;  // nor may a hidden window take the foreground
}

void CTrayDialog::OnWindowCreated()
{
    notify_.hWnd = GetSafeHwnd();
    notify_.uID = 1;
    AllowFromLowerIntegrity(TaskbarCreatedMessage());
}

void CTrayDialog::OnWindowDestroyed()
{
    // The shown flag stays as it is; the window is gone anyway.
    if (notify_.hWnd && notify_.uID > 0 && iconShown_)
        NotifyIconHook()(NIM_DELETE, &notify_);
}
