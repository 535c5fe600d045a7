#include "ControlWindows.h"

namespace html {

namespace {

std::size_t SharedLines(const std::vector<std::wstring>& a, const std::vector<std::wstring>& b)
{
    const auto [head, tail] = SharedEnds(a, b);
    return head + tail;
}

}  // namespace

std::pair<std::size_t, std::size_t> SharedEnds(const std::vector<std::wstring>& a, const std::vector<std::wstring>& b)
{
    std::size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head])
        ++head;
    std::size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;
    return {head, tail};
}

std::wstring WindowText(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, &text[0], length + 1)));
    return text;
}

ControlWindows::~ControlWindows()
{
    for (const Spare& spare : spares_) {
        if (const ControlWindowState* state = StateOf(spare.window)) {
            SetWindowLongPtrW(spare.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(state->old));
            SetWindowLongPtrW(spare.window, GWLP_USERDATA, 0);
        }
        DestroyWindow(spare.window);
    }
}

void ControlWindows::Subclass(HWND window, PageControls* owner, WNDPROC procedure)
{
    // Kept in the window's user data, not in window properties: under Wine
    // each property call goes to the server, and a long list's lines pass
    // through this procedure one message each.
    auto& state = states_[window];
    state = std::make_unique<ControlWindowState>();  // anew: the handle may be one a destroyed window had
    state->owner = owner;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state.get()));
    state->old = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
}

ControlWindowState* ControlWindows::StateOf(HWND window)
{
    return reinterpret_cast<ControlWindowState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

bool ControlWindows::Busy(HWND window)
{
    const ControlWindowState* state = StateOf(window);
    return state && state->busy;
}

// How much of what a window shows a control can keep: a list box its lines
// (a list rewritten for one added or removed line then changes by one), any
// window its place, a button its text.
std::size_t ControlWindows::Fit(HWND window, const PageControl& placed, const std::vector<std::wstring>& lines) const
{
    const ControlWindowState& state = *StateOf(window);
    std::size_t fit = 4 * SharedLines(state.lines, lines);
    if (EqualRect(&state.rect, &placed.rect))
        fit += 2;
    if (placed.kind == ControlKind::Button && WindowText(window) == placed.node->GetAttribute(L"value").value_or(L""))
        fit += 1;
    return fit;
}

// Of the old page's windows if one is left (still on screen: showing a
// hidden one and hiding the other costs more than moving it), else of those
// of rewritten parts of this page, else of the hidden spares.
HWND ControlWindows::Reuse(const PageControl& placed, const std::vector<std::wstring>& lines)
{
    for (std::vector<Spare>* pool : {&handed_, &retired_, &spares_}) {
        auto best = pool->end();
        std::size_t bestFit = 0;
        for (auto spare = pool->begin(); spare != pool->end(); ++spare) {
            // A window whose own message is running keeps out of it.
            if (spare->kind != placed.kind || Busy(spare->window))
                continue;
            const std::size_t fit = Fit(spare->window, placed, lines);
            if (best == pool->end() || fit > bestFit) {
                best = spare;
                bestFit = fit;
            }
        }
        if (best != pool->end()) {
            HWND window = best->window;
            pool->erase(best);
            return Adopt(window, placed);
        }
    }
    return nullptr;
}

// A reused window in the control's font, on screen.
HWND ControlWindows::Adopt(HWND window, const PageControl& placed)
{
    const HFONT font = gdi_.Font(placed.font);
    if (reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)) != font)
        SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (!IsWindowVisible(window))
        ShowWindow(window, SW_SHOWNA);
    return window;
}

void ControlWindows::Retire(HWND window, ControlKind kind)
{
    ShowWindow(window, SW_HIDE);
    retired_.push_back({window, kind});
}

void ControlWindows::ReleaseRetired()
{
    spares_.insert(spares_.end(), retired_.begin(), retired_.end());
    retired_.clear();
}

void ControlWindows::HandOver(HWND window, ControlKind kind) { handed_.push_back({window, kind}); }

void ControlWindows::RetireHandedOver()
{
    for (const Spare& left : handed_)
        Retire(left.window, left.kind);
    handed_.clear();
}

}  // namespace html
