#include "ModalScript.h"

#include <gtest/gtest.h>

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

struct StepRun {
    CDHtmlDialog* dialog = nullptr;
    std::vector<ModalStep> steps;
    size_t next = 0;
    DWORD stepStarted = 0;
    DWORD timeoutMs = 0;
    INT_PTR endWith = 0;
    bool inStep = false;  // a step that runs a nested loop gets no second tick
};
StepRun g_run;

void CALLBACK StepTick(HWND, UINT, UINT_PTR, DWORD)
{
    if (!g_run.dialog || !g_run.dialog->GetSafeHwnd() || g_run.inStep)
        return;
    if (g_run.next == g_run.steps.size()) {
        g_run.dialog->EndDialog(g_run.endWith);
        return;
    }
    g_run.inStep = true;
    const bool done = g_run.steps[g_run.next]();
    g_run.inStep = false;
    if (done) {
        ++g_run.next;
        g_run.stepStarted = GetTickCount();
    } else if (GetTickCount() - g_run.stepStarted > g_run.timeoutMs) {
        ADD_FAILURE() << "step " << g_run.next + 1 << " of " << g_run.steps.size() << " never came true";
        g_run.dialog->EndDialog(g_run.endWith);
    }
}

}  // namespace

INT_PTR RunModalSteps(CDHtmlDialog& dialog, std::vector<ModalStep> steps, INT_PTR endWith, DWORD stepTimeoutMs)
{
    DialogWatchdog watchdog(20000 + stepTimeoutMs * static_cast<DWORD>(steps.size()));
    g_run = StepRun{&dialog, std::move(steps), 0, GetTickCount(), stepTimeoutMs, endWith, false};
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, StepTick);
    const INT_PTR result = dialog.DoModal();
    KillTimer(nullptr, timer);
    g_run = StepRun{};
    return result;
}

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
