#pragma once
// Real entries in Wine's URL cache for one test. Every entry whose URL carries
// the test's tag is removed again when the test ends.
#include <string>
#include <vector>

class UrlCacheFixture {
public:
    UrlCacheFixture();
    ~UrlCacheFixture();
    UrlCacheFixture(const UrlCacheFixture&) = delete;
    UrlCacheFixture& operator=(const UrlCacheFixture&) = delete;

    // A host name unique to this test: "<label>.<tag>.test".
    std::string Host(const std::string& label) const { return label + "." + tag_ + ".test"; }

    // An ordinary cache entry (a temporary Internet file) for the URL; extra
    // header bytes make its record as large as a test needs.
    static void AddFile(const std::string& url, std::size_t headerBytes = 0);
    // A persistent cookie for the host.
    static void AddCookie(const std::string& host);

    static bool HasEntry(const std::string& url);
    // The URLs a walk with this pattern yields that carry the test's tag.
    std::vector<std::string> Urls(const char* pattern) const;
    std::vector<std::string> CookieUrls() const { return Urls("Cookie:"); }
    std::vector<std::string> FileUrls() const;

private:
    std::string tag_;
};
