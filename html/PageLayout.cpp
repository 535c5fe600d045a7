#include "PageLayout.h"

#include <algorithm>
#include <cwctype>
#include <numeric>

namespace html {

namespace {

// The pixel sizes of font sizes 1 to 7, as the platform's engines map them.
const int kFontPixels[] = {10, 13, 16, 18, 24, 32, 48};
const int kControlFontPixels = 13;

struct Style {
    FontSpec font{L"Times New Roman", 16, false, false};
    COLORREF color = RGB(0, 0, 0);
    COLORREF background = RGB(255, 255, 255);  // of the nearest box behind, the page's at last
    bool nowrap = false;
    wchar_t align = L'l';  // l, c or r
};

std::wstring Trim(const std::wstring& text)
{
    const auto first = text.find_first_not_of(L" \t\r\n'\"");
    if (first == std::wstring::npos)
        return std::wstring();
    const auto last = text.find_last_not_of(L" \t\r\n'\"");
    return text.substr(first, last - first + 1);
}

std::wstring Attr(const Node& node, const wchar_t* name) { return Trim(node.GetAttribute(name).value_or(L"")); }

// A length in pixels ("325", "325px") or per cent of the whole ("100%");
// -1 when there is none.
int Length(const std::wstring& text, int whole)
{
    if (text.empty() || !std::iswdigit(text[0]))
        return -1;
    const int value = static_cast<int>(wcstol(text.c_str(), nullptr, 10));
    return text.find(L'%') != std::wstring::npos ? whole * value / 100 : value;
}

int Number(const Node& node, const wchar_t* name, int fallback)
{
    const std::wstring text = Attr(node, name);
    return !text.empty() && std::iswdigit(text[0]) ? static_cast<int>(wcstol(text.c_str(), nullptr, 10)) : fallback;
}

bool IsPercent(const std::wstring& text) { return text.find(L'%') != std::wstring::npos; }

std::wstring FirstFace(const std::wstring& list)
{
    return Trim(list.substr(0, list.find(L',')));
}

wchar_t AlignOf(const std::wstring& text, wchar_t fallback)
{
    const std::wstring a = Lower(text);
    return a == L"right" ? L'r' : a == L"center" || a == L"middle" ? L'c' : a == L"left" ? L'l' : fallback;
}

// t, c or b: a cell's own valign, else its row's, else the middle.
wchar_t VerticalAlignOf(const std::wstring& text, wchar_t fallback)
{
    const std::wstring a = Lower(text);
    return a == L"top" ? L't' : a == L"bottom" ? L'b' : a == L"middle" || a == L"center" ? L'c' : fallback;
}

Style Inherit(const Node& element, Style style)
{
    const std::wstring& tag = element.tag;
    if (tag == L"font") {
        const std::wstring face = Attr(element, L"face");
        if (!face.empty())
            style.font.face = FirstFace(face);
        const std::wstring size = Attr(element, L"size");
        if (!size.empty()) {
            int n = static_cast<int>(wcstol(size.c_str(), nullptr, 10));
            if (size[0] == L'+' || size[0] == L'-')
                n += 3;
            style.font.pixels = kFontPixels[std::clamp(n, 1, 7) - 1];
        }
        style.color = ParseColor(Attr(element, L"color"), style.color);
    } else if (tag == L"b" || tag == L"strong" || tag == L"th") {
        style.font.bold = true;
    } else if (tag == L"a" && element.GetAttribute(L"href")) {
        style.font.underline = true;
        style.color = RGB(0, 0, 0xEE);
    }
    if (tag == L"td" || tag == L"th") {
        style.nowrap = element.HasFlag(L"nowrap");
        style.align = AlignOf(Attr(element, L"align"), L'l');
    }
    return style;
}

// The style with the element's own background colour, if it has one.
Style Behind(const Node& element, Style style)
{
    const std::wstring color = Attr(element, L"bgcolor");
    if (!color.empty())
        style.background = ParseColor(color, style.background);
    return style;
}

struct Item {
    enum class Kind { Word, Space, Break, Control, Block };
    Kind kind = Kind::Word;
    std::wstring text;
    Style style;
    Node* node = nullptr;  // the element around a word; the control or block itself
    int width = 0, ascent = 0, descent = 0;
    // A control's window inside its item box.
    RECT window{};
    ControlKind control = ControlKind::Button;
    FontSpec controlFont;
};

struct Cell {
    Node* node = nullptr;
    Style style;
    int column = 0, span = 1;
    std::vector<Item> items;
    int min = 0, max = 0, fixed = -1, height = 0;
    wchar_t valign = L'c';
};

struct Grid {
    std::vector<Node*> rows;
    std::vector<std::vector<Cell>> cells;
    int columns = 0;
    int padding = 1, spacing = 2, border = 0;
};

class Layouter {
public:
    Layouter(TextMeasure& measure, PageLayout& out) : measure_(measure), out_(out) {}

