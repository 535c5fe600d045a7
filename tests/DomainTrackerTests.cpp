#include <gtest/gtest.h>

#include <random>

#include "AnsiText.h"
#include "CleaningRule.h"
#include "DomainTracker.h"
#include "MessageBoxApi.h"
#include "MessageBoxRecorder.h"
#include "RegistrySandbox.h"
#include "TempDir.h"
#include "TextFile.h"

namespace {

const char kKey[] = "Software\\Norvane";
const HKEY kRoot = HKEY_LOCAL_MACHINE;
// Where every guard writes LastDomain: the user's own key.
const char kLowKey[] = "Software\\AppDataLow\\Software\\Norvane";

class DomainTrackerTest : public ::testing::Test {
protected:
    std::string LastDomain() { return GetString(HKEY_CURRENT_USER, kLowKey, "LastDomain"); }

    // Writes the guard's own white-list file (beside this program) and loads it.
    std::vector<std::string> Load(const std::string& bytes)
    {
        WriteBytes(GuardWhiteListPath(), bytes);
        tracker_.LoadWhiteList();
        return tracker_.WhiteListEntries();
    }

    RegistrySandbox sandbox_{kRoot, kKey};
    RegistrySandbox lowSandbox_{HKEY_CURRENT_USER, kLowKey};
    FileSandbox list_{GuardWhiteListPath()};
    MessageBoxRecorder boxes_;
    TempDir dir_;
    CDomainTracker tracker_;
};

using Entries = std::vector<std::string>;

// ---- Search and replace on ANSI text ----------------------------------

// The plain definition: walk the characters from the start, match where one
// begins. What the linear search must give in every code page.
std::size_t ReferenceFind(const std::string& text, const std::string& part, std::size_t start)
{
    if (part.empty())
        return start <= text.size() ? start : ansi::npos;
    for (std::size_t pos = 0; pos < text.size();
         pos += IsDBCSLeadByte(static_cast<BYTE>(text[pos])) && pos + 1 < text.size() ? 2 : 1)
        if (pos >= start && text.compare(pos, part.size(), part) == 0)
            return pos;
    return ansi::npos;
}

std::string ReferenceReplaceAll(const std::string& text, const std::string& part, const std::string& with)
{
    if (part.empty())
        return text;
    std::string result;
    std::size_t from = 0;
    for (std::size_t hit = ReferenceFind(text, part, 0); hit != ansi::npos; hit = ReferenceFind(text, part, from)) {
        result.append(text, from, hit - from).append(with);
        from = hit + part.size();
    }
    return result.append(text, from, std::string::npos);
}

// Texts of a few bytes that, in a double-byte code page, pair up as lead and
// trail bytes in every way (0x82 is a lead byte of 932, 'w' a trail byte too).
TEST(AnsiTextTest, SearchAndReplaceGiveWhatTheCharacterWalkGives)
{
    const char alphabet[] = {'w', '.', '/', '\x82', 'a', 'h'};
    std::mt19937 random(7);
    for (int round = 0; round < 20000; ++round) {
        auto make = [&](int most) {
            std::string s(random() % most, ' ');
            for (auto& c : s)
                c = alphabet[random() % sizeof alphabet];
            return s;
        };
        const std::string text = make(24);
        const std::string part = make(4);
        const std::string with = make(3);
        const std::size_t start = random() % 8;
        ASSERT_EQ(ReferenceFind(text, part, start), ansi::Find(text, part, start)) << text << " / " << part;
        ASSERT_EQ(ReferenceReplaceAll(text, part, with), ansi::ReplaceAll(text, part, with)) << text << " / " << part;
    }
}

TEST(AnsiTextTest, DoubleByteCodePageKeepsTrailBytesOutOfMatches)
{
    // CTest runs these cases a second time with code page 932 (domain_tests_932).
    if (GetACP() != 932)
        GTEST_SKIP() << "code page " << GetACP() << " has no lead bytes";
    // 0x82 0x77 is one character: the 'w' inside it starts no "www.", the next one does.
    EXPECT_EQ("\x82w" "example.com", ansi::ReplaceAll("\x82wwww." "example.com", "www.", ""));
    EXPECT_EQ("\x82www." "example.com", ansi::ReplaceAll("\x82www." "example.com", "www.", ""));
    EXPECT_EQ(ansi::npos, ansi::Find("\x82w", "w"));
    EXPECT_EQ("\x82wwww.example.com", DeriveDomain("http://\x82wwww.example.com/x"));
}

TEST(DeriveDomainTest, FollowsTheDerivationRules)
{
    const std::pair<const char*, const char*> cases[] = {
        {"http://www.example.com/index.html", "example.com"},
        {"ftp://ftp.example.org/pub/", "ftp.example.org"},
        {"http://example.com", ""},
        {"about:blank", ""},
        {"http://web.www.example.com/", "web.www.example.com"},
        {"http://bank.www.com/", "bank.www.com"},  // never another site's name
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

// What the cleaners look for: the host the browser keys the site's cookies by.
TEST(DeriveDomainTest, TheCleaningHostIsTheBareHost)
{
    const std::pair<const char*, const char*> cases[] = {
        {"t2.test:8080", "t2.test"},
        {"user@t2.test", "t2.test"},
        {"user:p@ss@t2.test:81", "t2.test"},
        {"t3.test.", "t3.test"},
        {"t3.test..:80", "t3.test"},
        {"[::1]:8080", "[::1]"},
        {"[::1]", "[::1]"},
        {"file:", "file:"},      // no port: a bare scheme stays as it is
        {"t2.test:", "t2.test:"},
        {"example.com", "example.com"},
        {".", ""},
    };
    for (const auto& [domain, host] : cases)
        EXPECT_EQ(host, CleaningHost(domain)) << domain;
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
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kLowKey, "LastDomain"));
}

// As the control panel shows them: an empty line ends nothing (a blank first
// line would switch the whole list off), and the last line counts without
// its line break.
TEST_F(DomainTrackerTest, ParseTakesEveryNonEmptyLine)
{
    const std::pair<const char*, Entries> cases[] = {
        {"a.example.com\nb.example.com", {"a.example.com", "b.example.com"}},
        {"a.example.com\n\nb.example.com\n", {"a.example.com", "b.example.com"}},
        {"\na.example.com\n", {"a.example.com"}},
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

TEST_F(DomainTrackerTest, EmptyFileLoadsNothingSilently)
{
    EXPECT_EQ(Entries{}, Load(""));
    EXPECT_EQ(0, boxes_.shown);
    EXPECT_FALSE(tracker_.ListUnreadable());
}

TEST_F(DomainTrackerTest, MissingFileShowsTheMessageAndKeepsEntries)
{
    tracker_.ParseWhiteList("kept\n");
    DeleteFileA(GuardWhiteListPath().c_str());
    tracker_.LoadWhiteList();
    EXPECT_EQ(1, boxes_.shown);
    EXPECT_EQ("Critical Error - Cannot load whitelist", boxes_.text);
    EXPECT_EQ("Critical Error", boxes_.caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK), boxes_.type);
    EXPECT_EQ(Entries{"kept"}, tracker_.WhiteListEntries());
    EXPECT_TRUE(tracker_.ListUnreadable());
}

// Any user can set the WhiteList value: the guard reads the file beside its
// own module whatever it names, a network name or a device among them.
TEST_F(DomainTrackerTest, TheWhiteListValueIsNeverFollowed)
{
    WriteBytes(GuardWhiteListPath(), "own.example\r\n");
    WriteBytes(dir_.File("planted.txt"), "planted.example\r\n");
    for (const std::string& named : {dir_.File("planted.txt"), std::string("\\\\server\\share\\WhiteList.txt"),
                                     std::string("\\\\.\\pipe\\list"), std::string("")}) {
        SetString(kRoot, kKey, "WhiteList", named);
        CDomainTracker tracker;
        tracker.LoadWhiteList();
        EXPECT_EQ(Entries{"own.example"}, tracker.WhiteListEntries()) << named;
    }
    EXPECT_EQ(0, boxes_.shown);
}

// Only a local disk file of at most 4 MiB is a list: a larger one, a device
// or a network name counts as unreadable (the box, and no entry read).
TEST_F(DomainTrackerTest, OnlyABoundedLocalDiskFileIsRead)
{
    std::string big(kMaxWhiteListBytes, 'x');
    big.replace(0, 3, "a\r\n");
    WriteBytes(dir_.File("limit.txt"), big);
    EXPECT_TRUE(ReadLocalTextFile(dir_.File("limit.txt")).has_value()) << "4 MiB is still a list";
    WriteBytes(dir_.File("over.txt"), big + "x");
    EXPECT_FALSE(ReadLocalTextFile(dir_.File("over.txt")).has_value());
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_TOO_LARGE), GetLastError());
    for (const char* name : {"\\\\server\\share\\WhiteList.txt", "\\\\.\\NUL", "\\\\?\\C:\\x.txt",
                             "WhiteList.txt", "C:\\windows\\CON"})
        EXPECT_FALSE(ReadLocalTextFile(name).has_value()) << name;

    WriteBytes(GuardWhiteListPath(), big + "x");
    tracker_.LoadWhiteList();
    EXPECT_EQ(1, boxes_.shown);
    EXPECT_TRUE(tracker_.ListUnreadable());
    EXPECT_EQ(Entries{}, tracker_.WhiteListEntries());
}

TEST_F(DomainTrackerTest, FileHeldOpenForWritingIsStillRead)
{
    WriteBytes(GuardWhiteListPath(), "a\r\n");
    HANDLE writer = CreateFileA(GuardWhiteListPath().c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
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
    DeleteFileA(GuardWhiteListPath().c_str());
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, RealBoxAnswerer::Tick);
    tracker_.LoadWhiteList();
    KillTimer(nullptr, timer);
    EXPECT_TRUE(RealBoxAnswerer::seen);
    EXPECT_NE(std::string::npos, RealBoxAnswerer::texts.find("Critical Error - Cannot load whitelist"))
        << RealBoxAnswerer::texts;
    EXPECT_EQ(Entries{}, tracker_.WhiteListEntries());
}

}  // namespace
