#pragma once
// The box tree a page is laid out in. The mark-up is read into it once:
// an element's content becomes items (words, spaces, breaks, controls and
// blocks), a table a box of its own with its cells' items and its widths.
// The layout then gives each flow of items its lines and each table its
// columns and rows, once each, and placement turns the tree into the
// page's boxes, fills and texts.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "LayoutStyle.h"

namespace html {

struct TableBox;

// The least width content can take (its longest unbreakable run) and the
// width it wants (its longest line unbroken).
struct MinMax {
    int min = 0, max = 0;
};

struct Item {
    enum class Kind { Word, Space, Break, Control, Table, Rule };
    Kind kind = Kind::Word;
    std::wstring text;
    Style style;
    Node* node = nullptr;  // the element around a word; the control or block itself
    int width = 0, ascent = 0, descent = 0;
    // A control's window inside its item box.
    RECT window{};
    ControlKind control = ControlKind::Button;
    FontSpec controlFont;
    std::shared_ptr<TableBox> table;  // a table's own box
};

// Where a flow put an item, from the flow's top left corner: a word's or a
// control's box, a block's whole rectangle.
struct Placed {
    const Item* item;
    RECT rect;
};

// A flow of items laid out at one width: its lines, top to bottom.
struct FlowLayout {
    std::vector<Placed> placed;
    int height = 0;
};

struct Cell {
    Node* node = nullptr;
    Style style;
    int column = 0, span = 1;
    std::vector<Item> items;
    MinMax widths;     // padding included
    int fixed = -1;    // its width attribute in pixels
    int height = 0;    // its height attribute
    wchar_t valign = L'c';
    FlowLayout content;  // laid out at the cell's width, padding left out
};

struct TableBox {
    Node* node = nullptr;
    std::vector<Node*> rows;
    std::vector<std::vector<Cell>> cells;  // per row
    int columns = 0;
    int padding = 1, spacing = 2, border = 0;
    // Each column's least and wanted width; a column of fixed width wants
    // just that (or its content's least, when wider).
    std::vector<int> columnMin, columnMax;
    std::vector<bool> fixedColumn;
    MinMax widths;  // of the whole table, as the flow around it sees it

    // Laid out:
    int width = 0, height = 0;
    std::vector<int> columnWidths, rowHeights;

    // Spacing and borders across and down the table.
    int FrameWidth() const { return (columns + 1) * spacing + 2 * border; }
    int FrameHeight() const { return static_cast<int>(cells.size() + 1) * spacing + 2 * border; }
    int ColumnX(int column) const;
    int CellWidth(const Cell& cell) const;
};

}  // namespace html
