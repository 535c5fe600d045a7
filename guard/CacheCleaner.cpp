#include "CacheCleaner.h"

#include "AnsiText.h"
#include "UrlCacheEnum.h"
#include "WinInetApi.h"

namespace {

// Deletes the entry when the rule removes its URL; the walk goes on either way.
void DeleteIfMatching(const INTERNET_CACHE_ENTRY_INFOA& entry, const CCleaningRule& rule)
{
    const std::string url = entry.lpszSourceUrlName ? entry.lpszSourceUrlName : "";
    if (rule.Removes(url))
        WinInet().DeleteEntry(entry.lpszSourceUrlName);
}

bool IsCookieOrHistory(const INTERNET_CACHE_ENTRY_INFOA& entry)
{
    return (entry.CacheEntryType & (COOKIE_CACHE_ENTRY | URLHISTORY_CACHE_ENTRY)) != 0;
}

// Walks the entries a pattern yields up to the deadline; false when it
// yields none at all.
template <typename Visit>
bool Walk(const char* pattern, const CPassDeadline& deadline, Visit visit)
{
    CUrlCacheEnum walk;
    INTERNET_CACHE_ENTRY_INFOA* entry = walk.FindFirst(pattern);
    const bool any = entry != nullptr;
    for (; entry && !deadline.Passed(); entry = walk.FindNext())
        visit(*entry);
    return any;
}

}  // namespace

void CCacheCleaner::CleanCookies(const CCleaningRule& rule, const CPassDeadline& deadline)
{
    const auto visit = [&](const INTERNET_CACHE_ENTRY_INFOA& entry) {
        if (entry.lpszSourceUrlName && rule.RemovesCookie(entry.lpszSourceUrlName))
            WinInet().DeleteEntry(entry.lpszSourceUrlName);
    };
    // Windows matches the container prefix without regard to case, so "cookie:"
    // reaches the cookies there. Wine compares it case-sensitively with its
    // prefix "Cookie:" and yields nothing; only then is the second spelling
    // walked, which on Windows would yield the same (empty) set again.
    if (!Walk("cookie:", deadline, visit))
        Walk("Cookie:", deadline, visit);
}

void CCacheCleaner::CleanCache(const CCleaningRule& rule, const CPassDeadline& deadline)
{
    Walk(nullptr, deadline, [&](const INTERNET_CACHE_ENTRY_INFOA& entry) {
        if (!IsCookieOrHistory(entry))
            DeleteIfMatching(entry, rule);
    });
}
