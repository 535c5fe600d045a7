#include "MemoryHtmlView.h"

#include "Handle.h"

#include "AnsiText.h"

namespace {

const UINT kReleaseRetired = WM_APP + 0x51;
const UINT kLayOutAgain = WM_APP + 0x52;
const wchar_t kViewClass[] = L"NorvanePageView";

class MemoryElement : public IHtmlElement {
public:
    MemoryElement(MemoryHtmlView& view, std::shared_ptr<html::Node> document, html::Node* node)
        : view_(view), document_(std::move(document)), node_(node)
    {
    }
    std::wstring Id() override { return node_->Id(); }
    std::wstring GetInnerHtml() override { return html::InnerHtml(*node_); }
    bool SetInnerHtml(const std::wstring& markup) override
    {
        view_.BeforeReplace(*node_);
        html::SetInnerHtml(*node_, markup);
        view_.AfterChange();
        return true;
    }
    std::wstring GetOuterHtml() override { return html::OuterHtml(*node_); }
    bool SetOuterHtml(const std::wstring& markup) override
    {
        view_.BeforeReplace(*node_);
        const bool replaced = html::SetOuterHtml(*node_, markup);
        view_.AfterChange();
        return replaced;
    }
    std::optional<std::wstring> GetAttribute(const std::wstring& name) override
    {
        return node_->GetAttribute(name);
    }
    std::optional<bool> Checked() override
    {
        // The control's state is read back into its node at every click.
        if (!node_->IsElement(L"input"))
            return std::nullopt;
        return node_->HasFlag(L"checked");
    }
    std::unique_ptr<IHtmlElement> Parent() override
    {
        html::Node* parent = node_->parent;
        if (!parent || parent->kind != html::Node::Kind::Element || parent == document_.get())
            return nullptr;
        return std::make_unique<MemoryElement>(view_, document_, parent);
    }

private:
    MemoryHtmlView& view_;
    std::shared_ptr<html::Node> document_;  // keeps the page alive while the element is in use
    html::Node* node_;
};

bool HasHandCursor(const html::Node* node)
{
    for (const html::Node* n = node; n; n = n->parent) {
        if (html::StyleValue(*n, L"cursor") == L"hand" || html::StyleValue(*n, L"cursor") == L"pointer")
            return true;
        if (n->IsElement(L"a") && n->GetAttribute(L"href"))
            return true;
    }
    return false;
}

}  // namespace

// "res://<module path>/<id>": the module and the resource id.
bool ParseResourceUrl(const std::wstring& url, HMODULE& module, UINT& id)
{
    if (_wcsnicmp(url.c_str(), L"res://", 6) != 0)
        return false;
    const auto slash = url.rfind(L'/');
    if (slash == std::wstring::npos || slash < 6)
        return false;
    const std::wstring path = url.substr(6, slash - 6);
    id = static_cast<UINT>(wcstoul(url.c_str() + slash + 1, nullptr, 10));
    module = GetModuleHandleW(path.c_str());
    return module != nullptr && id != 0;
}

std::string LoadHtmlResource(HMODULE module, UINT id)
{
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(23));  // RT_HTML
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return bytes ? std::string(bytes, SizeofResource(module, resource)) : std::string();
}

bool MemoryHtmlView::Create(HWND parent, const RECT& area)
{
    width_ = area.right - area.left;
    if (!parent)
        return true;
    static const ATOM registered = [] {
        WNDCLASSW type{};
        type.lpfnWndProc = WindowProc;
        type.hInstance = GetModuleHandleW(nullptr);
        type.hCursor = LoadCursor(nullptr, IDC_ARROW);
        type.lpszClassName = kViewClass;
        return RegisterClassW(&type);
    }();
    (void)registered;
    window_ = MakeWindow(parent, area, WS_VISIBLE);
    if (!window_)
        return false;
    // Above the dialog's other children (the template's banner), which it covers.
    SetWindowPos(window_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return true;
}

// The view's window, or a page's inside it: a control parent, so that the
// dialog's Tab and arrow keys reach the page's controls.
HWND MemoryHtmlView::MakeWindow(HWND parent, const RECT& area, DWORD style)
{
    return CreateWindowExW(WS_EX_CONTROLPARENT, kViewClass, L"", WS_CHILD | WS_CLIPCHILDREN | style, area.left,
                           area.top, area.right - area.left, area.bottom - area.top, parent, nullptr,
                           GetModuleHandleW(nullptr), this);
}

void MemoryHtmlView::Destroy()
{
    page_ = nullptr;
    for (auto& [url, page] : pages_) {
        page.controls.reset();
        SetWindowLongPtrW(page.window, GWLP_USERDATA, 0);
        DestroyWindow(page.window);
    }
    pages_.clear();
    if (window_) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
        window_ = nullptr;
    }
    document_.reset();
    layout_ = html::PageLayout{};
}

