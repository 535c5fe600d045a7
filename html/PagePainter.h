#pragma once
// Draws a laid-out page with GDI in the fonts and colours its mark-up names.
// A face the system lacks is replaced by the first of a fixed list that it
// has, never by whatever the font mapper finds nearest: under Wine that
// depends on every font the machine happens to hold, and a page would be laid
// out wider, or in another weight, from one machine to the next.
#include <windows.h>

#include <map>
#include <string>
#include <utility>

#include "Handle.h"
#include "PageLayout.h"

namespace html {

// The fonts a page uses, made once and kept for the life of the view.
class FontCache {
public:
    FontCache() = default;
    ~FontCache();
    FontCache(const FontCache&) = delete;
    FontCache& operator=(const FontCache&) = delete;
    HFONT Get(const FontSpec& spec);
    // The face the font of a spec was made in.
    std::wstring FaceOf(const FontSpec& spec);

private:
    std::map<FontSpec, HFONT> fonts_;
    std::map<std::wstring, std::wstring> faces_;  // asked -> made, per face
};

// The engine's side of GDI in one place, as litehtml's document container:
// the fonts a page uses, text measured in them on a memory device context,
// and the laid-out page drawn with them.
class GdiContainer : public TextMeasure {
public:
    GdiContainer();
    GdiContainer(const GdiContainer&) = delete;
    GdiContainer& operator=(const GdiContainer&) = delete;
    int Width(const FontSpec& font, const std::wstring& text) override;
    FontMetrics Metrics(const FontSpec& font) override;
    HFONT Font(const FontSpec& spec) { return fonts_.Get(spec); }
    // Paints the page's backgrounds, rules and text into the device context.
    void Paint(HDC dc, const RECT& area, const PageLayout& layout);

private:
    FontCache fonts_;
    MemoryDc dc_;
    std::map<FontSpec, FontMetrics> metrics_;
    // A page's words are measured again on every layout of it (a table's
    // cells once for their widths and again to place them): once is enough.
    std::map<std::pair<FontSpec, std::wstring>, int> widths_;
};

}  // namespace html
