#include "TableLayout.h"

#include <algorithm>
#include <numeric>

#include "InlineLayout.h"

namespace html {

namespace {

int Sum(std::vector<int>::const_iterator first, std::vector<int>::const_iterator last)
{
    return std::accumulate(first, last, 0);
}

int Sum(const std::vector<int>& values) { return Sum(values.begin(), values.end()); }

std::vector<Node*> RowsOf(Node& table)
{
    std::vector<Node*> rows;
    for (auto& child : table.children) {
        if (child->IsElement(L"tr"))
            rows.push_back(child.get());
        else if (child->IsElement(L"tbody") || child->IsElement(L"thead") || child->IsElement(L"tfoot"))
            for (auto& row : child->children)
                if (row->IsElement(L"tr"))
                    rows.push_back(row.get());
    }
    return rows;
}

}  // namespace

void ShareByWeights(std::vector<int>& values, std::vector<int> weights, int extra)
{
    if (extra <= 0 || values.empty())
        return;
    long total = std::accumulate(weights.begin(), weights.end(), 0L);
    if (total <= 0) {
        std::fill(weights.begin(), weights.end(), 1);
        total = static_cast<long>(weights.size());
    }
    int given = 0;
    long weightSoFar = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        weightSoFar += weights[i];
        const int upTo = static_cast<int>(extra * weightSoFar / total);
        values[i] += upTo - given;
        given = upTo;
    }
}

std::vector<int> FreeWeights(const std::vector<int>& sizes, const std::vector<bool>& held)
{
    std::vector<int> weights(sizes.size(), 0);
    const bool allHeld = std::all_of(held.begin(), held.end(), [](bool h) { return h; });
    for (std::size_t i = 0; i < sizes.size(); ++i)
        weights[i] = held[i] && !allHeld ? 0 : std::max(1, sizes[i]);
    return weights;
}

int TableBox::ColumnX(int column) const
{
    return border + spacing + Sum(columnWidths.begin(), columnWidths.begin() + column) + column * spacing;
}

int TableBox::CellWidth(const Cell& cell) const
{
    const int last = std::min(columns, cell.column + cell.span);
    return Sum(columnWidths.begin() + cell.column, columnWidths.begin() + last) + (last - cell.column - 1) * spacing;
}

// ---- Reading the grid ----------------------------------------------------------

std::shared_ptr<TableBox> TableLayout::Build(Node& node, const Style& outer)
{
    const Style style = Behind(node, outer);
    auto table = std::make_shared<TableBox>();
    table->node = &node;
    table->padding = Number(node, L"cellpadding", 1);
    table->spacing = Number(node, L"cellspacing", 2);
    table->border = Number(node, L"border", 0);
    table->rows = RowsOf(node);
    for (Node* row : table->rows) {
        std::vector<Cell> cells;
        int column = 0;
        for (auto& child : row->children) {
            if (!child->IsElement(L"td") && !child->IsElement(L"th"))
                continue;
            Cell cell;
            cell.node = child.get();
            cell.style = Inherit(*child, Behind(*child, Behind(*row, style)));
            // A cell's own alignment first, then its row's.
            cell.style.align = AlignOf(Attr(*child, L"align"), AlignOf(Attr(*row, L"align"), L'l'));
            cell.valign = VerticalAlignOf(Attr(*child, L"valign"), VerticalAlignOf(Attr(*row, L"valign"), L'c'));
            cell.column = column;
            cell.span = std::max(1, Number(*child, L"colspan", 1));
            cell.items = inlines_.Collect(*child, cell.style);
            const MinMax content = inlines_.Widths(cell.items);
            cell.widths = {content.min + 2 * table->padding, content.max + 2 * table->padding};
            const std::wstring width = Attr(*child, L"width");
            if (!IsPercent(width))
                cell.fixed = Length(width, 0);
            cell.height = Number(*child, L"height", 0);
            column += cell.span;
            cells.push_back(std::move(cell));
        }
        table->columns = std::max(table->columns, column);
        table->cells.push_back(std::move(cells));
    }
    ColumnLimits(*table);
    const int least = Sum(table->columnMin) + table->FrameWidth();
    const int wanted = Sum(table->columnMax) + table->FrameWidth();
    const std::wstring width = Attr(node, L"width");
    const int fixed = IsPercent(width) ? -1 : Length(width, 0);
    table->widths = fixed >= 0 ? MinMax{std::max(fixed, least), std::max(fixed, least)} : MinMax{least, wanted};
    return table;
}

