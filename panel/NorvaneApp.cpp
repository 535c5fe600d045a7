#include "NorvaneApp.h"

#include <commctrl.h>
#include <ole2.h>

#include "NorvaneDlg.h"

namespace {

const char kInstanceMutex[] = "AFX_Kestu_H__5B5F33E8_2175_4C23_BB38_3334CADD6B88";

// The running panel's window is found by its caption, hidden or not, and
// asked to come forward: out of the tray and in front.
void BringRunningPanelForward()
{
    HWND running = FindWindowA("#32770", "Norvane Configuration");
    if (!running)
        return;
    // Only the process in front may hand the foreground on: without this the
    // running panel's window would come up behind, its taskbar button flashing.
    DWORD process = 0;
    GetWindowThreadProcessId(running, &process);
    AllowSetForegroundWindow(process);
    PostMessageA(running, CNorvaneDlg::ShowRequestMessage(), 0, 0);
}

}  // namespace

BOOL CNorvaneApp::InitInstance()
{
    InitCommonControls();
    // Kept open for the life of the process: its existence is the signal.
    HANDLE mutex = CreateMutexA(nullptr, TRUE, kInstanceMutex);
    const bool alreadyRunning = GetLastError() == ERROR_ALREADY_EXISTS;
    if (mutex)
        ReleaseMutex(mutex);
    if (alreadyRunning) {
        BringRunningPanelForward();
        return FALSE;
    }
    // OLE, not only COM: the browser control is activated in place, and the
    // page's clipboard and drag and drop need it.
    const HRESULT ole = OleInitialize(nullptr);
    {
        CNorvaneDlg dialog;
        dialog.DoModal();
    }
    if (SUCCEEDED(ole))
        OleUninitialize();
    return FALSE;
}
