#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "CacheCleaner.h"
#include "UrlCacheEnum.h"
#include "UrlCacheFixture.h"
#include "WinInetApi.h"

namespace {

using Urls = std::vector<std::string>;

// Under Wine's real URL cache.
class CacheCleanerTest : public ::testing::Test {
protected:
    UrlCacheFixture cache_;
    CCacheCleaner cleaner_;
};

TEST_F(CacheCleanerTest, CacheRemovesEveryFileWhoseUrlNamesTheDomain)
{
    const std::string site = cache_.Host("site");  // site.<tag>.test
    const Urls matching = {"http://" + site + "/a.html", "http://www." + site + "/img/b.png",
                           "http://other." + cache_.Host("x") + "/go?to=" + site};
    const Urls kept = {"http://" + cache_.Host("other") + "/c.html", "http://" + cache_.Host("SITE") + "/d.html",
                       "http://not" + site + "/", "http://" + site + "munity/"};
    for (const auto& url : matching)
        cache_.AddFile(url);
    for (const auto& url : kept)
        cache_.AddFile(url);

    cleaner_.CleanCache(site);

    for (const auto& url : matching)
        EXPECT_FALSE(cache_.HasEntry(url)) << url;
    for (const auto& url : kept)
        EXPECT_TRUE(cache_.HasEntry(url)) << url;
}

TEST_F(CacheCleanerTest, CacheLeavesCookiesAlone)
{
    const std::string site = cache_.Host("site");
    cache_.AddCookie(site);
    cache_.AddFile("http://" + site + "/page.html");
    ASSERT_EQ(1u, cache_.CookieUrls().size());

    cleaner_.CleanCache(site);

    EXPECT_EQ(Urls{}, cache_.FileUrls());
    EXPECT_EQ(1u, cache_.CookieUrls().size());
}

TEST_F(CacheCleanerTest, CookiesRemovesOnlyMatchingCookies)
{
    const std::string site = cache_.Host("site");
    const std::string other = cache_.Host("other");
    cache_.AddCookie(site);
    cache_.AddCookie("www." + site);
    cache_.AddCookie(other);
    cache_.AddFile("http://" + site + "/page.html");

    cleaner_.CleanCookies(site);

    const Urls left = cache_.CookieUrls();
    ASSERT_EQ(1u, left.size());
    EXPECT_NE(std::string::npos, left[0].find(other));
    EXPECT_EQ(Urls{"http://" + site + "/page.html"}, cache_.FileUrls()) << "files are CleanCache's";
}

// A cookie a site set for its parent domain is sent back to it: it goes
// with the site's own, unless the white list names the parent or a site
// under it; a sibling's cookie stays.
TEST_F(CacheCleanerTest, ACookieForTheSitesParentDomainGoesUnlessTheWhiteListNamesIt)
{
    const std::string site = cache_.Host("shop"), parent = site.substr(site.find('.') + 1);
    const std::string sibling = cache_.Host("www");
    for (bool kept : {false, true}) {
        cache_.AddCookie(parent);
        cache_.AddCookie(sibling);
        const std::vector<std::string> keep = kept ? std::vector<std::string>{sibling} : std::vector<std::string>{};
        CCacheCleaner::CleanCookies(CCleaningRule(std::vector<std::string>{site}, keep));
        const Urls left = cache_.CookieUrls();
        const bool parentLeft =
            std::any_of(left.begin(), left.end(), [&](const std::string& url) { return url.find("@" + parent + "/") != std::string::npos; });
        EXPECT_EQ(kept, parentLeft) << (kept ? "a white-listed site under the parent reads it" : "the parent's cookie");
        EXPECT_EQ(kept ? 2u : 1u, left.size()) << "the sibling's own cookie stays";
    }
}

TEST_F(CacheCleanerTest, CookieMatchIsCaseSensitive)
{
    const std::string site = cache_.Host("site");
    cache_.AddCookie(site);
    std::string upper = site;
    for (auto& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    cleaner_.CleanCookies(upper);
    EXPECT_EQ(1u, cache_.CookieUrls().size());
}

TEST_F(CacheCleanerTest, EntryLargerThanTheFirstBlockIsExaminedAndDeleted)
{
    const std::string site = cache_.Host("big");
    cache_.AddFile("http://" + site + "/1.html");
    cache_.AddFile("http://" + site + "/huge.html", 9000);
    cache_.AddFile("http://" + site + "/2.html");

    CUrlCacheEnum walk;
    DWORD largest = 0;
    for (auto* e = walk.FindFirst(nullptr); e; e = walk.FindNext())
        largest = std::max(largest, walk.BufferSize());
    EXPECT_GT(largest, 9000u) << "the block grew for the large entry";

    cleaner_.CleanCache(site);
    EXPECT_EQ(Urls{}, cache_.FileUrls());
}

TEST_F(CacheCleanerTest, WalkGoesOnAfterEachDeletion)
{
    const std::string site = cache_.Host("many");
    for (int i = 0; i < 40; ++i)
        cache_.AddFile("http://" + site + "/" + std::to_string(i) + ".html");
    cache_.AddFile("http://" + cache_.Host("keep") + "/k.html");
    cleaner_.CleanCache(site);
    EXPECT_EQ(Urls{"http://" + cache_.Host("keep") + "/k.html"}, cache_.FileUrls());
}

// A scripted cache behind the WinINet table, for failures Wine won't produce.
struct FakeCache {
    struct Entry {
        std::string url;
        DWORD type = NORMAL_CACHE_ENTRY;
        DWORD size = 512;  // bytes the record needs
        bool deletable = true;
        bool nullUrl = false;  // the record carries no URL at all
    };
    static inline std::vector<Entry> entries;
    static inline std::size_t next = 0;
    static inline DWORD failNextWith = 0;  // error of FindNext once the entries run out
    static inline Urls deleted, deleteCalls;
    static inline std::vector<DWORD> offeredSizes;
    static inline int opened = 0, closed = 0;
    static inline HANDLE const kHandle = reinterpret_cast<HANDLE>(0x1234);

    static BOOL Deliver(INTERNET_CACHE_ENTRY_INFOA* info, DWORD* size)
    {
        offeredSizes.push_back(*size);
        if (next >= entries.size()) {
            SetLastError(failNextWith ? failNextWith : ERROR_NO_MORE_ITEMS);
            return FALSE;
        }
        const Entry& e = entries[next];
        if (*size < e.size) {
            *size = e.size;
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        // The platform would lay the strings out behind the record.
        for (DWORD i = sizeof *info; i < *size; ++i)
            EXPECT_EQ(0, reinterpret_cast<BYTE*>(info)[i]) << "block not zeroed before the call";
        std::memset(info, 0, sizeof *info);
        info->lpszSourceUrlName = e.nullUrl ? nullptr : const_cast<char*>(e.url.c_str());
        info->CacheEntryType = e.type;
        ++next;
        return TRUE;
    }
    static HANDLE WINAPI FindFirst(LPCSTR, INTERNET_CACHE_ENTRY_INFOA* info, DWORD* size)
    {
        if (!Deliver(info, size))
            return nullptr;
        ++opened;
        return kHandle;
    }
    static BOOL WINAPI FindNext(HANDLE h, INTERNET_CACHE_ENTRY_INFOA* info, DWORD* size)
    {
        EXPECT_EQ(kHandle, h);
        return Deliver(info, size);
    }
    static BOOL WINAPI FindClose(HANDLE h)
    {
        EXPECT_EQ(kHandle, h);
        ++closed;
        return TRUE;
    }
    static BOOL WINAPI Delete(LPCSTR url)
    {
        deleteCalls.push_back(url);
        for (const auto& e : entries)
            if (e.url == url && e.deletable) {
                deleted.push_back(url);
                return TRUE;
            }
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }

    explicit FakeCache(std::vector<Entry> script) : saved_(WinInet())
    {
        entries = std::move(script);
        next = 0;
        failNextWith = 0;
        deleted.clear();
        deleteCalls.clear();
        offeredSizes.clear();
        opened = closed = 0;
        WinInet() = WinInetApi{&FindFirst, &FindNext, &FindClose, &Delete};
    }
    ~FakeCache() { WinInet() = saved_; }
    WinInetApi saved_;
};

TEST(CacheCleanerSeamTest, FailedDeleteLeavesTheEntryAndTheWalkGoesOn)
{
    FakeCache cache({{"http://a.example.com/1", NORMAL_CACHE_ENTRY, 512, false},
                     {"http://a.example.com/2"},
                     {"http://b.example.com/3"}});
    CCacheCleaner().CleanCache("a.example.com");
    EXPECT_EQ((Urls{"http://a.example.com/1", "http://a.example.com/2"}), FakeCache::deleteCalls);
    EXPECT_EQ(Urls{"http://a.example.com/2"}, FakeCache::deleted);
    EXPECT_EQ(1, FakeCache::closed);
}

TEST(CacheCleanerSeamTest, FailingFindNextEndsTheWalkAndClosesTheHandle)
{
    FakeCache cache({{"http://a.example.com/1"}});
    FakeCache::failNextWith = ERROR_FILE_NOT_FOUND;
    CCacheCleaner().CleanCache("a.example.com");
    EXPECT_EQ(Urls{"http://a.example.com/1"}, FakeCache::deleted);
    EXPECT_EQ(1, FakeCache::opened);
    EXPECT_EQ(1, FakeCache::closed);
}

TEST(CacheCleanerSeamTest, EmptyStoreDeletesNothingAndOpensNothing)
{
    FakeCache cache({});
    CCacheCleaner().CleanCache("a.example.com");
    CCacheCleaner().CleanCookies("a.example.com");
    EXPECT_TRUE(FakeCache::deleteCalls.empty());
    EXPECT_EQ(0, FakeCache::closed);
}

TEST(CacheCleanerSeamTest, BlockGrowsOnlyWhenAskedAndRefetchesTheSameEntry)
{
    FakeCache cache({{"http://a.example.com/small"},
                     {"http://a.example.com/large", NORMAL_CACHE_ENTRY, 10000},
                     {"http://a.example.com/after"}});
    CCacheCleaner().CleanCache("a.example.com");
    EXPECT_EQ((Urls{"http://a.example.com/small", "http://a.example.com/large", "http://a.example.com/after"}),
              FakeCache::deleted);
    // 4096 first, refused at 4096, fetched again at 10000, and the block stays at 10000.
    EXPECT_EQ((std::vector<DWORD>{4096, 4096, 10000, 10000, 10000}), FakeCache::offeredSizes);
}

TEST(CacheCleanerSeamTest, CachePassesOverCookieAndHistoryEntries)
{
    FakeCache cache({{"Cookie:u@a.example.com/", COOKIE_CACHE_ENTRY},
                     {"Visited: u@http://a.example.com/", URLHISTORY_CACHE_ENTRY},
                     {"http://a.example.com/", NORMAL_CACHE_ENTRY | STICKY_CACHE_ENTRY}});
    CCacheCleaner().CleanCache("a.example.com");
    EXPECT_EQ(Urls{"http://a.example.com/"}, FakeCache::deleted);
}

TEST(CacheCleanerSeamTest, NullUrlIsPassedOver)
{
    FakeCache cache({{""}, {"http://a.example.com/"}});
    FakeCache::entries[0].nullUrl = true;
    CCacheCleaner().CleanCookies("example.com");
    FakeCache::next = 0;
    CCacheCleaner().CleanCache("example.com");
    EXPECT_EQ((Urls{"http://a.example.com/", "http://a.example.com/"}), FakeCache::deleteCalls)
        << "no delete is asked for the record without URL, and the walk goes on";
}

}  // namespace