    void Page(Node& document, int width)
    {
        Node* body = FindTag(document, L"body");
        Node& root = body ? *body : document;
        Style style;
        const int left = body ? Number(*body, L"leftmargin", 10) : 10;
        const int top = body ? Number(*body, L"topmargin", 15) : 15;
        if (body)
            out_.background = ParseColor(Attr(*body, L"bgcolor"), out_.background);
        style.background = out_.background;
        std::vector<Item> items;
        Collect(root, style, items);
        const int height = Flow(items, left, top, width - 2 * left, L'l', true);
        out_.extent = {width, top + height};
    }

private:
    static Node* FindTag(Node& node, const wchar_t* tag)
    {
        if (node.IsElement(tag))
            return &node;
        for (auto& child : node.children)
            if (Node* found = FindTag(*child, tag))
                return found;
        return nullptr;
    }

    // ---- Items -------------------------------------------------------------

    void Collect(Node& parent, const Style& style, std::vector<Item>& items)
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
            if (tag == L"br") {
                Item item;
                item.kind = Item::Kind::Break;
                item.style = style;
                items.push_back(item);
            } else if (tag == L"input" || tag == L"select") {
                items.push_back(Control(*child, style));
            } else if (tag == L"table" || tag == L"hr") {
                Item item;
                item.kind = Item::Kind::Block;
                item.style = style;
                item.node = child.get();
                items.push_back(item);
            } else {
                Collect(*child, Inherit(*child, style), items);
            }
        }
    }

    void Words(const std::wstring& text, const Style& style, Node& element, std::vector<Item>& items)
    {
        const FontMetrics metrics = measure_.Metrics(style.font);
        std::size_t i = 0;
        while (i < text.size()) {
            if (std::wcschr(L" \t\r\n", text[i])) {
                while (i < text.size() && std::wcschr(L" \t\r\n", text[i]))
                    ++i;
                if (items.empty() || items.back().kind != Item::Kind::Space) {
                    Item space;
                    space.kind = Item::Kind::Space;
                    space.style = style;
                    space.width = measure_.Width(style.font, L" ");
                    items.push_back(space);
                }
                continue;
            }
            std::size_t end = i;
            while (end < text.size() && !std::wcschr(L" \t\r\n", text[end]))
                ++end;
            Item word;
            word.text = text.substr(i, end - i);
            std::replace(word.text.begin(), word.text.end(), L'\xA0', L' ');
            word.style = style;
            word.node = &element;
            word.width = measure_.Width(style.font, word.text);
            word.ascent = metrics.ascent;
            word.descent = metrics.descent;
            items.push_back(word);
            i = end;
        }
    }

    // Form controls at the sizes the platform's engines give them: check
    // boxes 13 pixels square with their margins, buttons and text boxes
    // from their font, list boxes from their rows.
    Item Control(Node& node, const Style& style)
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

    // ---- Intrinsic widths ---------------------------------------------------

    struct MinMax {
        int min = 0, max = 0;
    };

    MinMax Widths(const std::vector<Item>& items)
    {
        MinMax result;
        int line = 0, unbroken = 0;
        bool pendingSpace = false;
        auto endLine = [&] {
            result.max = std::max(result.max, line);
            result.min = std::max(result.min, unbroken);
            line = unbroken = 0;
            pendingSpace = false;
        };
        for (const Item& item : items) {
            switch (item.kind) {
            case Item::Kind::Space:
                pendingSpace = line > 0;
                if (!item.style.nowrap) {
                    result.min = std::max(result.min, unbroken);
                    unbroken = 0;
                }
                break;
            case Item::Kind::Break:
                endLine();
                break;
            case Item::Kind::Block: {
                endLine();
                const MinMax block = BlockWidths(*item.node, item.style);
                result.min = std::max(result.min, block.min);
                result.max = std::max(result.max, block.max);
                break;
            }
            default: {
                const int space = pendingSpace ? SpaceWidth(item.style) : 0;
                line += space + item.width;
                unbroken += (item.style.nowrap ? space : 0) + item.width;
                pendingSpace = false;
                break;
            }
            }
        }
        endLine();
        return result;
    }