// The window of the page at this address, made hidden the first time.
MemoryHtmlView::PageWindow* MemoryHtmlView::PageFor(const std::wstring& url)
{
    if (!window_)
        return nullptr;
    PageWindow& page = pages_[url];
    if (!page.window) {
        RECT whole{};
        GetClientRect(window_, &whole);
        page.window = MakeWindow(window_, whole, 0);
        if (!page.window) {
            pages_.erase(url);
            return nullptr;
        }
        page.controls = std::make_unique<html::PageControls>(
            page.window, gdi_, [this](html::Node& node, long dispid) { Activate(node, dispid); });
    }
    return &page;
}

MemoryHtmlView::PageWindow* MemoryHtmlView::PageOf(HWND window)
{
    for (auto& [url, page] : pages_)
        if (page.window == window)
            return &page;
    return nullptr;
}

HWND MemoryHtmlView::ControlOf(const std::wstring& id)
{
    Layout();
    html::Node* node = document_ ? html::FindById(*document_, id) : nullptr;
    return node && Controls() ? Controls()->WindowOf(node) : nullptr;
}

void MemoryHtmlView::BeforeReplace(const html::Node& node)
{
    if (Controls()) {
        Controls()->Retire(node);
        PostMessageW(page_->window, kReleaseRetired, 0, 0);
    }
}

// Changes come in runs (a fill step rewrites box after box): the page is
// laid out once for the run, when the message that made it has returned, or
// sooner when something needs the layout.
void MemoryHtmlView::AfterChange()
{
    if (!layoutDue_ && window_)
        PostMessageW(window_, kLayOutAgain, 0, 0);
    layoutDue_ = true;
}

const html::PageLayout& MemoryHtmlView::Layout()
{
    if (layoutDue_)
        Relayout();
    return layout_;
}

void MemoryHtmlView::Relayout()
{
    layoutDue_ = false;
    html::PageLayout before = std::move(layout_);
    layout_ = document_ ? html::LayOutPage(*document_, width_, gdi_) : html::PageLayout{};
    if (Controls())
        Controls()->Update(layout_);
    // Most changes are a control's content (a line added to the list, the
    // Url box filled): the page behind is painted again only if it changed.
    if (Window() && !html::DrawsAlike(before, layout_))
        InvalidateRect(Window(), nullptr, FALSE);
}

void MemoryHtmlView::Paint(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT area{};
    GetClientRect(window, &area);
    // Drawn off screen first and put there whole: no flicker on a page switch.
    MemoryDc buffer(CreateCompatibleDC(dc));
    BitmapHandle bitmap(CreateCompatibleBitmap(dc, area.right, area.bottom));
    if (buffer && bitmap) {
        HGDIOBJ old = SelectObject(buffer.Get(), bitmap.Get());
        gdi_.Paint(buffer.Get(), area, Layout());
        BitBlt(dc, 0, 0, area.right, area.bottom, buffer.Get(), 0, 0, SRCCOPY);
        SelectObject(buffer.Get(), old);
    } else {
        gdi_.Paint(dc, area, Layout());  // no memory for the buffer: straight on screen
    }
    EndPaint(window, &ps);
}

// A click on a drawn element: the innermost one under the pointer.
void MemoryHtmlView::OnClickAt(POINT at)
{
    if (html::Node* target = const_cast<html::Node*>(Layout().ElementAt(at)))
        Activate(*target, kEventClick);
}

void MemoryHtmlView::Activate(html::Node& target, long dispid)
{
    // The page may change under the handler (a tab loads another one): keep
    // this one, and with it the link, alive until both are done.
    std::shared_ptr<html::Node> page = document_;
    MemoryElement source(*this, page, &target);
    events_.OnElementEvent(dispid, source);
    if (dispid == kEventClick)
        FollowLink(target);
}

