#pragma once
// The table pass: a table's grid read once (rows, cells, spans, padding,
// spacing and borders, each cell's items and the widths they need), then,
// at the width its flow gives it, its columns, its cells' content and its
// rows, once each, as the platform's engines share them out.
#include <memory>
#include <vector>

#include "LayoutBoxes.h"

namespace html {

class InlineLayout;

class TableLayout {
public:
    explicit TableLayout(InlineLayout& inlines) : inlines_(inlines) {}

    std::shared_ptr<TableBox> Build(Node& table, const Style& outer);
    // The table at most this wide (wider only where its content needs it):
    // its column widths, each cell's content, its row heights.
    void LayOut(TableBox& table, int available);

private:
    void ColumnLimits(TableBox& table);
    std::vector<int> ColumnWidths(const TableBox& table, int inner);
    void RowHeights(TableBox& table);

    InlineLayout& inlines_;
};

// Adds extra to the values in proportion to their weights, in whole pixels
// that add up to it; in equal parts when no value has weight.
void ShareByWeights(std::vector<int>& values, std::vector<int> weights, int extra);
// The weights by which room goes to sizes: those not held by their mark-up
// by their size; all of them by their size when every one is held.
std::vector<int> FreeWeights(const std::vector<int>& sizes, const std::vector<bool>& held);

}  // namespace html
