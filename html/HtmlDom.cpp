#include "HtmlDom.h"

#include <algorithm>
#include <cwctype>

namespace html {

namespace {

// ASCII letters without a library call: every tag name passes here.
wchar_t ToUpper(wchar_t c)
{
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A')
                                  : c < 0x80 ? c : static_cast<wchar_t>(std::towupper(c));
}

wchar_t ToLower(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a')
                                  : c < 0x80 ? c : static_cast<wchar_t>(std::towlower(c));
}

// The white space that separates a tag's name and attributes: ASCII's.
bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\f'; }

bool IsVoid(const std::wstring& tag)
{
    // Compared as strings of their own: each tag of a long list is asked.
    static const std::wstring kVoid[] = {L"input", L"br", L"hr", L"img", L"meta", L"link", L"col", L"base"};
    return std::find(std::begin(kVoid), std::end(kVoid), tag) != std::end(kVoid);
}

bool IsRawText(const std::wstring& tag) { return tag == L"script" || tag == L"style"; }

// ---- Parsing ---------------------------------------------------------------

// The text between two offsets of the mark-up with its entities decoded.
std::wstring DecodeEntities(const std::wstring& markup, std::size_t from, std::size_t to)
{
    if (std::find(markup.begin() + from, markup.begin() + to, L'&') == markup.begin() + to)
        return markup.substr(from, to - from);  // most text has none: one copy
    const std::wstring text = markup.substr(from, to - from);
    static const struct {
        const wchar_t* name;
        wchar_t c;
    } entities[] = {{L"amp", L'&'}, {L"lt", L'<'}, {L"gt", L'>'}, {L"quot", L'"'}, {L"apos", L'\''},
                    {L"nbsp", L'\xA0'}, {L"copy", L'\xA9'}};
    std::wstring out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t semi = text[i] == L'&' ? text.find(L';', i) : std::wstring::npos;
        if (semi == std::wstring::npos || semi - i > 10) {
            out += text[i];
            continue;
        }
        const std::wstring name = text.substr(i + 1, semi - i - 1);
        wchar_t decoded = 0;
        if (name.size() > 1 && name[0] == L'#') {
            const bool hex = name[1] == L'x' || name[1] == L'X';
            decoded = static_cast<wchar_t>(wcstoul(name.c_str() + (hex ? 2 : 1), nullptr, hex ? 16 : 10));
        } else {
            for (const auto& e : entities)
                if (name == e.name)
                    decoded = e.c;
        }
        if (!decoded) {
            out += text[i];
            continue;
        }
        out += decoded;
        i = semi;
    }
    return out;
}

class Parser {
public:
    explicit Parser(const std::wstring& text) : s_(text) {}

    std::vector<std::unique_ptr<Node>> Run()
    {
        Node root;
        open_.push_back(&root);
        while (pos_ < s_.size()) {
            if (s_.compare(pos_, 4, L"<!--") == 0)
                Comment();
            else if (s_[pos_] == L'<' && pos_ + 1 < s_.size() && s_[pos_ + 1] == L'/')
                EndTag();
            else if (s_[pos_] == L'<' && pos_ + 1 < s_.size() && s_[pos_ + 1] == L'!')
                pos_ = std::min(s_.find(L'>', pos_), s_.size() - 1) + 1;  // doctype
            else if (s_[pos_] == L'<' && pos_ + 1 < s_.size() && std::iswalpha(s_[pos_ + 1]))
                StartTag();
            else
                Text();
        }
        for (auto& child : root.children)
            child->parent = nullptr;
        return std::move(root.children);
    }

private:
    Node* Current() { return open_.back(); }

    Node* Append(std::unique_ptr<Node> node)
    {
        node->parent = Current();
        Current()->children.push_back(std::move(node));
        return Current()->children.back().get();
    }

    void Text()
    {
        const std::size_t end = std::min(s_.find(L'<', pos_ + 1), s_.size());
        auto node = std::make_unique<Node>();
        node->kind = Node::Kind::Text;
        node->text = DecodeEntities(s_, pos_, end);
        pos_ = end;
        if (!Current()->children.empty() && Current()->children.back()->kind == Node::Kind::Text)
            Current()->children.back()->text += node->text;
        else
            Append(std::move(node));
    }

    void Comment()
    {
        const std::size_t end = s_.find(L"-->", pos_ + 4);
        auto node = std::make_unique<Node>();
        node->kind = Node::Kind::Comment;
        node->text = s_.substr(pos_ + 4, (end == std::wstring::npos ? s_.size() : end) - pos_ - 4);
        pos_ = end == std::wstring::npos ? s_.size() : end + 3;
        Append(std::move(node));
    }

