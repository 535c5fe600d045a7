#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // RegDeleteKeyEx, for the 64-bit view

// 64-bit Windows, as most people's is: the one (32-bit) installer puts a
// guard of each bitness in place, each registered in its own registry view,
// and both browsers' guards count into the one settings store. Runs in a
// 64-bit (WoW64) prefix of its own, against Wine's real registry views.
#include <gtest/gtest.h>

#include <vector>

#include "GuardRegistrySandbox.h"
#include "Process.h"
#include "RegistrySandbox.h"
#include "TempDir.h"

namespace {

const HKEY kRoot = HKEY_LOCAL_MACHINE;
const char kSettings[] = "Software\\Norvane";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Norvane";
const char kTyped[] = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
const unsigned kInstallerWaitMs = 120000;

struct View {
    REGSAM flag;
    const char* guard;  // the file each view's class names
    const char* typeLib;
};
const View kViews[] = {{KEY_WOW64_32KEY, "Vexmoor.dll", "win32"}, {KEY_WOW64_64KEY, "Vexmoor64.dll", "win64"}};

std::string TextIn(REGSAM view, const std::string& path, const char* name = "")
{
    return GetStringIn(view, kRoot, path, name);
}
bool KeyIn(REGSAM view, const std::string& path) { return KeyExistsIn(view, kRoot, path); }

bool RunsOn64BitWindows()
{
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

std::string Clsid() { return Classes(std::string("CLSID\\") + kGuardClsid); }
std::string Bho() { return std::string(kBrowserHelperObjects) + "\\" + kGuardClsid; }

class BothGuardsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!RunsOn64BitWindows())
            GTEST_SKIP() << "a 32-bit Windows: the installer carries the 32-bit guard alone";
    }
    void TearDown() override
    {
        if (FileExists(folder_ + "\\Uninstall.exe"))
            RunProgram("\"" + folder_ + "\\Uninstall.exe\" /S /PURGE", kInstallerWaitMs);
        Eventually([] { return !KeyExists(kRoot, kUninstallKey); }, 10000);
    }
    int Install() { return RunProgram("\"" + BinaryFolder() + "\\NorvaneSetup.exe\" /S /D=" + folder_, kInstallerWaitMs); }
    bool Uninstall()
    {
        if (RunProgram("\"" + folder_ + "\\Uninstall.exe\" /S /PURGE", kInstallerWaitMs) != 0)
            return false;
        return Eventually([] { return !KeyExists(kRoot, kUninstallKey); }, kInstallerWaitMs);
    }
    // A browser window of each bitness: the stand-in built both ways.
    int Browse(bool x64, const std::string& url)
    {
        const std::string host = BinaryFolder() + (x64 ? "\\..\\x64\\bin\\GuardHost.exe" : "\\GuardHost.exe");
        return RunProgram("\"" + host + "\" " + url);
    }

    GuardRegistrySandbox registry_;  // the 32-bit view's; the 64-bit one is checked empty at the end
    RegistrySandbox settings_{kRoot, kSettings};
    RegistrySandbox uninstall_{kRoot, kUninstallKey};
    RegistrySandbox typed_{HKEY_CURRENT_USER, kTyped};
    TempDir dir_;
    std::string folder_ = dir_.Path() + "\\Norvane";
};

TEST_F(BothGuardsTest, OneInstallerRegistersBothGuardsThatCountIntoOneStoreAndUninstallRemovesBoth)
{
    ASSERT_FALSE(KeyIn(KEY_WOW64_64KEY, Clsid())) << "a clean 64-bit view to begin with";
    ASSERT_EQ(0, Install());
    for (const View& view : kViews) {
        SCOPED_TRACE(view.guard);
        EXPECT_TRUE(FileExists(folder_ + "\\" + view.guard));
        EXPECT_EQ(folder_ + "\\" + view.guard, TextIn(view.flag, Clsid() + "\\InprocServer32"));
        EXPECT_EQ("Apartment", TextIn(view.flag, Clsid() + "\\InprocServer32", "ThreadingModel"));
        EXPECT_EQ("Internet Explorer Web Content Guard ", TextIn(view.flag, Bho()));
        EXPECT_TRUE(KeyIn(view.flag, Clsid() + "\\Implemented Categories\\{59FB2056-D625-48D0-A944-1A85B5AB2640}"));
        EXPECT_EQ(folder_ + "\\" + view.guard,
                  TextIn(view.flag, Classes(std::string("TypeLib\\") + kGuardLibid + "\\1.0\\0\\" + view.typeLib)));
    }
    EXPECT_EQ(folder_, TextIn(KEY_WOW64_32KEY, kSettings, "AppPath"));
    EXPECT_FALSE(KeyIn(KEY_WOW64_64KEY, kSettings)) << "one settings store, the 32-bit view's";

    // The switches as the panel sets them; one typed address for each window.
    SetDword(kRoot, kSettings, "BHOEnabled", 1);
    SetDword(kRoot, kSettings, "RemoveLastTyped", 1);
    SetString(HKEY_CURRENT_USER, kTyped, "url1", "http://www.example.com/a");
    SetString(HKEY_CURRENT_USER, kTyped, "url2", "http://www.example.org/b");

    ASSERT_EQ(0, Browse(true, "http://www.example.com/a"));
    EXPECT_EQ("", GetString(HKEY_CURRENT_USER, kTyped, "url1")) << "the 64-bit window's guard cleaned";
    EXPECT_EQ("http://www.example.org/b", GetString(HKEY_CURRENT_USER, kTyped, "url2"));
    const DWORD after64 = GetDword(kRoot, kSettings, "RemoveLastTypedEntries", 0);
    EXPECT_GT(after64, 0u) << "counted in the 32-bit view";

    ASSERT_EQ(0, Browse(false, "http://www.example.org/b"));
    EXPECT_EQ("", GetString(HKEY_CURRENT_USER, kTyped, "url2")) << "the 32-bit window's guard cleaned";
    EXPECT_EQ(2 * after64, GetDword(kRoot, kSettings, "RemoveLastTypedEntries", 0))
        << "both windows' passes in the one counter the Statistics page shows";
    EXPECT_FALSE(KeyIn(KEY_WOW64_64KEY, kSettings)) << "the 64-bit guard wrote nothing in its own view";

    ASSERT_TRUE(Uninstall());
    for (const View& view : kViews) {
        SCOPED_TRACE(view.guard);
        EXPECT_FALSE(FileExists(folder_ + "\\" + view.guard));
        EXPECT_FALSE(KeyIn(view.flag, Clsid()));
        EXPECT_FALSE(KeyIn(view.flag, Bho()));
        EXPECT_FALSE(KeyIn(view.flag, Classes(std::string("TypeLib\\") + kGuardLibid)));
        EXPECT_FALSE(KeyIn(view.flag, Classes("Vexmoor.IEWebGuard")));
    }
}

