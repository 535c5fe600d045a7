// The installer and its uninstaller, run silently as an operator or a
// deployment tool runs them, against Wine's real registry and files.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <sddl.h>

#include <map>
#include <vector>

#include "GuardRegistrySandbox.h"
#include "PanelProcess.h"
#include "Process.h"
#include "ProgramFolder.h"
#include "TempDir.h"
#include "UnixCommand.h"
#include "UsersAccess.h"

namespace {

const HKEY kRoot = HKEY_LOCAL_MACHINE;
const char kSettings[] = "Software\\Norvane";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Norvane";
const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const unsigned kInstallerWaitMs = 120000;

std::string StartMenuFolder()
{
    char programs[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, programs, CSIDL_COMMON_PROGRAMS, FALSE);
    return std::string(programs) + "\\Norvane";
}

std::string Setup() { return "\"" + BinaryFolder() + "\\NorvaneSetup.exe\""; }

int Install(const std::string& folder) { return RunProgram(Setup() + " /S /D=" + folder, kInstallerWaitMs); }

// The uninstaller copies itself away and returns at once; its work follows,
// and it is over when its Uninstall entry has gone.
bool Uninstall(const std::string& folder, const std::string& options = "")
{
    if (RunProgram("\"" + folder + "\\Uninstall.exe\" /S" + options, kInstallerWaitMs) != 0)
        return false;
    return Eventually([] { return !KeyExists(kRoot, kUninstallKey); }, kInstallerWaitMs);
}

// Everything an installation touches, put back when the test ends.
class InstallerTest : public ::testing::Test {
protected:
    std::string Folder(const std::string& name) { return dir_.Path() + "\\" + name; }
    void TearDown() override
    {
        // A copy left behind by a failing test must not outlive it.
        for (const auto& folder : {Folder("A"), Folder("B")})
            if (FileExists(folder + "\\Uninstall.exe"))
                RunProgram("\"" + folder + "\\Uninstall.exe\" /S /PURGE", kInstallerWaitMs);
        Eventually([] { return !KeyExists(kRoot, kUninstallKey); }, 10000);
    }
    GuardRegistrySandbox registry_;
    RegistrySandbox uninstall_{kRoot, kUninstallKey};
    RegistrySandbox run_{kRoot, kRun};
    RegistrySandbox userRun_{HKEY_CURRENT_USER, kRun};
    TempDir dir_;
};

// A text of the file's version information, in its first translation.
std::string VersionText(const std::string& file, const char* name)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
    std::vector<char> block(size);
    if (size == 0 || !GetFileVersionInfoA(file.c_str(), 0, size, block.data()))
        return "<none>";
    WORD* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
        length < 4)
        return "<no translation>";
    char path[80];
    wsprintfA(path, "\\StringFileInfo\\%04x%04x\\%s", translation[0], translation[1], name);
    char* text = nullptr;
    if (!VerQueryValueA(block.data(), path, reinterpret_cast<void**>(&text), &length) || !text)
        return "<missing>";
    return text;
}

// The manifest the program carries, as the loader reads it.
std::string Manifest(const std::string& file)
{
    HMODULE module = LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return "<not loaded>";
    std::string text;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    if (const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr)
        text.assign(bytes, SizeofResource(module, found));
    FreeLibrary(module);
    return text;
}

TEST(ShippedBinariesTest, CarryManifestAndVersionInformation)
{
    const std::string panel = BinaryFolder() + "\\Norvane.exe";
    const std::string manifest = Manifest(panel);
    EXPECT_NE(std::string::npos, manifest.find("level=\"asInvoker\"")) << manifest;
    EXPECT_NE(std::string::npos, manifest.find("Microsoft.Windows.Common-Controls"));
    EXPECT_NE(std::string::npos, manifest.find("{e2011457-1546-43c5-a5fe-008deee3d3f0}")) << "Vista";
    EXPECT_NE(std::string::npos, manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}")) << "10";
    for (const std::string& file : {panel, BinaryFolder() + "\\NorvaneSetup.exe"}) {
        EXPECT_EQ("Norvane", VersionText(file, "ProductName")) << file;
        EXPECT_EQ("1.5", VersionText(file, "ProductVersion")) << file;
        EXPECT_EQ("Norvane", VersionText(file, "CompanyName")) << file;
        EXPECT_NE("<missing>", VersionText(file, "LegalCopyright")) << file;
    }
    EXPECT_EQ("Norvane", VersionText(BinaryFolder() + "\\Vexmoor.dll", "ProductName"));
}

