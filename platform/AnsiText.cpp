#include "AnsiText.h"

#include <windows.h>

#include <array>

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

// Finds part at or after start, where boundary (<= start) is known to begin a
// character. A byte match counts only where it begins a character, so a trail
// byte is never taken for the start of a match. The walk over characters and
// the byte search both move forward only: the cost is linear in the text.
std::size_t FindFrom(const std::string& text, const std::string& part, std::size_t start, std::size_t& boundary)
{
    const LeadBytes& cp = CodePage();
    for (std::size_t hit = text.find(part, start); hit != std::string::npos; hit = text.find(part, hit + 1)) {
        if (!cp.any)
            return hit;
        while (boundary < hit) {
            const bool lead = cp.isLead[static_cast<unsigned char>(text[boundary])] && boundary + 1 < text.size();
            boundary += lead ? 2 : 1;
        }
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
    std::size_t boundary = 0;  // carried from search to search: never walked twice
    for (std::size_t hit = FindFrom(text, part, 0, boundary); hit != npos; hit = FindFrom(text, part, from, boundary)) {
        result.append(text, from, hit - from).append(with);
        from = hit + part.size();
    }
    return result.append(text, from, npos);
}

}  // namespace ansi
