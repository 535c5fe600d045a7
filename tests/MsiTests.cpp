// The Windows Installer packages, installed, upgraded and removed silently
// as a deployment tool does it (msiexec /qn), by Wine's own msiexec. The
// package is the one for this prefix's kind (NORVANE_MSI: x86 in a 32-bit
// prefix, x64 in a 64-bit one).
#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>

#include <string>
#include <vector>

#include "GuardRegistrySandbox.h"
#include "Process.h"
#include "RegistrySandbox.h"
#include "TempDir.h"
#include "UnixCommand.h"
#include "UsersAccess.h"

namespace {

const HKEY kRoot = HKEY_LOCAL_MACHINE;
const char kSettings[] = "Software\\Norvane";
const char kTyped[] = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kSetupEntry[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Norvane";
const char kUpgradeCode[] = "{6F3C1E52-2B0D-4B8C-9A61-3C7E5E2A9D10}";
const unsigned kWaitMs = 180000;

std::string Arch()
{
    char arch[8] = {};
    GetEnvironmentVariableA("NORVANE_MSI", arch, sizeof arch);
    return arch;
}
bool SixtyFour() { return Arch() == "x64"; }
std::string Package(bool newer = false)
{
    return BinaryFolder() + "\\..\\msi\\" + (newer ? "newer\\" : "") + "Norvane-" + Arch() + ".msi";
}
int Msiexec(const std::string& options) { return RunProgram("msiexec.exe " + options + " /qn", kWaitMs); }

// The products installed from our packages: their versions.
std::vector<std::string> InstalledVersions()
{
    std::vector<std::string> versions;
    char product[39] = {};
    for (DWORD i = 0; MsiEnumRelatedProductsA(kUpgradeCode, 0, i, product) == ERROR_SUCCESS; ++i) {
        char version[64] = {};
        DWORD size = sizeof version;
        MsiGetProductInfoA(product, INSTALLPROPERTY_VERSIONSTRING, version, &size);
        versions.push_back(version);
    }
    return versions;
}

struct Guard {
    REGSAM view;
    const char* file;
    const char* typeLib;
    const char* host;  // the stand-in browser of that bitness
};

class MsiTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(Arch().empty()) << "NORVANE_MSI names the package"; }
    void TearDown() override
    {
        // A package a failing test left installed must not outlive it.
        if (!InstalledVersions().empty())
            Msiexec("/x \"" + Package(InstalledVersions()[0] != "1.5.0") + "\" PURGE=1");
    }
    std::vector<Guard> Guards() const
    {
        std::vector<Guard> guards{{KEY_WOW64_32KEY, "Vexmoor.dll", "win32", "\\GuardHost.exe"}};
        if (SixtyFour())
            guards.push_back({KEY_WOW64_64KEY, "Vexmoor64.dll", "win64", "\\..\\x64\\bin\\GuardHost.exe"});
        return guards;
    }
    // The folder the package installed into, as its AppPath names it.
    std::string Folder() const
    {
        std::string folder = GetString(kRoot, kSettings, "AppPath", "");
        if (!folder.empty() && folder.back() == '\\')
            folder.pop_back();
        return folder;
    }
    static std::string Clsid() { return Classes(std::string("CLSID\\") + kGuardClsid); }

    GuardRegistrySandbox registry_;
    RegistrySandbox settings_{kRoot, kSettings};
    RegistrySandbox setupEntry_{kRoot, kSetupEntry};
    RegistrySandbox typed_{HKEY_CURRENT_USER, kTyped};
    RegistrySandbox run_{kRoot, kRun};
    RegistrySandbox package_{kRoot, "Software\\NorvanePackage"};
};

