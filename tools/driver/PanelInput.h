#pragma once
// A person's hands and eyes at the control panel's window, for the main job
// and the end-to-end tests: real mouse clicks and key presses through
// SendInput, places found as a person finds them (a button by its text, the
// n-th check box, a tab where the page draws it), and pictures of the window
// as it is on screen.
#include <windows.h>

#include <optional>
#include <string>

namespace panel_input {

// The panel's main window, shown on screen, within the time; or null.
HWND WaitForPanel(DWORD timeoutMs);
// The window of the page the panel shows, or null.
HWND PageView(HWND panel);

// A left click at a point of the window's client area.
void ClickAt(HWND window, POINT client);
// The panel's icon in the notification area: under Wine's own tray window
// (Xvfb has no desktop tray of its own), or null.
HWND TrayIcon();
// A right click, or a double click, in the middle of a window.
void RightClick(HWND window);
void DoubleClick(HWND window);
// A click in the middle of a child control of the page.
void ClickControl(HWND control);
// The page's n-th control (1-based) of a window class ("Button", "ListBox",
// "Edit") in page order; with text, the first one showing that text.
HWND FindControl(HWND panel, const wchar_t* windowClass, int nth, const wchar_t* text = nullptr);
// The page's n-th check box (1-based), in page order.
HWND FindCheckBox(HWND panel, int nth);
// Where the page draws the element with this id (a tab), in the view's
// client area: laid out from the page's own mark-up as the panel does.
std::optional<RECT> ElementBox(HWND panel, const wchar_t* id);

// Key presses: "TAB", "SHIFT+TAB", "DOWN", "SPACE", "CTRL+V", "A"...
bool PressKeys(const std::string& keys);
// Types the text as key presses of its characters.
void TypeText(const std::wstring& text);

// Lets the window's thread handle what was sent to it before anything more
// is sent (input sent while it is busy would land in the wrong place).
void Settle(HWND window);
// Waits until the condition holds, up to the time.
bool WaitUntil(bool (*condition)(HWND), HWND panel, DWORD timeoutMs);
// An open popup menu (the tray menu), or null.
HWND OpenMenu();

// The window's client area as it is on screen, as a 24-bit BMP file.
bool SaveClientBitmap(HWND window, const std::string& path);
// The colour of one pixel of the client area on screen.
COLORREF PixelAt(HWND window, POINT client);

}  // namespace panel_input