    int SpaceWidth(const Style& style) { return measure_.Width(style.font, L" "); }

    MinMax BlockWidths(Node& node, const Style& style)
    {
        if (node.tag == L"hr") {
            const std::wstring width = Attr(node, L"width");
            const int fixed = IsPercent(width) ? -1 : Length(width, 0);
            return {std::max(0, fixed), std::max(0, fixed)};
        }
        Grid grid = BuildGrid(node, style);
        const std::wstring width = Attr(node, L"width");
        const int fixed = IsPercent(width) ? -1 : Length(width, 0);
        int min = 0, max = 0;
        ColumnLimits(grid, nullptr, nullptr, &min, &max);
        if (fixed >= 0)
            return {std::max(fixed, min), std::max(fixed, min)};
        return {min, max};
    }

    // ---- Tables -------------------------------------------------------------

    Grid BuildGrid(Node& table, const Style& outer)
    {
        const Style style = Behind(table, outer);
        Grid grid;
        grid.padding = Number(table, L"cellpadding", 1);
        grid.spacing = Number(table, L"cellspacing", 2);
        grid.border = Number(table, L"border", 0);
        std::vector<Node*> rows;
        for (auto& child : table.children) {
            if (child->IsElement(L"tr"))
                rows.push_back(child.get());
            else if (child->IsElement(L"tbody") || child->IsElement(L"thead") || child->IsElement(L"tfoot"))
                for (auto& row : child->children)
                    if (row->IsElement(L"tr"))
                        rows.push_back(row.get());
        }
        for (Node* row : rows) {
            std::vector<Cell> cells;
            int column = 0;
            for (auto& child : row->children) {
                if (!child->IsElement(L"td") && !child->IsElement(L"th"))
                    continue;
                Cell cell;
                cell.node = child.get();
                cell.style = Inherit(*child, Behind(*child, Behind(*row, style)));
                cell.style.align = AlignOf(Attr(*child, L"align"), AlignOf(Attr(*row, L"align"), L'l'));
                cell.valign = VerticalAlignOf(Attr(*child, L"valign"), VerticalAlignOf(Attr(*row, L"valign"), L'c'));
                cell.column = column;
                cell.span = std::max(1, Number(*child, L"colspan", 1));
                Collect(*child, cell.style, cell.items);
                const MinMax widths = Widths(cell.items);
                cell.min = widths.min + 2 * grid.padding;
                cell.max = widths.max + 2 * grid.padding;
                const std::wstring width = Attr(*child, L"width");
                if (!IsPercent(width))
                    cell.fixed = Length(width, 0);
                cell.height = Number(*child, L"height", 0);
                column += cell.span;
                cells.push_back(std::move(cell));
            }
            grid.columns = std::max(grid.columns, column);
            grid.cells.push_back(std::move(cells));
        }
        grid.rows = rows;
        return grid;
    }

    // Each column's least and wanted width; a column of fixed width wants
    // just that (or its content's least, when wider).
    void ColumnLimits(const Grid& grid, std::vector<int>* minOut, std::vector<int>* maxOut, int* tableMin,
                      int* tableMax, std::vector<bool>* fixedOut = nullptr)
    {
        std::vector<int> min(grid.columns, 0), max(grid.columns, 0);
        std::vector<bool> fixed(grid.columns, false);
        for (const auto& row : grid.cells) {
            for (const Cell& cell : row) {
                if (cell.span != 1)
                    continue;
                int least = cell.min, wanted = cell.max;
                if (cell.fixed >= 0) {
                    least = std::max(least, cell.fixed);
                    wanted = least;
                    fixed[cell.column] = true;
                }
                min[cell.column] = std::max(min[cell.column], least);
                max[cell.column] = std::max(max[cell.column], wanted);
            }
        }
        for (int c = 0; c < grid.columns; ++c)
            if (fixed[c])
                max[c] = min[c];
        for (const auto& row : grid.cells) {
            for (const Cell& cell : row) {
                if (cell.span == 1)
                    continue;
                const int first = cell.column, last = std::min(grid.columns, cell.column + cell.span);
                const int inner = (last - first - 1) * grid.spacing;
                // What a cell over several columns needs more goes to those of
                // them without a fixed width, as wide as they want to be.
                auto widen = [&](std::vector<int>& widths, int need) {
                    const int have = std::accumulate(widths.begin() + first, widths.begin() + last, 0) + inner;
                    if (need <= have || last <= first)
                        return;
                    std::vector<int> part(widths.begin() + first, widths.begin() + last), weights(last - first, 0);
                    for (int c = first; c < last; ++c)
                        weights[c - first] = fixed[c] ? 0 : std::max(1, max[c]);
                    if (std::accumulate(weights.begin(), weights.end(), 0) == 0)
                        std::fill(weights.begin(), weights.end(), 1);
                    Share(part, weights, need - have);
                    std::copy(part.begin(), part.end(), widths.begin() + first);
                };
                widen(min, std::max(cell.min, cell.fixed));
                widen(max, std::max(cell.max, cell.fixed));
            }
        }
        for (int c = 0; c < grid.columns; ++c)
            max[c] = std::max(max[c], min[c]);
        const int frame = (grid.columns + 1) * grid.spacing + 2 * grid.border;
        if (tableMin)
            *tableMin = std::accumulate(min.begin(), min.end(), 0) + frame;
        if (tableMax)
            *tableMax = std::accumulate(max.begin(), max.end(), 0) + frame;
        if (minOut)
            *minOut = min;
        if (maxOut)
            *maxOut = max;
        if (fixedOut)
            *fixedOut = fixed;
    }

