#pragma once
// The platform engine: the WebBrowser control hosted in the dialog as an
// in-place OLE object, with the frame, the UI handler (dialog look, no
// context menu) and the keyboard routing of the platform's HTML dialogs. It
// reports the page's own navigations and document-complete from
// DWebBrowserEvents2, new-window requests, and element events from a sink on
// the document's HTMLDocumentEvents2 with the element that raised them.
// Wine has no HTML engine here, so Create fails there and the caller falls
// back to the in-memory engine.
#include "ComPtr.h"
#include "HtmlView.h"

struct IWebBrowser2;
struct IOleObject;
class PlatformHtmlSite;

class PlatformHtmlView : public IHtmlView {
public:
    explicit PlatformHtmlView(IHtmlViewEvents& events);
    ~PlatformHtmlView() override;

    bool Create(HWND parent, const RECT& area) override;
    bool Navigate(const std::wstring& url) override;
    std::unique_ptr<IHtmlElement> GetElement(const std::wstring& id) override;
    void Destroy() override;
    bool TranslateAccelerator(MSG& message) override;
    bool Focus() override;

private:
    IHtmlViewEvents& events_;
    ComPtr<PlatformHtmlSite> site_;
};

