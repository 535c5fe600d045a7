#include "NorvaneDlg.h"

#include "AboutDlg.h"
#include "OptionsPage.h"
#include "PanelSettings.h"
#include "SettingsStore.h"
#include "StatisticsPage.h"
#include "WhiteListPage.h"
#include "resource.h"

namespace {

const UINT_PTR TIMER_HIDE_AT_START = 998;

}  // namespace

CNorvaneDlg::CNorvaneDlg(HWND parent) : CTrayDialog(IDD_NORVANE_DIALOG, IDR_HTML_OPTIONS, parent)
{
    icon_ = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_NORVANE));

    pages_.push_back(std::make_unique<COptionsPage>(*this));
    pages_.push_back(std::make_unique<CWhiteListPage>(*this));
    pages_.push_back(std::make_unique<CStatisticsPage>(*this));
    pages_.push_back(std::make_unique<CPage>(*this, IDR_HTML_HELP));
    // The window's own entries on every page: the tab bar, and Done where the
    // page has it.
    const HtmlEventTable window = {
        {L"Options", kEventClick, [this](IHtmlElement&) { return SwitchPage(IDR_HTML_OPTIONS); }},
        {L"WhiteList", kEventClick, [this](IHtmlElement&) { return SwitchPage(IDR_HTML_WHITELIST); }},
        {L"Statistics", kEventClick, [this](IHtmlElement&) { return SwitchPage(IDR_HTML_STATISTICS); }},
        {L"Help", kEventClick, [this](IHtmlElement&) { return SwitchPage(IDR_HTML_HELP); }},
        {L"btnDone", kEventClick, [this](IHtmlElement&) { return Done(); }},
    };
    for (const auto& page : pages_) {
        HtmlEventTable table = window;
        table.insert(table.end(), page->Events().begin(), page->Events().end());
        tables_.push_back(std::move(table));
    }
}

CNorvaneDlg::~CNorvaneDlg() = default;

UINT CNorvaneDlg::ShowRequestMessage()
{
    static const UINT message = RegisterWindowMessageA("Norvane.ShowConfiguration");
    return message;
}