    std::wstring Name()
    {
        const std::size_t start = pos_;
        while (pos_ < s_.size() && !IsSpace(s_[pos_]) && s_[pos_] != L'>' && s_[pos_] != L'/' &&
               s_[pos_] != L'=')
            ++pos_;
        return Lower(s_.substr(start, pos_ - start));
    }

    void SkipSpace()
    {
        while (pos_ < s_.size() && IsSpace(s_[pos_]))
            ++pos_;
    }

    Attribute ParseAttribute()
    {
        Attribute a;
        a.name = Name();
        SkipSpace();
        if (pos_ >= s_.size() || s_[pos_] != L'=') {
            a.bare = true;
            return a;
        }
        ++pos_;
        SkipSpace();
        if (pos_ < s_.size() && (s_[pos_] == L'"' || s_[pos_] == L'\'')) {
            const wchar_t quote = s_[pos_++];
            const std::size_t end = std::min(s_.find(quote, pos_), s_.size());
            a.value = DecodeEntities(s_, pos_, end);
            pos_ = std::min(end + 1, s_.size());
        } else {
            const std::size_t start = pos_;
            while (pos_ < s_.size() && !IsSpace(s_[pos_]) && s_[pos_] != L'>')
                ++pos_;
            a.value = DecodeEntities(s_, start, pos_);
        }
        return a;
    }

    void StartTag()
    {
        ++pos_;
        auto node = std::make_unique<Node>();
        node->tag = Name();
        for (;;) {
            SkipSpace();
            if (pos_ >= s_.size())
                break;
            if (s_[pos_] == L'>') {
                ++pos_;
                break;
            }
            if (s_[pos_] == L'/') {
                ++pos_;
                continue;
            }
            Attribute a = ParseAttribute();
            if (a.name.empty()) {
                ++pos_;
                continue;
            }
            if (!node->FindAttribute(a.name))
                node->attributes.push_back(std::move(a));
        }
        // An option ends the option before it, as in the browser.
        if (node->tag == L"option" && Current()->IsElement(L"option"))
            open_.pop_back();
        const std::wstring tag = node->tag;
        Node* added = Append(std::move(node));
        if (IsRawText(tag)) {
            const std::size_t end = std::min(Lower(s_).find(L"</" + tag, pos_), s_.size());
            if (end > pos_) {
                auto text = std::make_unique<Node>();
                text->kind = Node::Kind::Text;
                text->text = s_.substr(pos_, end - pos_);
                text->parent = added;
                added->children.push_back(std::move(text));
            }
            pos_ = std::min(s_.find(L'>', end), s_.size() - 1) + 1;
            return;
        }
        if (!IsVoid(tag))
            open_.push_back(added);
    }

    void EndTag()
    {
        pos_ += 2;
        const std::wstring tag = Name();
        pos_ = std::min(s_.find(L'>', pos_), s_.size() - 1) + 1;
        // Close up to the matching element; an end tag with no match is dropped.
        for (std::size_t i = open_.size(); i-- > 1;) {
            if (open_[i]->tag == tag) {
                open_.resize(i);
                return;
            }
        }
    }

    const std::wstring& s_;
    std::size_t pos_ = 0;
    std::vector<Node*> open_;
};

// ---- Serialising -----------------------------------------------------------

// Appended to what is written so far: a long list is written in one go,
// and the runs between the characters to escape are copied whole.
void AppendEscapedText(const std::wstring& text, std::wstring& out)
{
    std::size_t from = 0;
    for (std::size_t at; (at = text.find_first_of(L"&<>\xA0", from)) != std::wstring::npos; from = at + 1) {
        out.append(text, from, at - from);
        switch (text[at]) {
        case L'&': out += L"&amp;"; break;
        case L'<': out += L"&lt;"; break;
        case L'>': out += L"&gt;"; break;
        default: out += L"&nbsp;"; break;
        }
    }
    out.append(text, from, std::wstring::npos);
}

void AppendUpper(const std::wstring& text, std::wstring& out)
{
    for (wchar_t c : text)
        out += ToUpper(c);
}

// The engine leaves simple values unquoted and quotes the rest.
std::wstring AttributeValue(const std::wstring& value)
{
    const bool simple = !value.empty() && std::all_of(value.begin(), value.end(), [](wchar_t c) {
        return std::iswalnum(c) || c == L'_' || c == L'-' || c == L'.' || c == L'#';
    });
    if (simple)
        return value;
    std::wstring out = L"\"";
    for (wchar_t c : value) {
        if (c == L'&')
            out += L"&amp;";
        else if (c == L'"')
            out += L"&quot;";
        else
            out += c;
    }
    return out + L"\"";
}

void Write(const Node& node, std::wstring& out);

void WriteChildren(const Node& node, std::wstring& out)
{
    for (const auto& child : node.children)
        Write(*child, out);
}

void Write(const Node& node, std::wstring& out)
{
    switch (node.kind) {
    case Node::Kind::Text:
        if (node.parent && IsRawText(node.parent->tag))
            out += node.text;
        else
            AppendEscapedText(node.text, out);
        return;
    case Node::Kind::Comment:
        out += L"<!--" + node.text + L"-->";
        return;
    case Node::Kind::Element:
        break;
    }
    out += L'<';
    AppendUpper(node.tag, out);
    for (const auto& a : node.attributes) {
        out += L' ';
        if (a.bare && a.name == L"checked") {
            AppendUpper(a.name, out);
        } else if (a.bare) {
            out += a.name;
        } else {
            out += a.name;
            out += L'=';
            out += AttributeValue(a.value);
        }
    }
    out += L'>';
    if (IsVoid(node.tag))
        return;
    WriteChildren(node, out);
    out += L"</";
    AppendUpper(node.tag, out);
    out += L'>';
}

void Adopt(Node& parent, std::vector<std::unique_ptr<Node>>& nodes)
{
    for (auto& n : nodes)
        n->parent = &parent;
}

}  // namespace