    std::vector<int> ColumnWidths(const Grid& grid, int inner)
    {
        std::vector<int> min, max;
        std::vector<bool> fixed;
        ColumnLimits(grid, &min, &max, nullptr, nullptr, &fixed);
        const int sumMin = std::accumulate(min.begin(), min.end(), 0);
        const int sumMax = std::accumulate(max.begin(), max.end(), 0);
        std::vector<int> widths = min;
        if (sumMax <= inner) {
            widths = max;
            // The room left goes to the columns of no fixed width, as they want it.
            std::vector<int> weights(grid.columns, 0);
            for (int c = 0; c < grid.columns; ++c)
                weights[c] = fixed[c] ? 0 : std::max(1, max[c]);
            if (std::accumulate(weights.begin(), weights.end(), 0) == 0)
                for (int c = 0; c < grid.columns; ++c)
                    weights[c] = std::max(1, max[c]);
            Share(widths, weights, inner - sumMax);
        } else if (sumMin < inner) {
            std::vector<int> weights(grid.columns, 0);
            for (int c = 0; c < grid.columns; ++c)
                weights[c] = max[c] - min[c];
            Share(widths, weights, inner - sumMin);
        }
        return widths;
    }

    static void Share(std::vector<int>& values, const std::vector<int>& weights, int extra)
    {
        const long total = std::accumulate(weights.begin(), weights.end(), 0L);
        if (extra <= 0 || total <= 0)
            return;
        int given = 0;
        long weightSoFar = 0;
        for (std::size_t i = 0; i < values.size(); ++i) {
            weightSoFar += weights[i];
            const int upTo = static_cast<int>(extra * weightSoFar / total);
            values[i] += upTo - given;
            given = upTo;
        }
    }

    int CellWidth(const Grid& grid, const std::vector<int>& widths, const Cell& cell)
    {
        const int last = std::min(grid.columns, cell.column + cell.span);
        return std::accumulate(widths.begin() + cell.column, widths.begin() + last, 0) +
               (last - cell.column - 1) * grid.spacing;
    }

    int ColumnX(const Grid& grid, const std::vector<int>& widths, int column)
    {
        return grid.border + grid.spacing + std::accumulate(widths.begin(), widths.begin() + column, 0) +
               column * grid.spacing;
    }