// A volatile key where a registration writes: the platform refuses the
// lasting sub-key under it. Removed again when the test ends.
class RegistrationBlocker {
public:
    RegistrationBlocker(REGSAM view, const std::string& path) : view_(view), path_(path)
    {
        HKEY key = nullptr;
        created_ = RegCreateKeyExA(kRoot, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS | view,
                                   nullptr, &key, nullptr) == ERROR_SUCCESS;
        if (created_)
            RegCloseKey(key);
    }
    ~RegistrationBlocker() { RegDeleteKeyExA(kRoot, path_.c_str(), view_, 0); }
    bool Created() const { return created_; }

private:
    REGSAM view_;
    std::string path_;
    bool created_ = false;
};

void ExpectNeitherRegistered()
{
    for (const View& view : kViews) {
        SCOPED_TRACE(view.guard);
        EXPECT_FALSE(KeyIn(view.flag, Clsid())) << "a failed install leaves no guard registered";
        EXPECT_FALSE(KeyIn(view.flag, Bho()));
    }
}

TEST_F(BothGuardsTest, AnyFailureAfterARegistrationFailsTheInstallAndLeavesNeitherGuardRegistered)
{
    {
        SCOPED_TRACE("the 64-bit registration fails");
        ASSERT_FALSE(KeyIn(KEY_WOW64_64KEY, kBrowserHelperObjects)) << "no other extension of the kind here";
        RegistrationBlocker blocker(KEY_WOW64_64KEY, kBrowserHelperObjects);
        ASSERT_TRUE(blocker.Created());
        EXPECT_NE(0, Install());
        ExpectNeitherRegistered();
        EXPECT_FALSE(KeyExists(kRoot, kUninstallKey)) << "not reported as installed";
    }
    {
        SCOPED_TRACE("an upgrade whose 32-bit registration fails");
        ASSERT_EQ(0, Install());
        ASSERT_TRUE(KeyIn(KEY_WOW64_64KEY, Clsid()));
        DeleteTree(kRoot, kBrowserHelperObjects);  // this test process's own view: the 32-bit one
        RegistrationBlocker blocker(KEY_WOW64_32KEY, kBrowserHelperObjects);
        ASSERT_TRUE(blocker.Created());
        EXPECT_NE(0, Install());
        ExpectNeitherRegistered();
        ASSERT_TRUE(Uninstall());
    }
    {
        SCOPED_TRACE("a fresh install whose settings helper refuses the list (a second name of another file)");
        CreateDirectoryA(folder_.c_str(), nullptr);
        WriteBytes(folder_ + "\\other.txt", "");
        ASSERT_TRUE(CreateHardLinkA((folder_ + "\\WhiteList.txt").c_str(), (folder_ + "\\other.txt").c_str(), nullptr));
        EXPECT_NE(0, Install());
        EXPECT_FALSE(FileExists(folder_ + "\\Uninstall.exe")) << "nothing to uninstall it with";
        ExpectNeitherRegistered();
    }
}

TEST_F(BothGuardsTest, UninstallRemovesTheSixtyFourBitRegistrationEvenWhenItsFileIsGone)
{
    ASSERT_EQ(0, Install());
    ASSERT_TRUE(DeleteFileA((folder_ + "\\Vexmoor64.dll").c_str()));
    ASSERT_TRUE(Uninstall());
    for (const View& view : kViews) {
        SCOPED_TRACE(view.guard);
        EXPECT_FALSE(KeyIn(view.flag, Clsid())) << "no class naming a file that is gone";
        EXPECT_FALSE(KeyIn(view.flag, Bho()));
        EXPECT_FALSE(KeyIn(view.flag, Classes(std::string("TypeLib\\") + kGuardLibid)));
    }
}

}  // namespace
