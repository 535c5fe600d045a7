// A person's session at the running Norvane.exe under Xvfb: every step is a
// real click or key press through the window system; what it did is read
// from the registry, the white-list file (through the guard's own loader)
// and the page's controls.
#include <gtest/gtest.h>

#include <windows.h>

#include "DomainTracker.h"
#include "PanelInput.h"
#include "PanelProcess.h"
#include "Process.h"
#include "RegistrySandbox.h"
#include "TempDir.h"
#include "resource.h"

namespace {

namespace pi = panel_input;

const char kKey[] = "Software\\Norvane";
const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const HKEY kRoot = HKEY_LOCAL_MACHINE;

HWND FocusOf(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

std::wstring ListLine(HWND list, int index)
{
    wchar_t text[256] = {};
    SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
}

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetDword(kRoot, kKey, "NVXMinimize", 0);  // a first start: the window on screen
        SetString(kRoot, kKey, "AppPath", BinaryFolder());
        SetString(kRoot, kKey, "WhiteList", BinaryFolder() + "\\WhiteList.txt");
        DeleteFileA((BinaryFolder() + "\\WhiteList.txt").c_str());
        // The panel of a test before has gone, its single-instance mark with it.
        ASSERT_TRUE(Eventually([] { return PanelProcess::AllPanelWindows().empty(); }, 10000));
        panel_ = std::make_unique<PanelProcess>(BinaryFolder());
        window_ = pi::WaitForPanel(20000);
        ASSERT_NE(nullptr, window_);
        SetForegroundWindow(window_);
        pi::Settle(window_);
    }
    void TearDown() override
    {
        if (window_)
            PostMessageA(window_, WM_COMMAND, ID_TRAY_EXIT, 0);
        if (panel_) {
            EXPECT_TRUE(panel_->Ended(10000)) << "Exit ends the panel";
        }
        panel_.reset();
    }
    // Keys from another process reach the panel's thread after the messages
    // sent to it: what they do is waited for, never assumed done.
    ::testing::AssertionResult FocusReaches(HWND control)
    {
        return EventuallyEquals(control, [&] { return FocusOf(window_); });
    }
    std::wstring EditText()
    {
        wchar_t text[64] = {};
        SendMessageW(pi::FindControl(window_, L"Edit", 1), WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text));
        return text;
    }
    void Tab(const wchar_t* id)
    {
        const auto box = pi::ElementBox(window_, id);
        ASSERT_TRUE(box) << "tab " << id;
        pi::ClickAt(pi::PageView(window_), POINT{(box->left + box->right) / 2, (box->top + box->bottom) / 2});
        pi::Settle(window_);
    }
    void Click(HWND control)
    {
        ASSERT_NE(nullptr, control);
        pi::ClickControl(control);
        pi::Settle(window_);
    }
    HWND Button(const wchar_t* text) { return pi::FindControl(window_, L"Button", 0, text); }

    RegistrySandbox settings_{kRoot, kKey};
    RegistrySandbox run_{kRoot, kRun};
    RegistrySandbox userRun_{HKEY_CURRENT_USER, kRun};
    FileSandbox whiteList_{BinaryFolder() + "\\WhiteList.txt"};
    std::unique_ptr<PanelProcess> panel_;
    HWND window_ = nullptr;
};

TEST_F(SessionTest, TheFourSwitchesAndRunAtStartUpFollowTheBoxes)
{
    for (int box = 2; box <= 5; ++box)
        Click(pi::FindCheckBox(window_, box));
    for (const char* value : {"RemoveHistory", "RemoveCookies", "RemoveCache", "RemoveLastTyped"})
        EXPECT_TRUE(EventuallyEquals(1u, [&] { return GetDword(kRoot, kKey, value); })) << value;
    Click(pi::FindCheckBox(window_, 3));
    EXPECT_TRUE(EventuallyEquals(0u, [&] { return GetDword(kRoot, kKey, "RemoveCookies"); })) << "ticked off again";
    Click(pi::FindCheckBox(window_, 1));
    EXPECT_TRUE(Eventually([&] {
        return ValueExists(kRoot, kRun, "Norvane") || ValueExists(HKEY_CURRENT_USER, kRun, "Norvane");
    }));
    // The space bar on the focused box is a click too.
    ASSERT_TRUE(FocusReaches(pi::FindCheckBox(window_, 1)));
    pi::PressKeys("SPACE");
    EXPECT_TRUE(Eventually([&] {
        return GetString(kRoot, kRun, "Norvane", "").empty() && GetString(HKEY_CURRENT_USER, kRun, "Norvane", "").empty();
    })) << "no start-up command left";
}

