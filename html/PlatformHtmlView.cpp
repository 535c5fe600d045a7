#include "PlatformHtmlView.h"

#include <exdisp.h>
#include <exdispid.h>
#include <mshtml.h>
#include <mshtmhst.h>
#include <oleauto.h>

#include <new>

#include "ComObject.h"


namespace {

// Not in MinGW's uuid library.
const IID kHtmlDocumentEvents2 = {0x3050F613, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};

std::wstring FromBstr(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(); }

// A BSTR for the length of one call.
class Bstr {
public:
    explicit Bstr(const std::wstring& text) : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    Bstr() = default;
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return b_; }
    BSTR* Put() { return &b_; }

private:
    BSTR b_ = nullptr;
};

class PlatformElement : public IHtmlElement {
public:
    explicit PlatformElement(ComPtr<IHTMLElement> element) : element_(std::move(element)) {}
    std::wstring Id() override { return Read(&IHTMLElement::get_id); }
    std::wstring GetInnerHtml() override { return Read(&IHTMLElement::get_innerHTML); }
    std::wstring GetOuterHtml() override { return Read(&IHTMLElement::get_outerHTML); }
    bool SetInnerHtml(const std::wstring& markup) override
    {
        return SUCCEEDED(element_->put_innerHTML(Bstr(markup).Get()));
    }
    bool SetOuterHtml(const std::wstring& markup) override
    {
        return SUCCEEDED(element_->put_outerHTML(Bstr(markup).Get()));
    }
    std::optional<std::wstring> GetAttribute(const std::wstring& name) override
    {
        VARIANT value;
        VariantInit(&value);
        if (FAILED(element_->getAttribute(Bstr(name).Get(), 0, &value)))
            return std::nullopt;
        std::optional<std::wstring> text;
        if (value.vt == VT_BSTR)
            text = FromBstr(value.bstrVal);
        VariantClear(&value);
        return text;
    }
    std::optional<bool> Checked() override
    {
        ComPtr<IHTMLInputElement> input;
        element_->QueryInterface(IID_IHTMLInputElement, input.PutVoid());
        VARIANT_BOOL checked = VARIANT_FALSE;
        if (!input || FAILED(input->get_checked(&checked)))
            return std::nullopt;
        return checked != VARIANT_FALSE;
    }
    std::unique_ptr<IHtmlElement> Parent() override
    {
        ComPtr<IHTMLElement> parent;
        if (FAILED(element_->get_parentElement(parent.Put())) || !parent)
            return nullptr;
        return std::make_unique<PlatformElement>(parent);
    }

private:
    std::wstring Read(HRESULT (STDMETHODCALLTYPE IHTMLElement::*get)(BSTR*))
    {
        Bstr text;
        if (FAILED((element_.Get()->*get)(text.Put())))
            return std::wstring();
        return FromBstr(text.Get());
    }
    ComPtr<IHTMLElement> element_;
};

// The document's click and key events, as one part of the site: its
// reference count is the site's, and any interface but its own is the
// site's to answer. It hands each event's source element to the view's
// events.
class DocumentEvents : public EventDispatch {
public:
    DocumentEvents(IUnknown& site, IHtmlViewEvents& events) : site_(site), events_(events) {}
    virtual ~DocumentEvents() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (!IsEqualIID(iid, IID_IDispatch) && !IsEqualIID(iid, kHtmlDocumentEvents2))
            return site_.QueryInterface(iid, out);
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return site_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return site_.Release(); }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) override
    {
        if (id != kEventClick && id != kEventKeyDown && id != kEventKeyUp)
            return DISP_E_MEMBERNOTFOUND;
        if (!params || params->cArgs < 1 || params->rgvarg[0].vt != VT_DISPATCH || !params->rgvarg[0].pdispVal)
            return E_INVALIDARG;
        ComPtr<IHTMLEventObj> event;
        params->rgvarg[0].pdispVal->QueryInterface(IID_IHTMLEventObj, event.PutVoid());
        ComPtr<IHTMLElement> source;
        if (!event || FAILED(event->get_srcElement(source.Put())) || !source)
            return S_OK;
        PlatformElement element(source);
        events_.OnElementEvent(id, element);
        return S_OK;
    }

private:
    IUnknown& site_;
    IHtmlViewEvents& events_;
};

}  // namespace

