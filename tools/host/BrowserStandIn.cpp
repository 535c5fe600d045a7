#include "BrowserStandIn.h"

#include <exdispid.h>
#include <olectl.h>

#include <new>

#include "AnsiText.h"
#include "ComObject.h"
#include "Variants.h"

// The connection point of DWebBrowserEvents2: it keeps the subscribed sinks
// in the browser, which fires the events to them.
class CBrowserStandIn::EventPoint : public IConnectionPoint, public RefCounted<CBrowserStandIn::EventPoint> {
public:
    explicit EventPoint(CBrowserStandIn& browser) : browser_(ComPtr<CBrowserStandIn>::Share(&browser)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        return QueryOwnInterface(this, IID_IConnectionPoint, iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override
    {
        if (!iid)
            return E_POINTER;
        *iid = DIID_DWebBrowserEvents2;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override
    {
        return browser_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(out));
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override
    {
        if (!sink || !cookie)
            return E_POINTER;
        *cookie = 0;
        if (FAILED(browser_->adviseResult))
            return browser_->adviseResult;
        // The browser talks to its sinks through IDispatch.
        ComPtr<IDispatch> dispatch;
        if (FAILED(sink->QueryInterface(IID_IDispatch, dispatch.PutVoid())) || !dispatch)
            return CONNECT_E_CANNOTCONNECT;
        *cookie = browser_->nextCookie_++;
        browser_->sinks_.emplace_back(*cookie, dispatch);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override
    {
        auto& sinks = browser_->sinks_;
        for (auto it = sinks.begin(); it != sinks.end(); ++it) {
            if (it->first == cookie) {
                sinks.erase(it);
                return S_OK;
            }
        }
        return CONNECT_E_NOCONNECTION;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

    virtual ~EventPoint() = default;

private:
    ComPtr<CBrowserStandIn> browser_;
};

ComPtr<CBrowserStandIn> CBrowserStandIn::Create()
{
    return ComPtr<CBrowserStandIn>::Attach(new (std::nothrow) CBrowserStandIn);
}

CBrowserStandIn::CBrowserStandIn() = default;
CBrowserStandIn::~CBrowserStandIn() = default;

HRESULT CBrowserStandIn::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IWebBrowser) ||
        IsEqualIID(iid, IID_IWebBrowserApp) || IsEqualIID(iid, IID_IWebBrowser2))
        *out = static_cast<IWebBrowser2*>(this);
    else if (IsEqualIID(iid, IID_IConnectionPointContainer) && offerContainer)
        *out = static_cast<IConnectionPointContainer*>(this);
    if (!*out)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG CBrowserStandIn::AddRef() { return ++refs_; }

ULONG CBrowserStandIn::Release()
{
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT CBrowserStandIn::EnumConnectionPoints(IEnumConnectionPoints**) { return E_NOTIMPL; }

HRESULT CBrowserStandIn::FindConnectionPoint(REFIID iid, IConnectionPoint** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (FAILED(findConnectionPointResult))
        return findConnectionPointResult;
    if (!IsEqualIID(iid, DIID_DWebBrowserEvents2))
        return CONNECT_E_NOCONNECTION;
    *out = new (std::nothrow) EventPoint(*this);
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT CBrowserStandIn::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

void CBrowserStandIn::DispatchMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

HRESULT CBrowserStandIn::FireToSinks(DISPID id, DISPPARAMS* params)
{
    // A copy: a sink may unsubscribe while it handles the event.
    const auto sinks = sinks_;
    HRESULT last = S_OK;
    for (const auto& sink : sinks)
        last = sink.second->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, params, nullptr, nullptr,
                                   nullptr);
    // The browser's thread goes back to its message loop after each event:
    // it paints and takes input before the next one arrives.
    DispatchMessages();
    return last;
}

HRESULT CBrowserStandIn::FireRaw(DISPID id, DISPPARAMS* params) { return FireToSinks(id, params); }

HRESULT CBrowserStandIn::FireBeforeNavigate2(const std::wstring& url, VARIANT_BOOL* cancel, IWebBrowser2* frame)
{
    OwnedVariant address(url), flags, targetFrame(L""), postData, headers(L"");
    flags.v.vt = VT_I4;
    VARIANT_BOOL noCancel = VARIANT_FALSE;
    VARIANT cancelArg;
    VariantInit(&cancelArg);
    cancelArg.vt = VT_BYREF | VT_BOOL;
    cancelArg.pboolVal = cancel ? cancel : &noCancel;
    // The browser passes its arguments last first.
    VARIANT args[7] = {cancelArg,
                       ByRef(headers.v),
                       ByRef(postData.v),
                       ByRef(targetFrame.v),
                       ByRef(flags.v),
                       ByRef(address.v),
                       Dispatch(frame ? frame : static_cast<IWebBrowser2*>(this))};
    DISPPARAMS params{args, nullptr, 7, 0};
    return FireToSinks(DISPID_BEFORENAVIGATE2, &params);
}

HRESULT CBrowserStandIn::FireNavigateComplete2(const std::wstring& url, IWebBrowser2* frame)
{
    if (!frame)
        location_ = url;
    OwnedVariant address(url);
    VARIANT args[2] = {ByRef(address.v), Dispatch(frame ? frame : static_cast<IWebBrowser2*>(this))};
    DISPPARAMS params{args, nullptr, 2, 0};
    return FireToSinks(DISPID_NAVIGATECOMPLETE2, &params);
}

HRESULT CBrowserStandIn::FireDocumentComplete(const std::wstring& url, IWebBrowser2* frame)
{
    OwnedVariant address(url);
    VARIANT args[2] = {ByRef(address.v), Dispatch(frame ? frame : static_cast<IWebBrowser2*>(this))};
    DISPPARAMS params{args, nullptr, 2, 0};
    return FireToSinks(DISPID_DOCUMENTCOMPLETE, &params);
}

HRESULT CBrowserStandIn::FireOnQuit()
{
    DISPPARAMS params{nullptr, nullptr, 0, 0};
    return FireToSinks(DISPID_ONQUIT, &params);
}

bool CBrowserStandIn::LoadPage(const std::wstring& url, const std::vector<std::wstring>& frames, const TraceHook& leave)
{
    const auto at = [&](const std::wstring& address, LoadPoint point, bool inFrame = false) {
        if (leave)
            leave(address, point, inFrame);
    };
    VARIANT_BOOL cancel = VARIANT_FALSE;
    FireBeforeNavigate2(url, &cancel);
    if (cancel != VARIANT_FALSE)
        return false;
    at(url, LoadPoint::Response);
    FireNavigateComplete2(url);
    at(url, LoadPoint::Resources);
    // Each frame is a browser object of its own, alive while the page is shown.
    std::vector<ComPtr<CBrowserStandIn>> frameObjects;
    for (const auto& frameUrl : frames) {
        frameObjects.push_back(Create());
        IWebBrowser2* frame = frameObjects.back().Get();
        VARIANT_BOOL frameCancel = VARIANT_FALSE;
        FireBeforeNavigate2(frameUrl, &frameCancel, frame);
        if (frameCancel != VARIANT_FALSE)
            continue;
        at(frameUrl, LoadPoint::Response, true);
        FireNavigateComplete2(frameUrl, frame);
        at(frameUrl, LoadPoint::Resources, true);
    }
    for (std::size_t i = 0; i < frames.size(); ++i)
        FireDocumentComplete(frames[i], frameObjects[i].Get());
    FireDocumentComplete(url);
    return true;
}

bool CBrowserStandIn::LoadPage(const std::string& url, const std::vector<std::string>& frames,
                               const AnsiTraceHook& leave)
{
    std::vector<std::wstring> wideFrames;
    for (const auto& frame : frames)
        wideFrames.push_back(ansi::ToWide(frame));
    return LoadPage(ansi::ToWide(url), wideFrames, [&](const std::wstring& address, LoadPoint point, bool inFrame) {
        if (leave)
            leave(ansi::ToAnsi(address.c_str()), point, inFrame);
    });
}

HRESULT CBrowserStandIn::Navigate(BSTR url, VARIANT*, VARIANT*, VARIANT*, VARIANT*)
{
    LoadPage(url ? url : L"");
    return S_OK;
}

HRESULT CBrowserStandIn::get_LocationURL(BSTR* url)
{
    if (!url)
        return E_POINTER;
    *url = SysAllocString(location_.c_str());
    return S_OK;
}

HRESULT CBrowserStandIn::get_Busy(VARIANT_BOOL* busy)
{
    if (!busy)
        return E_POINTER;
    *busy = VARIANT_FALSE;
    return S_OK;
}

HRESULT CBrowserStandIn::get_ReadyState(READYSTATE* state)
{
    if (!state)
        return E_POINTER;
    *state = READYSTATE_COMPLETE;
    return S_OK;
}

HRESULT CBrowserStandIn::Quit() { return FireOnQuit(); }
