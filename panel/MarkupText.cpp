#include "MarkupText.h"

#include <windows.h>

#include <cwchar>

#include "AnsiText.h"

namespace {

bool StartsWithNoCase(const std::wstring& text, std::size_t at, const wchar_t* prefix)
{
    const std::size_t n = std::wcslen(prefix);
    return at + n <= text.size() && _wcsnicmp(text.c_str() + at, prefix, n) == 0;
}

}  // namespace

std::optional<std::string> WideToAnsi(const std::wstring& wide)
{
    // Sized by asking first: a fixed buffer would cut a long white list, and
    // a cut list shown or saved as if whole loses the user's entries.
    if (wide.empty())
        return std::string();
    const int length = static_cast<int>(wide.size());
    const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::nullopt;
    std::string text(static_cast<std::size_t>(size), '\0');
    if (WideCharToMultiByte(CP_ACP, 0, wide.data(), length, text.data(), size, nullptr, nullptr) != size)
        return std::nullopt;
    return text;
}

std::wstring EscapeMarkup(const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        switch (c) {
        case L'&': out += L"&amp;"; break;
        case L'<': out += L"&lt;"; break;
        case L'>': out += L"&gt;"; break;
        case L'"': out += L"&quot;"; break;
        case L'\'': out += L"&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::wstring DecodeMarkup(const std::wstring& markup)
{
    static const struct {
        const wchar_t* entity;
        wchar_t c;
    } named[] = {{L"&amp;", L'&'}, {L"&lt;", L'<'}, {L"&gt;", L'>'}, {L"&quot;", L'"'}, {L"&#39;", L'\''},
                 {L"&nbsp;", L'\xA0'}};
    std::wstring out;
    out.reserve(markup.size());
    for (std::size_t i = 0; i < markup.size(); ++i) {
        if (markup[i] != '&') {
            out += markup[i];  // every entity starts with '&': the rest is copied as it stands
            continue;
        }
        bool decoded = false;
        for (const auto& e : named) {
            if (StartsWithNoCase(markup, i, e.entity)) {
                out += e.c;
                i += std::wcslen(e.entity) - 1;
                decoded = true;
                break;
            }
        }
        if (!decoded && markup[i] == '&' && i + 2 < markup.size() && markup[i + 1] == '#') {
            const std::size_t semi = markup.find(L';', i);
            if (semi != std::wstring::npos && semi - i <= 8) {
                out += static_cast<wchar_t>(wcstoul(markup.c_str() + i + 2, nullptr, 10));
                i = semi;
                decoded = true;
            }
        }
        if (!decoded)
            out += markup[i];
    }
    return out;
}

std::vector<ListOption> ParseListMarkup(const std::wstring& markup)
{
    // Each entry is "<OPTION ...>text</OPTION>"; its text is escaped, so the
    // first "<" after the tag ends it.
    std::vector<ListOption> options;
    for (std::size_t at = 0; (at = markup.find(L'<', at)) != std::wstring::npos;) {
        if (!StartsWithNoCase(markup, at, L"<option") ||
            (at + 7 < markup.size() && markup[at + 7] != L'>' && markup[at + 7] != L' ')) {
            ++at;
            continue;
        }
        const std::size_t tagEnd = markup.find(L'>', at);
        if (tagEnd == std::wstring::npos)
            break;
        const std::wstring tag = markup.substr(at, tagEnd - at);
        const std::size_t textEnd = std::min(markup.find(L'<', tagEnd + 1), markup.size());
        ListOption option;
        option.text = DecodeMarkup(markup.substr(tagEnd + 1, textEnd - tagEnd - 1));
        for (std::size_t s = 0; (s = tag.find(L' ', s)) != std::wstring::npos; ++s)
            if (StartsWithNoCase(tag, s + 1, L"selected"))
                option.selected = true;
        options.push_back(std::move(option));
        at = textEnd;
    }
    return options;
}