// The control's client site, in-place site and frame, its UI handler, its
// DWebBrowserEvents2 sink and, as a part of its own, the sink of each
// document's events: what the platform's HTML dialogs give it. One
// reference count serves them all. Create takes the control and advises its
// events, Close gives them back in reverse order; each document is advised
// when it completes and unadvised when the next one comes, or at Close.
class PlatformHtmlSite : public IOleClientSite,
                         public IOleInPlaceSite,
                         public IOleInPlaceFrame,
                         public IDocHostUIHandler,
                         public EventDispatch,
                         public RefCounted<PlatformHtmlSite> {
public:
    PlatformHtmlSite(IHtmlViewEvents& events, HWND parent, const RECT& area)
        : events_(events), parent_(parent), area_(area), documentEvents_(*static_cast<IOleClientSite*>(this), events)
    {
    }
    virtual ~PlatformHtmlSite() = default;

    bool Create()
    {
        if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                    object_.PutVoid())))
            return false;
        if (FAILED(object_->SetClientSite(static_cast<IOleClientSite*>(this))))
            return false;
        if (FAILED(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0,
                                   parent_, &area_)))
            return false;
        CoverSiblings();
        browser_ = object_.As<IWebBrowser2>(IID_IWebBrowser2);
        ComPtr<IConnectionPointContainer> container =
            object_.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
        if (!browser_ || !container || FAILED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, point_.Put())))
            return false;
        if (FAILED(point_->Advise(static_cast<IDispatch*>(this), &cookie_))) {
            point_.Reset();
            return false;
        }
        return true;
    }

    void Close()
    {
        DetachDocument();
        if (point_)
            point_->Unadvise(cookie_);
        point_.Reset();
        activeObject_.Reset();
        browser_.Reset();
        if (object_) {
            object_->Close(OLECLOSE_NOSAVE);
            object_->SetClientSite(nullptr);
        }
        object_.Reset();
    }

    bool Navigate(const std::wstring& url)
    {
        if (!browser_)
            return false;
        VARIANT empty;
        VariantInit(&empty);
        return SUCCEEDED(browser_->Navigate(Bstr(url).Get(), &empty, &empty, &empty, &empty));
    }

    std::unique_ptr<IHtmlElement> GetElement(const std::wstring& id)
    {
        ComPtr<IDispatch> document;
        if (!browser_ || FAILED(browser_->get_Document(document.Put())) || !document)
            return nullptr;
        ComPtr<IHTMLDocument3> document3 = document.As<IHTMLDocument3>(IID_IHTMLDocument3);
        ComPtr<IHTMLElement> element;
        if (!document3 || FAILED(document3->getElementById(Bstr(id).Get(), element.Put())) || !element)
            return nullptr;
        return std::make_unique<PlatformElement>(element);
    }

    // The control's active object (known once it is UI-active) takes what
    // it wants of the keyboard: Tab between the page's controls, the editing
    // keys of its boxes, its clipboard shortcuts.
    bool OfferKey(MSG& message)
    {
        return activeObject_ && activeObject_->TranslateAccelerator(&message) == S_OK;
    }

    bool Focus()
    {
        if (!object_)
            return false;
        if (activeObject_)
            activeObject_->OnFrameWindowActivate(TRUE);
        return SUCCEEDED(object_->DoVerb(OLEIVERB_UIACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0,
                                         parent_, &area_));
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
            *out = static_cast<IOleClientSite*>(this);
        else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite))
            *out = static_cast<IOleInPlaceSite*>(this);
        else if (IsEqualIID(iid, IID_IOleInPlaceUIWindow) || IsEqualIID(iid, IID_IOleInPlaceFrame))
            *out = static_cast<IOleInPlaceFrame*>(this);
        else if (IsEqualIID(iid, IID_IDocHostUIHandler))
            *out = static_cast<IDocHostUIHandler*>(this);
        else if (IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, DIID_DWebBrowserEvents2))
            *out = static_cast<IDispatch*>(this);
        if (!*out)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow, for the in-place site and the frame alike: the dialog.
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override
    {
        *window = parent_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                               LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override
    {
        *frame = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        *document = nullptr;  // no document window of its own: the frame serves
        *position = area_;
        *clip = area_;
        info->fMDIApp = FALSE;
        info->hwndFrame = parent_;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override
    {
        activeObject_.Reset();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

    // IOleInPlaceUIWindow and IOleInPlaceFrame: a dialog has no tool space,
    // menus or status bar to share.
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override
    {
        activeObject_ = ComPtr<IOleInPlaceActiveObject>::Share(object);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    // IDocHostUIHandler: the look of a dialog, and no context menu (its
    // Refresh would reload a page without its fill step).
    HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* info) override
    {
        if (!info)
            return E_POINTER;
        info->dwFlags = kHostFlags;
        info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                                     IOleInPlaceUIWindow*) override
    {
        return S_OK;  // no menus or toolbars to show
    }
    HRESULT STDMETHODCALLTYPE HideUI() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE UpdateUI() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, const GUID*, DWORD) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* key, DWORD) override
    {
        if (key)
            *key = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget*, IDropTarget** target) override
    {
        if (target)
            *target = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** external) override
    {
        if (external)
            *external = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD, LPWSTR, LPWSTR* out) override
    {
        if (out)
            *out = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject*, IDataObject** out) override
    {
        if (out)
            *out = nullptr;
        return S_FALSE;
    }

    // IDispatch: DWebBrowserEvents2, and the ambient properties of the site,
    // of which none is ours to answer.
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) override
    {
        switch (id) {
        case DISPID_BEFORENAVIGATE2:
            return params && params->cArgs == 7 ? OnBeforeNavigate2(*params) : E_INVALIDARG;
        case DISPID_NEWWINDOW3:
            return params && params->cArgs == 5 ? OnNewWindow3(*params) : E_INVALIDARG;
        case DISPID_DOCUMENTCOMPLETE:
            return params && params->cArgs == 2 ? OnDocumentComplete(*params) : E_INVALIDARG;
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }

private:
    static const DWORD kHostFlags = DOCHOSTUIFLAG_DIALOG | DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_NO3DOUTERBORDER |
                                    DOCHOSTUIFLAG_SCROLL_NO | DOCHOSTUIFLAG_THEME;

    // The arguments come last to first: BeforeNavigate2(pDisp, URL, Flags,
    // TargetFrameName, PostData, Headers, Cancel).
    HRESULT OnBeforeNavigate2(DISPPARAMS& params)
    {
        if (!IsTopLevel(params.rgvarg[6]))
            return S_OK;  // a frame inside the page: the page and its table stay
        if (!events_.OnBeforeNavigate(TextOf(params.rgvarg[5])))
            SetCancel(params.rgvarg[0]);
        return S_OK;
    }

    // NewWindow3(ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl).
    HRESULT OnNewWindow3(DISPPARAMS& params)
    {
        SetCancel(params.rgvarg[3]);
        events_.OnNewWindow(TextOf(params.rgvarg[0]));
        return S_OK;
    }

    // DocumentComplete(pDisp, URL).
    HRESULT OnDocumentComplete(DISPPARAMS& params)
    {
        if (!IsTopLevel(params.rgvarg[1]))
            return S_OK;
        AttachDocument();
        events_.OnDocumentComplete(TextOf(params.rgvarg[0]));
        return S_OK;
    }

    static std::wstring TextOf(const VARIANT& value)
    {
        const VARIANT* v = value.vt == (VT_BYREF | VT_VARIANT) ? value.pvarVal : &value;
        return v && v->vt == VT_BSTR ? FromBstr(v->bstrVal) : std::wstring();
    }

    static void SetCancel(VARIANT& cancel)
    {
        if (cancel.vt == (VT_BYREF | VT_BOOL) && cancel.pboolVal)
            *cancel.pboolVal = VARIANT_TRUE;
    }

    bool IsTopLevel(const VARIANT& frame)
    {
        if (frame.vt != VT_DISPATCH || !frame.pdispVal || !browser_)
            return false;
        ComPtr<IUnknown> a, b;
        frame.pdispVal->QueryInterface(IID_IUnknown, a.PutVoid());
        browser_->QueryInterface(IID_IUnknown, b.PutVoid());
        return a.Get() == b.Get();
    }

    // The control's window goes above every other child of the dialog (the
    // template's banner picture), which it covers.
    void CoverSiblings()
    {
        ComPtr<IOleInPlaceObject> inPlace = object_.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
        HWND window = nullptr;
        if (inPlace && SUCCEEDED(inPlace->GetWindow(&window)) && window)
            SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }

    void AttachDocument()
    {
        DetachDocument();
        ComPtr<IDispatch> document;
        if (FAILED(browser_->get_Document(document.Put())) || !document)
            return;
        ComPtr<IConnectionPointContainer> container =
            document.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
        if (!container || FAILED(container->FindConnectionPoint(kHtmlDocumentEvents2, documentPoint_.Put())))
            return;
        if (FAILED(documentPoint_->Advise(&documentEvents_, &documentCookie_)))
            documentPoint_.Reset();
    }

    void DetachDocument()
    {
        if (documentPoint_)
            documentPoint_->Unadvise(documentCookie_);
        documentPoint_.Reset();
    }

    IHtmlViewEvents& events_;
    HWND parent_;
    RECT area_;
    ComPtr<IOleObject> object_;
    ComPtr<IWebBrowser2> browser_;
    ComPtr<IOleInPlaceActiveObject> activeObject_;
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
    DocumentEvents documentEvents_;
    ComPtr<IConnectionPoint> documentPoint_;
    DWORD documentCookie_ = 0;
};

PlatformHtmlView::PlatformHtmlView(IHtmlViewEvents& events) : events_(events) {}

PlatformHtmlView::~PlatformHtmlView() { Destroy(); }

bool PlatformHtmlView::Create(HWND parent, const RECT& area)
{
    Destroy();
    site_ = ComPtr<PlatformHtmlSite>::Attach(new (std::nothrow) PlatformHtmlSite(events_, parent, area));
    if (site_ && site_->Create())
        return true;
    Destroy();
    return false;
}

bool PlatformHtmlView::Navigate(const std::wstring& url) { return site_ && site_->Navigate(url); }

std::unique_ptr<IHtmlElement> PlatformHtmlView::GetElement(const std::wstring& id)
{
    return site_ ? site_->GetElement(id) : nullptr;
}

void PlatformHtmlView::Destroy()
{
    if (site_)
        site_->Close();
    site_.Reset();
}

bool PlatformHtmlView::TranslateAccelerator(MSG& message) { return site_ && site_->OfferKey(message); }

bool PlatformHtmlView::Focus() { return site_ && site_->Focus(); }
