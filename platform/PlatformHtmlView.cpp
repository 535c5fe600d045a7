#include "PlatformHtmlView.h"

#include <exdisp.h>
#include <exdispid.h>
#include <mshtml.h>
#include <oleauto.h>

#include <new>

#include "MemoryHtmlView.h"

namespace {

// Not in MinGW's uuid library.
const CLSID kHtmlDocument = {0x25336920, 0x03F9, 0x11CF, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}};
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
    BSTR get() const { return b_; }
    BSTR* put() { return &b_; }

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
        return SUCCEEDED(element_->put_innerHTML(Bstr(markup).get()));
    }
    bool SetOuterHtml(const std::wstring& markup) override
    {
        return SUCCEEDED(element_->put_outerHTML(Bstr(markup).get()));
    }
    std::optional<std::wstring> GetAttribute(const std::wstring& name) override
    {
        VARIANT value;
        VariantInit(&value);
        if (FAILED(element_->getAttribute(Bstr(name).get(), 0, &value)))
            return std::nullopt;
        std::optional<std::wstring> text;
        if (value.vt == VT_BSTR)
            text = FromBstr(value.bstrVal);
        VariantClear(&value);
        return text;
    }

private:
    std::wstring Read(HRESULT (STDMETHODCALLTYPE IHTMLElement::*get)(BSTR*))
    {
        Bstr text;
        if (FAILED((element_.Get()->*get)(text.put())))
            return std::wstring();
        return FromBstr(text.get());
    }
    ComPtr<IHTMLElement> element_;
};

// Base for the small COM objects of the host: one reference count, the
// interfaces each answers listed by the subclass.
template <typename Self>
class RefCounted {
public:
    ULONG AddRefImpl() { return ++refs_; }
    ULONG ReleaseImpl()
    {
        const ULONG left = --refs_;
        if (left == 0)
            delete static_cast<Self*>(this);
        return left;
    }

private:
    ULONG refs_ = 1;
};

// Receives the document's element events and routes them by source id.
class DocumentEventSink : public IDispatch, public RefCounted<DocumentEventSink> {
public:
    explicit DocumentEventSink(IHtmlViewEvents& events) : events_(events) {}
    virtual ~DocumentEventSink() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
            IsEqualIID(iid, kHtmlDocumentEvents2))
            *out = static_cast<IDispatch*>(this);
        if (!*out)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) override
    {
        if (id != kEventClick && id != kEventKeyDown && id != kEventKeyUp)
            return S_OK;
        if (!params || params->cArgs < 1 || params->rgvarg[0].vt != VT_DISPATCH || !params->rgvarg[0].pdispVal)
            return S_OK;
        ComPtr<IHTMLEventObj> event;
        params->rgvarg[0].pdispVal->QueryInterface(IID_IHTMLEventObj, event.PutVoid());
        ComPtr<IHTMLElement> source;
        if (!event || FAILED(event->get_srcElement(source.Put())) || !source)
            return S_OK;
        PlatformElement element(source);
        events_.OnElementEvent(element.Id(), id, element);
        return S_OK;
    }

private:
    IHtmlViewEvents& events_;
};

}  // namespace

