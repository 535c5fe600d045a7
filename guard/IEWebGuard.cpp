#include "IEWebGuard.h"

#include <exdisp.h>
#include <exdispid.h>
#include <olectl.h>

#include <memory>
#include <new>
#include <string>

#include "AnsiText.h"
#include "CleaningQueue.h"
#include "ComObject.h"
#include "GuardModule.h"
#include "NoThrow.h"
#include "SettingsStore.h"

namespace {

template <typename Part>
void* PartOf(IEWebGuard* self)
{
    return static_cast<Part*>(self);
}

// Which part answers which interface, in this order; the first also answers IUnknown.
const struct {
    const IID* iid;
    void* (*part)(IEWebGuard*);
} kQueryMap[] = {
    {&IID_IIEWebGuard, &PartOf<IIEWebGuard>},
    {&IID_IDispatch, &PartOf<IIEWebGuard>},
    {&IID_ISupportErrorInfo, &PartOf<ISupportErrorInfo>},
    {&IID_IConnectionPointContainer, &PartOf<IConnectionPointContainer>},
    {&IID_IObjectWithSite, &PartOf<IObjectWithSite>},
};

// Enumerates no connection points at all.
class EmptyConnectionPoints : public IEnumConnectionPoints {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        return QueryOwnInterface(this, IID_IEnumConnectionPoints, iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG, IConnectionPoint** points, ULONG* fetched) override
    {
        if (!points)
            return E_POINTER;
        if (fetched)
            *fetched = 0;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override { return count ? S_FALSE : S_OK; }
    HRESULT STDMETHODCALLTYPE Reset() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** out) override { return Make(out); }

    static HRESULT Make(IEnumConnectionPoints** out)
    {
        if (!out)
            return E_POINTER;
        *out = new (std::nothrow) EmptyConnectionPoints;
        return *out ? S_OK : E_OUTOFMEMORY;
    }

private:
    EmptyConnectionPoints() = default;
    virtual ~EmptyConnectionPoints() = default;
    guard_module::ModuleLock lock_;  // the DLL stays while an enumerator lives
    LONG refs_ = 1;
};

const VARTYPE kByRefBool = VT_BYREF | VT_BOOL;
const VARTYPE kByRefVariant = VT_BYREF | VT_VARIANT;

// BeforeNavigate2's arguments arrive in reverse order.
const UINT kArgCancel = 0;
const UINT kArgUrl = 5;
const UINT kArgFrame = 6;
// NavigateComplete2's: where the navigation ended, then the frame.
const UINT kArgArrivedUrl = 0;
const UINT kArgArrivedFrame = 1;

// The address a by-reference variant holds as a string, or nothing.
const BSTR* AddressIn(const VARIANT& url)
{
    if (url.vt != kByRefVariant || !url.pvarVal || url.pvarVal->vt != VT_BSTR)
        return nullptr;
    return &url.pvarVal->bstrVal;
}

// How long the pass of a closing window may take; what it has not done by
// then waits for the next pass of those domains.
const DWORD kClosingPassMs = 5000;

}  // namespace

HRESULT IEWebGuard::Create(IUnknown* outer, REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (outer && !IsEqualIID(iid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    IEWebGuard* object = new (std::nothrow) IEWebGuard(outer);
    if (!object)
        return E_OUTOFMEMORY;
    // Holding a reference while asking means a refused interface destroys the object.
    object->own_.AddRef();
    const HRESULT result = object->own_.QueryInterface(iid, out);
    object->own_.Release();
    return result;
}

IEWebGuard::IEWebGuard(IUnknown* outer) : controlling_(outer ? outer : &own_) {}

IEWebGuard::~IEWebGuard() { Attached(false); }

HRESULT IEWebGuard::OwnUnknown::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) {
        // Aggregated, our identity is the outer object's; this is what it holds.
        *out = owner_.controlling_ == this ? owner_.Identity() : static_cast<IUnknown*>(this);
    } else {
        for (const auto& entry : kQueryMap) {
            if (IsEqualIID(iid, *entry.iid)) {
                *out = entry.part(&owner_);
                break;
            }
        }
    }
    if (!*out)
        return E_NOINTERFACE;
    static_cast<IUnknown*>(*out)->AddRef();
    return S_OK;
}

