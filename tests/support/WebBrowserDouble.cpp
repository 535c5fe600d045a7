#include "WebBrowserDouble.h"

#include <exdisp.h>
#include <exdispid.h>
#include <mshtml.h>
#include <mshtmhst.h>
#include <mshtmdid.h>
#include <ocidl.h>
#include <olectl.h>

#include <map>
#include <memory>
#include <new>

#include "ComStubs.h"
#include "HtmlDom.h"
#include "HtmlView.h"
#include "MemoryHtmlView.h"
#include "Variants.h"

namespace browser_double {
namespace {

// What the platform's engine does on a click before the page's handlers
// run: a check box turns.
void ClickDefault(html::Node& target)
{
    if (target.IsElement(L"input") && target.GetAttribute(L"type").value_or(L"") == L"checkbox")
        target.SetFlag(L"checked", !target.HasFlag(L"checked"));
}

// Selects the first option of a list box that shows this text, and no other
// option; the option, or null when none shows it.
html::Node* SelectOption(html::Node& list, const std::wstring& text)
{
    html::Node* chosen = nullptr;
    for (auto& child : list.children) {
        if (!child->IsElement(L"option"))
            continue;
        child->SetFlag(L"selected", false);
        if (!chosen && html::OptionText(*child) == text)
            chosen = child.get();
    }
    if (chosen)
        chosen->SetFlag(L"selected", true);
    return chosen;
}

const CLSID kHtmlDocument = {0x25336920, 0x03F9, 0x11CF, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}};
const IID kHtmlDocumentEvents2 = {0x3050F613, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
const UINT kCompleteNavigation = WM_APP + 1;
const wchar_t kWindowClass[] = L"NorvaneBrowserDouble";

long g_live = 0;
long g_advises = 0;
Browser* g_current = nullptr;

std::wstring FromBstr(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(); }
BSTR ToBstr(const std::wstring& text) { return SysAllocStringLen(text.data(), static_cast<UINT>(text.size())); }

// Each object of the stand-in: one reference count, and counted while alive.
class Counted {
public:
    Counted() { ++g_live; }
    virtual ~Counted() { --g_live; }
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;

protected:
    ULONG AddRefImpl() { return ++refs_; }
    ULONG ReleaseImpl()
    {
        const ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

private:
    ULONG refs_ = 1;
};

#define DOUBLE_REFCOUNT                                                 \
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); } \
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

template <typename T>
ComPtr<T> Make(T* p)
{
    return ComPtr<T>::Attach(p);
}

HRESULT Hand(IUnknown* object, void** out)
{
    *out = object;
    if (!object)
        return E_NOINTERFACE;
    object->AddRef();
    return S_OK;
}

class ConnectionPoint : public IConnectionPoint, public Counted {
public:
    explicit ConnectionPoint(REFIID iid) : iid_(iid) {}
    DOUBLE_REFCOUNT
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        const bool known = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint);
        return Hand(known ? this : nullptr, out);
    }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override
    {
        *iid = iid_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override
    {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override
    {
        ComPtr<IDispatch> events;
        if (!sink || FAILED(sink->QueryInterface(iid_, events.PutVoid())) || !events)
            return CONNECT_E_CANNOTCONNECT;
        sinks_[++lastCookie_] = events;
        *cookie = lastCookie_;
        ++g_advises;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override
    {
        if (sinks_.erase(cookie) == 0)
            return CONNECT_E_NOCONNECTION;
        --g_advises;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

    void Fire(DISPID id, DISPPARAMS& params)
    {
        const auto sinks = sinks_;  // a sink may unadvise while it runs
        for (const auto& sink : sinks)
            sink.second->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                                nullptr);
    }

private:
    IID iid_;
    std::map<DWORD, ComPtr<IDispatch>> sinks_;
    DWORD lastCookie_ = 0;
};

// An input element's own interface: its checked state, as the control keeps it.
class InputElement : public StubIHTMLInputElement, public Counted {
public:
    InputElement(std::shared_ptr<html::Node> root, html::Node* node) : root_(std::move(root)), node_(node) {}
    DOUBLE_REFCOUNT
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        const bool known =
            IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IHTMLInputElement);
        return Hand(known ? this : nullptr, out);
    }
    HRESULT STDMETHODCALLTYPE get_checked(VARIANT_BOOL* p) override
    {
        *p = node_->HasFlag(L"checked") ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }

private:
    std::shared_ptr<html::Node> root_;  // keeps the page alive
    html::Node* node_;
};