// Wine accepts a file's DACL but reads its own default back: the DACL the
// helper hands the platform is checked instead.
TEST(UsersAccessTest, WhiteListFileEntryGivesUsersReadAndWriteAndNothingWider)
{
    BYTE bytes[64] = {};
    PACL administratorsOnly = reinterpret_cast<PACL>(bytes);
    ASSERT_TRUE(InitializeAcl(administratorsOnly, sizeof bytes, ACL_REVISION));
    PACL updated = nullptr;
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), AddUsersEntry(administratorsOnly, kUsersFileRights, NO_INHERITANCE, &updated));
    const ACCESS_MASK rights = UsersRightsIn(updated);
    LocalFree(updated);
    EXPECT_EQ(static_cast<ACCESS_MASK>(FILE_GENERIC_READ | FILE_GENERIC_WRITE), rights);
    for (ACCESS_MASK wider : {static_cast<ACCESS_MASK>(DELETE), static_cast<ACCESS_MASK>(WRITE_DAC),
                              static_cast<ACCESS_MASK>(WRITE_OWNER), static_cast<ACCESS_MASK>(FILE_EXECUTE)})
        EXPECT_EQ(0u, rights & wider) << std::hex << wider;
}

// The helper sets the list file's DACL on the file it opened, and refuses a
// list that is a second name of another file (a hard link a user planted to
// have an administrator open that file to every user) or a folder.
TEST(UsersAccessTest, AListThatIsAnotherFilesSecondNameOrAFolderIsRefused)
{
    TempDir dir;
    WriteBytes(dir.File("WhiteList.txt"), "");
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GrantUsersOnListFile(dir.File("WhiteList.txt"), kUsersFileRights));
    ASSERT_TRUE(DeleteFileA(dir.File("WhiteList.txt").c_str()));
    WriteBytes(dir.File("secret.txt"), "someone else's");
    ASSERT_TRUE(CreateHardLinkA(dir.File("WhiteList.txt").c_str(), dir.File("secret.txt").c_str(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_FILE_TYPE),
              GrantUsersOnListFile(dir.File("WhiteList.txt"), kUsersFileRights));
    ASSERT_TRUE(DeleteFileA(dir.File("WhiteList.txt").c_str()));
    ASSERT_TRUE(CreateDirectoryA(dir.File("WhiteList.txt").c_str(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_FILE_TYPE),
              GrantUsersOnListFile(dir.File("WhiteList.txt"), kUsersFileRights));
    RemoveDirectoryA(dir.File("WhiteList.txt").c_str());
}

// The folder check through its seam, with descriptors written in SDDL as an
// attacker or a careless administrator would leave them (Wine keeps none).
TEST(ProgramFolderTest, OnlyAFolderAndPathThatOnlyAdministratorsCanChangeIsAccepted)
{
    const std::string kTrustedInstaller = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
    const std::string kRoot = "O:SYD:(A;;FA;;;BA)(A;;FA;;;SY)(A;;0x1200a9;;;BU)(A;;0x4;;;AU)(A;OICIIO;SDGXGWGR;;;AU)";
    const std::string kProgramFiles = "O:" + kTrustedInstaller + "D:P(A;;FA;;;" + kTrustedInstaller +
                                      ")(A;OICIIO;GA;;;CO)(A;;0x1301bf;;;SY)(A;;0x1301bf;;;BA)(A;;0x1200a9;;;BU)";
    const std::string kOurs = std::string("O:BA") + "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)";
    const std::string kUser = "S-1-5-21-1-2-3-1001", kAdmin = "S-1-5-21-1-2-3-500";
    const DWORD kLink = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    // The platforms' own C:\ and C:\Program Files, as each version sets them up.
    const std::string kTi = kTrustedInstaller, kApps = "S-1-15-2-1", kRestrictedApps = "S-1-15-2-2";
    const std::string kRoot10 = "O:" + kTi + "D:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)"
                                "(A;OICIIO;SDGXGWGR;;;AU)(A;;0x4;;;AU)";
    const std::string kProgramFiles7 = "O:" + kTi + "D:PAI(A;;FA;;;" + kTi + ")(A;CIIO;GA;;;" + kTi +
                                       ")(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)"
                                       "(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)(A;OICIIO;GA;;;CO)";
    const std::string kProgramFiles10 = kProgramFiles7 + "(A;;0x1200a9;;;" + kApps + ")(A;OICIIO;GXGR;;;" + kApps +
                                        ")(A;;0x1200a9;;;" + kRestrictedApps + ")(A;OICIIO;GXGR;;;" +
                                        kRestrictedApps + ")";
    const std::string kRootXp = "O:BAD:(A;OICI;FA;;;BA)(A;OICIIO;GA;;;CO)(A;;0x1200a9;;;WD)(A;OICI;FA;;;SY)"
                                "(A;OICI;0x1200a9;;;BU)(A;CI;0x4;;;BU)(A;CIIO;0x2;;;BU)";
    const std::string kProgramFilesXp = "O:BAD:(A;OICI;FA;;;BA)(A;OICIIO;GA;;;CO)(A;OICI;0x1301bf;;;S-1-5-32-547)"
                                        "(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)";
    struct Name {
        std::string sddl;  // "" : missing
        DWORD attributes = FILE_ATTRIBUTE_DIRECTORY;
        BYTE lastAceType = 0;  // its last entry made of this type (Wine reads no other in SDDL); 0: as written
    };
    struct Row {
        const char* what;
        std::map<std::wstring, Name> path;  // C:\, C:\P, C:\P\N
        FolderVerdict verdict;
        std::wstring where;
        bool asAdmin = false;  // the installing administrator is kAdmin
        bool beforeVista = false;
    };
    const Name missing{""};
    const std::vector<Row> rows{
        {"under Program Files", {{L"C:\\", {kRoot}}, {L"C:\\P", {kProgramFiles}}, {L"C:\\P\\N", {kOurs}}},
         FolderVerdict::Accepted, L""},
        {"made by the package", {{L"C:\\", {kRoot}}, {L"C:\\P", {kProgramFiles}}, {L"C:\\P\\N", missing}},
         FolderVerdict::Accepted, L""},
        {"as the package makes it", {{L"C:\\", {kRoot}}, {L"C:\\P", {kOurs}}, {L"C:\\P\\N", {"O:BA" + std::string(
             "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)(A;OICI;0x1200a9;;;S-1-15-2-1)")}}},
         FolderVerdict::Accepted, L""},
        {"what is made in it inherits Users' full control", {{L"C:\\", {kRoot}}, {L"C:\\P", {kOurs}},
                                             {L"C:\\P\\N", {"O:BAD:P(A;;FA;;;BA)(A;OICIIO;GA;;;BU)"}}},
         FolderVerdict::OthersMayWrite, L"C:\\P\\N"},
        {"files made in it inherit Users' full control", {{L"C:\\", {kRoot}}, {L"C:\\P", {kOurs}},
                                             {L"C:\\P\\N", {"O:BAD:P(A;;FA;;;BA)(A;OIIO;FA;;;BU)"}}},
         FolderVerdict::OthersMayWrite, L"C:\\P\\N"},
        {"folders made in it inherit a generic write", {{L"C:\\", {kRoot}}, {L"C:\\P", {kOurs}},
                                             {L"C:\\P\\N", {"O:BAD:P(A;;FA;;;BA)(A;CIIO;GW;;;WD)"}}},
         FolderVerdict::OthersMayWrite, L"C:\\P\\N"},
        {"Windows 7's own", {{L"C:\\", {kRoot}}, {L"C:\\P", {kProgramFiles7}}, {L"C:\\P\\N", {kProgramFiles7}}},
         FolderVerdict::Accepted, L""},
        {"Windows 10's own", {{L"C:\\", {kRoot10}}, {L"C:\\P", {kProgramFiles10}}, {L"C:\\P\\N", {kProgramFiles10}}},
         FolderVerdict::Accepted, L""},
        {"Windows XP's own", {{L"C:\\", {kRootXp}}, {L"C:\\P", {kProgramFilesXp}}, {L"C:\\P\\N", {kProgramFilesXp}}},
         FolderVerdict::Accepted, L"", false, true},
        {"XP's Power Users grant, after XP",
         {{L"C:\\", {kRootXp}}, {L"C:\\P", {kProgramFilesXp}}, {L"C:\\P\\N", missing}},
         FolderVerdict::OthersMayMove, L"C:\\P"},
        {"a conditional entry", {{L"C:\\", {kRoot}}, {L"C:\\P", {kOurs}},
                                 {L"C:\\P\\N", {"O:BAD:P(A;;FA;;;BA)(A;;FA;;;WD)", FILE_ATTRIBUTE_DIRECTORY,
                                                 ACCESS_ALLOWED_CALLBACK_ACE_TYPE}}},
         FolderVerdict::UnjudgedEntry, L"C:\\P\\N"},
        {"an object entry above", {{L"C:\\", {kRoot}}, {L"C:\\P", {"O:BAD:P(A;;FA;;;BA)(A;;FA;;;WD)",
                                   FILE_ATTRIBUTE_DIRECTORY, ACCESS_ALLOWED_OBJECT_ACE_TYPE}}, {L"C:\\P\\N", {kOurs}}},
         FolderVerdict::UnjudgedEntry, L"C:\\P"},
        {"Users may write the folder", {{L"C:\\", {kRoot}}, {L"C:\\P", {kOurs}},
                                        {L"C:\\P\\N", {"O:BAD:(A;;FA;;;BA)(A;OICI;0x1301bf;;;BU)"}}},
         FolderVerdict::OthersMayWrite, L"C:\\P\\N"},
        {"no DACL", {{L"C:\\", {kRoot}}, {L"C:\\P", {kOurs}}, {L"C:\\P\\N", {"O:BA"}}},
         FolderVerdict::OthersMayWrite, L"C:\\P\\N"},
        {"a standard user owns it and kept WRITE_DAC",
         {{L"C:\\", {kRoot}}, {L"C:\\P", {kOurs}}, {L"C:\\P\\N", {"O:" + kUser + "D:P(A;;FA;;;BA)(A;;WD;;;" + kUser + ")"}}},
         FolderVerdict::OthersOwn, L"C:\\P\\N"},
        {"the installing administrator owns it",
         {{L"C:\\", {kRoot}}, {L"C:\\P", {kOurs}}, {L"C:\\P\\N", {"O:" + kAdmin + "D:P(A;;FA;;;" + kAdmin + ")"}}},
         FolderVerdict::Accepted, L"", true},
        {"another administrator's own folder",
         {{L"C:\\", {kRoot}}, {L"C:\\P", {kOurs}}, {L"C:\\P\\N", {"O:" + kAdmin + "D:P(A;;FA;;;" + kAdmin + ")"}}},
         FolderVerdict::OthersOwn, L"C:\\P\\N"},
        {"the folder above lets Users delete its entries",
         {{L"C:\\", {kRoot}}, {L"C:\\P", {"O:BAD:(A;;FA;;;BA)(A;;0x1200e9;;;BU)"}}, {L"C:\\P\\N", {kOurs}}},
         FolderVerdict::OthersMayMove, L"C:\\P"},
        {"a folder above that Users may rename (made under C:\\)",
         {{L"C:\\", {kRoot}}, {L"C:\\P", {"O:BAD:(A;;FA;;;BA)(A;ID;0x1301bf;;;AU)"}}, {L"C:\\P\\N", missing}},
         FolderVerdict::OthersMayMove, L"C:\\P"},
        {"a standard user owns a folder above",
         {{L"C:\\", {kRoot}}, {L"C:\\P", {"O:" + kUser + "D:P(A;;FA;;;BA)"}}, {L"C:\\P\\N", {kOurs}}},
         FolderVerdict::OthersMayMove, L"C:\\P"},
        {"the folder is a link", {{L"C:\\", {kRoot}}, {L"C:\\P", {kOurs}}, {L"C:\\P\\N", {kOurs, kLink}}},
         FolderVerdict::Link, L"C:\\P\\N"},
        {"a folder above is a link", {{L"C:\\", {kRoot}}, {L"C:\\P", {kOurs, kLink}}, {L"C:\\P\\N", {kOurs}}},
         FolderVerdict::Link, L"C:\\P"},
        {"a file where the folder goes",
         {{L"C:\\", {kRoot}}, {L"C:\\P", {kOurs}}, {L"C:\\P\\N", {kOurs, FILE_ATTRIBUTE_ARCHIVE}}},
         FolderVerdict::NotAFolder, L"C:\\P\\N"},
    };
    PSID admin = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidA(kAdmin.c_str(), &admin));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<std::wstring> asked;
        const FolderReader read = [&](const std::wstring& path) {
            asked.push_back(path);
            FolderFacts facts;
            const Name& name = row.path.at(path);
            facts.exists = !name.sddl.empty();
            facts.attributes = facts.exists ? name.attributes : 0;
            PSECURITY_DESCRIPTOR sd = nullptr;
            if (facts.exists) {
                EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(name.sddl.c_str(), SDDL_REVISION_1,
                                                                                 &sd, nullptr)) << name.sddl;
                const BYTE* bytes = static_cast<BYTE*>(sd);
                facts.descriptor.assign(bytes, bytes + GetSecurityDescriptorLength(sd));
                LocalFree(sd);
                BOOL present = FALSE, defaulted = FALSE;
                PACL dacl = nullptr;
                void* ace = nullptr;
                if (name.lastAceType &&
                    GetSecurityDescriptorDacl(facts.descriptor.data(), &present, &dacl, &defaulted) && dacl &&
                    GetAce(dacl, dacl->AceCount - 1, &ace))
                    static_cast<ACE_HEADER*>(ace)->AceType = name.lastAceType;
            }
            return facts;
        };
        const FolderJudgement judged =
            JudgeProgramFolder(L"C:\\P\\N", read, row.asAdmin ? admin : nullptr, row.beforeVista);
        EXPECT_EQ(static_cast<int>(row.verdict), static_cast<int>(judged.verdict));
        EXPECT_EQ(row.where, judged.where);
        if (row.verdict != FolderVerdict::Accepted) {
            EXPECT_NE(std::wstring::npos, JudgementText(judged, L"C:\\P\\N").find(L"Choose")) << "says what to do";
        }
    }
    LocalFree(admin);
    EXPECT_EQ(static_cast<int>(FolderVerdict::NotLocal),
              static_cast<int>(JudgeProgramFolder(L"\\\\server\\share\\N", nullptr, nullptr).verdict));
    EXPECT_EQ(static_cast<int>(FolderVerdict::NotAnsi),
              static_cast<int>(JudgeProgramFolder(L"C:\\\x41d\x43e\x440", nullptr, nullptr).verdict));

    // The descriptor a made folder gets keeps out what its parent would pass on.
    PSECURITY_DESCRIPTOR made = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(kProgramFolderSddl, SDDL_REVISION_1, &made, nullptr));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(made, &control, &revision);
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    GetSecurityDescriptorDacl(made, &present, &dacl, &defaulted);
    EXPECT_NE(0, control & SE_DACL_PROTECTED);
    EXPECT_EQ(static_cast<ACCESS_MASK>(FILE_GENERIC_READ | FILE_GENERIC_EXECUTE), UsersRightsIn(dacl));
    LocalFree(made);
}