const Attribute* Node::FindAttribute(const std::wstring& name) const
{
    // Names are kept in lower case; asked in any case, and without a copy:
    // a long list's every option is asked for its id at each look-up.
    for (const auto& a : attributes)
        if (a.name.size() == name.size() &&
            std::equal(a.name.begin(), a.name.end(), name.begin(),
                       [](wchar_t kept, wchar_t asked) { return kept == ToLower(asked); }))
            return &a;
    return nullptr;
}

std::optional<std::wstring> Node::GetAttribute(const std::wstring& name) const
{
    const Attribute* a = FindAttribute(name);
    if (!a)
        return std::nullopt;
    return a->value;
}

void Node::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    const std::wstring key = Lower(name);
    for (auto& a : attributes) {
        if (a.name == key) {
            a.value = value;
            a.bare = false;
            return;
        }
    }
    attributes.push_back({key, value, false});
}

void Node::SetFlag(const std::wstring& name, bool on)
{
    const std::wstring key = Lower(name);
    attributes.erase(std::remove_if(attributes.begin(), attributes.end(),
                                    [&](const Attribute& a) { return a.name == key; }),
                     attributes.end());
    if (on)
        attributes.push_back({key, L"", true});
}

std::vector<std::unique_ptr<Node>> Parse(const std::wstring& markup) { return Parser(markup).Run(); }

std::wstring OuterHtml(const Node& node)
{
    std::wstring out;
    Write(node, out);
    return out;
}

std::wstring InnerHtml(const Node& node)
{
    std::wstring out;
    WriteChildren(node, out);
    return out;
}

Node* FindById(Node& root, const std::wstring& id)
{
    const Attribute* own = root.kind == Node::Kind::Element ? root.FindAttribute(L"id") : nullptr;
    if (own && own->value == id)
        return &root;
    for (auto& child : root.children)
        if (Node* found = FindById(*child, id))
            return found;
    return nullptr;
}

void SetInnerHtml(Node& node, const std::wstring& markup)
{
    node.children = Parse(markup);
    Adopt(node, node.children);
}

bool SetOuterHtml(Node& node, const std::wstring& markup)
{
    Node* parent = node.parent;
    if (!parent)
        return false;
    auto replacement = Parse(markup);
    Adopt(*parent, replacement);
    auto& siblings = parent->children;
    auto it = std::find_if(siblings.begin(), siblings.end(), [&](const auto& n) { return n.get() == &node; });
    it = siblings.erase(it);
    siblings.insert(it, std::make_move_iterator(replacement.begin()), std::make_move_iterator(replacement.end()));
    return true;
}

const Node* Enclosing(const Node* node, const wchar_t* tag)
{
    for (; node; node = node->parent)
        if (node->IsElement(tag))
            return node;
    return nullptr;
}

Node* Enclosing(Node* node, const wchar_t* tag)
{
    return const_cast<Node*>(Enclosing(static_cast<const Node*>(node), tag));
}

std::wstring Lower(std::wstring text)
{
    for (auto& c : text)
        c = ToLower(c);
    return text;
}

std::wstring OptionText(const Node& option)
{
    std::wstring text;
    for (const auto& child : option.children)
        if (child->kind == Node::Kind::Text)
            text += child->text;
    return text;
}

}  // namespace html
