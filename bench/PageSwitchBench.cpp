// How long a page switch takes on our page engine, from the tab click to
// the filled page painted on screen, next to a plain repaint of the same
// window: the switch should stay within twice the repaint and under 50 ms.
#include <windows.h>
#include <ole2.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "MemoryHtmlView.h"
#include "NorvaneDlg.h"
#include "resource.h"

namespace {

const int kRounds = 30;
const wchar_t* const kTabs[] = {L"Options", L"WhiteList", L"Statistics", L"Help"};

CNorvaneDlg* g_dialog = nullptr;

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Paints what is pending, children included, and waits for the display.
void PaintNow(HWND window)
{
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    GdiFlush();
}

void CALLBACK Run(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    auto& view = dynamic_cast<MemoryHtmlView&>(*g_dialog->View());
    HWND window = view.Window();
    // On screen whatever the last start left: a hidden window paints nothing.
    g_dialog->RestoreFromTray();
    ShowWindow(g_dialog->GetSafeHwnd(), SW_SHOW);
    std::printf("  %-12s %12s %12s %12s %8s\n", "page", "switch ms", "of it: load", "repaint ms", "ratio");
    for (const wchar_t* tab : kTabs) {
        std::vector<double> switches, repaints, loads;
        for (int i = 0; i < kRounds; ++i) {
            LARGE_INTEGER a, b, c, d;
            QueryPerformanceCounter(&a);
            view.Click(tab);  // loads, fills and lays out the page
            LARGE_INTEGER loaded;
            QueryPerformanceCounter(&loaded);
            PaintNow(window);
            QueryPerformanceCounter(&b);
            loads.push_back(Milliseconds(a, loaded));
            switches.push_back(Milliseconds(a, b));
            QueryPerformanceCounter(&c);
            RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
            PaintNow(window);
            QueryPerformanceCounter(&d);
            repaints.push_back(Milliseconds(c, d));
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);  // the retired controls go
        }
        const double s = Median(switches), r = Median(repaints);
        std::printf("  %-12ls %12.2f %12.2f %12.2f %8.2f\n", tab, s, Median(loads), r, r > 0 ? s / r : 0.0);
    }
    g_dialog->EndDialog(0);
}

}  // namespace

int main()
{
    OleInitialize(nullptr);
    CNorvaneDlg dialog;
    g_dialog = &dialog;
    std::printf("page switch against a plain repaint (median of %d; target: within 2x and under 50 ms)\n", kRounds);
    SetTimer(nullptr, 0, 500, Run);
    dialog.DoModal();
    OleUninitialize();
    return 0;
}
