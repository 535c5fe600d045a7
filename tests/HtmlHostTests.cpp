// The host of the platform's WebBrowser control, run for real under Wine:
// the main window with PlatformHtmlView against a stand-in control
// registered for this process, with real key presses through the window
// system and Wine's real registry behind the pages.
#include <gtest/gtest.h>

#include <mshtmhst.h>

#include <algorithm>
#include <memory>

#include "ModalScript.h"
#include "NorvaneDlg.h"
#include "PanelSettings.h"
#include "RegistrySandbox.h"
#include "ShellExecuteApi.h"
#include "TempDir.h"
#include "WebBrowserDouble.h"
#include "resource.h"

namespace {

namespace bd = browser_double;

const char kKey[] = "Software\\Norvane";
const HKEY kRoot = HKEY_LOCAL_MACHINE;

std::vector<std::wstring> g_opened;  // what the pages handed to the system

HINSTANCE WINAPI RecordOpen(HWND, LPCWSTR, LPCWSTR file, LPCWSTR, LPCWSTR, INT)
{
    g_opened.push_back(file ? file : L"");
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
}

std::wstring OwnProgramW()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::string OwnFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text = path;
    return text.substr(0, text.find_last_of('\\'));
}

std::wstring PageUrl(UINT id) { return L"res://" + OwnProgramW() + L"/" + std::to_wstring(id); }

bool Contains(const std::vector<std::wstring>& list, const std::wstring& text)
{
    return std::find(list.begin(), list.end(), text) != list.end();
}

bool WasOffered(UINT key)
{
    const auto& offered = bd::Record().offered;
    return std::any_of(offered.begin(), offered.end(),
                       [key](const MSG& m) { return m.message == WM_KEYDOWN && m.wParam == key; });
}

