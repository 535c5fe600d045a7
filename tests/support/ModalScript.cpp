#include "ModalScript.h"

#include "WarningDialog.h"

namespace {

CDHtmlDialog* g_dialog = nullptr;
std::function<void()> g_script;
INT_PTR g_endWith = 0;

void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD)
{
    if (!g_dialog || !g_dialog->GetSafeHwnd())
        return;
    KillTimer(nullptr, id);
    auto script = std::move(g_script);
    script();
    g_dialog->EndDialog(g_endWith);
}

}  // namespace

INT_PTR RunModalScript(CDHtmlDialog& dialog, std::function<void()> script, INT_PTR endWith)
{
    DialogWatchdog watchdog(20000);  // a script that never returns fails the test instead of hanging it
    g_dialog = &dialog;
    g_script = std::move(script);
    g_endWith = endWith;
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, Tick);
    const INT_PTR result = dialog.DoModal();
    KillTimer(nullptr, timer);
    g_dialog = nullptr;
    return result;
}
