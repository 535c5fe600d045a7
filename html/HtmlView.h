#pragma once
// The browser view that fills an HTML dialog, behind one interface with two
// engines: the platform's WebBrowser control (PlatformHtmlView) and our
// in-memory engine (MemoryHtmlView) where the platform has no HTML engine.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>

// One element of the page shown, looked up by id. Valid until the page
// changes or the element is replaced.
class IHtmlElement {
public:
    virtual ~IHtmlElement() = default;
    virtual std::wstring Id() = 0;
    virtual std::wstring GetInnerHtml() = 0;
    virtual bool SetInnerHtml(const std::wstring& markup) = 0;
    virtual std::wstring GetOuterHtml() = 0;
    virtual bool SetOuterHtml(const std::wstring& markup) = 0;
    virtual std::optional<std::wstring> GetAttribute(const std::wstring& name) = 0;
    // Whether a check box is ticked as the person left it; nothing for an
    // element that is no input.
    virtual std::optional<bool> Checked() = 0;
    // The element that contains this one, or null at the top.
    virtual std::unique_ptr<IHtmlElement> Parent() = 0;
};

// What the view reports to the dialog that hosts it.
class IHtmlViewEvents {
public:
    virtual ~IHtmlViewEvents() = default;
    // Before a navigation of the page itself (never of a frame inside it);
    // false cancels it and the page shown stays.
    virtual bool OnBeforeNavigate(const std::wstring& url) = 0;
    // The page asked for a window of its own (a link with a target); the view
    // never opens one.
    virtual void OnNewWindow(const std::wstring& url) = 0;
    virtual void OnDocumentComplete(const std::wstring& url) = 0;
    // An element event (-600 click, -602 key down, -604 key up) raised on
    // this element (the innermost one: an option, a bold text), at the
    // moment it is raised.
    virtual void OnElementEvent(long dispid, IHtmlElement& source) = 0;
};

class IHtmlView {
public:
    virtual ~IHtmlView() = default;
    // Creates the view as a child filling this rectangle of the parent.
    virtual bool Create(HWND parent, const RECT& area) = 0;
    virtual bool Navigate(const std::wstring& url) = 0;
    virtual std::unique_ptr<IHtmlElement> GetElement(const std::wstring& id) = 0;
    virtual void Destroy() = 0;
    // Offers a keyboard message of the dialog's thread to the page before the
    // dialog sees it; true when the page took it.
    virtual bool TranslateAccelerator(MSG&) { return false; }
    // Moves the keyboard focus into the page; false when it has no window to
    // take it.
    virtual bool Focus() { return false; }
};

// Dispatch ids of the element events the dialogs bind.
const long kEventClick = -600;
const long kEventKeyDown = -602;
const long kEventKeyUp = -604;