TEST_F(InstallerTest, SilentInstallWritesTheProgramItsSettingsAndItsEntry)
{
    // A key made without the helper: Users may not set its values.
    SetDword(kRoot, "Software\\NorvaneAccessProbe", "x", 1);
    const ACCESS_MASK byDefault = UsersRights("MACHINE\\SOFTWARE\\NorvaneAccessProbe", SE_REGISTRY_KEY);
    DeleteTree(kRoot, "Software\\NorvaneAccessProbe");
    EXPECT_EQ(0u, byDefault & KEY_SET_VALUE) << std::hex << byDefault;

    // An earlier version left a user's last visited domain where every user reads it.
    SetString(kRoot, kSettings, "LastDomain", "someones-bank.example");
    const std::string target = Folder("Norvane Program");
    ASSERT_EQ(0, Install(target));
    EXPECT_FALSE(ValueExists(kRoot, kSettings, "LastDomain")) << "removed on upgrade";
    for (const char* file : {"Norvane.exe", "Vexmoor.dll", "WhiteList.txt", "Uninstall.exe"})
        EXPECT_TRUE(FileExists(target + "\\" + file)) << file;
    EXPECT_FALSE(FileExists(target + "\\SettingsAccess.exe")) << "the helper runs from the setup's own folder";
    EXPECT_EQ("", ReadBytes(target + "\\WhiteList.txt"));
    EXPECT_EQ(target, GetString(kRoot, kSettings, "AppPath"));
    EXPECT_EQ(target + "\\WhiteList.txt", GetString(kRoot, kSettings, "WhiteList"));
    EXPECT_EQ(target + "\\Vexmoor.dll",
              GetString(kRoot, Classes(std::string("CLSID\\") + kGuardClsid + "\\InprocServer32"), ""));
    EXPECT_TRUE(KeyExists(kRoot, std::string(kBrowserHelperObjects) + "\\" + kGuardClsid));
    EXPECT_TRUE(FileExists(StartMenuFolder() + "\\Norvane.lnk"));

    // What the Programs list shows.
    EXPECT_EQ("Norvane", GetString(kRoot, kUninstallKey, "Publisher"));
    EXPECT_EQ(target + "\\Norvane.exe,0", GetString(kRoot, kUninstallKey, "DisplayIcon"));
    EXPECT_EQ(target, GetString(kRoot, kUninstallKey, "InstallLocation"));
    EXPECT_EQ(1u, GetDword(kRoot, kUninstallKey, "NoModify"));
    EXPECT_EQ(1u, GetDword(kRoot, kUninstallKey, "NoRepair"));
    EXPECT_GT(GetDword(kRoot, kUninstallKey, "EstimatedSize", 0), 100u) << "in KB";

    // Users may read and set the settings; nobody lowered their integrity.
    // (Wine keeps a key's descriptor while its wineserver runs, as it does here.)
    EXPECT_EQ(kUsersKeyRights, UsersRights(kSettingsKeyObject, SE_REGISTRY_KEY) & kUsersKeyRights);
    EXPECT_EQ(0u, UsersRights(kSettingsKeyObject, SE_REGISTRY_KEY) & KEY_CREATE_SUB_KEY)
        << "no sub-keys: the machine's hive is not the users' to grow";
    EXPECT_FALSE(HasIntegrityLabel(kSettingsKeyObject, SE_REGISTRY_KEY));
    EXPECT_FALSE(HasIntegrityLabel(target + "\\WhiteList.txt", SE_FILE_OBJECT));

    ASSERT_TRUE(Uninstall(target, " /PURGE"));
}

