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

private:
    std::shared_ptr<html::Node> document_;  // keeps the page alive while the element is in use
    html::Node* node_;
};

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

}  // namespace

std::string LoadHtmlResource(HMODULE module, UINT id)
{
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(23));  // RT_HTML
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return bytes ? std::string(bytes, SizeofResource(module, resource)) : std::string();
}

bool MemoryHtmlView::Create(HWND, const RECT&) { return true; }

bool MemoryHtmlView::Navigate(const std::wstring& url)
{
    HMODULE module = nullptr;
    UINT id = 0;
    if (!ParseResourceUrl(url, module, id))
        return false;
    const std::string page = LoadHtmlResource(module, id);
    if (page.empty())
        return false;
    events_.OnBeforeNavigate(url);
    auto document = std::make_shared<html::Node>();
    document->tag = L"#document";
    html::SetInnerHtml(*document, ansi::ToWide(page));
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
    events_.OnElementEvent(target->Id(), dispid, source);
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
    if (target->IsElement(L"input") && target->GetAttribute(L"type").value_or(L"") == L"checkbox")
        target->SetFlag(L"checked", !target->HasFlag(L"checked"));
    return Dispatch(target, kEventClick);
}

bool MemoryHtmlView::ClickOption(const std::wstring& listId, const std::wstring& text)
{
    html::Node* list = document_ ? html::FindById(*document_, listId) : nullptr;
    if (!list)
        return false;
    html::Node* chosen = nullptr;
    for (auto& child : list->children) {
        if (!child->IsElement(L"option"))
            continue;
        std::wstring plain;
        for (const auto& t : child->children)
            if (t->kind == html::Node::Kind::Text)
                plain += t->text;
        child->SetFlag(L"selected", false);
        if (!chosen && plain == text)
            chosen = child.get();
    }
    if (!chosen)
        return false;
    chosen->SetFlag(L"selected", true);
    // The list box, not the option, is the source of the browser's event.
    return Dispatch(list, kEventClick);
}

bool MemoryHtmlView::Type(const std::wstring& id, const std::wstring& text)
{
    html::Node* box = document_ ? html::FindById(*document_, id) : nullptr;
    if (!box || !box->IsElement(L"input"))
        return false;
    box->SetAttribute(L"value", text);
    return true;
}
