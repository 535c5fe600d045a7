#pragma once
// A stand-in for the platform's WebBrowser control, registered for this
// process in place of CLSID_WebBrowser (and of the HTML document class the
// host asks for first), so the host of the pages runs under Wine as it runs
// on Windows. It keeps the control's side of the hosting contract: OLE
// in-place and UI activation with a real child window, an active object
// whose TranslateAccelerator records what it is offered, Navigate and
// get_Document, DWebBrowserEvents2 with the platform's argument order and
// asynchronous completion, and documents over the in-memory DOM whose
// element events carry the innermost element as their source, as newer
// engines report it. Every object it hands out is counted.
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "ComPtr.h"

namespace browser_double {

class Browser;

// What the control saw of its host.
struct Seen {
    std::vector<MSG> offered;          // keyboard messages offered to TranslateAccelerator
    std::vector<UINT> keysAtWindow;    // WM_KEYDOWN that reached the control's window
    std::vector<std::wstring> started; // top-level navigations the host let go ahead
    std::vector<std::wstring> cancelled;  // top-level navigations the host cancelled
    std::vector<std::wstring> toProtocolHandler;  // went ahead to a scheme with no page (mailto:)
    std::vector<std::wstring> newWindows;  // new-window requests the host let open
    DWORD hostFlags = 0;
    bool askedHostInfo = false;
    HRESULT ambientAnswer = S_OK;  // the site's answer to an ambient property
    int uiActivations = 0;
};

// Registers the stand-in for the life of the object (COM must be up).
class Registration {
public:
    Registration();
    ~Registration();
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;
    bool Ok() const { return ok_; }

private:
    DWORD browserCookie_ = 0;
    DWORD documentCookie_ = 0;
    bool ok_ = false;
};

// Objects of the stand-in alive now, and advises not undone.
long LiveObjects();
long OpenAdvises();

// The control the host created last, or null once it has gone.
Browser* Current();
Seen& Record();
// Virtual keys the control takes (answers S_OK for); the rest it refuses.
std::set<UINT>& TakenKeys();

class Browser {
public:
    virtual ~Browser() = default;
    virtual HWND Window() const = 0;
    virtual std::wstring Url() const = 0;
    virtual int DocumentsCompleted() const = 0;
    // A person's click on the element with this id (a link is followed).
    virtual bool Click(const std::wstring& id) = 0;
    // A click on the first link whose address is this.
    virtual bool ClickLink(const std::wstring& href) = 0;
    // Selects the option that shows this text, the option as the source.
    virtual bool ClickOption(const std::wstring& listId, const std::wstring& text) = 0;
    virtual bool KeyUp(const std::wstring& id) = 0;
    // A frame inside the page navigates: BeforeNavigate2 for that frame.
    virtual void NavigateFrame(const std::wstring& url) = 0;
    // The site's answer when the control asks for its context menu.
    virtual HRESULT AskContextMenu() = 0;
    // Mark-up of an element of the current document, or "<missing>".
    virtual std::wstring OuterHtml(const std::wstring& id) = 0;
};

}  // namespace browser_double
