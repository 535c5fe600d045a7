#pragma once
// The in-memory engine: loads pages from the program's HTML resources by their
// "res://<module path>/<id>" address, keeps the document as an html::Node
// tree, and lets code raise click, key-down and key-up on an element as a
// person would (a click toggles a check box, or selects an option, before
// the handlers run). Navigation completes before Navigate returns.
#include <vector>

#include "HtmlDom.h"
#include "HtmlView.h"

class MemoryHtmlView : public IHtmlView {
public:
    explicit MemoryHtmlView(IHtmlViewEvents& events) : events_(events) {}

    bool Create(HWND parent, const RECT& area) override;
    bool Navigate(const std::wstring& url) override;
    std::unique_ptr<IHtmlElement> GetElement(const std::wstring& id) override;
    void Destroy() override { document_.reset(); }

    // What a person does on the page.
    bool Click(const std::wstring& id);
    bool KeyDown(const std::wstring& id) { return Raise(id, kEventKeyDown); }
    bool KeyUp(const std::wstring& id) { return Raise(id, kEventKeyUp); }
    // Clicks the option of a list box that shows this text.
    bool ClickOption(const std::wstring& listId, const std::wstring& text);
    // Replaces what a text box holds, as typing would.
    bool Type(const std::wstring& id, const std::wstring& text);

    const std::wstring& Url() const { return url_; }
    html::Node* Document() { return document_.get(); }

private:
    bool Raise(const std::wstring& id, long dispid);
    bool Dispatch(html::Node* target, long dispid);

    IHtmlViewEvents& events_;
    std::shared_ptr<html::Node> document_;
    std::wstring url_;
};

// The bytes of an HTML resource of a module, or empty when it has none.
std::string LoadHtmlResource(HMODULE module, UINT id);
// "res://<module path>/<id>": the module and the resource id.
bool ParseResourceUrl(const std::wstring& url, HMODULE& module, UINT& id);
// The page at a "res:" address as a document tree, or null.
std::shared_ptr<html::Node> LoadResourcePage(const std::wstring& url);
