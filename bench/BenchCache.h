#pragma once
// Filling and walking Wine's real URL cache, for the benchmarks.
#include <windows.h>
#include <wininet.h>

#include <fstream>
#include <string>
#include <vector>

// An ordinary cache entry (a temporary Internet file) for the URL.
inline void AddCacheFile(const std::string& url)
{
    char path[MAX_PATH] = {};
    if (!CreateUrlCacheEntryA(url.c_str(), 0, "htm", path, 0))
        return;
    std::ofstream(path, std::ios::binary) << "x";
    FILETIME never{};
    CommitUrlCacheEntryA(url.c_str(), path, never, never, NORMAL_CACHE_ENTRY, nullptr, 0, nullptr, nullptr);
}

// Walks every entry the pattern yields, as any cleaner must; the visitor
// gets each URL. The number of entries walked.
template <typename Visit>
int WalkCache(const char* pattern, Visit visit)
{
    int entries = 0;
    std::string block(64 * 1024, '\0');
    auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(block.data());
    DWORD size = static_cast<DWORD>(block.size());
    HANDLE find = FindFirstUrlCacheEntryA(pattern, entry, &size);
    while (find) {
        ++entries;
        if (entry->lpszSourceUrlName)
            visit(std::string(entry->lpszSourceUrlName));
        size = static_cast<DWORD>(block.size());
        if (!FindNextUrlCacheEntryA(find, entry, &size))
            break;
    }
    if (find)
        FindCloseUrlCache(find);
    return entries;
}

// Deletes every entry whose URL carries the tag.
inline void RemoveTaggedEntries(const char* pattern, const std::string& tag)
{
    std::vector<std::string> urls;
    WalkCache(pattern, [&](const std::string& url) {
        if (url.find(tag) != std::string::npos)
            urls.push_back(url);
    });
    for (const auto& url : urls)
        DeleteUrlCacheEntryA(url.c_str());
}
