#include "LayoutStyle.h"

#include <algorithm>
#include <cwctype>

namespace html {

namespace {

// The pixel sizes of font sizes 1 to 7, as the platform's engines map them.
const int kFontPixels[] = {10, 13, 16, 18, 24, 32, 48};

}  // namespace

std::wstring Unquoted(const std::wstring& text)
{
    const auto first = text.find_first_not_of(L" \t\r\n'\"");
    if (first == std::wstring::npos)
        return std::wstring();
    const auto last = text.find_last_not_of(L" \t\r\n'\"");
    return text.substr(first, last - first + 1);
}

std::wstring Attr(const Node& node, const wchar_t* name) { return Unquoted(node.GetAttribute(name).value_or(L"")); }

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
    return Unquoted(list.substr(0, list.find(L',')));
}

wchar_t AlignOf(const std::wstring& text, wchar_t fallback)
{
    const std::wstring a = Lower(text);
    return a == L"right" ? L'r' : a == L"center" || a == L"middle" ? L'c' : a == L"left" ? L'l' : fallback;
}

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

Style Behind(const Node& element, Style style)
{
    const std::wstring color = Attr(element, L"bgcolor");
    if (!color.empty())
        style.background = ParseColor(color, style.background);
    return style;
}

COLORREF ParseColor(const std::wstring& text, COLORREF fallback)
{
    static const struct {
        const wchar_t* name;
        COLORREF color;
    } names[] = {{L"white", RGB(255, 255, 255)}, {L"black", RGB(0, 0, 0)},   {L"red", RGB(255, 0, 0)},
                 {L"green", RGB(0, 128, 0)},     {L"blue", RGB(0, 0, 255)},  {L"navy", RGB(0, 0, 128)},
                 {L"gray", RGB(128, 128, 128)},  {L"silver", RGB(192, 192, 192)}};
    const std::wstring value = Lower(Unquoted(text));
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
        if (colon != std::wstring::npos && Unquoted(declaration.substr(0, colon)) == name)
            return Unquoted(declaration.substr(colon + 1));
        start = end + 1;
    }
    return std::wstring();
}

}  // namespace html