TEST_F(InstallerTest, UninstallStopsThePanelAndRemovesBothStartUpValues)
{
    const std::string target = Folder("A");
    ASSERT_EQ(0, Install(target));
    SetString(kRoot, kRun, "Norvane", "\"" + target + "\\Norvane.exe\"");
    SetString(HKEY_CURRENT_USER, kRun, "Norvane", "\"" + target + "\\Norvane.exe\"");
    PanelProcess panel(target);
    ASSERT_NE(nullptr, panel.Window(30000));
    ASSERT_TRUE(Uninstall(target, " /PURGE"));
    EXPECT_TRUE(panel.Ended(30000)) << "the running panel was stopped";
    EXPECT_TRUE(Eventually([&] { return !FileExists(target); }, 30000)) << "the folder goes with its files";
    EXPECT_FALSE(KeyExists(kRoot, kSettings));
    EXPECT_FALSE(KeyExists(kRoot, Classes(std::string("CLSID\\") + kGuardClsid)));
    EXPECT_FALSE(KeyExists(kRoot, std::string(kBrowserHelperObjects) + "\\" + kGuardClsid));
    EXPECT_FALSE(ValueExists(kRoot, kRun, "Norvane"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRun, "Norvane"));
    EXPECT_FALSE(FileExists(StartMenuFolder()));
}

