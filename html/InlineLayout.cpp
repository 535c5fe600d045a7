#include "InlineLayout.h"

#include <algorithm>
#include <cwchar>

#include "TableLayout.h"

namespace html {

namespace {

const int kControlFontPixels = 13;

bool IsSpace(wchar_t c) { return std::wcschr(L" \t\r\n", c) != nullptr && c != 0; }

}  // namespace

InlineLayout::InlineLayout(TextMeasure& measure)
    : measure_(measure), tables_(std::make_unique<TableLayout>(*this))
{
}

InlineLayout::~InlineLayout() = default;

// ---- Items -------------------------------------------------------------------

std::vector<Item> InlineLayout::Collect(Node& parent, const Style& style)
{
    std::vector<Item> items;
    CollectInto(parent, style, items);
    return items;
}

void InlineLayout::CollectInto(Node& parent, const Style& style, std::vector<Item>& items)
{
    for (auto& child : parent.children) {
        if (child->kind == Node::Kind::Text) {
            Words(child->text, style, parent, items);
            continue;
        }
        if (child->kind != Node::Kind::Element)
            continue;
        const std::wstring& tag = child->tag;
        if (tag == L"head" || tag == L"script" || tag == L"style" || tag == L"title" || tag == L"option")
            continue;
        if (tag == L"input" || tag == L"select") {
            items.push_back(Control(*child, style));
            continue;
        }
        if (tag != L"br" && tag != L"table" && tag != L"hr") {
            CollectInto(*child, Inherit(*child, style), items);
            continue;
        }
        Item item;
        item.kind = tag == L"br" ? Item::Kind::Break : tag == L"hr" ? Item::Kind::Rule : Item::Kind::Table;
        item.style = style;
        item.node = child.get();
        if (item.kind == Item::Kind::Table)
            item.table = tables_->Build(*child, style);
        items.push_back(std::move(item));
    }
}

void InlineLayout::Words(const std::wstring& text, const Style& style, Node& element, std::vector<Item>& items)
{
    const FontMetrics metrics = measure_.Metrics(style.font);
    std::size_t i = 0;
    while (i < text.size()) {
        if (IsSpace(text[i])) {
            while (i < text.size() && IsSpace(text[i]))
                ++i;
            if (items.empty() || items.back().kind != Item::Kind::Space) {
                Item space;
                space.kind = Item::Kind::Space;
                space.style = style;
                space.width = SpaceWidth(style);
                items.push_back(space);
            }
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && !IsSpace(text[end]))
            ++end;
        Item word;
        word.text = text.substr(i, end - i);
        std::replace(word.text.begin(), word.text.end(), L'\xA0', L' ');
        word.style = style;
        word.node = &element;
        word.width = measure_.Width(style.font, word.text);
        word.ascent = metrics.ascent;
        word.descent = metrics.descent;
        items.push_back(std::move(word));
        i = end;
    }
}

// Form controls at the sizes the platform's engines give them: check boxes
// 13 pixels square with their margins, buttons and text boxes from their
// font, list boxes from their rows.
Item InlineLayout::Control(Node& node, const Style& style)
{
    Item item;
    item.kind = Item::Kind::Control;
    item.style = style;
    item.node = &node;
    const std::wstring face = FirstFace(StyleValue(node, L"font-family"));
    item.controlFont = FontSpec{face.empty() ? L"Arial" : face, kControlFontPixels, false, false};
    const FontMetrics metrics = measure_.Metrics(item.controlFont);
    const int line = metrics.ascent + metrics.descent;
    const std::wstring type = Lower(Attr(node, L"type"));
    if (node.tag == L"select") {
        item.control = ControlKind::ListBox;
        const int rows = std::max(1, Number(node, L"size", 4));
        int width = Length(StyleValue(node, L"width"), 0);
        if (width < 0)
            width = 120;
        item.window = {0, 0, width, rows * line + 4};
        item.ascent = item.window.bottom;
    } else if (type == L"checkbox") {
        item.control = ControlKind::CheckBox;
        item.window = {4, 3, 17, 16};
        item.width = 20;
        item.ascent = 19;
    } else if (type == L"button" || type == L"submit" || type == L"reset") {
        item.control = ControlKind::Button;
        const int width = measure_.Width(item.controlFont, Attr(node, L"value")) + 16;
        item.window = {0, 0, width, line + 6};
        item.ascent = 3 + metrics.ascent;
    } else {
        item.control = ControlKind::TextBox;
        const int size = std::max(1, Number(node, L"size", 20));
        item.window = {0, 0, size * metrics.averageWidth + 8, line + 6};
        item.ascent = 3 + metrics.ascent;
    }
    if (item.width == 0)
        item.width = item.window.right;
    // The text of buttons and text boxes sits on the line's baseline; a
    // check box and a list box stand on it.
    item.descent = std::max(0, static_cast<int>(item.window.bottom) - item.ascent);
    return item;
}

// ---- Widths ------------------------------------------------------------------

MinMax InlineLayout::BlockWidths(const Item& block)
{
    if (block.kind == Item::Kind::Table)
        return block.table->widths;
    const std::wstring width = Attr(*block.node, L"width");
    const int fixed = std::max(0, IsPercent(width) ? -1 : Length(width, 0));
    return {fixed, fixed};
}

MinMax InlineLayout::Widths(const std::vector<Item>& items)
{
    MinMax result;
    LineBox line;
    int unbroken = 0;  // the widest run the line cannot be broken in
    auto endLine = [&] {
        result.max = std::max(result.max, line.Width());
        result.min = std::max(result.min, unbroken);
        line.Clear();
        unbroken = 0;
    };
    for (const Item& item : items) {
        switch (item.kind) {
        case Item::Kind::Space:
            line.SpaceAfterWidth();
            if (!item.style.nowrap) {
                result.min = std::max(result.min, unbroken);
                unbroken = 0;
            }
            break;
        case Item::Kind::Break:
            endLine();
            break;
        case Item::Kind::Table:
        case Item::Kind::Rule: {
            endLine();
            const MinMax block = BlockWidths(item);
            result.min = std::max(result.min, block.min);
            result.max = std::max(result.max, block.max);
            break;
        }
        case Item::Kind::Word:
        case Item::Kind::Control: {
            const int space = line.SpaceOwed() ? SpaceWidth(item.style) : 0;
            unbroken += (item.style.nowrap ? space : 0) + item.width;
            line.Add(item, space);
            break;
        }
        }
    }
    endLine();
    return result;
}

// ---- Lines -------------------------------------------------------------------

// A rule: its width (per cent of the line by default), its size in pixels,
// half a line of margin above and below, centred: the rectangle it is
// drawn in, from the flow's left edge.
RECT InlineLayout::Rule(const Item& rule, int top, int available)
{
    const int margin = rule.style.font.pixels / 2;
    const int size = std::max(1, Number(*rule.node, L"size", 2));
    int width = Length(Attr(*rule.node, L"width"), available);
    if (width < 0)
        width = available;
    const int left = std::max(0, (available - width) / 2);
    return RECT{left, top + margin, left + width, top + margin + size};
}

// Ends the line: aligned, each item standing on the line's baseline. An
// empty line ended by a break still takes the break's line height.
int InlineLayout::PlaceLine(const LineBox& line, const Item* breaking, int top, int width, wchar_t align,
                            FlowLayout& flow)
{
    if (line.Empty()) {
        if (!breaking)
            return top;
        const FontMetrics m = measure_.Metrics(breaking->style.font);
        return top + m.ascent + m.descent;
    }
    int ascent = 0, descent = 0;
    for (const LineBox::OnLine& on : line.Items()) {
        ascent = std::max(ascent, on.item->ascent);
        descent = std::max(descent, on.item->descent);
    }
    const int free = width - line.Width();
    const int shift = std::max(0, align == L'r' ? free : align == L'c' ? free / 2 : 0);
    for (const LineBox::OnLine& on : line.Items()) {
        const int x = shift + on.x, y = top + ascent - on.item->ascent;
        flow.placed.push_back({on.item, RECT{x, y, x + on.item->width, y + on.item->ascent + on.item->descent}});
    }
    return top + ascent + descent;
}

FlowLayout InlineLayout::Flow(const std::vector<Item>& items, int width, wchar_t align)
{
    FlowLayout flow;
    LineBox line;
    int top = 0;
    auto endLine = [&](const Item* breaking) {
        top = PlaceLine(line, breaking, top, width, align, flow);
        line.Clear();
    };
    for (const Item& item : items) {
        switch (item.kind) {
        case Item::Kind::Space:
            line.Space();
            break;
        case Item::Kind::Break:
            endLine(&item);
            break;
        case Item::Kind::Rule: {
            endLine(nullptr);
            const RECT rule = Rule(item, top, width);
            flow.placed.push_back({&item, rule});
            top = rule.bottom + item.style.font.pixels / 2;
            break;
        }
        case Item::Kind::Table:
            endLine(nullptr);
            tables_->LayOut(*item.table, width);
            flow.placed.push_back({&item, RECT{0, top, item.table->width, top + item.table->height}});
            top += item.table->height;
            break;
        case Item::Kind::Word:
        case Item::Kind::Control: {
            int space = line.SpaceOwed() ? SpaceWidth(item.style) : 0;
            if (!line.Empty() && !item.style.nowrap && line.Width() + space + item.width > width) {
                endLine(nullptr);
                space = 0;
            }
            line.Add(item, space);
            break;
        }
        }
    }
    endLine(nullptr);
    flow.height = top;
    return flow;
}

}  // namespace html