TEST_F(SessionTest, TabAndShiftTabFollowThePageOrder)
{
    Click(pi::FindCheckBox(window_, 1));
    ASSERT_TRUE(FocusReaches(pi::FindCheckBox(window_, 1)));
    for (int box = 2; box <= 5; ++box) {
        pi::PressKeys("TAB");
        EXPECT_TRUE(FocusReaches(pi::FindCheckBox(window_, box))) << "box " << box;
    }
    pi::PressKeys("TAB");
    EXPECT_TRUE(FocusReaches(Button(L"Done")));
    pi::PressKeys("SHIFT+TAB");
    EXPECT_TRUE(FocusReaches(pi::FindCheckBox(window_, 5)));
}

TEST_F(SessionTest, TheWhiteListIsEditedSavedAndReadByTheGuard)
{
    Tab(L"WhiteList");
    HWND list = pi::FindControl(window_, L"ListBox", 1);
    ASSERT_NE(nullptr, list);
    for (const wchar_t* site : {L"example.org", L"example.net"}) {
        Click(pi::FindControl(window_, L"Edit", 1));
        pi::PressKeys("CTRL+A");
        pi::TypeText(site);
        ASSERT_TRUE(EventuallyEquals(std::wstring(site), [&] { return EditText(); })) << "typed";
        Click(Button(L"Add"));
        list = pi::FindControl(window_, L"ListBox", 1);
    }
    ASSERT_NE(nullptr, list);
    ASSERT_EQ(2, SendMessageW(list, LB_GETCOUNT, 0, 0));
    EXPECT_EQ(L"example.org", ListLine(list, 0));
    EXPECT_EQ(L"example.net", ListLine(list, 1));
    Click(Button(L"Save List"));
    EXPECT_TRUE(EventuallyEquals((std::vector<std::string>{"example.org", "example.net"}), [] {
        CDomainTracker guard;
        guard.LoadWhiteList();
        return guard.WhiteListEntries();
    }));

    // A click on a line shows it in the Url box; Remove takes it out of the list.
    list = pi::FindControl(window_, L"ListBox", 1);
    ASSERT_NE(nullptr, list);
    RECT line{};
    SendMessageW(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&line));
    pi::ClickAt(list, POINT{(line.left + line.right) / 2, (line.top + line.bottom) / 2});
    // Asked of the box itself: another process's edit keeps no caption.
    EXPECT_TRUE(EventuallyEquals(std::wstring(L"example.net"), [&] { return EditText(); }));
    Click(Button(L"Remove"));
    list = pi::FindControl(window_, L"ListBox", 1);
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(1, SendMessageW(list, LB_GETCOUNT, 0, 0));
    Click(Button(L"Save List"));
    EXPECT_TRUE(EventuallyEquals(std::vector<std::string>{"example.org"}, [] {
        CDomainTracker after;
        after.LoadWhiteList();
        return after.WhiteListEntries();
    }));
}

TEST_F(SessionTest, TheTabBarSwitchesPagesAndResetEmptiesTheCounters)
{
    SetDword(kRoot, kKey, "RemoveCookiesEntries", 5);
    SetDword(kRoot, kKey, "RemoveHistoryEntries", 3);
    Tab(L"Statistics");
    ASSERT_NE(nullptr, Button(L"Reset"));
    Click(Button(L"Reset"));
    EXPECT_TRUE(EventuallyEquals(0u, [&] { return GetDword(kRoot, kKey, "RemoveCookiesEntries"); }));
    EXPECT_EQ(0u, GetDword(kRoot, kKey, "RemoveHistoryEntries"));
    Tab(L"Help");
    EXPECT_EQ(nullptr, Button(L"Done")) << "Help has no buttons";
    Tab(L"WhiteList");
    EXPECT_NE(nullptr, pi::FindControl(window_, L"ListBox", 1));
    Tab(L"Options");
    EXPECT_NE(nullptr, pi::FindCheckBox(window_, 5));
    Click(Button(L"Done"));
    EXPECT_TRUE(Eventually([&] { return !IsWindowVisible(window_); })) << "Done hides the window to the tray";
}

}  // namespace
