// A site's website data on disk, laid out as the browser and the plug-in lay
// it out, in a folder of the test's own; and Wine's own DOM storage file in
// the real profile.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include "ProfileFolders.h"
#include "TempDir.h"
#include "WebsiteDataCleaner.h"

namespace {

void MakeFolders(const std::string& path)
{
    for (std::size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
}

class WebsiteDataTest : public ::testing::Test {
protected:
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
    std::vector<WebsiteStore> Stores() const
    {
        return {{DomStore(), StoreLayout::SiteFiles},
                {UserData(), StoreLayout::SiteFiles},
                {UserData() + "\\Low", StoreLayout::SiteFiles},
                {Shared(), StoreLayout::SiteFoldersInSubfolders},
                {Settings(), StoreLayout::SiteFolders}};
    }
    static int Present(const std::vector<std::string>& files)
    {
        int present = 0;
        for (const auto& file : files)
            present += FileExists(file) ? 1 : 0;
        return present;
    }
    std::string DomStore() const { return dir_.File("Local\\Microsoft\\Internet Explorer\\DOMStore"); }
    std::string UserData() const { return dir_.File("Roaming\\Microsoft\\Internet Explorer\\UserData"); }
    std::string Shared() const { return dir_.File("Roaming\\Macromedia\\Flash Player\\#SharedObjects"); }
    std::string Settings() const
    {
        return dir_.File("Roaming\\Macromedia\\Flash Player\\macromedia.com\\support\\flashplayer\\sys");
    }

    TempDir dir_;
};

TEST_F(WebsiteDataTest, TheCleanedDomainLosesAllItsDataAndEveryOtherSiteKeepsIts)
{
    const auto cleaned = Leave("www.example.com");
    const auto longer = Leave("bigexample.com");  // holds the domain: gone, as its cookies would be
    const auto other = Leave("example.org");
    const auto kept = Leave("keep.example.com");  // white-listed
    CleanWebsiteData(CCleaningRule(std::vector<std::string>{"example.com"}, {"keep.example.com"}), Stores());
    EXPECT_EQ(0, Present(cleaned));
    EXPECT_EQ(0, Present(longer));
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
    CleanWebsiteData(CCleaningRule("example.com"), Stores());
    EXPECT_EQ(4, Present(outside));
}

TEST_F(WebsiteDataTest, AFileInUseIsPassedOverAndGoesAtTheNextPass)
{
    const auto files = Leave("example.com");
    HANDLE held = CreateFileA(files[1].c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    CleanWebsiteData(CCleaningRule("example.com"), Stores());
    EXPECT_EQ(1, Present(files)) << "only the file in use stays";
    CloseHandle(held);
    CleanWebsiteData(CCleaningRule("example.com"), Stores());
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
    CleanWebsiteData(CCleaningRule("example.com"), Stores());
    EXPECT_FALSE(FileExists(readOnly));
    EXPECT_FALSE(FileExists(dots));
    EXPECT_FALSE(FileExists(dbcs));
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
    CleanWebsiteData(CCleaningRule("www." + host + "."));
    EXPECT_FALSE(FileExists(mine));
    EXPECT_TRUE(FileExists(other));
    DeleteFileA(other.c_str());
}

}  // namespace
