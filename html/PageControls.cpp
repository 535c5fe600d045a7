#include "PageControls.h"

#include <algorithm>

#include "HtmlView.h"

namespace html {

namespace {

COLORREF Or(COLORREF color, COLORREF fallback) { return color == CLR_INVALID ? fallback : color; }

std::vector<Node*> Options(Node& list)
{
    std::vector<Node*> options;
    for (auto& child : list.children)
        if (child->IsElement(L"option"))
            options.push_back(child.get());
    return options;
}

std::vector<std::wstring> LinesOf(Node& list)
{
    std::vector<std::wstring> lines;
    for (Node* option : Options(list))
        lines.push_back(OptionText(*option));
    return lines;
}

bool Contains(const Node& subtree, const Node* node)
{
    for (const Node* n = node; n; n = n->parent)
        if (n == &subtree)
            return true;
    return false;
}

}  // namespace

PageControls::PageControls(HWND parent, GdiContainer& gdi, EventSink sink)
    : parent_(parent), gdi_(gdi), sink_(std::move(sink)), windows_(gdi)
{
}

PageControls::~PageControls()
{
    RetireAll();
    ReleaseRetired();
}

void PageControls::Update(const PageLayout& layout)
{
    HWND previous = HWND_TOP;
    for (const PageControl& placed : layout.controls) {
        HWND window = WindowOf(placed.node);
        if (!window) {
            // A list's lines, read once for the choice of window and the fill.
            std::vector<std::wstring> lines =
                placed.kind == ControlKind::ListBox ? LinesOf(*placed.node) : std::vector<std::wstring>();
            window = Make(placed, lines);
            if (!window)
                continue;
            controls_.push_back(
                {placed.node, placed.kind, window, placed.behind, BrushHandle(CreateSolidBrush(placed.behind))});
            Show(controls_.back(), std::move(lines));
        }
        // The colours as the page has them now: a script may restyle a control.
        Control& control = *Find(window);
        control.color = placed.color;
        control.background = placed.background;
        Place(control, placed.rect, previous);
        previous = window;
    }
    windows_.RetireHandedOver();
}

// Page order is z-order, which is the dialog's Tab order. Under Wine each
// move, show, hide or new text of a window is a round trip to the window
// server, the most of what a page switch costs: a window that already
// stands there, after the window before it, in the same colours, is left
// alone.
void PageControls::Place(const Control& control, const RECT& rect, HWND previous)
{
    // Where it was put last is where it is: only these moves reorder the
    // page's windows, and a window that another took the place after since
    // is either of this page (and moved on in its turn) or hidden.
    ControlWindowState& state = *ControlWindows::StateOf(control.window);
    const bool moved = !EqualRect(&state.rect, &rect) || state.after != previous;
    const bool recoloured =
        state.back != control.back || state.color != control.color || state.background != control.background;
    if (moved) {
        // Painted anew where it lands: a control moved before its first
        // paint would otherwise bring the old place's pixels along.
        SetWindowPos(control.window, previous, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                     SWP_NOACTIVATE | SWP_NOCOPYBITS);
    }
    if (moved || recoloured)
        InvalidateRect(control.window, nullptr, TRUE);
    state.rect = rect;
    state.after = previous;
    state.back = control.back;
    state.color = control.color;
    state.background = control.background;
}

HWND PageControls::Make(const PageControl& placed, const std::vector<std::wstring>& lines)
{
    if (HWND window = windows_.Reuse(placed, lines))
        return window;
    const wchar_t* type = L"BUTTON";
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
    DWORD extended = 0;
    std::wstring text;
    switch (placed.kind) {
    case ControlKind::CheckBox:
        style |= BS_AUTOCHECKBOX;
        break;
    case ControlKind::Button:
        style |= BS_OWNERDRAW;
        text = placed.node->GetAttribute(L"value").value_or(L"");
        break;
    case ControlKind::ListBox:
        type = L"LISTBOX";
        style |= LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
        extended = WS_EX_CLIENTEDGE;
        break;
    case ControlKind::TextBox:
        type = L"EDIT";
        style |= ES_AUTOHSCROLL;
        extended = WS_EX_CLIENTEDGE;
        break;
    }
    HWND window = CreateWindowExW(extended, type, text.c_str(), style, placed.rect.left, placed.rect.top,
                                  placed.rect.right - placed.rect.left, placed.rect.bottom - placed.rect.top, parent_,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window)
        return nullptr;
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(gdi_.Font(placed.font)), FALSE);
    windows_.Subclass(window, this, SubclassProc);
    return window;
}

