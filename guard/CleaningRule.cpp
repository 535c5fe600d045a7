#include "CleaningRule.h"

#include <algorithm>

#include "AnsiText.h"

bool CCleaningRule::Removes(const std::string& text) const
{
    const auto within = [&](const std::string& part) { return ansi::Contains(text, part); };
    return std::any_of(domains_.begin(), domains_.end(), within) && std::none_of(keep_.begin(), keep_.end(), within);
}

bool NamesASite(const std::string& domain)
{
    // Bytes above 127 count as letters: in the process code page they are
    // the letters of names that ASCII cannot write.
    return std::any_of(domain.begin(), domain.end(), [](char c) {
        const unsigned char u = static_cast<unsigned char>(c);
        return u >= 0x80 || (u >= '0' && u <= '9') || ((u | 0x20) >= 'a' && (u | 0x20) <= 'z');
    });
}
