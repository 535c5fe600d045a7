// A site's website data on disk, laid out as the browser and the plug-in lay
// it out, in a folder of the test's own; and Wine's own DOM storage file in
// the real profile.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include "AppContainerSeam.h"
#include "PinnedFolder.h"
#include "ProfileFolders.h"
#include "TempDir.h"
#include "UnixCommand.h"
#include "WebsiteDataCleaner.h"

namespace {

void MakeFolders(const std::string& path)
{
    for (std::size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
}

class WebsiteDataTest : public ::testing::Test {
public:
    // What a site leaves in each store, in each of its layouts.
    std::vector<std::string> Leave(const std::string& host)
    {
        const std::vector<std::string> files = {
            DomStore() + "\\" + host + ".xml",                     // Wine's own engine
            DomStore() + "\\Q7N2XK4M\\" + host + "[1].xml",        // the browser's
            UserData() + "\\Low\\A1B2C3D4\\" + host + "[1].xml",  // Protected Mode
            Shared() + "\\R4ND0M99\\" + host + "\\id.sol",
            Shared() + "\\R4ND0M99\\" + host + "\\deeper\\path\\more.sol",
            Settings() + "\\#" + host + "\\settings.sol",
        };
        for (const auto& file : files) {
            MakeFolders(file.substr(0, file.rfind('\\')));
            WriteBytes(file, "data");
        }
        return files;
    }
    // The test's folder stands for the profile folder.
    std::vector<WebsiteStore> Stores() const
    {
        const auto store = [&](const char* below, StoreLayout layout) {
            const std::string text = below;
            return WebsiteStore{Wide(dir_.Path()), Wide(text), layout};
        };
        return {store(kDomStore, StoreLayout::SiteFiles), store(kUserData, StoreLayout::SiteFiles),
                store(kUserDataLow, StoreLayout::SiteFiles), store(kShared, StoreLayout::SiteFoldersInSubfolders),
                store(kSettings, StoreLayout::SiteFolders)};
    }
    void Clean(const CCleaningRule& rule, const CPassDeadline& deadline = CPassDeadline())
    {
        CleanWebsiteData(rule, deadline, Stores());
    }
    static int Present(const std::vector<std::string>& files)
    {
        int present = 0;
        for (const auto& file : files)
            present += FileExists(file) ? 1 : 0;
        return present;
    }
    static std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }
    static constexpr const char* kDomStore = "Local\\Microsoft\\Internet Explorer\\DOMStore";
    static constexpr const char* kUserData = "Roaming\\Microsoft\\Internet Explorer\\UserData";
    static constexpr const char* kUserDataLow = "Roaming\\Microsoft\\Internet Explorer\\UserData\\Low";
    static constexpr const char* kShared = "LocalLow\\Macromedia\\Flash Player\\#SharedObjects";
    static constexpr const char* kSettings =
        "LocalLow\\Macromedia\\Flash Player\\macromedia.com\\support\\flashplayer\\sys";
    std::string DomStore() const { return dir_.File(kDomStore); }
    std::string UserData() const { return dir_.File(kUserData); }
    std::string Shared() const { return dir_.File(kShared); }
    std::string Settings() const { return dir_.File(kSettings); }

    TempDir dir_;
};

TEST_F(WebsiteDataTest, TheCleanedDomainLosesAllItsDataAndEveryOtherSiteKeepsIts)
{
    const auto cleaned = Leave("www.example.com");
    const auto longer = Leave("bigexample.com");  // another site, whose name merely holds the domain
    const auto other = Leave("example.org");
    const auto kept = Leave("keep.example.com");  // white-listed
    Clean(CCleaningRule(std::vector<std::string>{"example.com"}, {"keep.example.com"}));
    EXPECT_EQ(0, Present(cleaned));
    EXPECT_EQ(6, Present(longer));
    EXPECT_EQ(6, Present(other));
    EXPECT_EQ(6, Present(kept));
    EXPECT_FALSE(FileExists(Shared() + "\\R4ND0M99\\www.example.com")) << "the site's folder itself goes";
    EXPECT_TRUE(FileExists(Shared() + "\\R4ND0M99")) << "never a folder's parent";
}

TEST_F(WebsiteDataTest, NothingOutsideTheStoresOwnDepthIsTouched)
{
    Leave("other.test");
    const std::vector<std::string> outside = {
        DomStore() + "\\Q7N2XK4M\\deeper\\example.com[1].xml",  // below the browser's depth
        DomStore() + "\\..\\example.com.xml",                   // beside the store, in its parent
        Shared() + "\\example.com.sol",                         // a file where only folders count
        dir_.File("Roaming\\example.com\\id.sol"),
    };
    for (const auto& file : outside) {
        MakeFolders(file.substr(0, file.rfind('\\')));
        WriteBytes(file, "data");
    }
    Clean(CCleaningRule("example.com"));
    EXPECT_EQ(4, Present(outside));
}

TEST_F(WebsiteDataTest, AFileInUseIsPassedOverAndGoesAtTheNextPass)
{
    const auto files = Leave("example.com");
    HANDLE held = CreateFileA(files[1].c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    Clean(CCleaningRule("example.com"));
    EXPECT_EQ(1, Present(files)) << "only the file in use stays";
    CloseHandle(held);
    Clean(CCleaningRule("example.com"));
    EXPECT_EQ(0, Present(files));
}

TEST_F(WebsiteDataTest, ReadOnlyAndOddlyNamedFilesFollowTheRule)
{
    const std::string readOnly = DomStore() + "\\Q7N2XK4M\\example.com[2].xml";
    const std::string dots = DomStore() + "\\..example.com...xml";
    const std::string dbcs = DomStore() + "\\\x82\xa0.example.com.xml";  // a double-byte name in code page 932
    MakeFolders(DomStore() + "\\Q7N2XK4M");
    for (const auto& file : {readOnly, dots, dbcs})
        WriteBytes(file, "data");
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    Clean(CCleaningRule("example.com"));
    EXPECT_FALSE(FileExists(readOnly));
    EXPECT_FALSE(FileExists(dots));
    EXPECT_FALSE(FileExists(dbcs));
}

// ---- Attacks from a page or a low-integrity process ----------------------

// A user's own files outside every store, which no pass may ever touch.
class OutsideTheStoresTest : public WebsiteDataTest {
public:
    std::vector<std::string> Victim(const std::string& name)
    {
        const std::string folder = dir_.File(name);
        std::vector<std::string> files = {folder + "\\Projects\\thesis.doc", folder + "\\Photos\\2019\\a.jpg",
                                          folder + "\\o.test.xml", folder + "\\#o.test\\settings.sol"};
        for (const auto& file : files) {
            MakeFolders(file.substr(0, file.rfind('\\')));
            WriteBytes(file, "mine");
        }
        victims_.insert(victims_.end(), files.begin(), files.end());
        return files;
    }
    void Link(const std::string& link, const std::string& target)
    {
        MakeFolders(link.substr(0, link.rfind('\\')));
        ASSERT_TRUE(PlantLink(link, target)) << link;
        const DWORD attributes = GetFileAttributesA(link.c_str());
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    }
    void ExpectAllSurvive()
    {
        for (const auto& file : victims_)
            EXPECT_EQ("mine", ReadBytes(file)) << file << " outside the stores was touched";
    }
    std::vector<std::string> victims_;
};

// Links planted where the walk goes, with the cleaned site's items beside them.
TEST_F(OutsideTheStoresTest, ALinkAtAStoreOnTheWayToOneOrInsideOneIsNeverFollowedNorRemoved)
{
    Victim("victimA");
    Link(Settings(), dir_.File("victimA"));  // the store folder itself
    Victim("victimB");
    MakeFolders(dir_.File("victimB\\Internet Explorer\\UserData\\R"));
    WriteBytes(dir_.File("victimB\\Internet Explorer\\UserData\\R\\o.test[1].xml"), "mine");
    victims_.push_back(dir_.File("victimB\\Internet Explorer\\UserData\\R\\o.test[1].xml"));
    Link(dir_.File("Roaming\\Microsoft"), dir_.File("victimB"));  // a folder on the way
    Victim("victimC");
    Link(Shared() + "\\R4ND0M99", dir_.File("victimC"));  // a sub-folder the store's layout enters
    Victim("victimD");
    Link(DomStore() + "\\Q7N2XK4M", dir_.File("victimD"));
    Link(DomStore() + "\\o.test.xml", dir_.File("victimD\\o.test.xml"));  // a file the rule matches
    Victim("victimE");
    Link(Shared() + "\\REAL\\o.test", dir_.File("victimE"));  // a site folder the rule matches
    Victim("victimF");
    const std::string site = Shared() + "\\REAL\\www.o.test";
    Link(site + "\\inner", dir_.File("victimF"));  // inside a site folder that goes
    WriteBytes(site + "\\data.sol", "site");
    MakeFolders(DomStore() + "\\PLAIN");
    WriteBytes(DomStore() + "\\PLAIN\\www.o.test.xml", "site");

    Clean(CCleaningRule("o.test"));
    ExpectAllSurvive();
    EXPECT_FALSE(FileExists(site + "\\data.sol")) << "the stores are still cleaned";
    EXPECT_FALSE(FileExists(DomStore() + "\\PLAIN\\www.o.test.xml"));
    EXPECT_TRUE(FileExists(Shared() + "\\REAL\\o.test")) << "a link is not removed either";
    EXPECT_TRUE(FileExists(DomStore() + "\\o.test.xml"));
}

// Each folder from the profile folder down to a store in turn made a link
// to a copy of the rest of the way, with the site's items in it.
TEST_F(OutsideTheStoresTest, ALinkAtAnyFolderFromTheProfileDownToAStoreIsRefused)
{
    const std::vector<std::string> way = {"profile", "Local", "Microsoft", "Internet Explorer", "DOMStore"};
    for (std::size_t at = 0; at < way.size(); ++at) {
        const std::string root = dir_.File("case" + std::to_string(at));
        const std::string victim = dir_.File("victim" + std::to_string(at));
        std::string link = root, store = victim;
        for (std::size_t i = 0; i < way.size(); ++i)
            (i <= at ? link : store) += "\\" + way[i];
        for (const auto& file : {store + "\\R\\o.test.xml", store + "\\o.test.xml"}) {
            MakeFolders(file.substr(0, file.rfind('\\')));
            WriteBytes(file, "mine");
            victims_.push_back(file);
        }
        Link(link, victim);
        CleanWebsiteData(CCleaningRule("o.test"), CPassDeadline(),
                         {WebsiteStore{Wide(root + "\\profile"), L"Local\\Microsoft\\Internet Explorer\\DOMStore",
                                       StoreLayout::SiteFiles}});
    }
    ExpectAllSurvive();
}

// An Enhanced Protected Mode tab's stores, walked from the container's
// folder the platform names: a link at that folder or at any folder from it
// down to a store is refused as on the profile's way, and a real
// container's store is cleaned.
TEST_F(OutsideTheStoresTest, AContainersStoresAreWalkedFromItsFolderAndALinkOnTheWayIsRefused)
{
    const std::vector<std::string> way = {"AC", "Microsoft", "Internet Explorer", "DOMStore"};
    for (std::size_t at = 0; at < way.size(); ++at) {
        const std::string root = dir_.File("container" + std::to_string(at));
        const std::string victim = dir_.File("victim" + std::to_string(at));
        std::string link = root, store = victim;
        for (std::size_t i = 0; i < way.size(); ++i)
            (i <= at ? link : store) += "\\" + way[i];
        for (const auto& file : {store + "\\R\\o.test.xml", store + "\\o.test.xml"}) {
            MakeFolders(file.substr(0, file.rfind('\\')));
            WriteBytes(file, "mine");
            victims_.push_back(file);
        }
        Link(link, victim);
        const ScopedAppContainer tab(root + "\\AC");
        CleanWebsiteData(CCleaningRule("o.test"), CPassDeadline(), WebsiteStores());
    }
    ExpectAllSurvive();

    const std::string store = dir_.File("real\\AC\\Microsoft\\Internet Explorer\\DOMStore\\R");
    MakeFolders(store);
    WriteBytes(store + "\\o.test[1].xml", "site");
    WriteBytes(store + "\\kept.example[1].xml", "site");
    const ScopedAppContainer tab(dir_.File("real\\AC"));
    CleanWebsiteData(CCleaningRule("o.test"), CPassDeadline(), WebsiteStores());
    EXPECT_FALSE(FileExists(store + "\\o.test[1].xml"));
    EXPECT_TRUE(FileExists(store + "\\kept.example[1].xml"));
}

// Another process swaps a folder the walk has listed but not yet entered
// for a link, timed at the walk's first delete.
TEST_F(OutsideTheStoresTest, AFolderSwappedForALinkDuringTheWalkIsNotEntered)
{
    Victim("victim");
    for (const char* name : {"\\#a.o.test", "\\#b.o.test"}) {
        MakeFolders(Settings() + name);
        WriteBytes(Settings() + name + "\\x.sol", "site");
    }
    static OutsideTheStoresTest* test;
    static bool swapped, storeRenamed, wayRenamed;
    test = this;
    swapped = storeRenamed = wayRenamed = false;
    const OpenFileApi real = OpenFiles();
    static BOOL (*realDelete)(HANDLE);
    realDelete = real.Delete;
    OpenFiles().Delete = [](HANDLE file) -> BOOL {
        if (!swapped) {
            swapped = true;
            for (const char* name : {"\\#a.o.test", "\\#b.o.test"}) {
                const std::string folder = test->Settings() + name;
                if (MoveFileA(folder.c_str(), (folder + ".moved").c_str()))
                    PlantLink(folder, test->dir_.File("victim"));
            }
            const std::string store = test->Settings(), way = store.substr(0, store.rfind('\\'));
            storeRenamed = MoveFileA(store.c_str(), (store + "2").c_str()) != 0;
            wayRenamed = MoveFileA(way.c_str(), (way + "2").c_str()) != 0;
        }
        return realDelete(file);
    };
    Clean(CCleaningRule("o.test"));
    OpenFiles() = real;
    ASSERT_TRUE(swapped);
    EXPECT_FALSE(storeRenamed) << "the store folder is pinned while the walk is in it";
    EXPECT_FALSE(wayRenamed) << "so is every folder on the way to it";
    ExpectAllSurvive();
    const bool aSwapped = FileExists(Settings() + "\\#a.o.test.moved");
    EXPECT_NE(aSwapped, FileExists(Settings() + "\\#b.o.test.moved")) << "the folder being walked cannot be moved";
    EXPECT_FALSE(FileExists(Settings() + (aSwapped ? "\\#b.o.test" : "\\#a.o.test"))) << "the first folder went";
}

// In code page 1252 the best-fit conversion turns U+FF3C into "\" and U+FF0E
// into ".": names like these once became paths out of the store.
TEST_F(OutsideTheStoresTest, NamesAreNeverConvertedSoNoneClimbsOutOfItsStore)
{
    const auto victim = Victim("victim");
    const std::wstring up = L"\xFF3C\xFF0E\xFF0E";
    std::wstring domFile = L"evil.test!", siteFolder = L"#evil.test!";
    for (int i = 0; i < 6; ++i)
        domFile += up;  // to the test's folder from the browser's sub-folder
    for (int i = 0; i < 8; ++i)
        siteFolder += up;  // to the test's folder from the plug-in's store
    domFile += L"\xFF3Cvictim\xFF3Co.xml";
    siteFolder += L"\xFF3Cvictim\xFF3CProjects";
    MakeFolders(DomStore() + "\\Q7N2XK4M");
    MakeFolders(Settings());
    const std::wstring domPath = Wide(DomStore() + "\\Q7N2XK4M\\") + domFile;
    const std::wstring sitePath = Wide(Settings() + "\\") + siteFolder;
    CloseHandle(CreateFileW(domPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(CreateDirectoryW(sitePath.c_str(), nullptr));
    CloseHandle(CreateFileW((sitePath + L"\\x.sol").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(domPath.c_str()));

    Clean(CCleaningRule("evil.test"));
    ExpectAllSurvive();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(domPath.c_str())) << "the store's own item goes";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(sitePath.c_str()));
}

// The disk may spell a store's folders in other letters than the browser's
// names for them; it is the same folder.
TEST_F(WebsiteDataTest, AStoreSpelledInOtherCaseOnDiskIsStillCleaned)
{
    const std::string file = dir_.File("Local\\MICROSOFT\\internet explorer\\DOMStore\\R\\example.com[1].xml");
    MakeFolders(file.substr(0, file.rfind('\\')));
    WriteBytes(file, "data");
    Clean(CCleaningRule("example.com"));
    EXPECT_FALSE(FileExists(file));
}

// Where the platform could tell where a handle leads but does not, nothing
// is trusted: no entry is deleted.
TEST_F(WebsiteDataTest, AHandleWhoseFinalPathCannotBeToldIsNotTrusted)
{
    const auto files = Leave("example.com");
    const OpenFileApi real = OpenFiles();
    OpenFiles().FinalPath = [](HANDLE) -> std::optional<std::wstring> { return std::wstring(); };
    Clean(CCleaningRule("example.com"));
    OpenFiles() = real;
    EXPECT_EQ(6, Present(files));
}

TEST_F(WebsiteDataTest, AWalkPastItsDeadlineRemovesNothingMore)
{
    const auto files = Leave("example.com");
    Clean(CCleaningRule("example.com"), CPassDeadline::In(0));
    EXPECT_EQ(6, Present(files));
}

// Wine's HTML engine keeps one file per host directly in DOMStore.
TEST(WineDomStoreTest, TheHostsFileInTheRealProfileGoes)
{
    const std::string store = ShellFolderPath(CSIDL_LOCAL_APPDATA) + "\\Microsoft\\Internet Explorer\\DOMStore";
    MakeFolders(store);
    const std::string host = "nvw" + std::to_string(GetCurrentProcessId()) + ".example";
    const std::string mine = store + "\\www." + host + ".xml", other = store + "\\other." + host + "x.xml";
    WriteBytes(mine, "<root/>");
    WriteBytes(other, "<root/>");
    CleanWebsiteData(CCleaningRule(host));
    EXPECT_FALSE(FileExists(mine));
    EXPECT_TRUE(FileExists(other));
    DeleteFileA(other.c_str());
}

}  // namespace