TEST_F(InstallerTest, SilentUninstallKeepsTheListAndSettingsUnlessPurged)
{
    const std::string target = Folder("A");
    ASSERT_EQ(0, Install(target));
    WriteBytes(target + "\\WhiteList.txt", "example.org\r\n");
    SetDword(kRoot, kSettings, "RemoveCookies", 1);
    ASSERT_TRUE(Uninstall(target));
    EXPECT_EQ("example.org\r\n", ReadBytes(target + "\\WhiteList.txt"));
    EXPECT_EQ(1u, GetDword(kRoot, kSettings, "RemoveCookies"));
    EXPECT_FALSE(FileExists(target + "\\Norvane.exe"));

    // Installed again, it finds both as they were; /PURGE then removes them.
    ASSERT_EQ(0, Install(target));
    EXPECT_EQ("example.org\r\n", ReadBytes(target + "\\WhiteList.txt"));
    EXPECT_EQ(1u, GetDword(kRoot, kSettings, "RemoveCookies"));
    ASSERT_TRUE(Uninstall(target, " /PURGE"));
    EXPECT_FALSE(KeyExists(kRoot, kSettings));
    EXPECT_TRUE(Eventually([&] { return !FileExists(target); }, 30000));
}

TEST_F(InstallerTest, SecondInstallIntoAnotherFolderCarriesTheListAndLeavesOneCopy)
{
    ASSERT_EQ(0, Install(Folder("A")));
    WriteBytes(Folder("A") + "\\WhiteList.txt", "example.org\r\nexample.net\r\n");
    SetDword(kRoot, kSettings, "RemoveHistory", 1);
    ASSERT_EQ(0, Install(Folder("B")));
    EXPECT_EQ("example.org\r\nexample.net\r\n", ReadBytes(Folder("B") + "\\WhiteList.txt"));
    EXPECT_EQ(Folder("B"), GetString(kRoot, kSettings, "AppPath"));
    EXPECT_EQ(Folder("B") + "\\WhiteList.txt", GetString(kRoot, kSettings, "WhiteList"));
    EXPECT_EQ(1u, GetDword(kRoot, kSettings, "RemoveHistory"));
    EXPECT_FALSE(FileExists(Folder("A"))) << "the old copy and its uninstaller are gone";
    EXPECT_EQ(Folder("B") + "\\Vexmoor.dll",
              GetString(kRoot, Classes(std::string("CLSID\\") + kGuardClsid + "\\InprocServer32"), ""));
    ASSERT_TRUE(Uninstall(Folder("B"), " /PURGE"));
}

