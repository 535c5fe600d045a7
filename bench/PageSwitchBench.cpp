// How long a page switch takes on our page engine, from the tab click to
// the filled page painted on screen, next to a plain repaint of the same
// window: the switch should stay within twice the repaint and under 50 ms;
// then the White List page with 100, 1,000 and 10,000 entries, each act
// timed several times (one timing under Wine can be twice the usual).
#include <windows.h>
#include <ole2.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "MemoryHtmlView.h"
#include "NorvaneDlg.h"
#include "WhiteListPage.h"
#include "PageDriver.h"
#include "resource.h"

namespace {

const int kRounds = 30;
const int kListRounds = 5;
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

// "median/slowest" in milliseconds.
std::string Figures(const std::vector<double>& values)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f/%.1f", Median(values), *std::max_element(values.begin(), values.end()));
    return text;
}

// Paints what is pending, children included, and waits for the display.
void PaintNow(HWND window)
{
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    GdiFlush();
}

// Runs the act and paints its result; the milliseconds it all took.
template <typename Act>
double Timed(Act act, HWND window)
{
    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    act();
    PaintNow(window);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
    PaintNow(window);
    QueryPerformanceCounter(&b);
    return Milliseconds(a, b);
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// The White List page with a long list: filled and painted, a click on a
// line, an Add and a Remove, each timed to the painted result.
void LongLists(MemoryHtmlView& view, HWND window)
{
    PageDriver page(view);
    const std::string path = CWhiteListPage::WhiteListPath();
    const std::string saved = ReadAll(path);
    const bool existed = GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    std::printf("\nWhite List page with a long list (target: filled under 1 s; click, Add, Remove under 50 ms;\n"
                "median / slowest of %d fills and %d of each act)\n",
                kListRounds, kListRounds * kListRounds);
    std::printf("  %-8s %12s %12s %12s %12s\n", "entries", "fill ms", "click ms", "add ms", "remove ms");
    for (int entries : {100, 1000, 10000}) {
        std::string list;
        for (int i = 0; i < entries; ++i)
            list += "site" + std::to_string(i) + ".example\r\n";
        WriteAll(path, list);
        std::vector<double> fills, clicks, adds, removes;
        for (int round = 0; round < kListRounds; ++round) {
            page.Click(L"Options");
            PaintNow(window);
            fills.push_back(Timed([&] { page.Click(L"WhiteList"); }, window));
            // Each round adds a line and takes it out again: the list stays as long.
            for (int act = 0; act < kListRounds; ++act) {
                clicks.push_back(Timed([&] { page.ClickOption(L"selectWhiteList", L"site5.example"); }, window));
                page.Type(L"idUrlText", L"added.example");
                adds.push_back(Timed([&] { page.Click(L"btnAdd"); }, window));
                removes.push_back(Timed([&] { page.Click(L"btnRemove"); }, window));
            }
        }
        std::printf("  %-8d %12s %12s %12s %12s\n", entries, Figures(fills).c_str(), Figures(clicks).c_str(),
                    Figures(adds).c_str(), Figures(removes).c_str());
    }
    if (existed)
        WriteAll(path, saved);
    else
        DeleteFileA(path.c_str());
}

void CALLBACK Run(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    auto& view = dynamic_cast<MemoryHtmlView&>(*g_dialog->View());
    // The whole main window is painted after each act: the page shown may be
    // in another window than the one before.
    HWND window = g_dialog->GetSafeHwnd();
    // On screen whatever the last start left: a hidden window paints nothing.
    g_dialog->RestoreFromTray();
    ShowWindow(g_dialog->GetSafeHwnd(), SW_SHOW);
    std::printf("  %-12s %12s %12s %12s %8s\n", "page", "switch ms", "of it: load", "repaint ms", "ratio");
    // Round after round through the tabs in their order, as a person goes
    // from page to page: each switch comes from the page before.
    const std::size_t pages = sizeof kTabs / sizeof kTabs[0];
    std::vector<std::vector<double>> switches(pages), repaints(pages), loads(pages);
    for (int i = 0; i < kRounds; ++i) {
        for (std::size_t p = 0; p < pages; ++p) {
            LARGE_INTEGER a, b, c, d, loaded;
            QueryPerformanceCounter(&a);
            PageDriver(view).Click(kTabs[p]);  // loads, fills and lays out the page
            QueryPerformanceCounter(&loaded);
            PaintNow(window);
            QueryPerformanceCounter(&b);
            loads[p].push_back(Milliseconds(a, loaded));
            switches[p].push_back(Milliseconds(a, b));
            QueryPerformanceCounter(&c);
            RedrawWindow(view.Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
            PaintNow(window);
            QueryPerformanceCounter(&d);
            repaints[p].push_back(Milliseconds(c, d));
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);  // the retired controls go
        }
    }
    for (std::size_t p = 0; p < pages; ++p) {
        const double s = Median(switches[p]), r = Median(repaints[p]);
        std::printf("  %-12ls %12.2f %12.2f %12.2f %8.2f\n", kTabs[p], s, Median(loads[p]), r, r > 0 ? s / r : 0.0);
    }
    LongLists(view, window);
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