ULONG IEWebGuard::OwnUnknown::AddRef() { return ++owner_.refCount_; }

ULONG IEWebGuard::OwnUnknown::Release()
{
    const ULONG left = --owner_.refCount_;
    if (left == 0)
        delete &owner_;
    return left;
}

HRESULT IEWebGuard::QueryInterface(REFIID iid, void** out) { return controlling_->QueryInterface(iid, out); }
ULONG IEWebGuard::AddRef() { return controlling_->AddRef(); }
ULONG IEWebGuard::Release() { return controlling_->Release(); }

HRESULT IEWebGuard::SetSite(IUnknown* site)
{
    if (!site) {
        // The window closes: what it shows is cleaned before the detach
        // returns (unless Quit did it already), within the time a closing
        // window may take, and nothing may ask the user anything.
        LeaveWindow();
        Attached(false);
    } else {
        closingBy_ = CPassDeadline();
        enabled_ = settings::EffectiveNumber(settings::kBHOEnabled) == 1 ? 1 : 0;  // a policy first
        // Nothing thrown may leave for the browser: a list it could not hold
        // in memory is a list it could not read.
        if (enabled_ == 1 && !NoThrow([&] { tracker_.LoadWhiteList(); }))
            tracker_.MarkListUnreadable();
        // What an earlier walk left unfinished is this guard's to clean.
        if (enabled_ == 1)
            Attached(true);
    }
    browser_.Reset();
    if (site)
        site->QueryInterface(IID_IWebBrowser2, browser_.PutVoid());
    if (!browser_)
        return E_INVALIDARG;
    container_ = browser_.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
    if (!container_)
        return E_POINTER;
    return Connect();
}

HRESULT IEWebGuard::GetSite(REFIID, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    return E_FAIL;
}

ComPtr<IConnectionPoint> IEWebGuard::BrowserEvents(HRESULT& result)
{
    ComPtr<IConnectionPoint> point;
    result = container_ ? container_->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Put()) : E_POINTER;
    if (SUCCEEDED(result) && !point)
        result = E_POINTER;
    return point;
}

HRESULT IEWebGuard::Connect()
{
    HRESULT result = S_OK;
    ComPtr<IConnectionPoint> point = BrowserEvents(result);
    if (!point)
        return result;
    return point->Advise(Identity(), &adviseCookie_);
}

HRESULT IEWebGuard::Disconnect()
{
    HRESULT result = S_OK;
    ComPtr<IConnectionPoint> point = BrowserEvents(result);
    if (!point)
        return result;
    return point->Unadvise(adviseCookie_);
}

HRESULT IEWebGuard::OnQuit()
{
    LeaveWindow();
    return Disconnect();
}

void IEWebGuard::LeaveWindow()
{
    if (enabled_ != 1)
        return;
    // One bound for the whole close, Quit and the detach together.
    if (!closingBy_.IsSet())
        closingBy_ = CPassDeadline::In(kClosingPassMs);
    // The list as it stands now, so that a site white-listed since the
    // window opened keeps what it has, and what waited for a list that could
    // not be read is cleaned by it; unreadable, the window's entries hold.
    NoThrow([&] {
        if (!tracker_.ShownDomains().empty() || tracker_.Waiting())
            tracker_.ReloadWhiteListQuietly();
        tracker_.LeaveWindow(closingBy_);
    });
}

void IEWebGuard::Attached(bool attached)
{
    if (attached == attached_)
        return;
    if (!attached)
        CCleaningQueue::Instance().GuardDetached();
    else if (!NoThrow([&] { CCleaningQueue::Instance().GuardAttached(&tracker_, tracker_.WhiteListEntries()); }))
        return;  // counted only once the queue took it
    attached_ = attached;
}

const void* IEWebGuard::IdentityOf(IDispatch* object)
{
    // Only compared, never used: the reference goes at once.
    ComPtr<IUnknown> identity;
    if (object)
        object->QueryInterface(IID_IUnknown, identity.PutVoid());
    return identity.Get();
}

