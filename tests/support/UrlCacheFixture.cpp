#include "UrlCacheFixture.h"

#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "UrlCacheEntries.h"

UrlCacheFixture::UrlCacheFixture()
{
    static int counter = 0;
    tag_ = "nvt" + std::to_string(GetCurrentProcessId()) + "x" + std::to_string(++counter);
}

UrlCacheFixture::~UrlCacheFixture()
{
    for (const char* pattern : {static_cast<const char*>(nullptr), "Cookie:"}) {
        for (const auto& [url, type] : UrlCacheEntries(pattern))
            if (url.find(tag_) != std::string::npos)
                DeleteUrlCacheEntryA(url.c_str());
    }
}

void UrlCacheFixture::AddFile(const std::string& url, std::size_t headerBytes)
{
    char path[MAX_PATH] = {};
    ASSERT_TRUE(CreateUrlCacheEntryA(url.c_str(), 0, "htm", path, 0)) << url;
    std::ofstream(path, std::ios::binary) << "<html>cached</html>";
    std::string headers = "HTTP/1.1 200 OK\r\n";
    if (headerBytes > 0)
        headers += "X-Padding: " + std::string(headerBytes, 'p') + "\r\n";
    headers += "\r\n";
    FILETIME never{};
    ASSERT_TRUE(CommitUrlCacheEntryA(url.c_str(), path, never, never, NORMAL_CACHE_ENTRY,
                                     reinterpret_cast<BYTE*>(headers.data()), static_cast<DWORD>(headers.size()),
                                     nullptr, nullptr))
        << url;
}

void UrlCacheFixture::AddCookie(const std::string& host)
{
    ASSERT_TRUE(InternetSetCookieA(("http://" + host + "/").c_str(), "a",
                                   "b=c; expires=Sat,01-Jan-2039 00:00:00 GMT"))
        << host;
}

bool UrlCacheFixture::HasEntry(const std::string& url)
{
    DWORD size = 0;
    return !GetUrlCacheEntryInfoA(url.c_str(), nullptr, &size) && GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

std::vector<std::string> UrlCacheFixture::Urls(const char* pattern) const
{
    std::vector<std::string> urls;
    for (const auto& [url, type] : UrlCacheEntries(pattern))
        if (url.find(tag_) != std::string::npos)
            urls.push_back(url);
    std::sort(urls.begin(), urls.end());
    return urls;
}

std::vector<std::string> UrlCacheFixture::FileUrls() const
{
    std::vector<std::string> urls;
    for (const auto& [url, type] : UrlCacheEntries(nullptr))
        if (url.find(tag_) != std::string::npos && !(type & (COOKIE_CACHE_ENTRY | URLHISTORY_CACHE_ENTRY)))
            urls.push_back(url);
    std::sort(urls.begin(), urls.end());
    return urls;
}
