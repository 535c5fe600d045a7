#pragma once
// Our stand-in for one browser window, since no browser that loads helper
// objects runs here. It answers IWebBrowser2 and IConnectionPointContainer,
// keeps the sinks that subscribe to DWebBrowserEvents2, and fires the
// navigation events through their Invoke with the arguments laid out as the
// browser lays them out. The rest of IWebBrowser2 is not implemented.
#include <windows.h>
#include <exdisp.h>
#include <ocidl.h>

#include <functional>
#include <string>
#include <vector>

#include "ComPtr.h"

class CBrowserStandIn : public IWebBrowser2, public IConnectionPointContainer {
public:
    static ComPtr<CBrowserStandIn> Create();

    // The events of one navigation, as the browser fires them: of the window
    // itself, or of a frame when a frame's browser object is given.
    HRESULT FireBeforeNavigate2(const std::wstring& url, VARIANT_BOOL* cancel = nullptr, IWebBrowser2* frame = nullptr);
    HRESULT FireNavigateComplete2(const std::wstring& url, IWebBrowser2* frame = nullptr);
    HRESULT FireDocumentComplete(const std::wstring& url, IWebBrowser2* frame = nullptr);
    HRESULT FireOnQuit();

    // Where a page's load has come when the browser writes what it keeps of
    // it: the response (the page's first bytes, the cookie sent with it, the
    // typed address) comes before NavigateComplete2; the resources (images
    // and scripts, the cookies they set, the History item) after it.
    enum class LoadPoint { Response, Resources };
    using TraceHook = std::function<void(const std::wstring& url, LoadPoint point, bool inFrame)>;
    // A page with its frames, in the browser's order of events: the window's
    // BeforeNavigate2, its response, NavigateComplete2, its resources; then
    // each frame the same way, its own browser object passed as the frame;
    // then DocumentComplete of every frame, and last of the window. The hook
    // leaves the traces at each point. False when BeforeNavigate2 was cancelled.
    bool LoadPage(const std::wstring& url, const std::vector<std::wstring>& frames = {},
                  const TraceHook& leave = TraceHook());
    // The same with addresses in the process code page, as the hook gets them.
    using AnsiTraceHook = std::function<void(const std::string& url, LoadPoint point, bool inFrame)>;
    bool LoadPage(const std::string& url, const std::vector<std::string>& frames, const AnsiTraceHook& leave);
    // Any event with parameters of the caller's making (null included).
    HRESULT FireRaw(DISPID id, DISPPARAMS* params);
    // What the browser's message loop does between two events: every
    // message waiting for this thread is dispatched. Each event ends with it.
    static void DispatchMessages();

    std::size_t SinkCount() const { return sinks_.size(); }
    ULONG References() const { return refs_; }

    // Faults a test may ask for.
    HRESULT findConnectionPointResult = S_OK;
    HRESULT adviseResult = S_OK;
    bool offerContainer = true;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

    // IDispatch of the browser object itself
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    // The parts of IWebBrowser2 a stand-in can honour.
    HRESULT STDMETHODCALLTYPE Navigate(BSTR url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override;
    HRESULT STDMETHODCALLTYPE get_LocationURL(BSTR* url) override;
    HRESULT STDMETHODCALLTYPE get_Busy(VARIANT_BOOL* busy) override;
    HRESULT STDMETHODCALLTYPE get_ReadyState(READYSTATE* state) override;
    HRESULT STDMETHODCALLTYPE Quit() override;

    // The rest of the browser.
    HRESULT STDMETHODCALLTYPE GoBack() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GoForward() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GoHome() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GoSearch() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Refresh() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Refresh2(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stop() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Application(IDispatch **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Parent(IDispatch **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Container(IDispatch **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Document(IDispatch **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_TopLevelContainer(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Type(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Left(LONG *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Left(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Top(LONG *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Top(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Width(LONG *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Width(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Height(LONG *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Height(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_LocationName(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ClientToWindow(int *, int *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutProperty(BSTR, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetProperty(BSTR, VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_HWND(SHANDLE_PTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_FullName(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Path(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_StatusBar(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_StatusBar(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_StatusText(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_StatusText(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ToolBar(int *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_ToolBar(int) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_MenuBar(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_MenuBar(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_FullScreen(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_FullScreen(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Navigate2(VARIANT *, VARIANT *, VARIANT *, VARIANT *, VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryStatusWB(OLECMDID, OLECMDF *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ExecWB(OLECMDID, OLECMDEXECOPT, VARIANT *, VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ShowBrowserBar(VARIANT *, VARIANT *, VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Offline(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Offline(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Silent(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Silent(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RegisterAsBrowser(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_RegisterAsBrowser(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RegisterAsDropTarget(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_RegisterAsDropTarget(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_TheaterMode(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_TheaterMode(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_AddressBar(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_AddressBar(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Resizable(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Resizable(VARIANT_BOOL) override { return E_NOTIMPL; }

private:
    class EventPoint;
    CBrowserStandIn();
    virtual ~CBrowserStandIn();
    HRESULT FireToSinks(DISPID id, DISPPARAMS* params);

    ULONG refs_ = 1;
    std::vector<std::pair<DWORD, ComPtr<IDispatch>>> sinks_;
    DWORD nextCookie_ = 1;
    std::wstring location_;
};