    SIZE Table(Node& table, const Style& style, int x, int y, int available, bool emit)
    {
        Grid grid = BuildGrid(table, style);
        int tableMin = 0, tableMax = 0;
        ColumnLimits(grid, nullptr, nullptr, &tableMin, &tableMax);
        const int specified = Length(Attr(table, L"width"), available);
        const int width = std::max(tableMin, specified >= 0 ? specified : std::min(available, tableMax));
        const int frame = (grid.columns + 1) * grid.spacing + 2 * grid.border;
        const std::vector<int> widths = ColumnWidths(grid, width - frame);

        // Row heights: the tallest cell, a cell's height at least.
        std::vector<int> heights(grid.cells.size(), 0);
        std::vector<bool> sized(grid.cells.size(), false);
        for (std::size_t r = 0; r < grid.cells.size(); ++r) {
            for (Cell& cell : grid.cells[r]) {
                const int content = Flow(cell.items, 0, 0, CellWidth(grid, widths, cell) - 2 * grid.padding,
                                         cell.style.align, false);
                heights[r] = std::max({heights[r], content + 2 * grid.padding, cell.height});
                sized[r] = sized[r] || cell.height > 0;
            }
        }
        const int rowsFrame = static_cast<int>(grid.cells.size() + 1) * grid.spacing + 2 * grid.border;
        const int natural = std::accumulate(heights.begin(), heights.end(), 0) + rowsFrame;
        const int height = std::max(natural, Number(table, L"height", 0));
        // A taller table gives the rest to its rows of no set height.
        std::vector<int> weights(heights.size(), 0);
        for (std::size_t r = 0; r < heights.size(); ++r)
            weights[r] = sized[r] ? 0 : std::max(1, heights[r]);
        if (std::accumulate(weights.begin(), weights.end(), 0) == 0)
            for (std::size_t r = 0; r < heights.size(); ++r)
                weights[r] = std::max(1, heights[r]);
        Share(heights, weights, height - natural);

        if (!emit)
            return {width, height};
        const RECT box{x, y, x + width, y + height};
        out_.boxes.push_back({&table, box});
        const std::wstring background = Attr(table, L"bgcolor");
        if (!background.empty())
            out_.fills.push_back({box, ParseColor(background, out_.background)});
        if (grid.border > 0)
            Outline(box, RGB(128, 128, 128));
        int rowY = y + grid.border + grid.spacing;
        for (std::size_t r = 0; r < grid.cells.size(); ++r) {
            out_.boxes.push_back({grid.rows[r], RECT{x, rowY, x + width, rowY + heights[r]}});
            const std::wstring rowColor = Attr(*grid.rows[r], L"bgcolor");
            for (Cell& cell : grid.cells[r]) {
                const int cellX = x + ColumnX(grid, widths, cell.column);
                const RECT rect{cellX, rowY, cellX + CellWidth(grid, widths, cell), rowY + heights[r]};
                out_.boxes.push_back({cell.node, rect});
                const std::wstring color = Attr(*cell.node, L"bgcolor");
                if (!color.empty() || !rowColor.empty())
                    out_.fills.push_back({rect, ParseColor(color.empty() ? rowColor : color, out_.background)});
                if (grid.border > 0)
                    Outline(rect, RGB(128, 128, 128));
                const int innerWidth = rect.right - rect.left - 2 * grid.padding;
                const int content = Flow(cell.items, 0, 0, innerWidth, cell.style.align, false);
                const int room = heights[r] - 2 * grid.padding - content;
                const int offset = cell.valign == L't' ? 0 : cell.valign == L'b' ? room : room / 2;
                Flow(cell.items, rect.left + grid.padding, rect.top + grid.padding + std::max(0, offset), innerWidth,
                     cell.style.align, true);
            }
            rowY += heights[r] + grid.spacing;
        }
        return {width, height};
    }

    void Outline(const RECT& r, COLORREF color)
    {
        out_.fills.push_back({RECT{r.left, r.top, r.right, r.top + 1}, color});
        out_.fills.push_back({RECT{r.left, r.bottom - 1, r.right, r.bottom}, color});
        out_.fills.push_back({RECT{r.left, r.top, r.left + 1, r.bottom}, color});
        out_.fills.push_back({RECT{r.right - 1, r.top, r.right, r.bottom}, color});
    }

    // A rule: its width (per cent of the line by default), its size in
    // pixels, half a line of margin above and below, centred.
    int Rule(Node& rule, const Style& style, int x, int y, int available, bool emit)
    {
        const int margin = style.font.pixels / 2;
        const int size = std::max(1, Number(rule, L"size", 2));
        int width = Length(Attr(rule, L"width"), available);
        if (width < 0)
            width = available;
        if (emit) {
            const int left = x + std::max(0, (available - width) / 2);
            const RECT rect{left, y + margin, left + width, y + margin + size};
            out_.boxes.push_back({&rule, rect});
            out_.fills.push_back({rect, ParseColor(Attr(rule, L"color"), RGB(128, 128, 128))});
        }
        return size + 2 * margin;
    }

    // ---- Lines --------------------------------------------------------------

    struct Placed {
        const Item* item;
        int x;
    };