// The control's client and in-place site, and its DWebBrowserEvents2 sink.
class PlatformHtmlSite : public IOleClientSite,
                         public IOleInPlaceSite,
                         public IDispatch,
                         public RefCounted<PlatformHtmlSite> {
public:
    PlatformHtmlSite(IHtmlViewEvents& events, HWND parent, const RECT& area)
        : events_(events), parent_(parent), area_(area)
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
        browser_ = object_.As<IWebBrowser2>(IID_IWebBrowser2);
        ComPtr<IConnectionPointContainer> container =
            object_.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
        if (!browser_ || !container || FAILED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, point_.Put())))
            return false;
        return SUCCEEDED(point_->Advise(static_cast<IDispatch*>(this), &cookie_));
    }

    void Close()
    {
        DetachDocument();
        if (point_)
            point_->Unadvise(cookie_);
        point_.Reset();
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
        return SUCCEEDED(browser_->Navigate(Bstr(url).get(), &empty, &empty, &empty, &empty));
    }

    std::unique_ptr<IHtmlElement> GetElement(const std::wstring& id)
    {
        ComPtr<IDispatch> document;
        if (!browser_ || FAILED(browser_->get_Document(document.Put())) || !document)
            return nullptr;
        ComPtr<IHTMLDocument3> document3 = document.As<IHTMLDocument3>(IID_IHTMLDocument3);
        ComPtr<IHTMLElement> element;
        if (!document3 || FAILED(document3->getElementById(Bstr(id).get(), element.Put())) || !element)
            return nullptr;
        return std::make_unique<PlatformElement>(element);
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

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override
    {
        *window = parent_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                               LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override
    {
        *frame = nullptr;
        *document = nullptr;
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
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

    // IDispatch: DWebBrowserEvents2
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) override
    {
        // Both events carry the address second from last: index cArgs - 2.
        if (!params || params->cArgs < 2)
            return S_OK;
        const VARIANT& url = params->rgvarg[params->cArgs - 2];
        const std::wstring address =
            url.vt == (VT_BYREF | VT_VARIANT) && url.pvarVal && url.pvarVal->vt == VT_BSTR
                ? FromBstr(url.pvarVal->bstrVal)
                : std::wstring();
        if (id == DISPID_BEFORENAVIGATE2) {
            events_.OnBeforeNavigate(address);
        } else if (id == DISPID_DOCUMENTCOMPLETE && IsTopLevel(params->rgvarg[params->cArgs - 1])) {
            AttachDocument();
            events_.OnDocumentComplete(address);
        }
        return S_OK;
    }

private:
    bool IsTopLevel(const VARIANT& frame)
    {
        if (frame.vt != VT_DISPATCH || !frame.pdispVal)
            return false;
        ComPtr<IUnknown> a, b;
        frame.pdispVal->QueryInterface(IID_IUnknown, a.PutVoid());
        browser_->QueryInterface(IID_IUnknown, b.PutVoid());
        return a.Get() == b.Get();
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
        ComPtr<DocumentEventSink> sink = ComPtr<DocumentEventSink>::Attach(new (std::nothrow) DocumentEventSink(events_));
        if (sink)
            documentPoint_->Advise(static_cast<IDispatch*>(sink.Get()), &documentCookie_);
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
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
    ComPtr<IConnectionPoint> documentPoint_;
    DWORD documentCookie_ = 0;
};

PlatformHtmlView::PlatformHtmlView(IHtmlViewEvents& events) : events_(events) {}

PlatformHtmlView::~PlatformHtmlView() { Destroy(); }

bool PlatformHtmlView::Create(HWND parent, const RECT& area)
{
    Destroy();
    site_ = new (std::nothrow) PlatformHtmlSite(events_, parent, area);
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
    if (site_) {
        site_->Close();
        site_->Release();
        site_ = nullptr;
    }
}

namespace {

// The control can be created without an HTML engine behind it (Wine without
// Gecko); it then never completes a page. Ask for the engine itself first.
bool HasHtmlEngine()
{
    ComPtr<IUnknown> document;
    return SUCCEEDED(CoCreateInstance(kHtmlDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                      document.PutVoid()));
}

}  // namespace

std::unique_ptr<IHtmlView> CreateHtmlView(IHtmlViewEvents& events, HWND parent, const RECT& area)
{
    auto platform = std::make_unique<PlatformHtmlView>(events);
    static const bool hasEngine = HasHtmlEngine();  // asking costs seconds where there is none
    if (hasEngine && platform->Create(parent, area))
        return platform;
    auto memory = std::make_unique<MemoryHtmlView>(events);
    memory->Create(parent, area);
    return memory;
}
