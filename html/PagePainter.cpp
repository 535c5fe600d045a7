#include "PagePainter.h"

#include "Handle.h"

namespace html {

FontCache::~FontCache()
{
    for (auto& font : fonts_)
        DeleteObject(font.second);
}

namespace {

// In this order where a page's face is missing: the pages' own Verdana (on
// every Windows), then faces of the same kind and width that a Wine machine
// has (DejaVu Sans comes with the set-up), then Windows' own sans faces.
const wchar_t* const kFallbackFaces[] = {L"Verdana", L"DejaVu Sans", L"Bitstream Vera Sans", L"Tahoma", L"Arial"};

HFONT MakeFont(const FontSpec& spec, const std::wstring& face)
{
    // A negative height asks for the em size in pixels, as a style's font size means.
    return CreateFontW(-spec.pixels, 0, 0, 0, spec.bold ? FW_BOLD : FW_NORMAL, FALSE, spec.underline, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

// Whether the system has the face itself, not a stand-in the mapper chose.
bool HasFace(const std::wstring& face)
{
    MemoryDc dc(CreateCompatibleDC(nullptr));
    FontHandle font(MakeFont(FontSpec(), face));
    if (!dc || !font)
        return false;
    HGDIOBJ old = SelectObject(dc.Get(), font.Get());
    wchar_t made[LF_FACESIZE] = {};
    GetTextFaceW(dc.Get(), LF_FACESIZE, made);
    SelectObject(dc.Get(), old);
    return _wcsicmp(made, face.c_str()) == 0;
}

}  // namespace

std::wstring FontCache::FaceOf(const FontSpec& spec)
{
    auto found = faces_.find(spec.face);
    if (found != faces_.end())
        return found->second;
    std::wstring face = spec.face;
    if (!HasFace(face)) {
        for (const wchar_t* fallback : kFallbackFaces) {
            if (HasFace(fallback)) {
                face = fallback;
                break;
            }
        }
    }
    faces_[spec.face] = face;
    return face;
}

HFONT FontCache::Get(const FontSpec& spec)
{
    auto found = fonts_.find(spec);
    if (found != fonts_.end())
        return found->second;
    HFONT font = MakeFont(spec, FaceOf(spec));
    if (!font)
        font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    fonts_[spec] = font;
    return font;
}

GdiContainer::GdiContainer() : dc_(CreateCompatibleDC(nullptr)) {}


int GdiContainer::Width(const FontSpec& font, const std::wstring& text)
{
    auto key = std::make_pair(font, text);
    auto found = widths_.find(key);
    if (found != widths_.end())
        return found->second;
    SelectObject(dc_.Get(), fonts_.Get(font));
    SIZE size{};
    GetTextExtentPoint32W(dc_.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    widths_.emplace(std::move(key), size.cx);
    return size.cx;
}

FontMetrics GdiContainer::Metrics(const FontSpec& font)
{
    auto found = metrics_.find(font);
    if (found != metrics_.end())
        return found->second;
    SelectObject(dc_.Get(), fonts_.Get(font));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc_.Get(), &tm);
    const FontMetrics metrics{tm.tmAscent, tm.tmDescent, tm.tmAveCharWidth};
    metrics_[font] = metrics;
    return metrics;
}

void GdiContainer::Paint(HDC dc, const RECT& area, const PageLayout& layout)
{
    auto fill = [dc](const RECT& rect, COLORREF color) {
        SetBkColor(dc, color);
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);  // a solid fill without a brush
    };
    fill(area, layout.background);
    for (const PageFill& f : layout.fills)
        fill(f.rect, f.color);
    SetBkMode(dc, TRANSPARENT);
    for (const PageText& text : layout.texts) {
        SelectObject(dc, fonts_.Get(text.font));
        SetTextColor(dc, text.color);
        TextOutW(dc, text.rect.left, text.rect.top, text.text.c_str(), static_cast<int>(text.text.size()));
    }
}

}  // namespace html