bool ReachedWindow(UINT key)
{
    const auto& keys = bd::Record().keysAtWindow;
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

void Press(UINT key, bool ctrl = false)
{
    std::vector<INPUT> inputs;
    auto add = [&](WORD vk, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    if (ctrl)
        add(VK_CONTROL, false);
    add(static_cast<WORD>(key), false);
    add(static_cast<WORD>(key), true);
    if (ctrl)
        add(VK_CONTROL, true);
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// A step that presses the key once, then waits until the control was offered it.
ModalStep PressAndWaitOffered(UINT key, bool ctrl = false)
{
    auto pressed = std::make_shared<bool>(false);
    return [=] {
        if (!*pressed) {
            *pressed = true;
            Press(key, ctrl);
            return false;
        }
        return WasOffered(key);
    };
}

class HostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        registration_ = std::make_unique<bd::Registration>();
        ASSERT_TRUE(registration_->Ok());
        bd::Record() = bd::Seen{};
        bd::TakenKeys() = {VK_TAB, VK_DELETE, VK_BACK, VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, 'V'};
        g_opened.clear();
        savedExecute_ = ShellExecuteTable().Execute;
        ShellExecuteTable().Execute = &RecordOpen;
        // A panel started on a machine where it ran before: on screen, not hidden.
        SetDword(kRoot, kKey, "NVXMinimize", 0);
        panel::NVXMinimize().Read();
        SetString(kRoot, kKey, "AppPath", OwnFolder());
        panel::AppPath().Read();
    }
    void TearDown() override
    {
        ShellExecuteTable().Execute = savedExecute_;
        registration_.reset();
        OleUninitialize();
    }
    // The main window, run with these steps inside its message loop.
    INT_PTR Run(std::vector<ModalStep> steps, INT_PTR endWith = 0)
    {
        CNorvaneDlg dialog;
        dialog_ = &dialog;
        const INT_PTR result = RunModalSteps(dialog, std::move(steps), endWith);
        dialog_ = nullptr;
        return result;
    }
    static bd::Browser& Control() { return *bd::Current(); }
    static ModalStep OnPage(UINT id)
    {
        return [id] { return bd::Current() && bd::Current()->Url() == PageUrl(id); };
    }
    static ModalStep Do(std::function<void()> action)
    {
        return [action] {
            action();
            return true;
        };
    }
    std::wstring Value(const wchar_t* id)
    {
        auto element = dialog_->GetElement(id);
        return element ? element->GetAttribute(L"value").value_or(L"<none>") : L"<missing>";
    }

    RegistrySandbox settings_{kRoot, kKey};
    RegistrySandbox lowSettings_{HKEY_CURRENT_USER, "Software\\AppDataLow\\Software\\Norvane"};
    FileSandbox whiteList_{OwnFolder() + "\\WhiteList.txt"};
    std::unique_ptr<bd::Registration> registration_;
    decltype(ShellExecuteApi::Execute) savedExecute_ = nullptr;
    CNorvaneDlg* dialog_ = nullptr;
};

TEST_F(HostTest, PagesLoadByTheirAddressFillAndTakeEventsFromInnerElements)
{
    SetDword(kRoot, kKey, "RemoveCookies", 1);
    SetString(HKEY_CURRENT_USER, "Software\\AppDataLow\\Software\\Norvane", "LastDomain", "example.com");
    WriteBytes(OwnFolder() + "\\WhiteList.txt", "a.example\r\nb.example\r\n");
    size_t atStart = 0;
    Run({OnPage(IDR_HTML_OPTIONS), Do([&] {
             atStart = bd::Record().started.size();
             EXPECT_NE(std::wstring::npos, Control().OuterHtml(L"chkRemoveCookies").find(L"CHECKED"))
                 << "the Options fill ran";
             EXPECT_NE(std::wstring::npos, Control().OuterHtml(L"chkRemoveHistory").find(L"<INPUT"));
             EXPECT_TRUE(Control().Click(L"WhiteList"));
         }),
         OnPage(IDR_HTML_WHITELIST), Do([&] {
             EXPECT_EQ(L"example.com", Value(L"idUrlText")) << "the White list fill ran";
             // The option is the event's source; the list box's handler runs.
             EXPECT_TRUE(Control().ClickOption(L"selectWhiteList", L"b.example"));
             EXPECT_EQ(L"b.example", Value(L"idUrlText"));
             EXPECT_TRUE(Control().ClickOption(L"selectWhiteList", L"a.example"));
             EXPECT_TRUE(Control().KeyUp(L"selectWhiteList"));
             EXPECT_EQ(L"a.example", Value(L"idUrlText"));
             EXPECT_TRUE(Control().Click(L"Statistics"));
         }),
         OnPage(IDR_HTML_STATISTICS)});
    EXPECT_EQ(atStart + 2, bd::Record().started.size()) << "one navigation a tab";
}

TEST_F(HostTest, TheControlGetsADialogsHostCoversTheBannerAndHasNoContextMenu)
{
    Run({OnPage(IDR_HTML_OPTIONS), Do([&] {
             HWND control = Control().Window();
             EXPECT_EQ(control, GetWindow(dialog_->GetSafeHwnd(), GW_CHILD)) << "above every other child";
             RECT covered{}, banner{};
             GetWindowRect(control, &covered);
             for (HWND child = GetWindow(control, GW_HWNDNEXT); child; child = GetWindow(child, GW_HWNDNEXT)) {
                 GetWindowRect(child, &banner);
                 RECT both{};
                 IntersectRect(&both, &covered, &banner);
                 EXPECT_TRUE(EqualRect(&both, &banner)) << "the banner lies under the control";
             }
             EXPECT_EQ(S_OK, Control().AskContextMenu()) << "the host takes the menu: none is shown";
         })});
    const DWORD wanted = DOCHOSTUIFLAG_DIALOG | DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO | DOCHOSTUIFLAG_THEME;
    EXPECT_TRUE(bd::Record().askedHostInfo);
    EXPECT_EQ(wanted, bd::Record().hostFlags & wanted);
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, bd::Record().ambientAnswer);
}

TEST_F(HostTest, AFrameNavigatingKeepsThePageAndItsEvents)
{
    SetDword(kRoot, kKey, "RemoveCookies", 0);
    Run({OnPage(IDR_HTML_OPTIONS), Do([&] {
             Control().NavigateFrame(PageUrl(IDR_HTML_WHITELIST));
             EXPECT_TRUE(Control().Click(L"chkRemoveCookies"));
         })});
    EXPECT_TRUE(bd::Record().cancelled.empty());
    EXPECT_EQ(1u, GetDword(kRoot, kKey, "RemoveCookies")) << "the Options table stayed in force";
}

