// Prints how long CleanCache takes over a real URL cache of 1,000 and 10,000
// entries next to a bare walk of the same cache, as a ratio. Not a test:
// absolute times under Wine say little, the ratio says what the cleaner adds.
#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "CacheCleaner.h"

namespace {

const char kTag[] = "norvane-bench";

void AddEntry(const std::string& url)
{
    char path[MAX_PATH] = {};
    if (!CreateUrlCacheEntryA(url.c_str(), 0, "htm", path, 0))
        return;
    std::ofstream(path, std::ios::binary) << "x";
    FILETIME never{};
    CommitUrlCacheEntryA(url.c_str(), path, never, never, NORMAL_CACHE_ENTRY, nullptr, 0, nullptr, nullptr);
}

// Visits every entry of the cache; returns the URLs that carry the tag.
std::vector<std::string> BareWalk()
{
    std::vector<std::string> tagged;
    std::vector<BYTE> block(4096);
    DWORD size = static_cast<DWORD>(block.size());
    auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(block.data());
    HANDLE find = FindFirstUrlCacheEntryA(nullptr, entry, &size);
    while (find) {
        if (entry->lpszSourceUrlName && strstr(entry->lpszSourceUrlName, kTag))
            tagged.push_back(entry->lpszSourceUrlName);
        size = static_cast<DWORD>(block.size());
        if (!FindNextUrlCacheEntryA(find, entry, &size)) {
            if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
                break;
            block.resize(size);
            entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(block.data());
            FindNextUrlCacheEntryA(find, entry, &size);
        }
    }
    if (find)
        FindCloseUrlCache(find);
    return tagged;
}

template <typename F>
double Milliseconds(F f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void Fill(int total)
{
    // One entry in a hundred belongs to the site being cleaned.
    for (int i = 0; i < total; ++i) {
        const bool hit = i % 100 == 0;
        AddEntry("http://" + std::string(hit ? "hit" : "site") + std::to_string(hit ? 0 : i % 97) + "." + kTag +
                 ".test/page" + std::to_string(i) + ".html");
    }
}

void Empty()
{
    for (const auto& url : BareWalk())
        DeleteUrlCacheEntryA(url.c_str());
}

}  // namespace

int main()
{
    std::printf("%-8s %12s %12s %8s\n", "entries", "bare walk", "CleanCache", "ratio");
    for (int total : {1000, 10000}) {
        Empty();
        Fill(total);
        const double bare = Milliseconds([] { BareWalk(); });
        const double clean = Milliseconds([] { CCacheCleaner().CleanCache(std::string("hit0.") + kTag); });
        std::printf("%-8d %9.1f ms %9.1f ms %8.2f\n", total, bare, clean, clean / bare);
        Empty();
    }
    return 0;
}
