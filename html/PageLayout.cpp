#include "PageLayout.h"

#include <algorithm>

#include "InlineLayout.h"

namespace html {

namespace {

const COLORREF kBorder = RGB(128, 128, 128);

// Turns the laid-out box tree into the page's boxes, fills, texts and
// controls, in document order, at their places on the page.
class Placement {
public:
    explicit Placement(PageLayout& out) : out_(out) {}

    void Flow(const FlowLayout& flow, int x, int y)
    {
        for (const Placed& placed : flow.placed) {
            RECT rect = placed.rect;
            OffsetRect(&rect, x, y);
            switch (placed.item->kind) {
            case Item::Kind::Word:
                out_.texts.push_back({placed.item->text, rect, placed.item->style.font, placed.item->style.color,
                                      placed.item->node});
                break;
            case Item::Kind::Control:
                Control(*placed.item, rect.left, rect.top);
                break;
            case Item::Kind::Rule:
                out_.boxes.push_back({placed.item->node, rect});
                out_.fills.push_back({rect, ParseColor(Attr(*placed.item->node, L"color"), kBorder)});
                break;
            case Item::Kind::Table:
                Table(*placed.item->table, rect.left, rect.top);
                break;
            case Item::Kind::Space:
            case Item::Kind::Break:
                break;
            }
        }
    }

private:
    void Control(const Item& item, int x, int y)
    {
        const RECT rect{x + item.window.left, y + item.window.top, x + item.window.right, y + item.window.bottom};
        out_.controls.push_back({item.node, item.control, rect, item.controlFont, item.style.background,
                                 ParseColor(StyleValue(*item.node, L"color"), CLR_INVALID),
                                 ParseColor(StyleValue(*item.node, L"background-color"), CLR_INVALID)});
        out_.boxes.push_back({item.node, rect});
    }

    void Table(const TableBox& table, int x, int y)
    {
        const RECT box{x, y, x + table.width, y + table.height};
        out_.boxes.push_back({table.node, box});
        const std::wstring background = Attr(*table.node, L"bgcolor");
        if (!background.empty())
            out_.fills.push_back({box, ParseColor(background, out_.background)});
        if (table.border > 0)
            Outline(box);
        int rowY = y + table.border + table.spacing;
        for (std::size_t r = 0; r < table.cells.size(); ++r) {
            const int height = table.rowHeights[r];
            out_.boxes.push_back({table.rows[r], RECT{x, rowY, x + table.width, rowY + height}});
            const std::wstring rowColor = Attr(*table.rows[r], L"bgcolor");
            for (const Cell& cell : table.cells[r]) {
                const int cellX = x + table.ColumnX(cell.column);
                PlaceCell(table, cell, RECT{cellX, rowY, cellX + table.CellWidth(cell), rowY + height}, rowColor);
            }
            rowY += height + table.spacing;
        }
    }

    // A cell's box and fill, and its content where its valign puts it.
    void PlaceCell(const TableBox& table, const Cell& cell, const RECT& rect, const std::wstring& rowColor)
    {
        out_.boxes.push_back({cell.node, rect});
        const std::wstring color = Attr(*cell.node, L"bgcolor");
        if (!color.empty() || !rowColor.empty())
            out_.fills.push_back({rect, ParseColor(color.empty() ? rowColor : color, out_.background)});
        if (table.border > 0)
            Outline(rect);
        const int room = (rect.bottom - rect.top) - 2 * table.padding - cell.content.height;
        const int offset = cell.valign == L't' ? 0 : cell.valign == L'b' ? room : room / 2;
        Flow(cell.content, rect.left + table.padding, rect.top + table.padding + std::max(0, offset));
    }

    void Outline(const RECT& r)
    {
        out_.fills.push_back({RECT{r.left, r.top, r.right, r.top + 1}, kBorder});
        out_.fills.push_back({RECT{r.left, r.bottom - 1, r.right, r.bottom}, kBorder});
        out_.fills.push_back({RECT{r.left, r.top, r.left + 1, r.bottom}, kBorder});
        out_.fills.push_back({RECT{r.right - 1, r.top, r.right, r.bottom}, kBorder});
    }

    PageLayout& out_;
};

Node* FindTag(Node& node, const wchar_t* tag)
{
    if (node.IsElement(tag))
        return &node;
    for (auto& child : node.children)
        if (Node* found = FindTag(*child, tag))
            return found;
    return nullptr;
}

}  // namespace

std::optional<RECT> PageLayout::BoxOf(const std::wstring& id) const
{
    for (const PageBox& box : boxes)
        if (box.node->Id() == id)
            return box.rect;
    std::optional<RECT> united;
    for (const PageText& text : texts) {
        for (const Node* e = text.element; e; e = e->parent) {
            if (e->Id() != id)
                continue;
            RECT both = text.rect;
            if (united)
                UnionRect(&both, &*united, &text.rect);
            united = both;
            break;
        }
    }
    return united;
}

const Node* PageLayout::ElementAt(POINT at) const
{
    for (const PageText& text : texts)
        if (PtInRect(&text.rect, at))
            return text.element;
    for (auto box = boxes.rbegin(); box != boxes.rend(); ++box)
        if (PtInRect(&box->rect, at))
            return box->node;
    return nullptr;
}

bool DrawsAlike(const PageLayout& a, const PageLayout& b)
{
    auto sameFill = [](const PageFill& x, const PageFill& y) {
        return EqualRect(&x.rect, &y.rect) && x.color == y.color;
    };
    auto sameText = [](const PageText& x, const PageText& y) {
        return x.text == y.text && EqualRect(&x.rect, &y.rect) && x.font == y.font && x.color == y.color;
    };
    return a.background == b.background && a.extent.cx == b.extent.cx && a.extent.cy == b.extent.cy &&
           std::equal(a.fills.begin(), a.fills.end(), b.fills.begin(), b.fills.end(), sameFill) &&
           std::equal(a.texts.begin(), a.texts.end(), b.texts.begin(), b.texts.end(), sameText);
}

PageLayout LayOutPage(Node& document, int width, TextMeasure& measure)
{
    PageLayout layout;
    Node* body = FindTag(document, L"body");
    Node& root = body ? *body : document;
    const int left = body ? Number(*body, L"leftmargin", 10) : 10;
    const int top = body ? Number(*body, L"topmargin", 15) : 15;
    if (body)
        layout.background = ParseColor(Attr(*body, L"bgcolor"), layout.background);
    Style style;
    style.background = layout.background;
    // Read once, laid out once, then placed.
    InlineLayout inlines(measure);
    const std::vector<Item> items = inlines.Collect(root, style);
    const FlowLayout flow = inlines.Flow(items, width - 2 * left, L'l');
    Placement(layout).Flow(flow, left, top);
    layout.extent = {width, top + flow.height};
    return layout;
}

}  // namespace html
