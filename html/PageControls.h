#pragma once
// The form controls of a laid-out page as native child windows of the
// page's window: check boxes, buttons in the page's own colours, list boxes
// and text boxes, in page order so that Tab and Shift+Tab follow it. The
// page's nodes hold the state: what a person changes in a control is written
// back to its node at once (CHECKED, value, selected), so the mark-up reads
// what the screen shows. Windows are reused wherever they fit
// (ControlWindows), so that a page laid out again, or loaded again, moves,
// shows and fills only what changed.
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ControlWindows.h"
#include "Handle.h"
#include "PageLayout.h"
#include "PagePainter.h"

namespace html {

class PageControls {
public:
    // Raised on a control's node: click, key down, key up.
    using EventSink = std::function<void(Node& node, long dispid)>;

    PageControls(HWND parent, GdiContainer& gdi, EventSink sink);
    ~PageControls();
    PageControls(const PageControls&) = delete;
    PageControls& operator=(const PageControls&) = delete;

    // Windows for the layout's controls: new ones for new nodes, the others
    // moved; all in page order.
    void Update(const PageLayout& layout);
    // The controls of this node and the nodes under it, which are about to
    // be replaced: hidden now, and kept for later pages once the message
    // that may be running in one of them has returned (a page switch then
    // creates no windows).
    void Retire(const Node& subtree);
    void ReleaseRetired();
    // The page is loaded anew (its document is replaced): the windows let
    // go of their nodes and stay where they are, for the next Update to
    // take up where they fit (hiding and showing them again is most of what
    // a page switch costs); the rest is retired then.
    void HandOver();

    Node* NodeOf(HWND window) const;
    HWND WindowOf(const Node* node) const;

    // Messages of the parent for its controls; true when handled.
    bool OnCommand(WPARAM wParam, LPARAM lParam);
    bool OnDrawItem(const DRAWITEMSTRUCT& item);
    HBRUSH OnColor(HWND control, HDC dc);

private:
    struct Control {
        Node* node;
        ControlKind kind;
        HWND window;
        COLORREF back;  // the page's colour behind it
        BrushHandle brush;
        COLORREF color = CLR_INVALID;       // its style's, as the layout read them
        COLORREF background = CLR_INVALID;
    };
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void RetireAll();
    void Place(const Control& control, const RECT& rect, HWND previous);
    Control* Find(HWND window);
    // A window for the control: one taken up again where one fits, else new.
    HWND Make(const PageControl& control, const std::vector<std::wstring>& lines);
    // The control shows its node's state; a list box, these lines of it.
    void Show(const Control& control, std::vector<std::wstring> lines);
    // Makes the list box hold these lines, changing only the run of lines
    // that differs from what it holds (a window may come from another page).
    void FillList(HWND window, std::vector<std::wstring> lines);
    void ReadBack(const Control& control);
    void Forget(std::vector<Control>::iterator which);

    HWND parent_;
    GdiContainer& gdi_;
    EventSink sink_;
    std::vector<Control> controls_;
    bool refreshing_ = false;
    ControlWindows windows_;  // last: the spares go once the page's controls have
};

}  // namespace html
