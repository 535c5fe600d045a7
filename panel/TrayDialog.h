#pragma once
// A dialog that lives either on screen or as an icon in the notification
// area, never both: closing or minimising puts it in the tray, a double click
// on the icon (or the menu's Configuration) brings it back. A right click
// opens the tray menu. While the icon is shown, no show reaches the screen.
#include <windows.h>
#include <shellapi.h>

#include "DHtmlDialog.h"

const UINT WM_TRAYNOTIFY = WM_USER + 1;

class CTrayDialog : public CMultiPageDHtmlDialog {
public:
    CTrayDialog(UINT templateId, UINT firstPage, HWND parent);
    ~CTrayDialog() override;

    HICON SetTrayIcon(UINT iconId);
    void SetTrayTip(const char* tip);
    void SetTrayMenu(UINT menuId);
    BOOL AddTrayIcon();
    BOOL RemoveTrayIcon();
    void RestoreFromTray();
    // Hides the window to the tray once its icon is in place. Without a
    // taskbar (at log-on it may not exist yet) or with a shell too busy to
    // take the icon, the window stays on screen and the hide waits for the
    // taskbar, trying again every second: never hidden with no icon.
    void HideToTrayWhenPossible();

    // The shell's "TaskbarCreated" message: a taskbar started or restarted.
    static UINT TaskbarCreatedMessage();
    // Lets a message through from processes of lower integrity (Vista and
    // later; XP has no such filter), so an elevated panel still hears it.
    static void AllowFromLowerIntegrity(UINT message);

    bool IsIconShown() const { return iconShown_ != 0; }
    const NOTIFYICONDATAA& NotifyData() const { return notify_; }
    HMENU TrayMenu() const { return menu_; }

    // Close and minimise hide the window to the tray; the rest take the default path.
    virtual bool OnSysCommand(UINT id, LPARAM param);
    LRESULT OnTrayNotify(WPARAM iconId, LPARAM mouseMessage);

protected:
    virtual void OnTrayLButtonDown(POINT) {}
    virtual void OnTrayLButtonDblClk(POINT) { RestoreFromTray(); }
    virtual void OnTrayRButtonDown(POINT at);
    virtual void OnTrayRButtonDblClk(POINT) {}
    virtual void OnTrayMouseMove(POINT) {}

    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // The shell lost every icon: ours goes back if the window was in the tray,
    // else the window comes on screen; a hide that waited for it happens now.
    void OnTaskbarCreated();
    void KeepInTray(WINDOWPOS& change) const;
    void OnWindowCreated() override;
    void OnWindowDestroyed() override;

private:
    // Tray behaviour is always on, and the menu's default item after a use
    // is always its first: constants, not state.
    static constexpr bool kTraySwitch = true;
    static constexpr UINT kDefaultItem = 0;
    int iconShown_ = 0;
    NOTIFYICONDATAA notify_{};
    HMENU menu_ = nullptr;
    bool hideWhenTaskbarComes_ = false;
};
