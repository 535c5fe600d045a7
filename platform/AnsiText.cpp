#include "AnsiText.h"

#include <windows.h>

namespace ansi {

namespace {

std::size_t NextCharacter(const std::string& text, std::size_t pos)
{
    const bool lead = IsDBCSLeadByte(static_cast<BYTE>(text[pos])) && pos + 1 < text.size();
    return pos + (lead ? 2 : 1);
}

}  // namespace

std::size_t Find(const std::string& text, const std::string& part, std::size_t start)
{
    if (part.empty())
        return start <= text.size() ? start : npos;
    for (std::size_t pos = 0; pos < text.size(); pos = NextCharacter(text, pos)) {
        if (pos >= start && text.compare(pos, part.size(), part) == 0)
            return pos;
    }
    return npos;
}

std::wstring ToWide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::string DoubleEach(const std::string& text, char c)
{
    std::string doubled;
    for (char t : text) {
        doubled += t;
        if (t == c)
            doubled += c;
    }
    return doubled;
}

std::string ReplaceAll(const std::string& text, const std::string& part, const std::string& with)
{
    if (part.empty())
        return text;
    std::string result;
    std::size_t from = 0;
    for (std::size_t hit = Find(text, part); hit != npos; hit = Find(text, part, from)) {
        result.append(text, from, hit - from).append(with);
        from = hit + part.size();
    }
    return result.append(text, from, npos);
}

}  // namespace ansi
