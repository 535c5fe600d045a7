#pragma once
// One page of the main window: the HTML resource it is loaded from, the
// step that fills it with current values once it has loaded, and the
// element events of its own (the tab bar and Done are the window's).
#include <windows.h>

#include <memory>
#include <string>

#include "DHtmlDialog.h"

class CPage {
public:
    CPage(CDHtmlDialog& dialog, UINT resourceId) : dialog_(dialog), resourceId_(resourceId) {}
    virtual ~CPage() = default;
    CPage(const CPage&) = delete;
    CPage& operator=(const CPage&) = delete;

    UINT ResourceId() const { return resourceId_; }
    // The view loaded a document (this page's or another): what the page
    // knew of the document it showed is gone.
    virtual void Left() {}
    // The page's fill step, run each time the page has loaded.
    virtual void Fill() {}
    const HtmlEventTable& Events() const { return events_; }

protected:
    std::unique_ptr<IHtmlElement> GetElement(const std::wstring& id) { return dialog_.GetElement(id); }
    HWND Window() const { return dialog_.GetSafeHwnd(); }
    // Binds an element's event to one of the page's operations.
    template <typename Page>
    void On(const wchar_t* id, long event, HRESULT (Page::*operation)(IHtmlElement&))
    {
        Page* page = static_cast<Page*>(this);
        events_.push_back({id, event, [page, operation](IHtmlElement& e) { return (page->*operation)(e); }});
    }

    HtmlEventTable events_;

private:
    CDHtmlDialog& dialog_;
    UINT resourceId_;
};
