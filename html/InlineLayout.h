#pragma once
// The inline pass: an element's content read into items (words measured in
// their fonts, spaces, line breaks, form controls at the sizes the
// platform's engines give them, rules and tables as blocks), the widths
// they need, and their lines at a given width.
#include <memory>
#include <vector>

#include "LayoutBoxes.h"

namespace html {

class TableLayout;

// The line being filled, as litehtml's line box: the items on it at their x,
// its width so far, and whether a space is owed before the next item (never
// at the line's start). Widths asks only how wide lines grow; Flow also
// places each line it ends.
class LineBox {
public:
    struct OnLine {
        const Item* item;
        int x;
    };
    bool Empty() const { return items_.empty(); }
    int Width() const { return width_; }
    const std::vector<OnLine>& Items() const { return items_; }
    // A space between items: owed to the next item on this line, never at
    // its start (for the widths: before the line has any width).
    void Space() { spaceOwed_ = !items_.empty(); }
    void SpaceAfterWidth() { spaceOwed_ = width_ > 0; }
    bool SpaceOwed() const { return spaceOwed_; }
    // The item after the space it takes (the one owed, or none).
    void Add(const Item& item, int space)
    {
        items_.push_back({&item, width_ + space});
        width_ += space + item.width;
        spaceOwed_ = false;
    }
    void Clear()
    {
        items_.clear();
        width_ = 0;
        spaceOwed_ = false;
    }

private:
    std::vector<OnLine> items_;
    int width_ = 0;
    bool spaceOwed_ = false;
};

class InlineLayout {
public:
    explicit InlineLayout(TextMeasure& measure);
    ~InlineLayout();
    InlineLayout(const InlineLayout&) = delete;
    InlineLayout& operator=(const InlineLayout&) = delete;

    // The items of an element's content; each table in it is built into a
    // box of its own, once.
    std::vector<Item> Collect(Node& parent, const Style& style);
    MinMax Widths(const std::vector<Item>& items);
    // The items broken into lines of this width and aligned in them (l, c
    // or r); the tables among them laid out at the width the flow gives.
    FlowLayout Flow(const std::vector<Item>& items, int width, wchar_t align);

private:
    void CollectInto(Node& parent, const Style& style, std::vector<Item>& items);
    void Words(const std::wstring& text, const Style& style, Node& element, std::vector<Item>& items);
    Item Control(Node& node, const Style& style);
    int SpaceWidth(const Style& style) { return measure_.Width(style.font, L" "); }
    static MinMax BlockWidths(const Item& block);
    RECT Rule(const Item& rule, int top, int available);
    // Places the line's items from this top; where the next line begins.
    int PlaceLine(const LineBox& line, const Item* breaking, int top, int width, wchar_t align, FlowLayout& flow);

    TextMeasure& measure_;
    std::unique_ptr<TableLayout> tables_;
};

}  // namespace html