TEST_F(HostTest, LinksOnHelpGoToTheSystemAndTheTabsKeepWorking)
{
    Run({OnPage(IDR_HTML_OPTIONS), Do([&] { Control().Click(L"Help"); }), OnPage(IDR_HTML_HELP), Do([&] {
             EXPECT_TRUE(Control().ClickLink(L"mailto:support@example.com"));
             EXPECT_TRUE(Control().ClickLink(L"http://www.example.com/"));
             EXPECT_EQ(PageUrl(IDR_HTML_HELP), Control().Url());
             EXPECT_TRUE(Control().Click(L"Options"));
         }),
         OnPage(IDR_HTML_OPTIONS)});
    EXPECT_EQ((std::vector<std::wstring>{L"mailto:support@example.com", L"http://www.example.com/"}), g_opened);
    EXPECT_TRUE(Contains(bd::Record().cancelled, L"mailto:support@example.com"));
    EXPECT_TRUE(bd::Record().toProtocolHandler.empty()) << "the control never went to the mail program itself";
    EXPECT_TRUE(bd::Record().newWindows.empty()) << "the control opened no window of its own";
}

TEST_F(HostTest, KeysReachTheControlFirstAndWhatItRefusesReachesTheDialog)
{
    const INT_PTR result = Run(
        {OnPage(IDR_HTML_OPTIONS), [&] { return GetFocus() == Control().Window(); },
         PressAndWaitOffered(VK_TAB), PressAndWaitOffered(VK_DELETE), PressAndWaitOffered(VK_BACK),
         PressAndWaitOffered(VK_LEFT), PressAndWaitOffered(VK_DOWN), PressAndWaitOffered('V', true),
         PressAndWaitOffered('A'), [&] { return ReachedWindow('A'); },
         // Escape is refused, so the dialog's own handling ends it with Cancel.
         PressAndWaitOffered(VK_ESCAPE), [] { return false; }},
        77);
    EXPECT_EQ(IDCANCEL, result);
    for (UINT taken : std::vector<UINT>{VK_TAB, VK_DELETE, VK_BACK, VK_LEFT, VK_DOWN, 'V'})
        EXPECT_FALSE(ReachedWindow(taken)) << "key " << taken << " was the control's, not the dialog's";
}

// The page is made the active object and given the focus. Whether the
// window is then active is the window system's call (under Xvfb with no
// window manager an X focus event can take it away again, about one time in
// ten): where it is, the focus is in the page.
TEST_F(HostTest, FocusGoesIntoThePageWhenTheWindowComesBackFromTheTray)
{
    int activations = 0;
    HWND page = nullptr, focus = nullptr;
    bool active = false;
    Run({OnPage(IDR_HTML_OPTIONS), Do([&] {
             Control().Click(L"btnDone");
             EXPECT_FALSE(IsWindowVisible(dialog_->GetSafeHwnd()));
             SetFocus(nullptr);
             activations = bd::Record().uiActivations;
             dialog_->RestoreFromTray();
         }),
         [&] {
             page = Control().Window();
             focus = GetFocus();
             active = GetActiveWindow() == dialog_->GetSafeHwnd();
             return IsWindowVisible(dialog_->GetSafeHwnd()) && bd::Record().uiActivations > activations &&
                    (!active || focus == page);
         }});
    EXPECT_GT(bd::Record().uiActivations, activations) << "the page made the active object";
    if (active) {
        EXPECT_EQ(page, focus) << "the focus in the active window";
    }
}

TEST_F(HostTest, AHundredPageSwitchesAndTheEndLeaveNothingBehind)
{
    const UINT pages[] = {IDR_HTML_WHITELIST, IDR_HTML_STATISTICS, IDR_HTML_HELP, IDR_HTML_OPTIONS};
    const wchar_t* tabs[] = {L"WhiteList", L"Statistics", L"Help", L"Options"};
    size_t atStart = 0;
    std::vector<ModalStep> steps{OnPage(IDR_HTML_OPTIONS), Do([&] { atStart = bd::Record().started.size(); })};
    for (int i = 0; i < 100; ++i) {
        const wchar_t* tab = tabs[i % 4];
        steps.push_back(Do([tab] { Control().Click(tab); }));
        steps.push_back(OnPage(pages[i % 4]));
    }
    Run(std::move(steps));
    EXPECT_EQ(atStart + 100, bd::Record().started.size());
    EXPECT_EQ(nullptr, bd::Current());
    EXPECT_EQ(0, bd::LiveObjects());
    EXPECT_EQ(0, bd::OpenAdvises());
}

}  // namespace