void PageControls::Show(const Control& control, std::vector<std::wstring> lines)
{
    refreshing_ = true;
    // A disabled element takes no input, as the platform's engine has it.
    const bool enabled = !control.node->HasFlag(L"disabled");
    if ((IsWindowEnabled(control.window) != FALSE) != enabled)
        EnableWindow(control.window, enabled);
    switch (control.kind) {
    case ControlKind::CheckBox:
        SendMessageW(control.window, BM_SETCHECK, control.node->HasFlag(L"checked") ? BST_CHECKED : BST_UNCHECKED, 0);
        break;
    case ControlKind::ListBox: {
        const std::vector<Node*> options = Options(*control.node);
        // The last option marked selected is the one, as the list box has one.
        const auto last = std::find_if(options.rbegin(), options.rend(),
                                       [](const Node* option) { return option->HasFlag(L"selected"); });
        FillList(control.window, std::move(lines));
        SendMessageW(control.window, LB_SETCURSEL, last == options.rend() ? -1 : options.rend() - last - 1, 0);
        break;
    }
    case ControlKind::TextBox:
    case ControlKind::Button: {
        const std::wstring text = control.node->GetAttribute(L"value").value_or(L"");
        if (WindowText(control.window) != text)
            SetWindowTextW(control.window, text.c_str());
        break;
    }
    }
    refreshing_ = false;
}

