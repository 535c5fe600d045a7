#include <gtest/gtest.h>

#include "RegistrySandbox.h"
#include "TypedUrlCleaner.h"

namespace {

const char kTyped[] = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
const char kTimes[] = "Software\\Microsoft\\Internet Explorer\\TypedURLsTime";
const HKEY kRoot = HKEY_CURRENT_USER;

class TypedUrlCleanerTest : public ::testing::Test {
protected:
    std::string Url(int n) { return GetString(kRoot, kTyped, "url" + std::to_string(n)); }

    void SetTime(int n)  // a FILETIME
    {
        SetRaw(kRoot, kTimes, "url" + std::to_string(n), REG_BINARY, "\0\x1E\x5F\x2A\xB4\xC3\xD9\x01", 8);
    }
    bool HasTime(int n) { return ValueExists(kRoot, kTimes, "url" + std::to_string(n)); }

    RegistrySandbox sandbox_{kRoot, kTyped}, times_{kRoot, kTimes};
    CTypedUrlCleaner cleaner_;
};

TEST_F(TypedUrlCleanerTest, MatchingValueIsEmptiedOthersKeepTextAndNumber)
{
    SetString(kRoot, kTyped, "url1", "http://www.example.org/");
    SetString(kRoot, kTyped, "url2", "http://EXAMPLE.COM/");
    SetString(kRoot, kTyped, "url3", "http://www.example.com/page");
    SetString(kRoot, kTyped, "url4", "http://search.example.net/?q=example.com");
    SetString(kRoot, kTyped, "url5", "http://news.example.net/");

    cleaner_.CleanTypedUrls("example.com");

    EXPECT_EQ("http://www.example.org/", Url(1));
    EXPECT_EQ("http://EXAMPLE.COM/", Url(2));
    EXPECT_EQ("", Url(3));
    EXPECT_EQ("", Url(4)) << "a domain in the query still matches";
    EXPECT_EQ("http://news.example.net/", Url(5));
    EXPECT_EQ("<missing>", Url(6)) << "absent values are not created";
}

// The times name no site: only their pairing by name with an emptied address finds them.
TEST_F(TypedUrlCleanerTest, AnEmptiedAddressTakesItsTimeAlongAndNoOtherTimeGoes)
{
    SetString(kRoot, kTyped, "url1", "http://www.example.org/");
    SetString(kRoot, kTyped, "url2", "http://www.example.com/a");
    for (int n : {1, 2, 4})
        SetTime(n);
    cleaner_.CleanTypedUrls("example.com");
    EXPECT_FALSE(HasTime(2));
    EXPECT_TRUE(HasTime(1));
    EXPECT_TRUE(HasTime(4)) << "a time with no address is not the pass's to judge";
}

TEST_F(TypedUrlCleanerTest, OnlyUrl1ToUrl25AreTouched)
{
    SetString(kRoot, kTyped, "url25", "http://example.com/");
    SetString(kRoot, kTyped, "url26", "http://example.com/");
    SetString(kRoot, kTyped, "url0", "http://example.com/");
    cleaner_.CleanTypedUrls("example.com");
    EXPECT_EQ("", Url(25));
    EXPECT_EQ("http://example.com/", Url(26));
    EXPECT_EQ("http://example.com/", Url(0));
}

TEST_F(TypedUrlCleanerTest, EmptiedValueStaysAsAnEmptyString)
{
    SetString(kRoot, kTyped, "url7", "http://example.com/");
    cleaner_.CleanTypedUrls("example.com");
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(QueryRaw(kRoot, kTyped, "url7", type, bytes));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(std::string(1, '\0'), bytes);
    for (int n = 1; n <= 25; ++n) {
        if (n == 7)
            continue;
        EXPECT_FALSE(ValueExists(kRoot, kTyped, "url" + std::to_string(n))) << n;
    }
}

TEST_F(TypedUrlCleanerTest, MissingKeyIsNotCreated)
{
    cleaner_.CleanTypedUrls("example.com");
    EXPECT_FALSE(KeyExists(kRoot, kTyped));
}

TEST_F(TypedUrlCleanerTest, FailedWriteKeepsTheTextAndTheLoopGoesOn)
{
    SetString(kRoot, kTyped, "url1", "http://example.com/a");
    SetString(kRoot, kTyped, "url2", "http://example.com/b");
    SetTime(1);
    RegistryApi failing;
    failing.SetValueEx = DeniedSetValueEx;
    {
        ScopedRegistryApi scope(failing);
        cleaner_.CleanTypedUrls("example.com");
    }
    EXPECT_EQ("http://example.com/a", Url(1));
    EXPECT_EQ("http://example.com/b", Url(2));
    EXPECT_TRUE(HasTime(1)) << "the time stays while its address does";
}

}  // namespace