BOOL CNorvaneDlg::OnInitDialog()
{
    CTrayDialog::OnInitDialog();
    AddAboutItem();
    SendMessageA(GetSafeHwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(GetSafeHwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    SetTrayIcon(IDI_NORVANE);
    SetTrayTip("Norvane");
    SetTrayMenu(IDR_TRAY_MENU);
    AddTrayIcon();
    AllowFromLowerIntegrity(ShowRequestMessage());
    LoadFromResource(IDR_HTML_OPTIONS);
    if (panel::NVXMinimize().Read() == 1) {
        SetTimer(GetSafeHwnd(), TIMER_HIDE_AT_START, 1, nullptr);
    } else {
        panel::NVXMinimize().Set(1);
        RemoveTrayIcon();
    }
    return TRUE;
}

void CNorvaneDlg::AddAboutItem()
{
    HMENU system = GetSystemMenu(GetSafeHwnd(), FALSE);
    char text[128] = {};
    if (!system || LoadStringA(GetModuleHandleA(nullptr), IDS_ABOUTBOX, text, sizeof text) <= 0)
        return;
    AppendMenuA(system, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(system, MF_STRING, IDM_ABOUTBOX, text);
}

CPage* CNorvaneDlg::PageFor(const std::wstring& key) const
{
    for (const auto& page : pages_)
        if (_wcsicmp(key.c_str(), std::to_wstring(page->ResourceId()).c_str()) == 0)
            return page.get();
    return nullptr;
}

const HtmlEventTable* CNorvaneDlg::GetEventTableForKey(const std::wstring& key)
{
    const CPage* page = PageFor(key);
    for (std::size_t i = 0; page && i < pages_.size(); ++i)
        if (pages_[i].get() == page)
            return &tables_[i];
    return nullptr;
}

void CNorvaneDlg::OnDocumentComplete(const std::wstring& url)
{
    // A page is known by the resource number that ends its address, whatever
    // name the program was started by (a shortcut, a script or an 8.3 path
    // may give "norvane.exe" or "NORVANE~1.EXE").
    for (const auto& page : pages_)
        page->Left();
    if (CPage* page = PageFor(url.substr(url.find_last_of(L'/') + 1)))
        page->Fill();
}

HRESULT CNorvaneDlg::SwitchPage(UINT page)
{
    LoadFromResource(page);
    return S_OK;
}

HRESULT CNorvaneDlg::Done()
{
    OnSysCommand(SC_CLOSE, 0);
    return S_OK;
}

bool CNorvaneDlg::OnSysCommand(UINT id, LPARAM param)
{
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg().DoModal(GetSafeHwnd());
        return true;
    }
    return CTrayDialog::OnSysCommand(id, param);
}

void CNorvaneDlg::OnInitMenuPopup(HMENU popup)
{
    const int count = GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        if (GetMenuItemID(popup, i) != ID_TRAY_ENABLE)
            continue;
        // Fixed by a policy: shown as the policy has it, and greyed.
        const auto policy = settings::PolicyNumber(settings::kBHOEnabled);
        const DWORD on = policy ? *policy : panel::BHOEnabled().Read();
        CheckMenuItem(popup, ID_TRAY_ENABLE, MF_BYCOMMAND | (on == 1 ? MF_CHECKED : MF_UNCHECKED));
        EnableMenuItem(popup, ID_TRAY_ENABLE, MF_BYCOMMAND | (policy ? MF_GRAYED : MF_ENABLED));
    }
}

void CNorvaneDlg::OnTrayCommand(UINT id)
{
    switch (id) {
    case ID_TRAY_ENABLE:
        if (!settings::PolicyNumber(settings::kBHOEnabled))
            panel::BHOEnabled().Set(1 - panel::BHOEnabled().Get());
        break;
    case ID_TRAY_CONFIGURATION:
        RestoreFromTray();
        break;
    case ID_TRAY_EXIT:
        EndDialog(0);
        break;
    default:
        break;
    }
}

// A second start asks for the window: out of the tray if it is there, then in
// front. A request before the hide-at-start timer has fired cancels the hide;
// a window whose icon the shell would not remove stays in the tray (never both).
void CNorvaneDlg::BringForward()
{
    KillTimer(GetSafeHwnd(), TIMER_HIDE_AT_START);
    RestoreFromTray();
    if (IsIconShown())
        return;
    ShowWindow(GetSafeHwnd(), SW_SHOW);
    SetForegroundWindow(GetSafeHwnd());
}

bool CNorvaneDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    if (message == ShowRequestMessage()) {
        BringForward();
        return true;
    }
    switch (message) {
    case WM_TIMER:
        if (wParam == TIMER_HIDE_AT_START) {
            // The icon was added at initialisation: while it is in place the
            // window is never shown (the tray dialog holds every show back),
            // so this only makes sure. Without it the window stays on screen
            // until the taskbar takes the icon.
            KillTimer(GetSafeHwnd(), TIMER_HIDE_AT_START);
            HideToTrayWhenPossible();
            return true;
        }
        return CTrayDialog::OnMessage(message, wParam, lParam, result);
    case WM_INITMENUPOPUP:
        OnInitMenuPopup(reinterpret_cast<HMENU>(wParam));
        return true;
    case WM_COMMAND:
        if (LOWORD(wParam) == ID_TRAY_ENABLE || LOWORD(wParam) == ID_TRAY_CONFIGURATION ||
            LOWORD(wParam) == ID_TRAY_EXIT) {
            OnTrayCommand(LOWORD(wParam));
            return true;
        }
        return false;
    default:
        return CTrayDialog::OnMessage(message, wParam, lParam, result);
    }
}
