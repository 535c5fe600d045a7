#pragma once
// What the layout reads off the mark-up: the style an element hands down to
// what it holds (font, colour, the colour behind, alignment, nowrap), its
// style properties, colours and attributes as lengths, numbers and
// alignments; the fonts and their measuring that the layout works with.
#include <windows.h>

#include <string>
#include <tuple>

#include "HtmlDom.h"

namespace html {

struct FontSpec {
    std::wstring face;
    int pixels = 16;
    bool bold = false;
    bool underline = false;
    bool operator<(const FontSpec& o) const
    {
        return std::tie(face, pixels, bold, underline) < std::tie(o.face, o.pixels, o.bold, o.underline);
    }
    bool operator==(const FontSpec& o) const
    {
        return std::tie(face, pixels, bold, underline) == std::tie(o.face, o.pixels, o.bold, o.underline);
    }
};

struct FontMetrics {
    int ascent = 0;
    int descent = 0;
    int averageWidth = 0;
};

// Text measuring, from the drawing engine's own fonts.
class TextMeasure {
public:
    virtual ~TextMeasure() = default;
    virtual int Width(const FontSpec& font, const std::wstring& text) = 0;
    virtual FontMetrics Metrics(const FontSpec& font) = 0;
};

enum class ControlKind { CheckBox, Button, ListBox, TextBox };

struct Style {
    FontSpec font{L"Times New Roman", 16, false, false};
    COLORREF color = RGB(0, 0, 0);
    COLORREF background = RGB(255, 255, 255);  // of the nearest box behind, the page's at last
    bool nowrap = false;
    wchar_t align = L'l';  // l, c or r
};

// "#rrggbb", "rrggbb" or a colour name; the fallback when it is none.
COLORREF ParseColor(const std::wstring& text, COLORREF fallback);
// The value of one property in a style attribute ("a:b; c:d"), or empty.
std::wstring StyleValue(const Node& element, const wchar_t* property);

// The style inside an element, from the style around it.
Style Inherit(const Node& element, Style style);
// The style with the element's own background colour, if it has one.
Style Behind(const Node& element, Style style);

// The text without the spaces and quotes around it ("'verdana' " -> verdana):
// attribute and style values are written either way.
std::wstring Unquoted(const std::wstring& text);
// An attribute's value, unquoted; empty when there is none.
std::wstring Attr(const Node& node, const wchar_t* name);
// A length in pixels ("325", "325px") or per cent of the whole ("100%");
// -1 when there is none.
int Length(const std::wstring& text, int whole);
// A number attribute, or the fallback when it has none.
int Number(const Node& node, const wchar_t* name, int fallback);
bool IsPercent(const std::wstring& text);
// The first face of a list of faces ("verdana, arial").
std::wstring FirstFace(const std::wstring& list);
// l, c or r for left, center (middle) and right.
wchar_t AlignOf(const std::wstring& text, wchar_t fallback);
// t, c or b for top, middle (center) and bottom.
wchar_t VerticalAlignOf(const std::wstring& text, wchar_t fallback);

}  // namespace html