TEST_F(MsiTest, ASilentInstallRegistersFromItsTablesTheGuardsLoadAndCleanAndUninstallKeepsTheUsersData)
{
    ASSERT_EQ(0, Msiexec("/i \"" + Package() + "\""));
    ASSERT_EQ(std::vector<std::string>{"1.5.0"}, InstalledVersions());
    const std::string folder = Folder();
    ASSERT_FALSE(folder.empty());
    for (const char* file : {"Norvane.exe", "Vexmoor.dll", "WhiteList.txt"})
        EXPECT_TRUE(FileExists(folder + "\\" + file)) << file;
    EXPECT_EQ(SixtyFour(), FileExists(folder + "\\Vexmoor64.dll")) << "the 64-bit guard in the x64 package only";
    for (const Guard& guard : Guards()) {
        SCOPED_TRACE(guard.file);
        EXPECT_EQ(folder + "\\" + guard.file, GetStringIn(guard.view, kRoot, Clsid() + "\\InprocServer32"));
        EXPECT_EQ("Apartment", GetStringIn(guard.view, kRoot, Clsid() + "\\InprocServer32", "ThreadingModel"));
        EXPECT_EQ("Vexmoor.IEWebGuard.1", GetStringIn(guard.view, kRoot, Clsid() + "\\ProgID"));
        EXPECT_TRUE(KeyExistsIn(guard.view, kRoot, Clsid() + "\\Implemented Categories\\{59FB2056-D625-48D0-A944-1A85B5AB2640}"));
        EXPECT_EQ("Internet Explorer Web Content Guard ",
                  GetStringIn(guard.view, kRoot, std::string(kBrowserHelperObjects) + "\\" + kGuardClsid));
        EXPECT_EQ(folder + "\\" + guard.file,
                  GetStringIn(guard.view, kRoot, Classes(std::string("TypeLib\\") + kGuardLibid + "\\1.0\\0\\" + guard.typeLib)));
    }
    EXPECT_EQ(kUsersKeyRights, UsersRights(kSettingsKeyObject, SE_REGISTRY_KEY) & kUsersKeyRights)
        << "the settings opened to users";

    // Each browser window's guard, loaded by its ProgID, cleans.
    SetDword(kRoot, kSettings, "BHOEnabled", 1);
    SetDword(kRoot, kSettings, "RemoveLastTyped", 1);
    for (const Guard& guard : Guards()) {
        SCOPED_TRACE(guard.host);
        SetString(HKEY_CURRENT_USER, kTyped, "url1", "http://www.example.com/a");
        ASSERT_EQ(0, RunProgram("\"" + BinaryFolder() + guard.host + "\" http://www.example.com/a"));
        EXPECT_EQ("", GetString(HKEY_CURRENT_USER, kTyped, "url1"));
    }
    WriteBytes(folder + "\\WhiteList.txt", "kept.example\r\n");
    SetString(kRoot, kRun, "Norvane", "\"" + folder + "\\Norvane.exe\"");  // Run at Start Up ticked

    ASSERT_EQ(0, Msiexec("/x \"" + Package() + "\""));
    EXPECT_FALSE(ValueExists(kRoot, kRun, "Norvane")) << "no start-up command naming a program that is gone";
    EXPECT_TRUE(InstalledVersions().empty());
    for (const Guard& guard : Guards()) {
        SCOPED_TRACE(guard.file);
        EXPECT_FALSE(FileExists(folder + "\\" + guard.file));
        EXPECT_FALSE(KeyExistsIn(guard.view, kRoot, Clsid()));
        EXPECT_FALSE(KeyExistsIn(guard.view, kRoot, std::string(kBrowserHelperObjects) + "\\" + kGuardClsid));
    }
    EXPECT_EQ("kept.example\r\n", ReadBytes(folder + "\\WhiteList.txt")) << "the user's list stays";
    EXPECT_EQ(1u, GetDword(kRoot, kSettings, "RemoveLastTyped")) << "and the settings";
    // Gone for good only when asked.
    ASSERT_EQ(0, Msiexec("/i \"" + Package() + "\""));
    EXPECT_EQ("kept.example\r\n", ReadBytes(folder + "\\WhiteList.txt")) << "a second install finds it";
    ASSERT_EQ(0, Msiexec("/x \"" + Package() + "\" PURGE=1"));
    EXPECT_FALSE(FileExists(folder + "\\WhiteList.txt"));
    EXPECT_FALSE(KeyExists(kRoot, kSettings));
    EXPECT_FALSE(FileExists(folder)) << "nothing left of Norvane";
}

TEST_F(MsiTest, ANewerPackageReplacesTheOlderOneAndKeepsTheListAndTheSettings)
{
    ASSERT_EQ(0, Msiexec("/i \"" + Package() + "\""));
    const std::string folder = Folder();
    WriteBytes(folder + "\\WhiteList.txt", "kept.example\r\nother.example\r\n");
    SetDword(kRoot, kSettings, "RemoveCache", 1);
    SetDword(kRoot, kSettings, "RemoveCacheEntries", 12);
    ASSERT_EQ(0, Msiexec("/i \"" + Package(true) + "\""));
    EXPECT_EQ(std::vector<std::string>{"1.5.1"}, InstalledVersions()) << "one product, the newer";
    EXPECT_EQ("kept.example\r\nother.example\r\n", ReadBytes(folder + "\\WhiteList.txt"));
    EXPECT_EQ(1u, GetDword(kRoot, kSettings, "RemoveCache"));
    EXPECT_EQ(12u, GetDword(kRoot, kSettings, "RemoveCacheEntries"));
    for (const Guard& guard : Guards())
        EXPECT_EQ(folder + "\\" + guard.file, GetStringIn(guard.view, kRoot, Clsid() + "\\InprocServer32")) << guard.file;
    EXPECT_NE(0, Msiexec("/i \"" + Package() + "\"")) << "never an older one over a newer";
    EXPECT_EQ(std::vector<std::string>{"1.5.1"}, InstalledVersions());
    ASSERT_EQ(0, Msiexec("/x \"" + Package(true) + "\" PURGE=1"));
}

