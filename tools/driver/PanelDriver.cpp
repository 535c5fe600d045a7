// Drives the running control panel with real input, one command after the
// other, as a person at the window would:
//   PanelDriver.exe wait                      the window is on screen
//   PanelDriver.exe tab WhiteList             a click on a tab of the tab bar
//   PanelDriver.exe check 3                   a click on the third check box
//   PanelDriver.exe button "Save List"        a click on the button with that text
//   PanelDriver.exe list 2                    a click on the second line of the list box
//   PanelDriver.exe text                      a click into the text box
//   PanelDriver.exe type example.org          key presses of the text
//   PanelDriver.exe keys CTRL+A               key presses
//   PanelDriver.exe shot file.bmp             a picture of the window's client area
//   PanelDriver.exe tray-menu                 a right click on the panel's tray icon
//   PanelDriver.exe tray-open                 a double click on it
//   PanelDriver.exe wait-hidden               the window has left the screen
// Commands chain: PanelDriver.exe wait tab WhiteList shot a.bmp. Exits 1 at
// the first command that finds nothing to act on.
#include <windows.h>

#include <cstdio>
#include <string>

#include "AnsiText.h"
#include "PanelInput.h"

namespace {

int Fail(const std::string& what)
{
    std::fprintf(stderr, "PanelDriver: %s\n", what.c_str());
    return 1;
}

bool Click(HWND control)
{
    if (!control)
        return false;
    panel_input::ClickControl(control);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    HWND panel = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string command = argv[i];
        const std::string argument = i + 1 < argc ? argv[i + 1] : "";
        if (command == "tray-menu" || command == "tray-open") {
            HWND icon = nullptr;
            for (int tries = 0; tries < 1000 && !(icon = panel_input::TrayIcon()); ++tries)
                Sleep(10);
            if (!icon)
                return Fail("no tray icon");
            if (command == "tray-menu") {
                panel_input::RightClick(icon);
                if (!panel_input::WaitUntil([](HWND) { return panel_input::OpenMenu() != nullptr; }, nullptr, 10000))
                    return Fail("the tray menu did not open");
            } else {
                panel_input::DoubleClick(icon);
            }
            panel_input::Settle(icon);
            continue;
        }
        if (command == "wait-hidden") {
            if (!panel_input::WaitUntil([](HWND p) { return p && !IsWindowVisible(p); }, panel, 15000))
                return Fail("the window stayed on screen");
            panel_input::Settle(panel);
            continue;
        }
        if (command == "wait") {
            panel = panel_input::WaitForPanel(30000);
            if (!panel)
                return Fail("the panel's window did not come on screen");
            SetForegroundWindow(panel);
            panel_input::Settle(panel);
            continue;
        }
        const bool needsWindow = command != "type" && command != "keys";
        if (needsWindow && !panel && !(panel = panel_input::WaitForPanel(30000)))
            return Fail("no panel window on screen");
        bool done = true;
        if (command == "tab") {
            const auto box = panel_input::ElementBox(panel, ansi::ToWide(argument).c_str());
            done = box.has_value();
            if (done)
                panel_input::ClickAt(panel_input::PageView(panel),
                                     POINT{(box->left + box->right) / 2, (box->top + box->bottom) / 2});
            ++i;
        } else if (command == "check") {
            done = Click(panel_input::FindCheckBox(panel, atoi(argument.c_str())));
            ++i;
        } else if (command == "button") {
            done = Click(panel_input::FindControl(panel, L"Button", 0, ansi::ToWide(argument).c_str()));
            ++i;
        } else if (command == "list") {
            HWND list = panel_input::FindControl(panel, L"ListBox", 1);
            done = list != nullptr;
            if (done) {
                RECT item{};
                SendMessageW(list, LB_GETITEMRECT, atoi(argument.c_str()) - 1, reinterpret_cast<LPARAM>(&item));
                panel_input::ClickAt(list, POINT{(item.left + item.right) / 2, (item.top + item.bottom) / 2});
            }
            ++i;
        } else if (command == "text") {
            done = Click(panel_input::FindControl(panel, L"Edit", 1));
        } else if (command == "type") {
            panel_input::TypeText(ansi::ToWide(argument));
            ++i;
        } else if (command == "keys") {
            done = panel_input::PressKeys(argument);
            ++i;
        } else if (command == "shot") {
            done = panel_input::SaveClientBitmap(panel, argument);
            ++i;
        } else {
            return Fail("unknown command " + command);
        }
        if (!done)
            return Fail("nothing to act on for: " + command + " " + argument);
        panel_input::Settle(panel);
    }
    return 0;
}
