#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <set>
#include <vector>

#include "PanelProcess.h"
#include "Process.h"
#include "RegistrySandbox.h"
#include "WarningDialog.h"
#include "resource.h"

namespace {

const char kKey[] = "Software\\Norvane";
const HKEY kRoot = HKEY_LOCAL_MACHINE;

// Whether the window has its icon in the notification area: only an existing
// icon can be modified.
bool HasTrayIcon(HWND window)
{
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window;
    data.uID = 1;
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

// Every window that was shown while it lived, in any process: the shows come
// to this thread's queue as the platform posts them, and are collected while
// it waits.
class ShowRecorder {
public:
    ShowRecorder()
    {
        shown_.clear();
        hook_ = SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_SHOW, nullptr, OnShow, 0, 0,
                                WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    }
    ~ShowRecorder()
    {
        if (hook_)
            UnhookWinEvent(hook_);
    }
    bool Hooked() const { return hook_ != nullptr; }
    // Takes in what the platform has posted by now.
    static void Collect()
    {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
    }
    static bool WasShown(HWND window)
    {
        Collect();
        return shown_.count(window) != 0;
    }

private:
    static void CALLBACK OnShow(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD)
    {
        if (object == OBJID_WINDOW && child == CHILDID_SELF)
            shown_.insert(window);
    }
    static std::set<HWND> shown_;
    HWINEVENTHOOK hook_ = nullptr;
};
std::set<HWND> ShowRecorder::shown_;

// Returns once the panel's modal loop has run past its first turns. Only
// that loop takes posted messages: once the tray menu's Enable, posted, has
// written its value, the loop runs. Two sent messages after it put its
// first empty turn (where the dialog manager shows a visible template) and
// the next tick of a pending hide-at-start timer behind us. Meanwhile
// `pump` keeps this thread's own queue moving.
bool PastFirstTurns(HWND window, const std::function<void()>& pump = [] {})
{
    const DWORD before = GetDword(kRoot, kKey, "BHOEnabled", 0);
    PostMessageA(window, WM_COMMAND, ID_TRAY_ENABLE, 0);
    if (!Eventually([&] { pump(); return GetDword(kRoot, kKey, "BHOEnabled", 0) == 1 - before; }, 10000, 2))
        return false;
    for (int round = 0; round < 2; ++round)
        if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, nullptr))
            return false;
    return true;
}

class PanelProcessTest : public ::testing::Test {
protected:
    RegistrySandbox settings_{kRoot, kKey};
};

TEST_F(PanelProcessTest, FirstStartShowsTheWindowWithoutIconAndRemembersIt)
{
    for (DWORD stored : {0xFFFFFFFFu, 2u}) {  // missing, then another number
        if (stored != 0xFFFFFFFFu)
            SetDword(kRoot, kKey, "NVXMinimize", stored);
        PanelProcess panel(BinaryFolder());
        HWND window = panel.Window();
        ASSERT_NE(nullptr, window);
        ASSERT_TRUE(EventuallyEquals(1u, [&] { return GetDword(kRoot, kKey, "NVXMinimize"); }));
        ASSERT_TRUE(PastFirstTurns(window));
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_FALSE(HasTrayIcon(window));
        PostMessageA(window, WM_COMMAND, ID_TRAY_EXIT, 0);
        EXPECT_TRUE(panel.Ended(10000));
    }
}

TEST_F(PanelProcessTest, LaterStartLeavesOnlyTheIcon)
{
    SetDword(kRoot, kKey, "NVXMinimize", 1);
    PanelProcess panel(BinaryFolder());
    HWND window = panel.Window();
    ASSERT_NE(nullptr, window);
    EXPECT_TRUE(Eventually([&] { return !IsWindowVisible(window); }));
    EXPECT_TRUE(Eventually([&] { return HasTrayIcon(window); }));
    PostMessageA(window, WM_COMMAND, ID_TRAY_EXIT, 0);
    EXPECT_TRUE(panel.Ended(10000)) << "Exit ends the process";
    EXPECT_FALSE(IsWindow(window));
}

