#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

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
        ASSERT_TRUE(Eventually([&] { return GetDword(kRoot, kKey, "NVXMinimize") == 1; }));
        EXPECT_TRUE(Eventually([&] { return IsWindowVisible(window) != FALSE; }));
        Sleep(200);  // the hide-at-start timer would have fired by now
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
    Sleep(200);
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
