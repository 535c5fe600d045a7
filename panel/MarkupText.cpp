#include "MarkupText.h"

#include <windows.h>

#include <cstring>

#include "AnsiText.h"

namespace {

bool StartsWithNoCase(const std::string& text, std::size_t at, const char* prefix)
{
    const std::size_t n = std::strlen(prefix);
    return at + n <= text.size() && _strnicmp(text.c_str() + at, prefix, n) == 0;
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

std::string EscapeMarkup(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string DecodeMarkup(const std::string& markup)
{
    static const struct {
        const char* entity;
        char c;
    } named[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''},
                 {"&nbsp;", '\xA0'}};
    std::string out;
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
                i += std::strlen(e.entity) - 1;
                decoded = true;
                break;
            }
        }
        if (!decoded && markup[i] == '&' && i + 2 < markup.size() && markup[i + 1] == '#') {
            const std::size_t semi = markup.find(';', i);
            if (semi != std::string::npos && semi - i <= 8) {
                out += static_cast<char>(strtoul(markup.c_str() + i + 2, nullptr, 10));
                i = semi;
                decoded = true;
            }
        }
        if (!decoded)
            out += markup[i];
    }
    return out;
}

std::vector<ListOption> ParseListMarkup(const std::string& markup)
{
    // Each entry is "<OPTION ...>text</OPTION>"; its text is escaped, so the
    // first "<" after the tag ends it.
    std::vector<ListOption> options;
    for (std::size_t at = 0; (at = markup.find('<', at)) != std::string::npos;) {
        if (!StartsWithNoCase(markup, at, "<option") ||
            (at + 7 < markup.size() && markup[at + 7] != '>' && markup[at + 7] != ' ')) {
            ++at;
            continue;
        }
        const std::size_t tagEnd = markup.find('>', at);
        if (tagEnd == std::string::npos)
            break;
        const std::string tag = markup.substr(at, tagEnd - at);
        const std::size_t textEnd = std::min(markup.find('<', tagEnd + 1), markup.size());
        ListOption option;
        option.text = DecodeMarkup(markup.substr(tagEnd + 1, textEnd - tagEnd - 1));
        for (std::size_t s = 0; (s = tag.find(' ', s)) != std::string::npos; ++s)
            if (StartsWithNoCase(tag, s + 1, "selected"))
                option.selected = true;
        options.push_back(std::move(option));
        at = textEnd;
    }
    return options;
}
