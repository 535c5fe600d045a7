#pragma once
// Norvane.exe started from a folder as a person starts it; ended with the
// test when it is still running.
#include <windows.h>

#include <string>
#include <vector>

class PanelProcess {
public:
    explicit PanelProcess(const std::string& folder);
    ~PanelProcess();
    PanelProcess(const PanelProcess&) = delete;
    PanelProcess& operator=(const PanelProcess&) = delete;

    bool Ended(DWORD waitMs) const { return WaitForSingleObject(info_.hProcess, waitMs) == WAIT_OBJECT_0; }
    DWORD Id() const { return info_.dwProcessId; }
    // Its window thread has gone idle: waiting for input with none queued.
    bool Idle(DWORD waitMs = 10000) const { return WaitForInputIdle(info_.hProcess, waitMs) == 0; }

    // The main window of this process, once it exists.
    HWND Window(DWORD waitMs = 15000) const;

    // Every main window of a control panel, hidden or not.
    static std::vector<HWND> AllPanelWindows();

private:
    PROCESS_INFORMATION info_{};
    bool started_ = false;
};
