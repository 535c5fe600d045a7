#include "UrlCacheEntries.h"

#include <wininet.h>

std::vector<std::pair<std::string, DWORD>> UrlCacheEntries(const char* pattern)
{
    std::vector<std::pair<std::string, DWORD>> entries;
    std::vector<BYTE> block(64 * 1024);
    auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(block.data());
    DWORD size = static_cast<DWORD>(block.size());
    HANDLE find = FindFirstUrlCacheEntryA(pattern, entry, &size);
    if (!find)
        return entries;
    do {
        entries.emplace_back(entry->lpszSourceUrlName ? entry->lpszSourceUrlName : "", entry->CacheEntryType);
        size = static_cast<DWORD>(block.size());
    } while (FindNextUrlCacheEntryA(find, entry, &size));
    FindCloseUrlCache(find);
    return entries;
}
