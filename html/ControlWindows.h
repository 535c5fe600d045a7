#pragma once
// The recycling of a page's control windows. A window whose control left
// the page is kept, hidden, or on screen still while a page loads anew, and
// taken up by the next control of its kind that it fits best; every window
// remembers in its user data how it was last shown, whichever page's it was,
// so that a window taken up again is moved, recoloured or refilled only
// where it differs. Under Wine each show, hide, move or new text of a window
// is a round trip to the window server, most of what a page switch costs.
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "PageLayout.h"
#include "PagePainter.h"

namespace html {

class PageControls;

// What is known of each control window of ours, in its user data: what the
// procedure over the control's own needs, and how the window was last shown.
struct ControlWindowState {
    PageControls* owner = nullptr;
    WNDPROC old = nullptr;
    bool busy = false;  // inside a message of its own
    RECT rect{};
    HWND after = nullptr;  // the window it was put after
    COLORREF back = CLR_INVALID, color = CLR_INVALID, background = CLR_INVALID;
    std::vector<std::wstring> lines;  // a list box's
};

class ControlWindows {
public:
    explicit ControlWindows(GdiContainer& gdi) : gdi_(gdi) {}
    // The spares are destroyed, their own procedures put back first.
    ~ControlWindows();
    ControlWindows(const ControlWindows&) = delete;
    ControlWindows& operator=(const ControlWindows&) = delete;

    // A new window of ours: its state in its user data, and this procedure
    // over its own.
    void Subclass(HWND window, PageControls* owner, WNDPROC procedure);
    static ControlWindowState* StateOf(HWND window);
    // Whether the window is inside a message of its own (a handler running).
    static bool Busy(HWND window);

    // The window of the control's kind that it fits best, in the control's
    // font and on screen; null when none is free.
    HWND Reuse(const PageControl& placed, const std::vector<std::wstring>& lines);
    // A window whose control left the page: hidden now, free for another
    // control once the message that may be running in it has returned.
    void Retire(HWND window, ControlKind kind);
    void ReleaseRetired();
    // A window of a page that loads anew: on screen still, for the new
    // page's controls to take up where they fit.
    void HandOver(HWND window, ControlKind kind);
    // What the new page did not take up leaves the screen.
    void RetireHandedOver();

private:
    struct Spare {
        HWND window;
        ControlKind kind;
    };
    std::size_t Fit(HWND window, const PageControl& placed, const std::vector<std::wstring>& lines) const;
    HWND Adopt(HWND window, const PageControl& placed);

    GdiContainer& gdi_;
    std::vector<Spare> retired_;  // hidden, maybe still in a message of their own
    std::vector<Spare> spares_;   // hidden, free for the next control of their kind
    std::vector<Spare> handed_;   // on screen still, free for the new page's controls
    std::map<HWND, std::unique_ptr<ControlWindowState>> states_;
};

// How many lines two lists share at their start and, after it, at their end.
std::pair<std::size_t, std::size_t> SharedEnds(const std::vector<std::wstring>& a, const std::vector<std::wstring>& b);
std::wstring WindowText(HWND window);

}  // namespace html
