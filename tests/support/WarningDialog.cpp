#include "WarningDialog.h"

#include <vector>

namespace {

INT_PTR CALLBACK ButtonFirstProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    case WM_CLOSE:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

void Align(std::vector<WORD>& t)
{
    if (t.size() % 2)
        t.push_back(0);
}

void AppendText(std::vector<WORD>& t, const std::string& text)
{
    for (char c : text)
        t.push_back(static_cast<BYTE>(c));
    t.push_back(0);
}

// An in-memory template: DLGTEMPLATE, then one DLGITEMTEMPLATE for the button.
std::vector<WORD> ButtonFirstTemplate(const std::string& caption)
{
    std::vector<WORD> t;
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME | DS_CENTER;
    t.push_back(LOWORD(style));
    t.push_back(HIWORD(style));
    t.push_back(0);  // extended style
    t.push_back(0);
    t.push_back(1);  // one control
    t.push_back(0);  // x, y, cx, cy
    t.push_back(0);
    t.push_back(120);
    t.push_back(50);
    t.push_back(0);  // no menu
    t.push_back(0);  // default class
    AppendText(t, caption);
    Align(t);
    const DWORD buttonStyle = WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON;
    t.push_back(LOWORD(buttonStyle));
    t.push_back(HIWORD(buttonStyle));
    t.push_back(0);
    t.push_back(0);
    t.push_back(10);
    t.push_back(10);
    t.push_back(50);
    t.push_back(14);
    t.push_back(IDOK);
    t.push_back(0xFFFF);  // predefined class: button
    t.push_back(0x0080);
    AppendText(t, "OK");
    t.push_back(0);  // no creation data
    return t;
}

struct FindOpenDialogs {
    DWORD process;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialogs(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<FindOpenDialogs*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (process == search->process && lstrcmpA(className, "#32770") == 0 && IsWindowVisible(window))
        search->found.push_back(window);
    return TRUE;
}

}  // namespace

INT_PTR RunButtonFirstDialog(const std::string& caption)
{
    std::vector<WORD> t = ButtonFirstTemplate(caption);
    return DialogBoxIndirectParamA(GetModuleHandleA(nullptr), reinterpret_cast<LPCDLGTEMPLATEA>(t.data()),
                                   nullptr, ButtonFirstProc, 0);
}

void PumpMessages(DWORD milliseconds)
{
    const DWORD end = GetTickCount() + milliseconds;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

DialogWatchdog::DialogWatchdog(DWORD graceMs) : grace_(graceMs), stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
    InitializeCriticalSection(&lock_);
    thread_ = CreateThread(nullptr, 0, &DialogWatchdog::Run, this, 0, nullptr);
}

DialogWatchdog::~DialogWatchdog()
{
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(stop_);
    DeleteCriticalSection(&lock_);
}

std::string DialogWatchdog::Answered() const
{
    EnterCriticalSection(&lock_);
    std::string copy = answered_;
    LeaveCriticalSection(&lock_);
    return copy;
}

DWORD WINAPI DialogWatchdog::Run(LPVOID param)
{
    auto* self = static_cast<DialogWatchdog*>(param);
    std::vector<std::pair<HWND, DWORD>> seen;  // dialog and when first seen
    while (WaitForSingleObject(self->stop_, 100) == WAIT_TIMEOUT) {
        FindOpenDialogs search{GetCurrentProcessId(), {}};
        EnumWindows(CollectDialogs, reinterpret_cast<LPARAM>(&search));
        for (HWND dialog : search.found) {
            auto it = seen.begin();
            while (it != seen.end() && it->first != dialog)
                ++it;
            if (it == seen.end()) {
                seen.emplace_back(dialog, GetTickCount());
                continue;
            }
            if (GetTickCount() - it->second < self->grace_)
                continue;
            char caption[128] = {};
            GetWindowTextA(dialog, caption, sizeof caption);
            EnterCriticalSection(&self->lock_);
            self->answered_ += std::string(caption) + ";";
            LeaveCriticalSection(&self->lock_);
            // Yes for a question, OK for a notice, then a plain close.
            PostMessageA(dialog, WM_COMMAND, IDYES, 0);
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
            PostMessageA(dialog, WM_CLOSE, 0, 0);
            it->second = GetTickCount();
        }
    }
    return 0;
}
