#include "CleaningRule.h"

#include <windows.h>

#include <algorithm>

#include "AnsiText.h"

namespace {

// The text in UTF-16 when the code page has an exact form for every byte of it.
bool ExactWide(const std::string& text, std::wstring& wide)
{
    if (text.empty()) {
        wide.clear();
        return true;
    }
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length <= 0)
        return false;
    wide.assign(static_cast<std::size_t>(length), L'\0');
    return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), size, &wide[0], length) == length;
}

bool Within(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

}  // namespace

CCleaningRule::CCleaningRule(std::string domain, std::vector<std::string> keep)
    : CCleaningRule(std::vector<std::string>{std::move(domain)}, std::move(keep))
{
}

CCleaningRule::CCleaningRule(std::vector<std::string> domains, std::vector<std::string> keep)
    : domains_(std::move(domains)), keep_(std::move(keep))
{
    std::wstring wide;
    // A domain with no UTF-16 form is in no file name.
    for (const auto& domain : domains_) {
        if (ExactWide(domain, wide))
            wideDomains_.push_back(wide);
    }
    for (const auto& entry : keep_) {
        if (ExactWide(entry, wide))
            wideKeep_.push_back(wide);
        else
            keepIsExact_ = false;
    }
}

bool CCleaningRule::Removes(const std::string& text) const
{
    const auto within = [&](const std::string& part) { return ansi::Contains(text, part); };
    return std::any_of(domains_.begin(), domains_.end(), within) && std::none_of(keep_.begin(), keep_.end(), within);
}

bool CCleaningRule::RemovesName(const std::wstring& name) const
{
    // An entry the code page cannot read back exactly might be meant for
    // any name: with one in the list, no file name is removed.
    if (!keepIsExact_)
        return false;
    const auto within = [&](const std::wstring& part) { return Within(name, part); };
    return std::any_of(wideDomains_.begin(), wideDomains_.end(), within) &&
           std::none_of(wideKeep_.begin(), wideKeep_.end(), within);
}

bool CCleaningRule::RemovesCookie(const std::string& url) const
{
    if (Removes(url))
        return true;
    const std::size_t at = url.find('@');
    if (at == std::string::npos)
        return false;
    const std::string host = url.substr(at + 1, url.find('/', at) - at - 1);
    // A parent has a dot of its own (no cookie is kept for a whole top-level
    // domain), and an address has no parent.
    const auto isAddress = [](const std::string& text) {
        return text.find_first_not_of("0123456789.") == std::string::npos || text.find(':') != std::string::npos;
    };
    if (host.find('.') == std::string::npos || isAddress(host))
        return false;
    const auto under = [&](const std::string& domain) {
        return !isAddress(domain) && domain.size() > host.size() + 1 &&
               domain.compare(domain.size() - host.size(), host.size(), host) == 0 &&
               domain[domain.size() - host.size() - 1] == '.';
    };
    const auto kept = [&](const std::string& entry) {
        return ansi::Contains(url, entry) || ansi::Contains(entry, host);
    };
    return std::any_of(domains_.begin(), domains_.end(), under) && std::none_of(keep_.begin(), keep_.end(), kept);
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

std::string CleaningHost(std::string domain)
{
    // User information ends at the host's "@" (the last one: a user name may
    // hold one); found as a character, never as a double-byte character's trail.
    std::size_t hostStart = 0;
    for (std::size_t at = ansi::Find(domain, "@"); at != ansi::npos; at = ansi::Find(domain, "@", at + 1))
        hostStart = at + 1;
    domain.erase(0, hostStart);
    // A port is digits after the host's last ":"; "[::1]" keeps its colons.
    const std::size_t colon = domain.rfind(':');
    if (colon != std::string::npos && colon + 1 < domain.size() &&
        domain.find_first_not_of("0123456789", colon + 1) == std::string::npos)
        domain.erase(colon);
    while (!domain.empty() && domain.back() == '.')
        domain.pop_back();
    return domain;
}
