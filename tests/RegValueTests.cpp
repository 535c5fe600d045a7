#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "AppContainer.h"
#include "RegValue.h"
#include "SettingsStore.h"
#include "RegistrySandbox.h"

namespace {

const char kKey[] = "Software\\Norvane";
const HKEY kRoot = HKEY_LOCAL_MACHINE;

class RegValueTest : public ::testing::Test {
protected:
    RegistrySandbox sandbox_{kRoot, kKey};
};

TEST(ValuePathTest, SplitsAtTheLastBackslashIgnoringExtraOnes)
{
    for (const char* path : {"Software\\Norvane\\RemoveCookies", "\\Software\\Norvane\\RemoveCookies",
                             "\\\\Software\\Norvane\\\\RemoveCookies"}) {
        CRegNumberValue value(path);
        EXPECT_EQ("Software\\Norvane", value.KeyPath()) << path;
        EXPECT_EQ("RemoveCookies", value.ValueName()) << path;
    }
    CRegNumberValue bare("RemoveCookies");
    EXPECT_EQ("", bare.KeyPath());
    EXPECT_EQ("RemoveCookies", bare.ValueName());
}

TEST_F(RegValueTest, MissingKeyReadsAsTheDefault)
{
    CRegNumberValue number("Software\\Norvane\\RemoveCookies", 7);
    CRegTextValue text("Software\\Norvane\\LastDomain", "none");
    EXPECT_EQ(7u, number.Get());
    EXPECT_EQ("none", text.Get());
    EXPECT_FALSE(number.IsRead());
    EXPECT_FALSE(KeyExists(kRoot, kKey)) << "reading must not create the key";
}

TEST_F(RegValueTest, ExtraBackslashesAddressTheSameValue)
{
    SetDword(kRoot, kKey, "RemoveCache", 1);
    EXPECT_EQ(1u, CRegNumberValue("\\Software\\Norvane\\\\RemoveCache").Get());
}

TEST_F(RegValueTest, WriteCreatesTheKeyAndStoresADword)
{
    CRegNumberValue counter("Software\\Norvane\\RemoveCacheEntries");
    counter.Set(5);
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(QueryRaw(kRoot, kKey, "RemoveCacheEntries", type, bytes));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(4u, bytes.size());
    EXPECT_EQ(5u, GetDword(kRoot, kKey, "RemoveCacheEntries"));
    EXPECT_TRUE(counter.IsRead());
}

TEST_F(RegValueTest, StringUnderANumberNameIsTakenAsItsBytes)
{
    SetString(kRoot, kKey, "RemoveCookies", "1");  // "1" and NUL: 2 bytes
    CRegNumberValue value("Software\\Norvane\\RemoveCookies");
    EXPECT_EQ(0x31u, value.Get()) << "the setting must not count as on";
}

TEST_F(RegValueTest, NumberLongerThanFourBytesReadsAsTheDefault)
{
    const unsigned long long raw = 1;
    SetRaw(kRoot, kKey, "RemoveHistory", REG_BINARY, &raw, sizeof raw);
    CRegNumberValue value("Software\\Norvane\\RemoveHistory", 9);
    EXPECT_EQ(9u, value.Read());
    EXPECT_FALSE(value.IsRead());
}

TEST_F(RegValueTest, SetOfTheCachedValueWritesNothing)
{
    SetDword(kRoot, kKey, "RemoveCookiesEntries", 0);
    CRegNumberValue counter("Software\\Norvane\\RemoveCookiesEntries");  // reads 0
    SetDword(kRoot, kKey, "RemoveCookiesEntries", 12);                   // a guard raised it since
    counter.Set(0);
    EXPECT_EQ(12u, GetDword(kRoot, kKey, "RemoveCookiesEntries"));
    counter.Set(3);
    EXPECT_EQ(3u, GetDword(kRoot, kKey, "RemoveCookiesEntries"));
}

TEST_F(RegValueTest, GetAnswersFromTheCacheOnceRead)
{
    SetDword(kRoot, kKey, "BHOEnabled", 1);
    CRegNumberValue enabled("Software\\Norvane\\BHOEnabled");
    SetDword(kRoot, kKey, "BHOEnabled", 0);
    EXPECT_EQ(1u, enabled.Get());
    EXPECT_EQ(0u, enabled.Read());
    EXPECT_EQ(0u, enabled.Get());
}

TEST_F(RegValueTest, ForceFlagReadsAndWritesEveryTime)
{
    SetDword(kRoot, kKey, "BHOEnabled", 1);
    CRegNumberValue enabled("Software\\Norvane\\BHOEnabled", 0, true);
    SetDword(kRoot, kKey, "BHOEnabled", 0);
    EXPECT_EQ(0u, enabled.Get());
    SetDword(kRoot, kKey, "BHOEnabled", 3);
    enabled.Set(0);  // equal to the cache, written anyway
    EXPECT_EQ(0u, GetDword(kRoot, kKey, "BHOEnabled"));
}

TEST_F(RegValueTest, EmptyTextIsStoredAsOneNulByte)
{
    CRegTextValue startUp("Software\\Norvane\\LastDomain", "", true);
    startUp.Set("");
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(QueryRaw(kRoot, kKey, "LastDomain", type, bytes));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(std::string(1, '\0'), bytes);
    CRegTextValue again("Software\\Norvane\\LastDomain", "default");
    EXPECT_EQ("", again.Get());
    EXPECT_TRUE(again.IsRead());
}

TEST_F(RegValueTest, TextRoundTripsWithItsNulAndStopsAtAnEmbeddedNul)
{
    CRegTextValue("Software\\Norvane\\LastDomain").Set("example.com");
    EXPECT_EQ(std::string("example.com") + '\0', [] {
        DWORD type = 0;
        std::string bytes;
        QueryRaw(kRoot, kKey, "LastDomain", type, bytes);
        return bytes;
    }());
    const char raw[] = "abc\0def";
    SetRaw(kRoot, kKey, "LastDomain", REG_SZ, raw, sizeof raw);
    EXPECT_EQ("abc", CRegTextValue("Software\\Norvane\\LastDomain").Get());
    SetRaw(kRoot, kKey, "LastDomain", REG_BINARY, "xyz", 3);  // no NUL at all
    EXPECT_EQ("xyz", CRegTextValue("Software\\Norvane\\LastDomain").Get());
}

TEST_F(RegValueTest, IncrementWrapsAroundAtTheTop)
{
    SetDword(kRoot, kKey, "RemoveCacheEntries", 0xFFFFFFFFu);
    CRegNumberValue counter("Software\\Norvane\\RemoveCacheEntries");
    counter.Set(counter.Get() + 1);
    EXPECT_EQ(0u, GetDword(kRoot, kKey, "RemoveCacheEntries"));
}

// Failures Wine never produces, through the registry table.
TEST_F(RegValueTest, FailedWriteKeepsTheNewValueInTheCacheOnly)
{
    SetDword(kRoot, kKey, "RemoveCookies", 0);
    CRegNumberValue cookies("Software\\Norvane\\RemoveCookies");
    RegistryApi noKey, noValue;
    noKey.CreateKeyEx = DeniedCreateKeyEx;
    noValue.SetValueEx = DeniedSetValueEx;
    for (const RegistryApi& failing : {noKey, noValue}) {
        ScopedRegistryApi scope(failing);
        cookies.Set(1);
        EXPECT_EQ(1u, cookies.Get());
        cookies.Set(0);
    }
    cookies.Set(1);  // differs from the cache again, so it is written for real
    EXPECT_EQ(1u, GetDword(kRoot, kKey, "RemoveCookies"));
}

TEST_F(RegValueTest, FailedWriteLeavesTheRegistryAndANewAccessorSeesTheOldValue)
{
    SetDword(kRoot, kKey, "RemoveCacheEntries", 4);
    RegistryApi failing;
    failing.SetValueEx = DeniedSetValueEx;
    {
        ScopedRegistryApi scope(failing);
        CRegNumberValue counter("Software\\Norvane\\RemoveCacheEntries");
        counter.Set(counter.Get() + 1);
    }
    EXPECT_EQ(4u, CRegNumberValue("Software\\Norvane\\RemoveCacheEntries").Get());
}

TEST_F(RegValueTest, FailedReadGivesTheDefaultAndKeepsTheCache)
{
    SetString(kRoot, kKey, "LastDomain", "example.com");
    CRegTextValue last("Software\\Norvane\\LastDomain", "dflt");
    RegistryApi failing;
    failing.QueryValueEx = DeniedQueryValueEx;
    ScopedRegistryApi scope(failing);
    EXPECT_EQ("dflt", last.Read());
    EXPECT_EQ("example.com", last.Get());
    CRegTextValue fresh("Software\\Norvane\\LastDomain", "dflt");
    EXPECT_EQ("dflt", fresh.Get());
    EXPECT_FALSE(fresh.IsRead());
}

// What another account or a low-integrity process may write is read bounded;
// a policy fixes a setting only with a number; the policy's list is every
// value of its key, whatever the names.
DWORD g_largestBuffer = 0;
LONG WINAPI RecordingQueryValueEx(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    g_largestBuffer = std::max(g_largestBuffer, data ? *size : 0);
    return RegQueryValueExA(key, name, reserved, type, data, size);
}

std::string Stamp(LONGLONG secondsFromNow)
{
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG t = (ULONGLONG(now.dwHighDateTime) << 32 | now.dwLowDateTime) + secondsFromNow * 10000000LL;
    char text[17] = {};
    wsprintfA(text, "%08lX%08lX", DWORD(t >> 32), DWORD(t));
    return std::string(text) + '\0';
}

TEST_F(RegValueTest, ValuesOthersMayWriteAreReadBoundedAndPoliciesOnlyAsTheirType)
{
    using namespace settings;
    const std::string low = "Software\\AppDataLow\\Software\\Norvane", list = std::string(kPolicyKey) + "\\WhiteList";
    const std::string box = std::string(kIeContainerStorage) + "\\Software\\Norvane";
    RegistrySandbox lowStore{HKEY_CURRENT_USER, low}, storage{HKEY_CURRENT_USER, kIeContainerStorage},
        policies{kRoot, kPolicyKey};
    const std::string address(kMaxAddressLength, 'a'), path(kMaxPathLength, 'p');
    const auto sz = [](const std::string& text) { return text + '\0'; };
    const auto lastDomain = [] { return UserText(kLastDomain).Read(); };
    const auto appPath = [] { return MachineText(kAppPath).Read(); };
    const auto time = [] { return StampedTime(UserText(kLastDomainTime).Read()) ? "time" : "none"; };
    const auto policy = [] {
        const auto number = PolicyNumber(kRemoveCookies);
        return number ? std::to_string(*number) : "none";
    };
    const auto entries = [] {
        auto all = PolicyWhiteList();
        std::sort(all.begin(), all.end());  // the key's own order
        std::string joined;
        for (const auto& entry : all)
            joined += entry + " ";
        return joined;
    };
    struct Row { const char* what; HKEY root; std::string key, name; DWORD type; std::string data;
                 std::function<std::string()> read; std::string expected; };
    const Row rows[] = {
        {"the longest address", HKEY_CURRENT_USER, low, kLastDomain, REG_SZ, sz(address), lastDomain, address},
        {"one longer", HKEY_CURRENT_USER, low, kLastDomain, REG_SZ, sz(address + "a"), lastDomain, ""},
        {"1 MB", HKEY_CURRENT_USER, low, kLastDomain, REG_SZ, std::string(1 << 20, 'm'), lastDomain, ""},
        {"in the container", HKEY_CURRENT_USER, box, kLastDomain, REG_SZ, sz(address + "a"),
         [] { return ContainerTextFromOutside(kLastDomain).Read(); }, ""},
        {"no NUL", kRoot, kKey, kWhiteList, REG_BINARY, address + "a",
         [] { return MachineText(kWhiteList).Read(); }, ""},
        {"the longest path", kRoot, kKey, kAppPath, REG_SZ, sz(path), appPath, path},
        {"a longer path", kRoot, kKey, kAppPath, REG_SZ, sz(path + "p"), appPath, ""},
        {"now", HKEY_CURRENT_USER, low, kLastDomainTime, REG_SZ, Stamp(0), time, "time"},
        {"two minutes ahead", HKEY_CURRENT_USER, low, kLastDomainTime, REG_SZ, Stamp(120), time, "none"},
        {"a policy's REG_DWORD", kRoot, kPolicyKey, kRemoveCookies, REG_DWORD, std::string(4, '\0'), policy, "0"},
        {"a policy's \"1\"", kRoot, kPolicyKey, kRemoveCookies, REG_SZ, std::string("1\0", 2), policy, "none"},
        {"a REG_DWORD short of 4 bytes", kRoot, kPolicyKey, kRemoveCookies, REG_DWORD, "\1", policy, "none"},
        {"4 raw bytes", kRoot, kPolicyKey, kRemoveCookies, REG_BINARY, std::string("\1\0\0\0", 4), policy, "none"},
        {"a backslash", kRoot, list, "a\\b", REG_SZ, sz("b.example"), entries, "b.example "},
        {"300 characters", kRoot, list, std::string(300, 'n'), REG_SZ, sz("n.example"), entries,
         "b.example n.example "},
        {"too long an entry", kRoot, list, "y", REG_SZ, sz(address + "a"), entries, "b.example n.example "},
        {"after it", kRoot, list, "z", REG_SZ, sz("z.example"), entries, "b.example n.example z.example "},
    };
    RegistryApi recording;
    recording.QueryValueEx = RecordingQueryValueEx;
    for (const auto& row : rows) {
        SetRaw(row.root, row.key, row.name, row.type, row.data.data(), static_cast<DWORD>(row.data.size()));
        g_largestBuffer = 0;
        ScopedRegistryApi scope(recording);
        const std::string read = row.read();
        EXPECT_TRUE(read == row.expected) << row.what << ": " << read.substr(0, 80);
        EXPECT_LE(g_largestBuffer, 2 * kMaxPathLength + 1) << row.what << ": a value too long is refused unread";
    }
}
}  // namespace