// Any user may set AppPath: the installer takes the earlier installation
// from its Uninstall entry, and an old folder only when it holds our
// uninstaller and is the one the guard is registered from. Neither a planted
// AppPath nor an entry pointing elsewhere makes it remove or copy files there.
TEST_F(InstallerTest, OnlyTheRegisteredEarlierInstallationIsCarriedOverOrRemoved)
{
    ASSERT_EQ(0, Install(Folder("A")));
    WriteBytes(Folder("A") + "\\WhiteList.txt", "a.example\r\n");
    auto plant = [&](const std::string& folder) {
        CreateDirectoryA(folder.c_str(), nullptr);
        for (const char* file : {"Norvane.exe", "Vexmoor.dll", "Uninstall.exe"})
            WriteBytes(folder + "\\" + file, "a user's own file");
        WriteBytes(folder + "\\WhiteList.txt", "planted.example\r\n");
    };
    plant(Folder("Planted"));
    plant(Folder("Elsewhere"));
    SetString(kRoot, kSettings, "AppPath", Folder("Planted"));
    SetString(kRoot, kSettings, "WhiteList", Folder("Planted") + "\\WhiteList.txt");

    ASSERT_EQ(0, Install(Folder("B")));
    EXPECT_EQ("a.example\r\n", ReadBytes(Folder("B") + "\\WhiteList.txt")) << "the real earlier list";
    EXPECT_FALSE(FileExists(Folder("A"))) << "the real earlier copy went";
    for (const char* file : {"Norvane.exe", "Vexmoor.dll", "Uninstall.exe"})
        EXPECT_EQ("a user's own file", ReadBytes(Folder("Planted") + "\\" + file)) << file;
    EXPECT_EQ(Folder("B"), GetString(kRoot, kSettings, "AppPath")) << "written anew";

    // An Uninstall entry that names a folder the guard is not registered from.
    SetString(kRoot, kUninstallKey, "InstallLocation", Folder("Elsewhere"));
    ASSERT_EQ(0, Install(Folder("A")));
    EXPECT_EQ("", ReadBytes(Folder("A") + "\\WhiteList.txt")) << "nothing carried over from it";
    for (const char* file : {"Norvane.exe", "Vexmoor.dll", "Uninstall.exe"})
        EXPECT_EQ("a user's own file", ReadBytes(Folder("Elsewhere") + "\\" + file)) << file;
    EXPECT_EQ("planted.example\r\n", ReadBytes(Folder("Elsewhere") + "\\WhiteList.txt"));
    ASSERT_TRUE(Uninstall(Folder("A"), " /PURGE"));
    ASSERT_TRUE(Uninstall(Folder("B"), " /PURGE"));  // the entry went with A's: wait for the files
    EXPECT_TRUE(Eventually([&] { return !FileExists(Folder("B") + "\\Uninstall.exe"); }, kInstallerWaitMs));
}