bool IEWebGuard::IsWindowItself(IDispatch* frame) const
{
    // COM identity: the same object answers IUnknown with the same pointer.
    if (!frame || !browser_)
        return false;
    ComPtr<IUnknown> frameIdentity, windowIdentity;
    frame->QueryInterface(IID_IUnknown, frameIdentity.PutVoid());
    browser_->QueryInterface(IID_IUnknown, windowIdentity.PutVoid());
    return frameIdentity && frameIdentity.Get() == windowIdentity.Get();
}

HRESULT IEWebGuard::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT IEWebGuard::GetTypeInfo(UINT index, LCID, ITypeInfo** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    ITypeInfo* info = guard_module::GuardTypeInfo();
    if (!info)
        return TYPE_E_LIBNOTREGISTERED;
    info->AddRef();
    *out = info;
    return S_OK;
}

HRESULT IEWebGuard::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    ITypeInfo* info = guard_module::GuardTypeInfo();
    if (!info)
        return TYPE_E_LIBNOTREGISTERED;
    return info->GetIDsOfNames(names, count, ids);
}

HRESULT IEWebGuard::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*)
{
    if (!params)
        return E_INVALIDARG;
    // The pass may run a modal loop (the History confirmation) in which the
    // browser can drop its last reference: the object lives to the event's end.
    const ComPtr<IUnknown> alive = ComPtr<IUnknown>::Share(controlling_);
    const bool handled = NoThrow([&] {
        switch (id) {
        case DISPID_BEFORENAVIGATE2:
            OnBeforeNavigate2(*params);
            break;
        case DISPID_NAVIGATECOMPLETE2:
            OnNavigateComplete2(*params);
            break;
        case DISPID_ONQUIT:
            OnQuit();
            break;
        default:
            break;
        }
    });
    return handled ? S_OK : E_OUTOFMEMORY;
}

void IEWebGuard::OnBeforeNavigate2(const DISPPARAMS& params)
{
    // Never read past what the browser passed.
    if (!params.rgvarg || params.cArgs <= kArgFrame)
        return;
    const VARIANT& frame = params.rgvarg[kArgFrame];
    if (frame.vt != VT_DISPATCH)
        return;
    // Frames and the window itself are checked and cleaned alike; whether it
    // is the window's own navigation tells only when the window leaves a site.
    const bool topLevel = IsWindowItself(frame.pdispVal);

    const VARIANT& cancel = params.rgvarg[kArgCancel];
    if (cancel.vt != kByRefBool)
        return;
    // The address must be a string; anything else is not an address to examine.
    const BSTR* address = AddressIn(params.rgvarg[kArgUrl]);
    if (!address)
        return;
    // The browser's address as 8-bit text in the process code page.
    const std::string text = ansi::ToAnsi(*address);
    if (enabled_ == 1)
        whiteListed_ = tracker_.BeginNavigation(text, topLevel, IdentityOf(frame.pdispVal));
}

void IEWebGuard::OnNavigateComplete2(const DISPPARAMS& params)
{
    if (enabled_ != 1)
        return;
    // The browser names where the navigation ended: after a server redirect,
    // another site than the one examined, whose response left its traces too.
    if (params.rgvarg && params.cArgs > kArgArrivedFrame) {
        const VARIANT& frame = params.rgvarg[kArgArrivedFrame];
        const BSTR* address = AddressIn(params.rgvarg[kArgArrivedUrl]);
        if (address && frame.vt == VT_DISPATCH)
            tracker_.Arrive(ansi::ToAnsi(*address), IsWindowItself(frame.pdispVal), IdentityOf(frame.pdispVal));
    }
    if (whiteListed_ != 1)
        tracker_.RunCleaningPass();
}

HRESULT IEWebGuard::InterfaceSupportsErrorInfo(REFIID) { return S_FALSE; }

HRESULT IEWebGuard::EnumConnectionPoints(IEnumConnectionPoints** out)
{
    return EmptyConnectionPoints::Make(out);
}

HRESULT IEWebGuard::FindConnectionPoint(REFIID, IConnectionPoint** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    return CONNECT_E_NOCONNECTION;
}
