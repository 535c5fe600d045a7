#include "CleaningRule.h"

#include <windows.h>

#include <algorithm>

#include "AnsiText.h"
#include "PublicSuffix.h"

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

// A character that can stand in a host label: a letter or digit of ASCII,
// "-", or any character of another script.
bool IsLabelCharacter(wchar_t c)
{
    return c >= 0x80 || (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '-';
}

// Where in an item a domain may stand: an address's host and its query
// ("?ref=example.com"), a cookie entry's host ("Cookie:me@host/path"), or the
// whole of a name; never an address's path, where any file name
// ("index.html") would be a domain.
struct Span {
    std::size_t begin, end;
};

std::vector<Span> DomainSpans(const std::wstring& item)
{
    std::size_t host = item.find(L"://");
    if (host != std::wstring::npos) {
        host += 3;
    } else {
        host = item.rfind(L'@', item.find(L'/'));
        if (host == std::wstring::npos)
            return {Span{0, item.size()}};
        ++host;
    }
    const std::size_t hostEnd = std::min(item.find_first_of(L"/?#", host), item.size());
    std::vector<Span> spans{Span{host, hostEnd}};
    const std::size_t query = item.find(L'?', hostEnd);
    if (query != std::wstring::npos)
        spans.push_back(Span{query + 1, std::min(item.find(L'#', query), item.size())});
    return spans;
}

// Whether the domain stands in a span as whole labels: no label character
// before it, and none after it, nor a dot that goes on to another label
// (example.com is not example.com.au; a final root dot ends the host).
bool HoldsLabels(const std::wstring& text, const std::wstring& domain, const std::vector<Span>& spans)
{
    for (const Span& span : spans) {
        for (std::size_t at = text.find(domain, span.begin);
             at != std::wstring::npos && at + domain.size() <= span.end; at = text.find(domain, at + 1)) {
            const std::size_t end = at + domain.size();
            const bool before = at == span.begin || !IsLabelCharacter(text[at - 1]);
            const bool after = end == span.end || (!IsLabelCharacter(text[end]) &&
                                                   !(text[end] == L'.' && end + 1 < span.end &&
                                                     IsLabelCharacter(text[end + 1])));
            if (before && after)
                return true;
        }
    }
    return false;
}

}  // namespace

CCleaningRule::CCleaningRule(std::string domain, std::vector<std::string> keep)
    : CCleaningRule(std::vector<std::string>{std::move(domain)}, std::move(keep))
{
}

CCleaningRule::CCleaningRule(std::vector<std::string> domains, std::vector<std::string> keep) : keep_(std::move(keep))
{
    std::wstring wide;
    for (auto& text : domains) {
        // A domain with no UTF-16 form is in no file name and is no host.
        if (!ExactWide(text, wide))
            wide.clear();
        const bool wholeHost = IsPublicSuffix(text);
        domains_.push_back(Domain{std::move(text), wide, wholeHost});
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
    // Most items name none of the domains at all: a byte search says so
    // before anything is converted.
    const auto mayName = [&](const Domain& domain) { return domain.wholeHost || ansi::Contains(text, domain.text); };
    if (std::none_of(domains_.begin(), domains_.end(), mayName))
        return false;
    // Tested in UTF-16, as names are: an item with no exact form is kept,
    // and no trail byte of a double-byte character is taken for a boundary.
    std::wstring wide;
    if (!ExactWide(text, wide) || !NamesADomain(wide, false, ItemHost(wide)))
        return false;
    const auto within = [&](const std::string& part) { return ansi::Contains(text, part); };
    return std::none_of(keep_.begin(), keep_.end(), within);
}

bool CCleaningRule::RemovesName(const std::wstring& name) const
{
    return !Keeps(name) && NamesADomain(name, false, ItemHost(name));
}

bool CCleaningRule::RemovesName(const std::wstring& name, const std::wstring& site) const
{
    return !Keeps(name) && NamesADomain(site, true, site);
}

bool CCleaningRule::NamesADomain(const std::wstring& text, bool whole, const std::wstring& host) const
{
    const std::vector<Span> where = whole ? std::vector<Span>{Span{0, text.size()}} : DomainSpans(text);
    const auto names = [&](const Domain& domain) {
        return !domain.wide.empty() && (domain.wholeHost ? host == domain.wide : HoldsLabels(text, domain.wide, where));
    };
    return std::any_of(domains_.begin(), domains_.end(), names);
}

bool CCleaningRule::Keeps(const std::wstring& name) const
{
    // An entry the code page cannot read back exactly might be meant for
    // any name: with one in the list, no file name is removed.
    const auto within = [&](const std::wstring& part) { return Within(name, part); };
    return !keepIsExact_ || std::any_of(wideKeep_.begin(), wideKeep_.end(), within);
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
    const auto under = [&](const Domain& domain) {
        const std::string& text = domain.text;
        return !isAddress(text) && text.size() > host.size() + 1 &&
               text.compare(text.size() - host.size(), host.size(), host) == 0 &&
               text[text.size() - host.size() - 1] == '.';
    };
    const auto kept = [&](const std::string& entry) {
        return ansi::Contains(url, entry) || ansi::Contains(entry, host);
    };
    // A public suffix is nobody's parent: its cookies would be every site's.
    return std::any_of(domains_.begin(), domains_.end(), under) && !IsPublicSuffix(host) &&
           std::none_of(keep_.begin(), keep_.end(), kept);
}

std::wstring CCleaningRule::ItemHost(const std::wstring& item)
{
    std::size_t start = item.find(L"://");
    if (start != std::wstring::npos) {
        start += 3;
    } else {
        const std::size_t user = item.rfind(L'@', item.find(L'/'));
        start = user == std::wstring::npos ? 0 : user + 1;
    }
    std::wstring host = item.substr(start, item.find_first_of(L"/\\?#", start) - start);
    const std::size_t user = host.rfind(L'@');
    if (user != std::wstring::npos)
        host.erase(0, user + 1);
    // A port follows the host's ":", past the brackets of an IPv6 address.
    const std::size_t colon = host.find(L':', host.empty() || host[0] != L'[' ? 0 : host.find(L']'));
    if (colon != std::wstring::npos)
        host.erase(colon);
    return host;
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