TEST_F(MsiTest, AnUpgradeGoesWhereThePackageWasInstalledAndKeepsTheListThere)
{
    TempDir dir;
    const std::string elsewhere = dir.Path() + "\\Elsewhere";
    ASSERT_EQ(0, Msiexec("/i \"" + Package() + "\" INSTALLDIR=\"" + elsewhere + "\\\""));
    ASSERT_EQ(elsewhere, Folder());
    WriteBytes(elsewhere + "\\WhiteList.txt", "kept.example\r\n");
    ASSERT_EQ(0, Msiexec("/i \"" + Package(true) + "\""));
    EXPECT_EQ(elsewhere, Folder()) << "the installed folder, not the default";
    EXPECT_EQ("kept.example\r\n", ReadBytes(elsewhere + "\\WhiteList.txt"));
    for (const Guard& guard : Guards())
        EXPECT_EQ(elsewhere + "\\" + guard.file, GetStringIn(guard.view, kRoot, Clsid() + "\\InprocServer32")) << guard.file;
    ASSERT_EQ(0, Msiexec("/x \"" + Package(true) + "\" PURGE=1"));
    EXPECT_FALSE(FileExists(elsewhere)) << "nothing left behind";
}

TEST_F(MsiTest, TheSetupProgramAndThePackageEachRefuseWhenTheOtherIsInstalled)
{
    TempDir dir;
    const std::string setupFolder = dir.Path() + "\\Norvane";
    ASSERT_EQ(0, RunProgram("\"" + BinaryFolder() + "\\NorvaneSetup.exe\" /S /D=" + setupFolder, kWaitMs));
    EXPECT_NE(0, Msiexec("/i \"" + Package() + "\""));
    EXPECT_TRUE(InstalledVersions().empty());
    EXPECT_EQ(setupFolder + "\\Vexmoor.dll", GetStringIn(KEY_WOW64_32KEY, kRoot, Clsid() + "\\InprocServer32"))
        << "the setup program's installation as it was";
    ASSERT_EQ(0, RunProgram("\"" + setupFolder + "\\Uninstall.exe\" /S /PURGE", kWaitMs));
    ASSERT_TRUE(Eventually([] { return !KeyExists(kRoot, kSetupEntry); }, kWaitMs));

    ASSERT_EQ(0, Msiexec("/i \"" + Package() + "\""));
    const std::string folder = Folder();
    EXPECT_NE(0, RunProgram("\"" + BinaryFolder() + "\\NorvaneSetup.exe\" /S /D=" + setupFolder, kWaitMs));
    EXPECT_FALSE(KeyExists(kRoot, kSetupEntry)) << "the setup program installed nothing";
    EXPECT_EQ(folder + "\\Vexmoor.dll", GetStringIn(KEY_WOW64_32KEY, kRoot, Clsid() + "\\InprocServer32"));
    ASSERT_EQ(0, Msiexec("/x \"" + Package() + "\" PURGE=1"));
}

// msiexec started with a UTF-16 command line (a name the code page cannot
// write passes as it is); its exit code.
DWORD MsiexecW(const std::wstring& options)
{
    std::wstring line = L"msiexec.exe " + options + L" /qn";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return GetLastError();
    WaitForSingleObject(process.hProcess, kWaitMs);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// Folders the package must refuse before it writes anything, each with the
// words its log then holds: a link planted at the folder or above it, as an
// account that can write the folder above may plant one, and a name the code
// page cannot write.
TEST_F(MsiTest, AFolderThatIsALinkOrLiesUnderOneOrHasNoAnsiNameIsRefusedInWords)
{
    TempDir dir;
    const std::string elsewhere = dir.Path() + "\\Elsewhere";
    ASSERT_TRUE(CreateDirectoryA(elsewhere.c_str(), nullptr));
    WriteBytes(elsewhere + "\\Mine.txt", "someone's");  // Wine's msiexec removes an empty folder it was given
    ASSERT_TRUE(PlantLink(dir.Path() + "\\Link", elsewhere));
    const struct {
        std::wstring folder;
        const char* words;
    } rows[] = {
        {Wide(dir.Path()) + L"\\Link", "is a link"},
        {Wide(dir.Path()) + L"\\Link\\Norvane", "is a link"},
        {Wide(dir.Path()) + L"\\\x41d\x43e\x440\x432\x430\x43d", "code page cannot write"},
    };
    const std::string log = dir.File("msi.log");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.words);
        EXPECT_NE(0u, MsiexecW(L"/i \"" + Wide(Package()) + L"\" INSTALLDIR=\"" + row.folder + L"\\\" /l \"" +
                               Wide(log) + L"\""));
        EXPECT_TRUE(InstalledVersions().empty());
        EXPECT_EQ(std::vector<std::string>{"Mine.txt"}, FilesIn(elsewhere)) << "nothing written where the link leads";
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((row.folder + L"\\Vexmoor.dll").c_str()));
        EXPECT_NE(std::string::npos, ReadBytes(log).find(row.words)) << "the log says why";
        DeleteFileA(log.c_str());
    }
    RemoveUnixTree(dir.Path() + "\\Link");
}

}  // namespace