// A link's address goes to the host, which shows a page of ours or passes
// anything else to the system.
void MemoryHtmlView::FollowLink(const html::Node& target)
{
    const html::Node* link = html::Enclosing(&target, L"a");
    const std::wstring href = link ? link->GetAttribute(L"href").value_or(L"") : L"";
    const std::wstring frame = link ? link->GetAttribute(L"target").value_or(L"") : L"";
    if (href.empty())
        return;
    if (!frame.empty())
        events_.OnNewWindow(href);
    else if (_wcsnicmp(href.c_str(), L"res:", 4) == 0)
        Navigate(href);
    else
        events_.OnBeforeNavigate(href);  // not a page: the host hands it on
}

bool MemoryHtmlView::SetCursorFor(HWND window, HWND over)
{
    const html::Node* node = nullptr;
    if (over == window) {
        POINT at{};
        GetCursorPos(&at);
        ScreenToClient(window, &at);
        node = Layout().ElementAt(at);
    } else if (Controls()) {
        node = Controls()->NodeOf(over);
    }
    if (!HasHandCursor(node))
        return false;
    SetCursor(LoadCursor(nullptr, IDC_HAND));
    return true;
}

LRESULT CALLBACK MemoryHtmlView::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        // Before CreateWindowEx returns: its messages come first.
        auto* view = static_cast<MemoryHtmlView*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
    }
    auto* self = reinterpret_cast<MemoryHtmlView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->OnMessage(window, message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

// The view's window and the pages' take the same messages; what concerns a
// page's controls goes to the controls of the page whose window it is.
LRESULT MemoryHtmlView::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    PageWindow* page = PageOf(window);
    html::PageControls* controls = page ? page->controls.get() : nullptr;
    switch (message) {
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the paint covers it all
    case WM_LBUTTONUP:
        OnClickAt(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return 0;
    case WM_SETCURSOR:
        if (SetCursorFor(window, reinterpret_cast<HWND>(wParam)))
            return TRUE;
        break;
    case WM_COMMAND:
        if (controls && controls->OnCommand(wParam, lParam))
            return 0;
        break;
    case WM_DRAWITEM:
        if (controls && controls->OnDrawItem(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam)))
            return TRUE;
        break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
        if (HBRUSH brush = controls ? controls->OnColor(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam))
                                    : nullptr)
            return reinterpret_cast<LRESULT>(brush);
        break;
    case kLayOutAgain:
        if (layoutDue_)
            Relayout();
        return 0;
    case kReleaseRetired:
        if (controls)
            controls->ReleaseRetired();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::shared_ptr<html::Node> LoadResourcePage(const std::wstring& url)
{
    HMODULE module = nullptr;
    UINT id = 0;
    const std::string page = ParseResourceUrl(url, module, id) ? LoadHtmlResource(module, id) : std::string();
    if (page.empty())
        return nullptr;
    auto document = std::make_shared<html::Node>();
    document->tag = L"#document";
    html::SetInnerHtml(*document, ansi::ToWide(page));
    return document;
}

bool MemoryHtmlView::Navigate(const std::wstring& url)
{
    auto document = LoadResourcePage(url);
    if (!document || !events_.OnBeforeNavigate(url))
        return false;
    // The page before lets its controls go: they stay where they are, for
    // its next showing to take up again.
    PageWindow* before = page_;
    if (before) {
        before->controls->HandOver();
        PostMessageW(before->window, kReleaseRetired, 0, 0);
    }
    document_ = std::move(document);
    layoutDue_ = true;
    url_ = url;
    page_ = PageFor(url);
    events_.OnDocumentComplete(url);
    Layout();  // the page and its fill, laid out once
    ShowPage(before);
    return true;
}

// The page's window in place of the one before, if it is another.
void MemoryHtmlView::ShowPage(PageWindow* before)
{
    if (!page_ || page_ == before)
        return;
    ShowWindow(page_->window, SW_SHOWNA);
    if (before)
        ShowWindow(before->window, SW_HIDE);
}

std::unique_ptr<IHtmlElement> MemoryHtmlView::GetElement(const std::wstring& id)
{
    html::Node* node = document_ ? html::FindById(*document_, id) : nullptr;
    if (!node)
        return nullptr;
    return std::make_unique<MemoryElement>(*this, document_, node);
}