// Each column's least and wanted width from the cells of one column; then
// what a cell over several columns needs more goes to those of them without
// a fixed width, as wide as they want to be.
void TableLayout::ColumnLimits(TableBox& table)
{
    std::vector<int>& min = table.columnMin;
    std::vector<int>& max = table.columnMax;
    std::vector<bool>& fixed = table.fixedColumn;
    min.assign(table.columns, 0);
    max.assign(table.columns, 0);
    fixed.assign(table.columns, false);
    for (const auto& row : table.cells) {
        for (const Cell& cell : row) {
            if (cell.span != 1)
                continue;
            int least = cell.widths.min, wanted = cell.widths.max;
            if (cell.fixed >= 0) {
                least = std::max(least, cell.fixed);
                wanted = least;
                fixed[cell.column] = true;
            }
            min[cell.column] = std::max(min[cell.column], least);
            max[cell.column] = std::max(max[cell.column], wanted);
        }
    }
    for (int c = 0; c < table.columns; ++c)
        if (fixed[c])
            max[c] = min[c];
    for (const auto& row : table.cells) {
        for (const Cell& cell : row) {
            const int first = cell.column, last = std::min(table.columns, cell.column + cell.span);
            if (cell.span == 1 || last <= first)
                continue;
            const int inner = (last - first - 1) * table.spacing;
            const std::vector<bool> held(fixed.begin() + first, fixed.begin() + last);
            auto widen = [&](std::vector<int>& widths, int need) {
                std::vector<int> part(widths.begin() + first, widths.begin() + last);
                const std::vector<int> wanted(max.begin() + first, max.begin() + last);
                ShareByWeights(part, FreeWeights(wanted, held), need - Sum(part) - inner);
                std::copy(part.begin(), part.end(), widths.begin() + first);
            };
            widen(min, std::max(cell.widths.min, cell.fixed));
            widen(max, std::max(cell.widths.max, cell.fixed));
        }
    }
    for (int c = 0; c < table.columns; ++c)
        max[c] = std::max(max[c], min[c]);
}

// ---- Laying out ----------------------------------------------------------------

void TableLayout::LayOut(TableBox& table, int available)
{
    const int least = Sum(table.columnMin) + table.FrameWidth();
    const int wanted = Sum(table.columnMax) + table.FrameWidth();
    const int specified = Length(Attr(*table.node, L"width"), available);
    table.width = std::max(least, specified >= 0 ? specified : std::min(available, wanted));
    table.columnWidths = ColumnWidths(table, table.width - table.FrameWidth());
    RowHeights(table);
}

// Every column as wide as it wants when there is room, the room left going
// to the columns of no fixed width; else its least, and what is over that
// shared by how much more each wants.
std::vector<int> TableLayout::ColumnWidths(const TableBox& table, int inner)
{
    const std::vector<int>& min = table.columnMin;
    const std::vector<int>& max = table.columnMax;
    const int sumMin = Sum(min), sumMax = Sum(max);
    if (sumMax <= inner) {
        std::vector<int> widths = max;
        ShareByWeights(widths, FreeWeights(max, table.fixedColumn), inner - sumMax);
        return widths;
    }
    std::vector<int> widths = min, wants(table.columns, 0);
    for (int c = 0; c < table.columns; ++c)
        wants[c] = max[c] - min[c];
    ShareByWeights(widths, wants, inner - sumMin);
    return widths;
}

// Each cell's content laid out at its width; a row as tall as its tallest
// cell, a cell's height at least; a taller table gives the rest to its rows
// of no set height.
void TableLayout::RowHeights(TableBox& table)
{
    std::vector<int>& heights = table.rowHeights;
    heights.assign(table.cells.size(), 0);
    std::vector<bool> sized(table.cells.size(), false);
    for (std::size_t r = 0; r < table.cells.size(); ++r) {
        for (Cell& cell : table.cells[r]) {
            cell.content = inlines_.Flow(cell.items, table.CellWidth(cell) - 2 * table.padding, cell.style.align);
            heights[r] = std::max({heights[r], cell.content.height + 2 * table.padding, cell.height});
            sized[r] = sized[r] || cell.height > 0;
        }
    }
    const int natural = Sum(heights) + table.FrameHeight();
    table.height = std::max(natural, Number(*table.node, L"height", 0));
    ShareByWeights(heights, FreeWeights(heights, sized), table.height - natural);
}

}  // namespace html
