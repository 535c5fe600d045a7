#include "PanelProcess.h"

namespace {

const char kCaption[] = "Norvane Configuration";

}  // namespace

PanelProcess::PanelProcess(const std::string& folder)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string line = "\"" + folder + "\\Norvane.exe\"";
    started_ =
        CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_) != FALSE;
}

PanelProcess::~PanelProcess()
{
    if (!started_)
        return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT)
        TerminateProcess(info_.hProcess, 1);
    WaitForSingleObject(info_.hProcess, 5000);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

HWND PanelProcess::Window(DWORD waitMs) const
{
    for (DWORD waited = 0; started_; waited += 10) {
        for (HWND w : AllPanelWindows()) {
            DWORD process = 0;
            GetWindowThreadProcessId(w, &process);
            if (process == info_.dwProcessId)
                return w;
        }
        if (waited >= waitMs)
            break;
        Sleep(10);
    }
    return nullptr;
}

std::vector<HWND> PanelProcess::AllPanelWindows()
{
    std::vector<HWND> found;
    for (HWND w = FindWindowA("#32770", kCaption); w; w = FindWindowExA(nullptr, w, "#32770", kCaption))
        found.push_back(w);
    return found;
}
