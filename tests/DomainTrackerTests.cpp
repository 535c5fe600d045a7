#include <gtest/gtest.h>

#include "DomainTracker.h"
#include "MessageBoxApi.h"
#include "MessageBoxRecorder.h"
#include "RegistrySandbox.h"
#include "TempDir.h"

namespace {

const char kKey[] = "Software\\Norvane";
const HKEY kRoot = HKEY_LOCAL_MACHINE;

class DomainTrackerTest : public ::testing::Test {
protected:
    std::string LastDomain() { return GetString(kRoot, kKey, "LastDomain"); }

    // Points WhiteList at a file holding these bytes and loads it.
    std::vector<std::string> Load(const std::string& bytes)
    {
        WriteBytes(dir_.File("WhiteList.txt"), bytes);
        SetString(kRoot, kKey, "WhiteList", dir_.File("WhiteList.txt"));
        tracker_.LoadWhiteList();
        return tracker_.WhiteListEntries();
    }

    RegistrySandbox sandbox_{kRoot, kKey};
    MessageBoxRecorder boxes_;
    TempDir dir_;
    CDomainTracker tracker_;
};

using Entries = std::vector<std::string>;

TEST(DeriveDomainTest, FollowsTheDerivationRules)
{
    const std::pair<const char*, const char*> cases[] = {
        {"http://www.example.com/index.html", "example.com"},
        {"ftp://ftp.example.org/pub/", "ftp.example.org"},
        {"http://example.com", ""},
        {"about:blank", ""},
        {"http://web.www.example.com/", "web.example.com"},
        {"http://a.example.com/go?to=http://b.example.net/", "a.example.com"},
        {"http://user@Example.COM:8080/x", "user@Example.COM:8080"},
        // Secure addresses lose their scheme too, so they clean their own site only.
        {"https://www.example.com/", "example.com"},
        {"https://secure.example.com/login", "secure.example.com"},
        {"https://example.com", ""},
    };
    for (const auto& [address, domain] : cases)
        EXPECT_EQ(domain, DeriveDomain(address)) << address;
}

TEST_F(DomainTrackerTest, UnlistedAddressSetsThePendingDomainAndLastDomain)
{
    EXPECT_EQ(0, tracker_.CheckUrl("http://www.example.com/index.html"));
    EXPECT_EQ("example.com", tracker_.PendingDomain());
    EXPECT_EQ("example.com", LastDomain());
    EXPECT_EQ(0, tracker_.CheckUrl("http://example.com"));
    EXPECT_EQ("", tracker_.PendingDomain());
    EXPECT_EQ("", LastDomain());
}

TEST_F(DomainTrackerTest, FirstMatchingEntryWinsAnywhereInTheAddress)
{
    tracker_.ParseWhiteList("news\nexample\n");
    EXPECT_EQ(1, tracker_.CheckUrl("http://www.example.com/news/today.html"));
    EXPECT_EQ("news", tracker_.PendingDomain());
    EXPECT_EQ("news", LastDomain());
    EXPECT_EQ(1, tracker_.CheckUrl("http://www.example.com/"));
    EXPECT_EQ("example", tracker_.PendingDomain());
}

TEST_F(DomainTrackerTest, EntriesAreCaseSensitive)
{
    tracker_.ParseWhiteList("Example\n");
    EXPECT_EQ(0, tracker_.CheckUrl("http://www.example.com/"));
    EXPECT_EQ("example.com", tracker_.PendingDomain());
}

TEST_F(DomainTrackerTest, FailedLastDomainWriteStillSetsThePendingDomain)
{
    RegistryApi failing;
    failing.SetValueEx = DeniedSetValueEx;
    ScopedRegistryApi scope(failing);
    EXPECT_EQ(0, tracker_.CheckUrl("http://www.example.com/"));
    EXPECT_EQ("example.com", tracker_.PendingDomain());
    EXPECT_FALSE(ValueExists(kRoot, kKey, "LastDomain"));
}

TEST_F(DomainTrackerTest, ParseTakesLinesUpToTheFirstEmptyOne)
{
    const std::pair<const char*, Entries> cases[] = {
        {"a.example.com\nb.example.com", {"a.example.com"}},
        {"a.example.com\n\nb.example.com\n", {"a.example.com"}},
        {"\na.example.com\n", {}},
        {" spaced # entry \nx\n", {" spaced # entry ", "x"}},
        {"", {}},
    };
    for (const auto& [text, expected] : cases) {
        CDomainTracker tracker;
        tracker.ParseWhiteList(text);
        EXPECT_EQ(expected, tracker.WhiteListEntries()) << text;
    }
}

TEST_F(DomainTrackerTest, LoadsCrLfFileLikeLfFile)
{
    EXPECT_EQ((Entries{"a.example.com", "b.example.com"}), Load("a.example.com\r\nb.example.com\r\n"));
    EXPECT_EQ(0, boxes_.shown);
}

TEST_F(DomainTrackerTest, EachLoadAppendsAgain)
{
    Load("a\r\n");
    EXPECT_EQ((Entries{"a", "a"}), Load("a\r\n"));
}

TEST_F(DomainTrackerTest, NulByteEndsItsLinesEntryAndLaterLinesStillCount)
{
    const std::string file("a.example\r\nb.ex\0ample\r\nc.example\r\n\0\0\0\r\nd.example\r\n", 50);
    EXPECT_EQ((Entries{"a.example", "b.ex", "c.example", "d.example"}), Load(file));
}

TEST_F(DomainTrackerTest, EmptyFileOrNoSettingLoadsNothingSilently)
{
    EXPECT_EQ(Entries{}, Load(""));
    RegistrySandbox noSetting(kRoot, kKey);
    tracker_.LoadWhiteList();
    EXPECT_EQ(Entries{}, tracker_.WhiteListEntries());
    EXPECT_EQ(0, boxes_.shown);
}

TEST_F(DomainTrackerTest, MissingFileShowsTheMessageAndKeepsEntries)
{
    tracker_.ParseWhiteList("kept\n");
    SetString(kRoot, kKey, "WhiteList", dir_.File("absent.txt"));
    tracker_.LoadWhiteList();
    EXPECT_EQ(1, boxes_.shown);
    EXPECT_EQ("Critical Error - Cannot load whitelist", boxes_.text);
    EXPECT_EQ("Critical Error", boxes_.caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK), boxes_.type);
    EXPECT_EQ(Entries{"kept"}, tracker_.WhiteListEntries());
}

