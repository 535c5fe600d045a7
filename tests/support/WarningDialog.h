#pragma once
// Real modal dialogs for the confirmation tests: class "#32770", a caption of
// our choosing, and a button as the first child (Wine's own message box puts
// a static first).
#include <windows.h>

#include <string>

// Runs the dialog modally on the calling thread; IDOK when its first child
// (the OK button) was clicked, IDCANCEL when it was closed any other way.
INT_PTR RunButtonFirstDialog(const std::string& caption);

// Pumps the calling thread's messages for about this long.
void PumpMessages(DWORD milliseconds);

// Answers, from another thread, every dialog that a thread of this process
// leaves open longer than the grace time: a test that would otherwise hang
// fails instead. Stops when destroyed.
class DialogWatchdog {
public:
    explicit DialogWatchdog(DWORD graceMs = 5000);
    ~DialogWatchdog();
    DialogWatchdog(const DialogWatchdog&) = delete;
    DialogWatchdog& operator=(const DialogWatchdog&) = delete;

    // Captions of the dialogs it had to answer.
    std::string Answered() const;

private:
    static DWORD WINAPI Run(LPVOID self);
    DWORD grace_;
    HANDLE stop_;
    HANDLE thread_;
    mutable CRITICAL_SECTION lock_;
    std::string answered_;
};