// Another program's window with the panel's caption, which ignores Exit, is
// not taken for the panel: the installation neither asks it to exit nor
// waits for it.
TEST_F(InstallerTest, AnotherProgramsWindowOfThePanelsNameIsLeftAlone)
{
    HWND impostor = CreateWindowExA(0, "#32770", "Norvane Configuration", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                    nullptr, nullptr);
    ASSERT_NE(nullptr, impostor);
    EXPECT_EQ(0, Install(Folder("A")));
    EXPECT_TRUE(IsWindow(impostor));
    EXPECT_TRUE(Uninstall(Folder("A"), " /PURGE"));
    DestroyWindow(impostor);
}

TEST_F(InstallerTest, SilentInstallOverARunningPanelReplacesEveryFile)
{
    const std::string target = Folder("A");
    ASSERT_EQ(0, Install(target));
    WriteBytes(target + "\\Norvane.exe", "an older version");  // what an upgrade replaces
    WriteBytes(target + "\\Vexmoor.dll", "an older version");
    ASSERT_EQ(0, Install(target)) << "a stale copy is replaced";
    PanelProcess panel(target);
    ASSERT_NE(nullptr, panel.Window(30000));
    const int result = Install(target);
    if (result == 0) {
        EXPECT_TRUE(panel.Ended(0)) << "the panel was asked to exit first";
        for (const char* file : {"Norvane.exe", "Vexmoor.dll"})
            EXPECT_EQ(ReadBytes(BinaryFolder() + "\\" + file), ReadBytes(target + "\\" + file)) << file;
    } else {
        EXPECT_NE(0, result) << "or the installation fails and says so";
    }
    ASSERT_TRUE(Uninstall(target, " /PURGE"));
}

TEST_F(InstallerTest, FolderTheCodePageCannotWriteIsRefused)
{
    // Passed as UTF-16: the ANSI command line could not carry the name either.
    const std::string base = dir_.Path();
    const std::string binaries = BinaryFolder();
    const std::wstring folder = std::wstring(base.begin(), base.end()) + L"\\\x41d\x43e\x440\x432\x435\x439\x43d";
    std::wstring line = L"\"" + std::wstring(binaries.begin(), binaries.end()) + L"\\NorvaneSetup.exe\" /S /D=" + folder;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, kInstallerWaitMs));
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_NE(0u, code);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((folder + L"\\Vexmoor.dll").c_str()));
    EXPECT_FALSE(KeyExists(kRoot, kUninstallKey));
    EXPECT_FALSE(KeyExists(kRoot, Classes(std::string("CLSID\\") + kGuardClsid)));
}