TEST_F(DomainTrackerTest, FileHeldOpenForWritingIsStillRead)
{
    WriteBytes(dir_.File("WhiteList.txt"), "a\r\n");
    HANDLE writer = CreateFileA(dir_.File("WhiteList.txt").c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    SetString(kRoot, kKey, "WhiteList", dir_.File("WhiteList.txt"));
    tracker_.LoadWhiteList();
    CloseHandle(writer);
    EXPECT_EQ(Entries{"a"}, tracker_.WhiteListEntries());
}

}  // namespace

namespace {

// Answers the real message box from inside its modal loop, as a person would.
struct RealBoxAnswerer {
    static inline bool seen = false;
    static inline std::string texts;
    static BOOL CALLBACK CollectText(HWND child, LPARAM)
    {
        char text[256] = {};
        GetWindowTextA(child, text, sizeof text);
        texts += std::string(text) + "|";
        return TRUE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD)
    {
        HWND box = FindWindowA("#32770", "Critical Error");
        if (!box || GetWindowThreadProcessId(box, nullptr) != GetCurrentThreadId())
            return;
        seen = true;
        EnumChildWindows(box, CollectText, 0);
        KillTimer(nullptr, id);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
};

TEST_F(DomainTrackerTest, RealMessageBoxAppearsAndReturnsWhenDismissed)
{
    MessageBoxHook() = &::MessageBoxA;  // the real one, on the Xvfb display
    SetString(kRoot, kKey, "WhiteList", dir_.File("absent.txt"));
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, RealBoxAnswerer::Tick);
    tracker_.LoadWhiteList();
    KillTimer(nullptr, timer);
    EXPECT_TRUE(RealBoxAnswerer::seen);
    EXPECT_NE(std::string::npos, RealBoxAnswerer::texts.find("Critical Error - Cannot load whitelist"))
        << RealBoxAnswerer::texts;
    EXPECT_EQ(Entries{}, tracker_.WhiteListEntries());
}

}  // namespace