namespace {

// The value's bytes in one registry view, asked of the platform itself;
// "<missing>" where it has none.
std::string InView(REGSAM view, const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(kRoot, kKey, 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS)
        return "<missing>";
    char data[64] = {};
    DWORD size = sizeof data;
    const bool found = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found ? std::string(data, size) : "<missing>";
}

TEST_F(RegValueTest, BothBitnessesKeepTheSettingsInTheThirtyTwoBitView)
{
    // What the panel (32-bit) writes, a guard of either bitness reads, and
    // the other way round: one store in the 32-bit view.
    const std::string own64 = InView(KEY_WOW64_64KEY, settings::kRemoveCache);
    settings::MachineNumber(settings::kRemoveCache).Set(7);
    EXPECT_EQ(std::string("\x07\0\0\0", 4), InView(KEY_WOW64_32KEY, settings::kRemoveCache));
    EXPECT_EQ(7u, CRegNumberValue("Software\\Norvane\\RemoveCache").Get()) << "every accessor's default view";
#ifdef _WIN64
    EXPECT_EQ(own64, InView(KEY_WOW64_64KEY, settings::kRemoveCache)) << "never the 64-bit view's own key";
    SetDword(kRoot, "Software\\Wow6432Node\\Norvane", "RemoveHistory", 1);  // as the 32-bit panel stores it
    EXPECT_EQ(1u, settings::MachineNumber(settings::kRemoveHistory).Get());
#endif
}

}  // namespace