// A start meant to be in the tray never shows its window, not even for a
// moment (at every log-on a person would see it flash up), however the
// dialog's first show and the hide-at-start timer fall; a first start shows
// it (which also proves the recorder sees shows).
TEST_F(PanelProcessTest, LaterStartsNeverShowTheWindow)
{
    ShowRecorder shows;
    ASSERT_TRUE(shows.Hooked());
    // Every wait takes in the posted shows as it goes.
    auto until = [](auto condition) {
        return Eventually([&] { ShowRecorder::Collect(); return condition(); }, 10000, 2);
    };
    auto startAndExit = [&](bool& everShown, bool& endedInTray) {
        PanelProcess panel(BinaryFolder());
        HWND window = nullptr;
        ASSERT_TRUE(until([&] { return (window = panel.Window(0)) != nullptr; }));
        ASSERT_TRUE(PastFirstTurns(window, ShowRecorder::Collect));
        endedInTray = !IsWindowVisible(window) && HasTrayIcon(window);
        everShown = ShowRecorder::WasShown(window) || IsWindowVisible(window);
        PostMessageA(window, WM_COMMAND, ID_TRAY_EXIT, 0);
        ASSERT_TRUE(until([&] { return panel.Ended(0); }));
        everShown = everShown || ShowRecorder::WasShown(window);
    };

    bool shown = false, inTray = false;
    startAndExit(shown, inTray);  // NVXMinimize missing: a first start
    EXPECT_TRUE(shown) << "a first start shows the window";
    ASSERT_EQ(1u, GetDword(kRoot, kKey, "NVXMinimize"));

    int everShown = 0, notInTray = 0;
    for (int start = 0; start < 30; ++start) {
        startAndExit(shown, inTray);
        everShown += shown;
        notInTray += !inTray;
    }
    EXPECT_EQ(0, everShown) << "of 30 later starts, this many showed the window";
    EXPECT_EQ(0, notInTray) << "of 30 later starts, this many did not end hidden with the icon";
}

TEST_F(PanelProcessTest, SecondStartBringsTheFirstForwardAndEnds)
{
    SetDword(kRoot, kKey, "NVXMinimize", 1);
    PanelProcess first(BinaryFolder());
    HWND window = first.Window();
    ASSERT_NE(nullptr, window);
    // In the tray: hidden with its icon (not merely not shown yet).
    ASSERT_TRUE(Eventually([&] { return !IsWindowVisible(window) && HasTrayIcon(window); }))
        << "visible " << IsWindowVisible(window) << ", icon " << HasTrayIcon(window);

    PanelProcess second(BinaryFolder());
    EXPECT_TRUE(second.Ended(10000)) << "the second start ends at once";
    // Whether the request came before or after the hide at start, the window
    // ends on screen and out of the tray, and stays there.
    EXPECT_TRUE(Eventually([&] { return IsWindowVisible(window) && !HasTrayIcon(window); }))
        << "the first came forward, out of the tray";
    ASSERT_TRUE(PastFirstTurns(window));
    EXPECT_TRUE(IsWindowVisible(window)) << "no hide at start after the request";
    EXPECT_FALSE(HasTrayIcon(window));
    EXPECT_EQ(1u, PanelProcess::AllPanelWindows().size());
    EXPECT_FALSE(first.Ended(0));
}

TEST_F(PanelProcessTest, SystemMenuAboutItemOpensTheAboutBox)
{
    PanelProcess panel(BinaryFolder());
    HWND window = panel.Window();
    ASSERT_NE(nullptr, window);
    for (WPARAM command : {WPARAM{16}, WPARAM{17}, WPARAM{31}}) {
        PostMessageA(window, WM_SYSCOMMAND, command, 0);
        HWND about = nullptr;
        ASSERT_TRUE(Eventually([&] { return (about = FindWindowA("#32770", "About Norvane")) != nullptr; }))
            << command;
        PostMessageA(about, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(Eventually([&] { return FindWindowA("#32770", "About Norvane") == nullptr; }));
    }
}

}  // namespace
