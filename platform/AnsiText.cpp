#include "AnsiText.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace ansi {

namespace {

// The lead bytes of the process code page, read once. Most code pages have
// none, and then every byte is a character of its own.
struct LeadBytes {
    std::array<bool, 256> isLead{};
    bool any = false;

    LeadBytes()
    {
        CPINFO info{};
        if (!GetCPInfo(CP_ACP, &info))
            return;
        for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
            for (unsigned b = info.LeadByte[i]; b <= info.LeadByte[i + 1] && b < 256; ++b) {
                isLead[b] = true;
                any = true;
            }
        }
    }
};

const LeadBytes& CodePage()
{
    static const LeadBytes leadBytes;
    return leadBytes;
}

// Moves boundary, which begins a character, to the first character that
// begins at or after to.
void StepToCharacterAt(const std::string& text, std::size_t to, std::size_t& boundary)
{
    const LeadBytes& cp = CodePage();
    if (!cp.any) {
        boundary = std::max(boundary, to);
        return;
    }
    while (boundary < to) {
        const bool lead = cp.isLead[static_cast<unsigned char>(text[boundary])] && boundary + 1 < text.size();
        boundary += lead ? 2 : 1;
    }
}

// Finds part at or after start, where boundary (<= start) is known to begin a
// character. A byte match counts only where it begins a character, so a trail
// byte is never taken for the start of a match. The walk over characters and
// the byte search both move forward only: the cost is linear in the text.
std::size_t FindFrom(const std::string& text, const std::string& part, std::size_t start, std::size_t& boundary)
{
    const bool anyLead = CodePage().any;
    for (std::size_t hit = text.find(part, start); hit != std::string::npos; hit = text.find(part, hit + 1)) {
        if (!anyLead)
            return hit;
        StepToCharacterAt(text, hit, boundary);
        if (boundary == hit)
            return hit;
    }
    return npos;
}

}  // namespace

std::size_t Find(const std::string& text, const std::string& part, std::size_t start)
{
    if (part.empty())
        return start <= text.size() ? start : npos;
    std::size_t boundary = 0;
    return FindFrom(text, part, start, boundary);
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

std::string ToAnsi(const wchar_t* text)
{
    if (!text)
        return std::string();
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string ansi(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, ansi.data(), size, nullptr, nullptr);
    ansi.resize(static_cast<std::size_t>(size) - 1);
    return ansi;
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

std::string ReplaceAll(std::string text, const std::string& part, const std::string& with)
{
    std::size_t boundary = 0;  // carried from search to search: never walked twice
    std::size_t hit = part.empty() ? npos : FindFrom(text, part, 0, boundary);
    if (hit == npos)
        return text;  // moved out: a text without the part costs no copy
    if (with.size() > part.size()) {
        std::string result;
        std::size_t from = 0;
        for (; hit != npos; hit = FindFrom(text, part, from, boundary)) {
            result.append(text, from, hit - from).append(with);
            from = hit + part.size();
        }
        return result.append(text, from, npos);
    }
    // Never longer than the text: compacted in place, every byte moved once.
    // What is written lies before from; the search and the character walk
    // read only from there on, and the walk passes the match before the
    // replacement overwrites it.
    std::size_t from = 0;
    std::size_t out = 0;
    char* bytes = text.data();
    for (; hit != npos; hit = FindFrom(text, part, from, boundary)) {
        std::memmove(bytes + out, bytes + from, hit - from);
        out += hit - from;
        from = hit + part.size();
        StepToCharacterAt(text, from, boundary);
        std::memcpy(bytes + out, with.data(), with.size());
        out += with.size();
    }
    std::memmove(bytes + out, bytes + from, text.size() - from);
    text.resize(out + text.size() - from);
    return text;
}

}  // namespace ansi
