// Pictures of the four pages on our page engine, for the comparison with a
// real browser engine (tools/compare-pages.sh): each page as its mark-up
// stands and as the panel fills it, as a BMP of the view, with the filled
// page's mark-up beside it for the other engine to render.
//   PageShots.exe OUTDIR     writes OUTDIR\<page>-plain.bmp, <page>-filled.bmp,
//                            <page>-filled.html and size.txt (the view's size)
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "DHtmlDialog.h"
#include "HtmlDom.h"
#include "MarkupText.h"
#include "MemoryHtmlView.h"
#include "PageDriver.h"
#include "NorvaneDlg.h"
#include "PanelInput.h"
#include "resource.h"

namespace {

const struct {
    UINT id;
    const char* name;
    const wchar_t* tab;
} kPages[] = {{IDR_HTML_OPTIONS, "options", L"Options"},
              {IDR_HTML_WHITELIST, "whitelist", L"WhiteList"},
              {IDR_HTML_STATISTICS, "statistics", L"Statistics"},
              {IDR_HTML_HELP, "help", L"Help"}};

std::string g_out;
CDHtmlDialog* g_dialog = nullptr;
std::function<void()> g_job;

void Shoot(HWND view, const std::string& name)
{
    ShowWindow(GetParent(view), SW_SHOW);
    RedrawWindow(view, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    panel_input::Settle(view);
    panel_input::SaveClientBitmap(view, g_out + "\\" + name + ".bmp");
}

void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    g_job();
    g_dialog->EndDialog(0);
}

void Run(CDHtmlDialog& dialog, std::function<void()> job)
{
    g_dialog = &dialog;
    g_job = std::move(job);
    SetTimer(nullptr, 0, 300, Tick);
    dialog.DoModal();
}

// A dialog of the framework alone: its pages load, no fill step runs.
class PlainDialog : public CDHtmlDialog {
public:
    explicit PlainDialog(UINT page) : CDHtmlDialog(IDD_NORVANE_DIALOG, page, nullptr) {}
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: PageShots.exe OUTDIR\n");
        return 2;
    }
    g_out = argv[1];
    OleInitialize(nullptr);
    for (const auto& page : kPages) {
        PlainDialog plain(page.id);
        const std::string name = page.name;
        Run(plain, [name] {
            auto& view = dynamic_cast<MemoryHtmlView&>(*g_dialog->View());
            Shoot(view.Window(), name + "-plain");
            RECT area{};
            GetClientRect(view.Window(), &area);
            std::ofstream(g_out + "\\size.txt") << area.right << "," << area.bottom << "\n";
        });
    }
    CNorvaneDlg panel;
    Run(panel, [] {
        auto& view = dynamic_cast<MemoryHtmlView&>(*g_dialog->View());
        static_cast<CNorvaneDlg*>(g_dialog)->RestoreFromTray();
        for (const auto& page : kPages) {
            PageDriver(view).Click(page.tab);
            Shoot(view.Window(), std::string(page.name) + "-filled");
            std::ofstream html(g_out + "\\" + page.name + "-filled.html", std::ios::binary);
            html << WideToAnsi(html::InnerHtml(*view.Document())).value_or("");
        }
    });
    OleUninitialize();
    return 0;
}
