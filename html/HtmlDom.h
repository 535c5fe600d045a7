#pragma once
// A small in-memory HTML document: a parser for our pages and for the mark-up
// handlers write back, lookup by id, and a serialiser that writes innerHTML
// and outerHTML the way the browser's engine does (upper-case tag names,
// boolean attributes bare, "<OPTION selected>", "CHECKED").
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace html {

struct Attribute {
    std::wstring name;  // lower case
    std::wstring value;
    bool bare = false;  // written without a value
};

struct Node {
    enum class Kind { Element, Text, Comment };
    Kind kind = Kind::Element;
    std::wstring tag;   // lower case, elements only
    std::wstring text;  // decoded text, or a comment's content
    std::vector<Attribute> attributes;
    std::vector<std::unique_ptr<Node>> children;
    Node* parent = nullptr;

    bool IsElement(const wchar_t* name) const { return kind == Kind::Element && tag == name; }
    const Attribute* FindAttribute(const std::wstring& name) const;
    std::optional<std::wstring> GetAttribute(const std::wstring& name) const;
    void SetAttribute(const std::wstring& name, const std::wstring& value);
    void SetFlag(const std::wstring& name, bool on);  // a boolean attribute
    bool HasFlag(const std::wstring& name) const { return FindAttribute(name) != nullptr; }
    std::wstring Id() const { return GetAttribute(L"id").value_or(L""); }
};

std::vector<std::unique_ptr<Node>> Parse(const std::wstring& markup);

std::wstring OuterHtml(const Node& node);
std::wstring InnerHtml(const Node& node);

// The first element in document order whose id is this, or null.
Node* FindById(Node& root, const std::wstring& id);

// Replaces the children with what the mark-up parses to.
void SetInnerHtml(Node& node, const std::wstring& markup);
// Replaces the node itself; the node is destroyed. False for a root.
bool SetOuterHtml(Node& node, const std::wstring& markup);

// The nearest enclosing element (the node itself included) with this tag.
Node* Enclosing(Node* node, const wchar_t* tag);
const Node* Enclosing(const Node* node, const wchar_t* tag);

// An option's text: its text children joined, as the list shows it.
std::wstring OptionText(const Node& option);
// The text in lower case, character by character.
std::wstring Lower(std::wstring text);

}  // namespace html
