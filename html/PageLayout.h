#pragma once
// Lays out a page from its mark-up, the way the platform's engine lays out
// such pages in quirks mode: the body's margins and colour, tables with
// fixed and per-cent sizes, cell padding and spacing, colspan, alignment and
// nowrap, font faces, the seven font sizes, bold, colours, rules, line
// breaks and wrapped text, and form controls as boxes of their own size.
// Nothing in it knows our pages: a changed page lays out anew.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "HtmlDom.h"
#include "LayoutStyle.h"

namespace html {

struct PageFill {
    RECT rect;
    COLORREF color;
};

struct PageText {
    std::wstring text;
    RECT rect;  // the run's box; its baseline is rect.top + ascent
    FontSpec font;
    COLORREF color;
    const Node* element;  // the innermost element around the text
};

struct PageControl {
    Node* node;
    ControlKind kind;
    RECT rect;  // the control's own window, margins left out
    FontSpec font;
    COLORREF behind;      // the page's colour behind it
    COLORREF color;       // its own style's text colour, or CLR_INVALID
    COLORREF background;  // its own style's background colour, or CLR_INVALID
};

// The element boxes, in document order (a parent before its children).
struct PageBox {
    const Node* node;
    RECT rect;
};

struct PageLayout {
    COLORREF background = RGB(255, 255, 255);
    std::vector<PageFill> fills;  // backgrounds and rules, painted in order
    std::vector<PageText> texts;
    std::vector<PageControl> controls;  // in page (and Tab) order
    std::vector<PageBox> boxes;
    SIZE extent{};

    // The box of the first element with this id (of an inline element, the
    // union of its text), if it has one.
    std::optional<RECT> BoxOf(const std::wstring& id) const;
    // The innermost element at this point: text first, then boxes.
    const Node* ElementAt(POINT at) const;
};

PageLayout LayOutPage(Node& document, int width, TextMeasure& measure);

// True when the two layouts draw the same picture behind their controls:
// the same background, fills and texts, in the same places.
bool DrawsAlike(const PageLayout& a, const PageLayout& b);

}  // namespace html