// A link planted where the folder goes, or above it, as any account may
// plant one in a folder it can write: the setup refuses it, says why, and
// writes nothing where the link leads.
TEST_F(InstallerTest, AFolderThatIsALinkOrLiesUnderOneIsRefused)
{
    const std::string elsewhere = Folder("Elsewhere");
    ASSERT_TRUE(CreateDirectoryA(elsewhere.c_str(), nullptr));
    ASSERT_TRUE(PlantLink(Folder("Link"), elsewhere));
    for (const std::string& target : {Folder("Link"), Folder("Link") + "\\Norvane"}) {
        SCOPED_TRACE(target);
        EXPECT_NE(0, Install(target));
        EXPECT_TRUE(FilesIn(elsewhere).empty());
        EXPECT_FALSE(FileExists(elsewhere + "\\Norvane"));
        EXPECT_FALSE(KeyExists(kRoot, kUninstallKey));
        EXPECT_FALSE(KeyExists(kRoot, Classes(std::string("CLSID\\") + kGuardClsid)));
        // The words the setup shows, from its helper.
        const std::string message = dir_.File("message.txt");
        EXPECT_EQ(1, RunProgram("\"" + BinaryFolder() + "\\SettingsAccess.exe\" --prepare-folder \"" + target +
                                "\" \"" + message + "\""));
        const std::string text = ReadBytes(message);
        const std::wstring words(reinterpret_cast<const wchar_t*>(text.data()), text.size() / sizeof(wchar_t));
        EXPECT_NE(std::wstring::npos, words.find(L"is a link")) << text;
        DeleteFileA(message.c_str());
    }

    // An installation whose folder became a link uninstalls, by the
    // registration's keys: nothing in the folder is loaded or run.
    ASSERT_EQ(0, Install(Folder("A")));
    ASSERT_TRUE(MoveFileA(Folder("A").c_str(), Folder("Real").c_str()));
    ASSERT_TRUE(PlantLink(Folder("A"), Folder("Real")));
    ASSERT_TRUE(Uninstall(Folder("A"), " /PURGE"));
    EXPECT_FALSE(KeyExists(kRoot, Classes(std::string("CLSID\\") + kGuardClsid)));
    EXPECT_FALSE(KeyExists(kRoot, std::string(kBrowserHelperObjects) + "\\" + kGuardClsid));
    EXPECT_FALSE(KeyExists(kRoot, Classes("Vexmoor.IEWebGuard.1")));
    for (const char* file : {"Norvane.exe", "Vexmoor.dll", "Uninstall.exe", "WhiteList.txt"})
        EXPECT_TRUE(FileExists(Folder("Real") + "\\" + file)) << file << ": nothing deleted through the link";
    RemoveUnixTree(Folder("A"));
    RemoveUnixTree(Folder("Link"));
}

TEST_F(InstallerTest, FailedRegistrationFailsTheInstallAndLeavesNothingRegistered)
{
    // A volatile key where the guard's ProgID goes: the platform refuses the
    // lasting sub-key that registration writes under it.
    HKEY blocker = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(kRoot, Classes("Vexmoor.IEWebGuard.1").c_str(), 0, nullptr,
                                             REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &blocker, nullptr));
    RegCloseKey(blocker);
    EXPECT_NE(0, Install(Folder("A")));
    EXPECT_FALSE(KeyExists(kRoot, Classes(std::string("CLSID\\") + kGuardClsid)));
    EXPECT_FALSE(KeyExists(kRoot, std::string(kBrowserHelperObjects) + "\\" + kGuardClsid));
    EXPECT_FALSE(KeyExists(kRoot, kUninstallKey)) << "not reported as installed";
    DeleteTree(kRoot, Classes("Vexmoor.IEWebGuard.1"));
}

TEST_F(InstallerTest, UninstallWhileThePanelShowsAModalBoxLeavesNothingAfterARestart)
{
    const std::string target = Folder("A");
    ASSERT_EQ(0, Install(target));
    PanelProcess panel(target);
    ASSERT_NE(nullptr, panel.Window(30000));
    PostMessageA(panel.Window(), WM_SYSCOMMAND, 16, 0);  // the About box
    HWND about = nullptr;
    ASSERT_TRUE(Eventually([&] { return (about = FindWindowA("#32770", "About Norvane")) != nullptr; }));
    ASSERT_TRUE(Uninstall(target, " /PURGE"));
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(panel.Ended(30000)) << "the Exit it was sent takes effect once the box is closed";
    // The next start of Windows removes what was still in use.
    RunProgram("wineboot.exe --restart", 60000);
    EXPECT_TRUE(Eventually([&] { return !FileExists(target); }, 30000)) << "nothing left of Norvane";
}

}  // namespace