class Element : public StubIHTMLElement, public Counted {
public:
    Element(std::shared_ptr<html::Node> root, html::Node* node) : root_(std::move(root)), node_(node) {}
    DOUBLE_REFCOUNT
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (IsEqualIID(iid, IID_IHTMLInputElement) && node_ && node_->IsElement(L"input"))
            return Hand(Make(new InputElement(root_, node_)).Get(), out);
        const bool known =
            IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IHTMLElement);
        return Hand(known ? this : nullptr, out);
    }
    HRESULT STDMETHODCALLTYPE get_id(BSTR* p) override { return Text(node_ ? node_->Id() : L"", p); }
    HRESULT STDMETHODCALLTYPE get_innerHTML(BSTR* p) override
    {
        return node_ ? Text(html::InnerHtml(*node_), p) : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE get_outerHTML(BSTR* p) override
    {
        return node_ ? Text(html::OuterHtml(*node_), p) : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE put_innerHTML(BSTR v) override
    {
        if (!node_)
            return E_FAIL;
        html::SetInnerHtml(*node_, FromBstr(v));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_outerHTML(BSTR v) override
    {
        if (!node_ || !html::SetOuterHtml(*node_, FromBstr(v)))
            return E_FAIL;
        node_ = nullptr;  // replaced: this element is no longer in the page
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE getAttribute(BSTR name, LONG, VARIANT* value) override
    {
        VariantInit(value);
        const auto text = node_ ? node_->GetAttribute(FromBstr(name)) : std::nullopt;
        value->vt = text ? VT_BSTR : VT_NULL;
        if (text)
            value->bstrVal = ToBstr(*text);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_parentElement(IHTMLElement** p) override
    {
        html::Node* parent = node_ ? node_->parent : nullptr;
        *p = parent && parent->kind == html::Node::Kind::Element && parent != root_.get()
                 ? new Element(root_, parent)
                 : nullptr;
        return S_OK;
    }

private:
    static HRESULT Text(const std::wstring& text, BSTR* p)
    {
        *p = ToBstr(text);
        return S_OK;
    }
    std::shared_ptr<html::Node> root_;
    html::Node* node_;
};

class EventObject : public StubIHTMLEventObj, public Counted {
public:
    explicit EventObject(ComPtr<IHTMLElement> source) : source_(std::move(source)) {}
    DOUBLE_REFCOUNT
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        const bool known =
            IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IHTMLEventObj);
        return Hand(known ? this : nullptr, out);
    }
    HRESULT STDMETHODCALLTYPE get_srcElement(IHTMLElement** p) override { return Hand(source_.Get(), reinterpret_cast<void**>(p)); }

private:
    ComPtr<IHTMLElement> source_;
};

class Document : public StubIHTMLDocument3, public IConnectionPointContainer, public Counted {
public:
    explicit Document(std::shared_ptr<html::Node> root)
        : root_(std::move(root)), events_(Make(new ConnectionPoint(kHtmlDocumentEvents2)))
    {
    }
    DOUBLE_REFCOUNT
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (IsEqualIID(iid, IID_IConnectionPointContainer))
            return Hand(static_cast<IConnectionPointContainer*>(this), out);
        const bool known =
            IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IHTMLDocument3);
        return Hand(known ? static_cast<IHTMLDocument3*>(this) : nullptr, out);
    }
    HRESULT STDMETHODCALLTYPE getElementById(BSTR id, IHTMLElement** p) override
    {
        html::Node* node = html::FindById(*root_, FromBstr(id));
        *p = node ? new Element(root_, node) : nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override
    {
        *out = nullptr;
        if (!IsEqualIID(iid, kHtmlDocumentEvents2))
            return CONNECT_E_NOCONNECTION;
        return Hand(events_.Get(), reinterpret_cast<void**>(out));
    }

    html::Node& Root() { return *root_; }
    // An element event with this node as its source, as the engine raises it.
    void Raise(long dispid, html::Node& source)
    {
        ComPtr<IHTMLElement> element = Make<IHTMLElement>(new Element(root_, &source));
        ComPtr<IHTMLEventObj> event = Make<IHTMLEventObj>(new EventObject(element));
        VARIANT argument;
        VariantInit(&argument);
        argument.vt = VT_DISPATCH;
        argument.pdispVal = event.Get();
        DISPPARAMS params{&argument, nullptr, 1, 0};
        events_->Fire(dispid, params);
    }

private:
    std::shared_ptr<html::Node> root_;
    ComPtr<ConnectionPoint> events_;
};

// A frame inside the page: another browser object of its own.
class Frame : public StubIWebBrowser2, public Counted {
public:
    DOUBLE_REFCOUNT
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        const bool known =
            IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IWebBrowser2);
        return Hand(known ? this : nullptr, out);
    }
};

