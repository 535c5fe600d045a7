#pragma once
// Our own page engine, for where the platform has no HTML engine (Wine
// without Gecko): it loads pages from the program's HTML resources by their
// "res://<module path>/<id>" address, keeps the document as an html::Node
// tree, lays it out from its mark-up, draws it double-buffered with GDI and
// places native controls for its form elements. Each page has a window of
// its own, kept with its controls while another page shows: going back to
// a page shows its window again and finds its controls where they stood
// (under Wine every show, hide and move of a window is a round trip to the
// window server, and these were most of what a page switch cost). A click
// on a drawn element raises click on it; controls raise click, key down and
// key up; links go to the host. Navigation completes before Navigate returns. Without a
// parent window the engine keeps its document and layout but shows nothing.
#include <map>
#include <memory>
#include <vector>

#include "HtmlDom.h"
#include "HtmlView.h"
#include "PageControls.h"
#include "PageLayout.h"
#include "PagePainter.h"

class MemoryHtmlView : public IHtmlView {
public:
    explicit MemoryHtmlView(IHtmlViewEvents& events) : events_(events) {}
    ~MemoryHtmlView() override { Destroy(); }
    MemoryHtmlView(const MemoryHtmlView&) = delete;
    MemoryHtmlView& operator=(const MemoryHtmlView&) = delete;

    bool Create(HWND parent, const RECT& area) override;
    bool Navigate(const std::wstring& url) override;
    std::unique_ptr<IHtmlElement> GetElement(const std::wstring& id) override;
    void Destroy() override;

    const std::wstring& Url() const { return url_; }
    html::Node* Document() { return document_.get(); }
    // The layout of the page as it is now (laid out first when it changed).
    const html::PageLayout& Layout();
    // The window the page shown is drawn in.
    HWND Window() const { return page_ ? page_->window : window_; }
    // The window of a form element's control, or null.
    HWND ControlOf(const std::wstring& id);

    // For the page's elements: the mark-up under this node is about to be
    // replaced, and the page has changed.
    void BeforeReplace(const html::Node& node);
    void AfterChange();

private:
    // A page's window and the controls in it.
    struct PageWindow {
        HWND window = nullptr;
        std::unique_ptr<html::PageControls> controls;
    };
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND MakeWindow(HWND parent, const RECT& area, DWORD style);
    PageWindow* PageFor(const std::wstring& url);
    PageWindow* PageOf(HWND window);
    html::PageControls* Controls() { return page_ ? page_->controls.get() : nullptr; }
    void ShowPage(PageWindow* before);
    void Relayout();
    void Paint(HWND window);
    void OnClickAt(POINT at);
    bool SetCursorFor(HWND window, HWND over);
    // Every act of a person on the page ends here, whichever window took it
    // (the page's own for drawn text, a control's for a form element), once
    // the element shows what the act did: its event is raised on it, and a
    // click inside a link then follows the link.
    void Activate(html::Node& target, long dispid);
    void FollowLink(const html::Node& target);

    IHtmlViewEvents& events_;
    std::shared_ptr<html::Node> document_;
    std::wstring url_;
    HWND window_ = nullptr;  // the view's own, which the pages' windows fill
    int width_ = 0;
    html::GdiContainer gdi_;
    html::PageLayout layout_;
    bool layoutDue_ = false;
    std::map<std::wstring, PageWindow> pages_;  // by address
    PageWindow* page_ = nullptr;                // the page shown
};

// The bytes of an HTML resource of a module, or empty when it has none.
std::string LoadHtmlResource(HMODULE module, UINT id);
// "res://<module path>/<id>": the module and the resource id.
bool ParseResourceUrl(const std::wstring& url, HMODULE& module, UINT& id);
// The page at a "res:" address as a document tree, or null.
std::shared_ptr<html::Node> LoadResourcePage(const std::wstring& url);
