#include "MemoryHtmlView.h"

#include "AnsiText.h"

namespace {

class MemoryElement : public IHtmlElement {
public:
    MemoryElement(std::shared_ptr<html::Node> document, html::Node* node)
        : document_(std::move(document)), node_(node)
    {
    }
    std::wstring Id() override { return node_->Id(); }
    std::wstring GetInnerHtml() override { return html::InnerHtml(*node_); }
    bool SetInnerHtml(const std::wstring& markup) override
    {
        html::SetInnerHtml(*node_, markup);
        return true;
    }
    std::wstring GetOuterHtml() override { return html::OuterHtml(*node_); }
    bool SetOuterHtml(const std::wstring& markup) override { return html::SetOuterHtml(*node_, markup); }
    std::optional<std::wstring> GetAttribute(const std::wstring& name) override
    {
        return node_->GetAttribute(name);
    }
    std::unique_ptr<IHtmlElement> Parent() override
    {
        html::Node* parent = node_->parent;
        if (!parent || parent->kind != html::Node::Kind::Element || parent == document_.get())
            return nullptr;
        return std::make_unique<MemoryElement>(document_, parent);
    }

private:
    std::shared_ptr<html::Node> document_;  // keeps the page alive while the element is in use
    html::Node* node_;
};

}  // namespace

// "res://<module path>/<id>": the module and the resource id.
bool ParseResourceUrl(const std::wstring& url, HMODULE& module, UINT& id)
{
    if (_wcsnicmp(url.c_str(), L"res://", 6) != 0)
        return false;
    const auto slash = url.rfind(L'/');
    if (slash == std::wstring::npos || slash < 6)
        return false;
    const std::wstring path = url.substr(6, slash - 6);
    id = static_cast<UINT>(wcstoul(url.c_str() + slash + 1, nullptr, 10));
    module = GetModuleHandleW(path.c_str());
    return module != nullptr && id != 0;
}

std::string LoadHtmlResource(HMODULE module, UINT id)
{
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(23));  // RT_HTML
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return bytes ? std::string(bytes, SizeofResource(module, resource)) : std::string();
}

bool MemoryHtmlView::Create(HWND, const RECT&) { return true; }

std::shared_ptr<html::Node> LoadResourcePage(const std::wstring& url)
{
    HMODULE module = nullptr;
    UINT id = 0;
    const std::string page = ParseResourceUrl(url, module, id) ? LoadHtmlResource(module, id) : std::string();
    if (page.empty())
        return nullptr;
    auto document = std::make_shared<html::Node>();
    document->tag = L"#document";
    html::SetInnerHtml(*document, ansi::ToWide(page));
    return document;
}

bool MemoryHtmlView::Navigate(const std::wstring& url)
{
    auto document = LoadResourcePage(url);
    if (!document || !events_.OnBeforeNavigate(url))
        return false;
    document_ = std::move(document);
    url_ = url;
    events_.OnDocumentComplete(url);
    return true;
}

std::unique_ptr<IHtmlElement> MemoryHtmlView::GetElement(const std::wstring& id)
{
    html::Node* node = document_ ? html::FindById(*document_, id) : nullptr;
    if (!node)
        return nullptr;
    return std::make_unique<MemoryElement>(document_, node);
}

bool MemoryHtmlView::Dispatch(html::Node* target, long dispid)
{
    // The page may change under the handler (a tab loads another one): keep
    // this one alive until the event has been delivered.
    std::shared_ptr<html::Node> page = document_;
    MemoryElement source(page, target);
    events_.OnElementEvent(dispid, source);
    return true;
}

bool MemoryHtmlView::Raise(const std::wstring& id, long dispid)
{
    html::Node* target = document_ ? html::FindById(*document_, id) : nullptr;
    return target && Dispatch(target, dispid);
}

bool MemoryHtmlView::Click(const std::wstring& id)
{
    html::Node* target = document_ ? html::FindById(*document_, id) : nullptr;
    if (!target)
        return false;
    html::ClickDefault(*target);
    return Dispatch(target, kEventClick);
}

bool MemoryHtmlView::ClickOption(const std::wstring& listId, const std::wstring& text)
{
    html::Node* list = document_ ? html::FindById(*document_, listId) : nullptr;
    html::Node* chosen = list ? html::SelectOption(*list, text) : nullptr;
    // The option is the source, as newer engines report it; the list box
    // around it is what the page's handlers are bound to.
    return chosen && Dispatch(chosen, kEventClick);
}

bool MemoryHtmlView::Type(const std::wstring& id, const std::wstring& text)
{
    html::Node* box = document_ ? html::FindById(*document_, id) : nullptr;
    if (!box || !box->IsElement(L"input"))
        return false;
    box->SetAttribute(L"value", text);
    return true;
}