html::Node* FindLink(html::Node& node, const std::wstring& href)
{
    if (node.IsElement(L"a") && node.GetAttribute(L"href").value_or(L"") == href)
        return &node;
    for (auto& child : node.children)
        if (html::Node* found = FindLink(*child, href))
            return found;
    return nullptr;
}

// Where a person's click on a link's text lands: its innermost element.
html::Node& Innermost(html::Node& node)
{
    for (auto& child : node.children)
        if (child->kind == html::Node::Kind::Element)
            return Innermost(*child);
    return node;
}

class BrowserObject : public StubIOleObject,
                      public StubIWebBrowser2,
                      public IConnectionPointContainer,
                      public StubIOleInPlaceObject,
                      public StubIOleInPlaceActiveObject,
                      public Counted,
                      public Browser {
public:
    BrowserObject() : events_(Make(new ConnectionPoint(DIID_DWebBrowserEvents2))) { g_current = this; }
    ~BrowserObject() override
    {
        if (window_)
            DestroyWindow(window_);
        if (g_current == this)
            g_current = nullptr;
    }
    DOUBLE_REFCOUNT
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleObject))
            return Hand(static_cast<IOleObject*>(this), out);
        if (IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IWebBrowser2) || IsEqualIID(iid, IID_IWebBrowserApp) ||
            IsEqualIID(iid, IID_IWebBrowser))
            return Hand(static_cast<IWebBrowser2*>(this), out);
        if (IsEqualIID(iid, IID_IConnectionPointContainer))
            return Hand(static_cast<IConnectionPointContainer*>(this), out);
        if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceObject))
            return Hand(static_cast<IOleInPlaceObject*>(this), out);
        if (IsEqualIID(iid, IID_IOleInPlaceActiveObject))
            return Hand(static_cast<IOleInPlaceActiveObject*>(this), out);
        *out = nullptr;
        return E_NOINTERFACE;
    }

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override
    {
        site_ = ComPtr<IOleClientSite>::Share(site);
        if (site)
            AskHost();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override
    {
        return Hand(site_.Get(), reinterpret_cast<void**>(site));
    }
    HRESULT STDMETHODCALLTYPE Close(DWORD) override
    {
        InPlaceDeactivate();
        document_.Reset();
        pending_.reset();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) override
    {
        if (verb != OLEIVERB_INPLACEACTIVATE && verb != OLEIVERB_UIACTIVATE && verb != OLEIVERB_SHOW)
            return OLEOBJ_S_INVALIDVERB;
        if (!InPlaceActivate())
            return E_FAIL;
        if (verb != OLEIVERB_INPLACEACTIVATE)
            UIActivate();
        return S_OK;
    }

    // IWebBrowser2
    HRESULT STDMETHODCALLTYPE Navigate(BSTR url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override
    {
        Go(FromBstr(url));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Document(IDispatch** out) override
    {
        *out = nullptr;
        if (!document_)
            return S_FALSE;
        return Hand(static_cast<IHTMLDocument3*>(document_.Get()), reinterpret_cast<void**>(out));
    }

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override
    {
        *out = nullptr;
        if (!IsEqualIID(iid, DIID_DWebBrowserEvents2))
            return CONNECT_E_NOCONNECTION;
        return Hand(events_.Get(), reinterpret_cast<void**>(out));
    }

    // IOleWindow of the in-place and active objects
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override
    {
        *window = window_;
        return window_ ? S_OK : E_FAIL;
    }

    // IOleInPlaceObject
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override
    {
        UIDeactivate();
        if (!inPlaceSite_)
            return S_OK;
        if (window_)
            DestroyWindow(window_);
        window_ = nullptr;
        inPlaceSite_->OnInPlaceDeactivate();
        inPlaceSite_.Reset();
        frame_.Reset();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UIDeactivate() override
    {
        if (!uiActive_)
            return S_OK;
        uiActive_ = false;
        if (frame_)
            frame_->SetActiveObject(nullptr, nullptr);
        if (inPlaceSite_)
            inPlaceSite_->OnUIDeactivate(FALSE);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT) override
    {
        if (window_ && position)
            MoveWindow(window_, position->left, position->top, position->right - position->left,
                       position->bottom - position->top, TRUE);
        return S_OK;
    }

    // IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message) override
    {
        if (!message)
            return E_INVALIDARG;
        Record().offered.push_back(*message);
        return Takes(*message) ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }

    // Browser: what a test does with the control.
    HWND Window() const override { return window_; }
    std::wstring Url() const override { return url_; }
    int DocumentsCompleted() const override { return completed_; }
    bool Click(const std::wstring& id) override
    {
        html::Node* node = document_ ? html::FindById(document_->Root(), id) : nullptr;
        return node && ClickOn(*node);
    }
    bool ClickLink(const std::wstring& href) override
    {
        html::Node* link = document_ ? FindLink(document_->Root(), href) : nullptr;
        return link && ClickOn(Innermost(*link));
    }
    bool ClickOption(const std::wstring& listId, const std::wstring& text) override
    {
        html::Node* list = document_ ? html::FindById(document_->Root(), listId) : nullptr;
        html::Node* option = list ? SelectOption(*list, text) : nullptr;
        if (!option)
            return false;
        ComPtr<Document> page = document_;  // a handler may load another page
        page->Raise(kEventClick, *option);
        return true;
    }
    bool KeyUp(const std::wstring& id) override
    {
        html::Node* node = document_ ? html::FindById(document_->Root(), id) : nullptr;
        if (!node)
            return false;
        ComPtr<Document> page = document_;
        page->Raise(kEventKeyUp, *node);
        return true;
    }
    void NavigateFrame(const std::wstring& url) override
    {
        ComPtr<Frame> frame = Make(new Frame);
        if (!BeforeNavigate2(static_cast<IWebBrowser2*>(frame.Get()), url))
            Record().cancelled.push_back(url);
    }
    HRESULT AskContextMenu() override
    {
        ComPtr<IDocHostUIHandler> handler = site_.As<IDocHostUIHandler>(IID_IDocHostUIHandler);
        POINT at{10, 10};
        return handler ? handler->ShowContextMenu(CONTEXT_MENU_DEFAULT, &at, nullptr, nullptr) : E_NOINTERFACE;
    }
    std::wstring OuterHtml(const std::wstring& id) override
    {
        html::Node* node = document_ ? html::FindById(document_->Root(), id) : nullptr;
        return node ? html::OuterHtml(*node) : L"<missing>";
    }

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<BrowserObject*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        switch (message) {
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTCHARS;
        case WM_KEYDOWN:
            Record().keysAtWindow.push_back(static_cast<UINT>(wParam));
            return 0;
        case WM_LBUTTONDOWN:
            if (self)
                self->UIActivate();
            return 0;
        case kCompleteNavigation:
            if (self)
                self->CompleteNavigation();
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
        }
    }

private:
    // What the real control asks of its site when it gets one.
    void AskHost()
    {
        if (ComPtr<IDocHostUIHandler> handler = site_.As<IDocHostUIHandler>(IID_IDocHostUIHandler)) {
            DOCHOSTUIINFO info{};
            info.cbSize = sizeof info;
            if (SUCCEEDED(handler->GetHostInfo(&info))) {
                Record().askedHostInfo = true;
                Record().hostFlags = info.dwFlags;
            }
        }
        if (ComPtr<IDispatch> ambient = site_.As<IDispatch>(IID_IDispatch)) {
            DISPPARAMS none{nullptr, nullptr, 0, 0};
            VARIANT result;
            VariantInit(&result);
            Record().ambientAnswer = ambient->Invoke(DISPID_AMBIENT_DLCONTROL, IID_NULL, LOCALE_USER_DEFAULT,
                                                     DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
            VariantClear(&result);
        }
    }

    bool InPlaceActivate()
    {
        if (window_)
            return true;
        inPlaceSite_ = site_.As<IOleInPlaceSite>(IID_IOleInPlaceSite);
        if (!inPlaceSite_ || inPlaceSite_->CanInPlaceActivate() != S_OK)
            return false;
        inPlaceSite_->OnInPlaceActivate();
        ComPtr<IOleInPlaceUIWindow> documentWindow;
        RECT position{}, clip{};
        OLEINPLACEFRAMEINFO info{};
        info.cb = sizeof info;
        HWND parent = nullptr;
        if (FAILED(inPlaceSite_->GetWindowContext(frame_.Put(), documentWindow.Put(), &position, &clip, &info)) ||
            FAILED(inPlaceSite_->GetWindow(&parent)))
            return false;
        RegisterWindowClass();
        window_ = CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, position.left, position.top,
                                  position.right - position.left, position.bottom - position.top, parent, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        if (!window_)
            return false;
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        return true;
    }

    // As the real control does when it is clicked or told to: it tells the
    // site and the frame, and takes the focus.
    void UIActivate()
    {
        ++Record().uiActivations;
        if (!uiActive_ && inPlaceSite_) {
            uiActive_ = true;
            inPlaceSite_->OnUIActivate();
            if (frame_)
                frame_->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), L"Browser");
        }
        SetFocus(window_);
    }

    static void RegisterWindowClass()
    {
        static const ATOM atom = [] {
            WNDCLASSW type{};
            type.lpfnWndProc = WindowProc;
            type.hInstance = GetModuleHandleW(nullptr);
            type.hCursor = LoadCursor(nullptr, IDC_ARROW);
            type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
            type.lpszClassName = kWindowClass;
            return RegisterClassW(&type);
        }();
        (void)atom;
    }

    // Letters count as taken only with Ctrl held: the clipboard shortcuts.
    static bool Takes(const MSG& message)
    {
        if (message.message != WM_KEYDOWN && message.message != WM_KEYUP)
            return false;
        const UINT key = static_cast<UINT>(message.wParam);
        if (!TakenKeys().count(key))
            return false;
        return !(key >= 'A' && key <= 'Z') || GetKeyState(VK_CONTROL) < 0;
    }

    // BeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers,
    // Cancel), last to first; true when the host let it go ahead.
    bool BeforeNavigate2(IDispatch* frame, const std::wstring& url)
    {
        OwnedVariant address(url), target(L""), headers(L"");
        VARIANT flags, post;
        VariantInit(&flags);
        flags.vt = VT_I4;
        flags.lVal = 0;
        VariantInit(&post);
        VARIANT_BOOL cancel = VARIANT_FALSE;
        VARIANT args[7] = {ByRefBool(cancel), ByRef(headers.v), ByRef(post),   ByRef(target.v),
                           ByRef(flags),      ByRef(address.v), Dispatch(frame)};
        DISPPARAMS params{args, nullptr, 7, 0};
        events_->Fire(DISPID_BEFORENAVIGATE2, params);
        return cancel == VARIANT_FALSE;
    }

    // NewWindow3(ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl).
    bool NewWindow3(const std::wstring& url)
    {
        IDispatch* opened = nullptr;
        VARIANT_BOOL cancel = VARIANT_FALSE;
        OwnedVariant context(url_), address(url);
        VARIANT openedArg, flags;
        VariantInit(&openedArg);
        openedArg.vt = VT_BYREF | VT_DISPATCH;
        openedArg.ppdispVal = &opened;
        VariantInit(&flags);
        flags.vt = VT_I4;
        flags.lVal = 0;
        VARIANT args[5] = {address.v, context.v, flags, ByRefBool(cancel), openedArg};
        DISPPARAMS params{args, nullptr, 5, 0};
        events_->Fire(DISPID_NEWWINDOW3, params);
        if (opened)
            opened->Release();
        return cancel == VARIANT_FALSE;
    }

    void Go(const std::wstring& url)
    {
        if (!BeforeNavigate2(static_cast<IWebBrowser2*>(this), url)) {
            Record().cancelled.push_back(url);
            return;
        }
        Record().started.push_back(url);
        pending_ = LoadResourcePage(url);
        pendingUrl_ = url;
        if (!pending_)
            Record().toProtocolHandler.push_back(url);  // mail and the like: no document comes
        else
            PostMessageW(window_, kCompleteNavigation, 0, 0);
    }

    void CompleteNavigation()
    {
        if (!pending_)
            return;
        document_ = Make(new Document(std::move(pending_)));
        url_ = pendingUrl_;
        ++completed_;
        for (const DISPID event : {DISPID_NAVIGATECOMPLETE2, DISPID_DOCUMENTCOMPLETE}) {
            OwnedVariant address(url_);
            VARIANT args[2] = {ByRef(address.v), Dispatch(static_cast<IWebBrowser2*>(this))};
            DISPPARAMS params{args, nullptr, 2, 0};
            events_->Fire(event, params);
        }
    }

    bool ClickOn(html::Node& node)
    {
        html::Node* link = html::Enclosing(&node, L"a");
        const std::wstring href = link ? link->GetAttribute(L"href").value_or(L"") : L"";
        const std::wstring target = link ? link->GetAttribute(L"target").value_or(L"") : L"";
        ClickDefault(node);
        ComPtr<Document> page = document_;  // a handler may load another page
        page->Raise(kEventClick, node);
        if (href.empty())
            return true;
        if (target.empty())
            Go(href);
        else if (NewWindow3(href))
            Record().newWindows.push_back(href);
        return true;
    }

    ComPtr<ConnectionPoint> events_;
    ComPtr<IOleClientSite> site_;
    ComPtr<IOleInPlaceSite> inPlaceSite_;
    ComPtr<IOleInPlaceFrame> frame_;
    HWND window_ = nullptr;
    bool uiActive_ = false;
    ComPtr<Document> document_;
    std::shared_ptr<html::Node> pending_;
    std::wstring pendingUrl_;
    std::wstring url_;
    int completed_ = 0;
};

// Hands out the control, or (asked for the HTML document class) a document,
// which tells the host that an engine is there.
class Factory : public IClassFactory {
public:
    explicit Factory(bool document) : document_(document) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        const bool known = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory);
        return Hand(known ? this : nullptr, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // static: lives as long as the process
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override
    {
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        ComPtr<IUnknown> object;
        if (document_) {
            auto root = std::make_shared<html::Node>();
            object = Make<IUnknown>(static_cast<IHTMLDocument3*>(new Document(root)));
        } else {
            object = Make<IUnknown>(static_cast<IOleObject*>(new BrowserObject));
        }
        return object->QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    bool document_;
};

Factory g_browserFactory(false);
Factory g_documentFactory(true);

}  // namespace

Registration::Registration()
{
    ok_ = SUCCEEDED(CoRegisterClassObject(CLSID_WebBrowser, &g_browserFactory, CLSCTX_INPROC_SERVER,
                                          REGCLS_MULTIPLEUSE, &browserCookie_)) &&
          SUCCEEDED(CoRegisterClassObject(kHtmlDocument, &g_documentFactory, CLSCTX_INPROC_SERVER,
                                          REGCLS_MULTIPLEUSE, &documentCookie_));
}

Registration::~Registration()
{
    if (browserCookie_)
        CoRevokeClassObject(browserCookie_);
    if (documentCookie_)
        CoRevokeClassObject(documentCookie_);
}

long LiveObjects() { return g_live; }
long OpenAdvises() { return g_advises; }
Browser* Current() { return g_current; }

Seen& Record()
{
    static Seen seen;
    return seen;
}

std::set<UINT>& TakenKeys()
{
    static std::set<UINT> keys;
    return keys;
}

}  // namespace browser_double