void PageControls::FillList(HWND window, std::vector<std::wstring> lines)
{
    std::vector<std::wstring>& held = ControlWindows::StateOf(window)->lines;
    const auto [head, tail] = SharedEnds(held, lines);
    const std::size_t removed = held.size() - head - tail, added = lines.size() - head - tail;
    if (removed == 0 && added == 0)
        return;
    // With its drawing held: a long list would otherwise repaint at every line.
    SendMessageW(window, WM_SETREDRAW, FALSE, 0);
    if (removed == held.size()) {
        SendMessageW(window, LB_RESETCONTENT, 0, 0);
        SendMessageW(window, LB_INITSTORAGE, added, added * 32 * sizeof(wchar_t));
    } else {
        for (std::size_t i = 0; i < removed; ++i)
            SendMessageW(window, LB_DELETESTRING, head, 0);
    }
    for (std::size_t i = 0; i < added; ++i)
        SendMessageW(window, LB_INSERTSTRING, head + i, reinterpret_cast<LPARAM>(lines[head + i].c_str()));
    SendMessageW(window, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(window, nullptr, TRUE);
    held = std::move(lines);
}

void PageControls::ReadBack(const Control& control)
{
    switch (control.kind) {
    case ControlKind::CheckBox:
        control.node->SetFlag(L"checked", SendMessageW(control.window, BM_GETCHECK, 0, 0) == BST_CHECKED);
        break;
    case ControlKind::ListBox: {
        const LRESULT selected = SendMessageW(control.window, LB_GETCURSEL, 0, 0);
        const std::vector<Node*> options = Options(*control.node);
        for (std::size_t i = 0; i < options.size(); ++i)
            options[i]->SetFlag(L"selected", static_cast<LRESULT>(i) == selected);
        break;
    }
    case ControlKind::TextBox:
        control.node->SetAttribute(L"value", WindowText(control.window));
        break;
    case ControlKind::Button:
        break;
    }
}

void PageControls::Forget(std::vector<Control>::iterator which)
{
    windows_.Retire(which->window, which->kind);
    controls_.erase(which);
}

void PageControls::Retire(const Node& subtree)
{
    for (auto c = controls_.begin(); c != controls_.end();) {
        if (Contains(subtree, c->node)) {
            const auto at = c - controls_.begin();
            Forget(c);
            c = controls_.begin() + at;
        } else {
            ++c;
        }
    }
}

void PageControls::RetireAll()
{
    while (!controls_.empty())
        Forget(controls_.begin());
}

void PageControls::HandOver()
{
    for (auto c = controls_.begin(); c != controls_.end();) {
        if (ControlWindows::Busy(c->window)) {
            const auto at = c - controls_.begin();
            Forget(c);  // a window whose own message is running gets no other node under it
            c = controls_.begin() + at;
            continue;
        }
        windows_.HandOver(c->window, c->kind);
        c = controls_.erase(c);
    }
}

void PageControls::ReleaseRetired() { windows_.ReleaseRetired(); }

PageControls::Control* PageControls::Find(HWND window)
{
    for (Control& control : controls_)
        if (control.window == window)
            return &control;
    return nullptr;
}

Node* PageControls::NodeOf(HWND window) const
{
    for (const Control& control : controls_)
        if (control.window == window)
            return control.node;
    return nullptr;
}

HWND PageControls::WindowOf(const Node* node) const
{
    for (const Control& control : controls_)
        if (control.node == node)
            return control.window;
    return nullptr;
}

bool PageControls::OnCommand(WPARAM wParam, LPARAM lParam)
{
    Control* control = Find(reinterpret_cast<HWND>(lParam));
    if (!control)
        return false;
    const WORD code = HIWORD(wParam);
    if (code == EN_CHANGE && !refreshing_)
        ReadBack(*control);
    if (code == BN_CLICKED && (control->kind == ControlKind::CheckBox || control->kind == ControlKind::Button)) {
        ReadBack(*control);
        sink_(*control->node, kEventClick);
    }
    return true;
}

// Buttons in the colours and font their style names.
bool PageControls::OnDrawItem(const DRAWITEMSTRUCT& item)
{
    Control* control = Find(item.hwndItem);
    if (!control)
        return false;
    const COLORREF back = Or(control->background, GetSysColor(COLOR_BTNFACE));
    const COLORREF fore = Or(control->color, GetSysColor(COLOR_BTNTEXT));
    RECT rect = item.rcItem;
    SetBkColor(item.hDC, back);
    ExtTextOutW(item.hDC, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    DrawEdge(item.hDC, &rect, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    wchar_t text[256] = {};
    GetWindowTextW(item.hwndItem, text, 256);
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, fore);
    if (pressed)
        OffsetRect(&rect, 1, 1);
    DrawTextW(item.hDC, text, -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (item.itemState & ODS_FOCUS) {
        RECT focus = item.rcItem;
        InflateRect(&focus, -3, -3);
        SetTextColor(item.hDC, RGB(0, 0, 0));
        DrawFocusRect(item.hDC, &focus);
    }
    return true;
}

HBRUSH PageControls::OnColor(HWND window, HDC dc)
{
    Control* control = Find(window);
    if (!control)
        return nullptr;
    if (control->kind == ControlKind::CheckBox) {
        SetBkColor(dc, control->back);
        return control->brush.Get();
    }
    SetTextColor(dc, Or(control->color, GetSysColor(COLOR_WINDOWTEXT)));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return GetSysColorBrush(COLOR_WINDOW);
}

// Key events of list and text boxes, and a list box's click: raised on the
// control's node as the platform's engine raises them. The old procedure is
// fetched first: a handler may retire this very control.
LRESULT CALLBACK PageControls::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    ControlWindowState* state = ControlWindows::StateOf(window);
    if (!state)
        return DefWindowProcW(window, message, wParam, lParam);
    const WNDPROC old = state->old;
    PageControls* self = state->owner;
    Control* control = self->Find(window);
    if (!control)
        return CallWindowProcW(old, window, message, wParam, lParam);
    Node& node = *control->node;
    const ControlKind kind = control->kind;
    const bool keyed = kind == ControlKind::ListBox || kind == ControlKind::TextBox;
    state->busy = true;
    if (message == WM_KEYDOWN && keyed)
        self->sink_(node, kEventKeyDown);
    const LRESULT result = CallWindowProcW(old, window, message, wParam, lParam);
    control = self->Find(window);  // still ours after the default handling?
    if (!control) {
        state->busy = false;
        return result;
    }
    if (kind == ControlKind::ListBox && (message == WM_KEYUP || message == WM_LBUTTONUP)) {
        self->ReadBack(*control);
        if (message == WM_KEYUP) {
            self->sink_(node, kEventKeyUp);
        } else {
            // The option under the click is the source, as newer engines report it.
            const LRESULT selected = SendMessageW(window, LB_GETCURSEL, 0, 0);
            const std::vector<Node*> options = Options(node);
            Node* source = selected >= 0 && selected < static_cast<LRESULT>(options.size()) ? options[selected] : &node;
            self->sink_(*source, kEventClick);
        }
    } else if (message == WM_KEYUP && kind == ControlKind::TextBox) {
        self->sink_(node, kEventKeyUp);
    }
    state->busy = false;
    return result;
}

}  // namespace html