    int Flow(const std::vector<Item>& items, int x, int y, int width, wchar_t align, bool emit)
    {
        std::vector<Placed> line;
        int lineX = 0, top = y;
        bool pendingSpace = false;
        const Item* lastBreak = nullptr;
        auto finish = [&] {
            if (line.empty()) {
                if (lastBreak) {
                    const FontMetrics m = measure_.Metrics(lastBreak->style.font);
                    top += m.ascent + m.descent;
                }
                return;
            }
            int ascent = 0, descent = 0;
            for (const Placed& p : line) {
                ascent = std::max(ascent, p.item->ascent);
                descent = std::max(descent, p.item->descent);
            }
            const int shift = align == L'r' ? width - lineX : align == L'c' ? (width - lineX) / 2 : 0;
            if (emit)
                for (const Placed& p : line)
                    Emit(*p.item, x + std::max(0, shift) + p.x, top + ascent - p.item->ascent);
            top += ascent + descent;
            line.clear();
            lineX = 0;
            pendingSpace = false;
        };
        for (const Item& item : items) {
            switch (item.kind) {
            case Item::Kind::Space:
                pendingSpace = !line.empty();
                break;
            case Item::Kind::Break:
                lastBreak = &item;
                finish();
                lastBreak = nullptr;
                break;
            case Item::Kind::Block:
                finish();
                top += item.node->tag == L"hr"
                           ? Rule(*item.node, item.style, x, top, width, emit)
                           : Table(*item.node, item.style, x, top, width, emit).cy;
                break;
            default: {
                int space = pendingSpace ? SpaceWidth(item.style) : 0;
                if (!line.empty() && !item.style.nowrap && lineX + space + item.width > width) {
                    finish();
                    space = 0;
                }
                line.push_back({&item, lineX + space});
                lineX += space + item.width;
                pendingSpace = false;
                break;
            }
            }
        }
        finish();
        return top - y;
    }

    void Emit(const Item& item, int x, int y)
    {
        if (item.kind == Item::Kind::Word) {
            const RECT rect{x, y, x + item.width, y + item.ascent + item.descent};
            out_.texts.push_back({item.text, rect, item.style.font, item.style.color, item.node});
            return;
        }
        const RECT rect{x + item.window.left, y + item.window.top, x + item.window.right, y + item.window.bottom};
        out_.controls.push_back({item.node, item.control, rect, item.controlFont, item.style.background,
                                 ParseColor(StyleValue(*item.node, L"color"), CLR_INVALID),
                                 ParseColor(StyleValue(*item.node, L"background-color"), CLR_INVALID)});
        out_.boxes.push_back({item.node, rect});
    }

    TextMeasure& measure_;
    PageLayout& out_;
};

}  // namespace

COLORREF ParseColor(const std::wstring& text, COLORREF fallback)
{
    static const struct {
        const wchar_t* name;
        COLORREF color;
    } names[] = {{L"white", RGB(255, 255, 255)}, {L"black", RGB(0, 0, 0)},   {L"red", RGB(255, 0, 0)},
                 {L"green", RGB(0, 128, 0)},     {L"blue", RGB(0, 0, 255)},  {L"navy", RGB(0, 0, 128)},
                 {L"gray", RGB(128, 128, 128)},  {L"silver", RGB(192, 192, 192)}};
    const std::wstring value = Lower(Trim(text));
    for (const auto& n : names)
        if (value == n.name)
            return n.color;
    const std::wstring hex = !value.empty() && value[0] == L'#' ? value.substr(1) : value;
    if (hex.size() != 6 || hex.find_first_not_of(L"0123456789abcdef") != std::wstring::npos)
        return fallback;
    const unsigned long rgb = wcstoul(hex.c_str(), nullptr, 16);
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

std::wstring StyleValue(const Node& element, const wchar_t* property)
{
    const std::wstring style = Lower(element.GetAttribute(L"style").value_or(L""));
    const std::wstring name = property;
    std::size_t start = 0;
    while (start < style.size()) {
        const std::size_t end = std::min(style.find(L';', start), style.size());
        const std::wstring declaration = style.substr(start, end - start);
        const std::size_t colon = declaration.find(L':');
        if (colon != std::wstring::npos && Trim(declaration.substr(0, colon)) == name)
            return Trim(declaration.substr(colon + 1));
        start = end + 1;
    }
    return std::wstring();
}

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

PageLayout LayOutPage(Node& document, int width, TextMeasure& measure)
{
    PageLayout layout;
    Layouter(measure, layout).Page(document, width);
    return layout;
}

}  // namespace html
