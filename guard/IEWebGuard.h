#pragma once
// The Browser Helper Object: the browser creates one per window, hands it the
// window through SetSite, and sends it the window's navigation events. After
// each completed navigation to a site that is not white-listed it runs a
// cleaning pass for that site's domain, and once more for the domains of all
// the window shows when it leaves them for another site or closes.
#include <windows.h>
#include <ocidl.h>

#include "ComPtr.h"
#include "DomainTracker.h"
#include "GuardModule.h"
#include "Vexmoor.h"

struct IWebBrowser2;

class IEWebGuard : public IObjectWithSite,
                   public IIEWebGuard,
                   public ISupportErrorInfo,
                   public IConnectionPointContainer {
public:
    // Creates an object and queries it for iid. With an outer object the new
    // object is aggregated inside it and only IUnknown may be asked for: the
    // outer object then holds the object's own (non-delegating) IUnknown.
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out);

    // IUnknown of every part: answered by the controlling object.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IObjectWithSite
    HRESULT STDMETHODCALLTYPE SetSite(IUnknown* site) override;
    HRESULT STDMETHODCALLTYPE GetSite(REFIID iid, void** out) override;

    // The object's own operations, after SetSite and GetSite in the primary
    // part: declared after the interface's methods, they add slots behind
    // the browser's interface and never shift one it calls. OnQuit is
    // reached only through its slot, from the event dispatch.
    virtual HRESULT Connect();
    virtual HRESULT Disconnect();
    virtual HRESULT OnQuit();

    // IDispatch, through the dual IIEWebGuard: receives the browser's events.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** out) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

    // IConnectionPointContainer: the object offers no outgoing interface.
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

    const CDomainTracker& Tracker() const { return tracker_; }
    bool IsEnabled() const { return enabled_ == 1; }

private:
    // The object's own IUnknown: what an outer object holds when it aggregates us.
    class OwnUnknown : public IUnknown {
    public:
        explicit OwnUnknown(IEWebGuard& owner) : owner_(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;

    private:
        IEWebGuard& owner_;
    };

    explicit IEWebGuard(IUnknown* outer);
    virtual ~IEWebGuard();

    IUnknown* Identity() { return static_cast<IIEWebGuard*>(this); }
    void OnBeforeNavigate2(const DISPPARAMS& params);
    void OnNavigateComplete2(const DISPPARAMS& params);
    // The window closes (Quit, then the detach): the pass for all it shows,
    // within a closing window's time; it never asks the user anything.
    void LeaveWindow();
    // The guard counts as attached to its window for the cleaning thread,
    // which ends once no guard is attached and nothing waits.
    void Attached(bool attached);
    // Whether a navigation's object is this window's browser, not a frame's.
    bool IsWindowItself(IDispatch* frame) const;
    // The COM identity of a browser object, which names its navigation.
    static const void* IdentityOf(IDispatch* object);
    ComPtr<IConnectionPoint> BrowserEvents(HRESULT& result);

    // Declared first so that it goes last: the module stays loaded until
    // every member has released what it holds of the browser.
    guard_module::ModuleLock moduleLock_;
    OwnUnknown own_{*this};
    IUnknown* controlling_;
    ComPtr<IUnknown> site_;  // never set: GetSite always fails
    ULONG refCount_ = 0;
    ComPtr<IConnectionPointContainer> container_;
    ComPtr<IWebBrowser2> browser_;
    DWORD adviseCookie_ = 0;
    // Declared last so that it goes first: the tracker, then the browser,
    // the container and the site are released in that order.
    CDomainTracker tracker_;
    int whiteListed_ = 0;
    int enabled_ = 0;
    CPassDeadline closingBy_;  // set when the window begins to close
    bool attached_ = false;
};
