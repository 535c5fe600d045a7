// Visits of pages that a server on this machine really serves (tools/sites),
// fetched through Wine's own HTTP stack, so every cache entry and cookie is
// the platform's own handling of a real response: keyed by the full address
// (query, port), by the host and path a Set-Cookie names, and by where a
// redirect ends. The guard must leave nothing of a site it cleaned, and all
// of a white-listed site and of a site the window never visited.
#include <gtest/gtest.h>

#include <windows.h>
#include <exdisp.h>
#include <wininet.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "BrowserStandIn.h"
#include "CleaningQueue.h"
#include "DomainTracker.h"
#include "IEWebGuard.h"
#include "MessageBoxRecorder.h"
#include "ProfileFolders.h"
#include "RegistrySandbox.h"
#include "TempDir.h"

namespace {

const char kKey[] = "Software\\Norvane";
const char kPage[] = "127.0.0.2";      // its page frames kFramed
const char kFramed[] = "127.0.0.3";
const char kRedirect[] = "127.0.0.4";  // /go?to=... answers 302
const char kLanding[] = "127.0.0.5";

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// "address port" lines the server wrote once it listened.
std::map<std::string, std::string> ServedSites()
{
    std::map<std::string, std::string> ports;
    const char* file = std::getenv("NORVANE_SITES");
    if (!file)
        return ports;
    std::ifstream in(std::string("Z:") + file);
    for (std::string address, port; in >> address >> port;)
        ports[address] = port;
    return ports;
}

// A fetch as the browser's download makes it: the response read whole,
// cached and its cookies kept by the platform.
bool Fetch(const std::string& url)
{
    static const HINTERNET session = InternetOpenA("Norvane tests", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET request = InternetOpenUrlA(session, url.c_str(), nullptr, 0, 0, 0);
    if (!request)
        return false;
    char buffer[4096];
    DWORD read = 0;
    while (InternetReadFile(request, buffer, sizeof buffer, &read) && read > 0) {
    }
    InternetCloseHandle(request);
    return true;
}

// Every entry of the cache and cookie store that names the site.
std::vector<std::string> TracesOf(const std::string& address)
{
    std::vector<std::string> traces;
    std::string block(64 * 1024, '\0');
    auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(&block[0]);
    for (const char* pattern : {static_cast<const char*>(nullptr), "Cookie:"}) {
        DWORD size = static_cast<DWORD>(block.size());
        HANDLE find = FindFirstUrlCacheEntryA(pattern, entry, &size);
        for (bool more = find != nullptr; more;) {
            const std::string url = entry->lpszSourceUrlName ? entry->lpszSourceUrlName : "";
            const bool site = url.find("//" + address + ":") != std::string::npos ||
                              url.find("@" + address + "/") != std::string::npos;
            if (site && std::find(traces.begin(), traces.end(), url) == traces.end())
                traces.push_back(url);
            size = static_cast<DWORD>(block.size());
            more = FindNextUrlCacheEntryA(find, entry, &size) != FALSE;
        }
        if (find)
            FindCloseUrlCache(find);
    }
    return traces;
}

void RemoveTraces()
{
    for (const char* site : {kPage, kFramed, kRedirect, kLanding})
        for (const auto& url : TracesOf(site))
            DeleteUrlCacheEntryA(url.c_str());
}

std::string Listed(const std::vector<std::string>& traces)
{
    std::ostringstream out;
    for (const auto& trace : traces)
        out << "\n    " << trace;
    return out.str();
}

// ---- Every trace a visit leaves ------------------------------------------

// Whether bytes hold the name, in 8-bit or UTF-16 text.
bool Holds(const std::string& bytes, const std::string& name)
{
    std::string wide;
    for (const char c : name)
        wide.append(1, c).append(1, '\0');
    return bytes.find(name) != std::string::npos || bytes.find(wide) != std::string::npos;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// Every file below the folder whose name or content holds the name. The
// cache's own index files are passed over: a deleted record's text stays in
// their free space (as after the browser's own deletion), and their live
// records are looked at through the cache's enumeration instead.
void SweepFiles(const std::wstring& folder, const std::string& name, std::vector<std::string>& found, int depth = 0)
{
    WIN32_FIND_DATAW entry{};
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring file = entry.cFileName, path = folder + L"\\" + file;
        if (file == L"." || file == L"..")
            continue;
        if (Holds(Narrow(file), name))
            found.push_back(Narrow(path));
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && depth < 32)
                SweepFiles(path, name, found, depth + 1);
        } else if (lstrcmpiW(file.c_str(), L"index.dat") != 0 && Holds(ReadBytes(Narrow(path)), name)) {
            found.push_back(Narrow(path));
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

// Every key name, value name and value below the key that holds the name,
// but the guard's own LastDomain.
void SweepKey(HKEY key, const std::string& path, const std::string& name, std::vector<std::string>& found, int depth = 0)
{
    std::vector<wchar_t> valueName(16384);
    std::string data(1 << 20, '\0');
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = static_cast<DWORD>(valueName.size()), dataSize = static_cast<DWORD>(data.size());
        if (RegEnumValueW(key, i, valueName.data(), &nameSize, nullptr, nullptr, reinterpret_cast<BYTE*>(&data[0]),
                          &dataSize) != ERROR_SUCCESS)
            break;
        const std::string value = Narrow(std::wstring(valueName.data(), nameSize));
        if (value == "LastDomain")
            continue;
        if (Holds(value, name) || Holds(data.substr(0, dataSize), name))
            found.push_back(path + " : " + value);
    }
    std::vector<wchar_t> subName(256);
    for (DWORD i = 0; depth < 64; ++i) {
        DWORD size = static_cast<DWORD>(subName.size());
        if (RegEnumKeyExW(key, i, subName.data(), &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        const std::string sub = path + "\\" + Narrow(std::wstring(subName.data(), size));
        if (Holds(Narrow(std::wstring(subName.data(), size)), name))
            found.push_back(sub);
        HKEY child = nullptr;
        if (RegOpenKeyExW(key, subName.data(), 0, KEY_READ, &child) == ERROR_SUCCESS) {
            SweepKey(child, sub, name, found, depth + 1);
            RegCloseKey(child);
        }
    }
}

// The person at the browser: answers Wine's own question before a History
// item is deleted (Windows' is the guard's to answer).
class HistoryQuestions {
public:
    HistoryQuestions() : stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)), thread_(CreateThread(nullptr, 0, Answer, stop_, 0, nullptr)) {}
    ~HistoryQuestions()
    {
        SetEvent(stop_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        CloseHandle(stop_);
    }

private:
    static DWORD WINAPI Answer(void* stop)
    {
        while (WaitForSingleObject(stop, 50) == WAIT_TIMEOUT)
            for (HWND w = FindWindowA("#32770", nullptr); w; w = FindWindowExA(nullptr, w, "#32770", nullptr)) {
                DWORD process = 0;
                GetWindowThreadProcessId(w, &process);
                if (process == GetCurrentProcessId() && IsWindowVisible(w))
                    PostMessageA(w, WM_COMMAND, IDYES, 0);
            }
        return 0;
    }
    HANDLE stop_, thread_;
};

class RealVisitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ports_ = ServedSites();
        ASSERT_EQ(4u, ports_.size()) << "the sites are served (tools/sites/sites.sh up)";
        RemoveTraces();
        for (const char* name : {"BHOEnabled", "RemoveCookies", "RemoveCache"})
            SetDword(HKEY_LOCAL_MACHINE, kKey, name, 1);
        WriteBytes(GuardWhiteListPath(), "");
        ASSERT_EQ(S_OK, IEWebGuard::Create(nullptr, IID_IObjectWithSite, guard_.PutVoid()));
    }
    void TearDown() override
    {
        if (guard_)
            Close();
        guard_.Reset();
        RemoveTraces();
    }
    void Attach() { ASSERT_EQ(S_OK, guard_->SetSite(static_cast<IWebBrowser2*>(browser_.Get()))); }
    void Close()
    {
        browser_->FireOnQuit();
        guard_->SetSite(nullptr);
    }
    std::string Url(const std::string& address, const std::string& path) const
    {
        return "http://" + address + ":" + ports_.at(address) + path;
    }
    // The cleaning thread has run what the events handed it.
    static void Settle() { ASSERT_TRUE(CCleaningQueue::Instance().Flush(30000)); }
    // A page and its frames loaded as the browser loads them: each document
    // fetched before its NavigateComplete2, its image and script after it
    // (and after its pass).
    void Load(const std::string& url, const std::vector<std::string>& frames = {})
    {
        browser_->LoadPage(url, frames, [](const std::string& text, CBrowserStandIn::LoadPoint point, bool) {
            if (point == CBrowserStandIn::LoadPoint::Response) {
                EXPECT_TRUE(Fetch(text)) << text;
                return;
            }
            Settle();
            const std::string root = text.substr(0, text.find('/', 7));
            for (const char* resource : {"/logo.png", "/app.js", "/a/page.html", "/nostore.html"})
                EXPECT_TRUE(Fetch(root + resource)) << root << resource;
        });
        Settle();
    }

    std::map<std::string, std::string> ports_;
    RegistrySandbox settings_{HKEY_LOCAL_MACHINE, kKey};
    RegistrySandbox lowSettings_{HKEY_CURRENT_USER, "Software\\AppDataLow\\Software\\Norvane"};
    FileSandbox list_{GuardWhiteListPath()};
    MessageBoxRecorder boxes_;
    ComPtr<IObjectWithSite> guard_;
    ComPtr<CBrowserStandIn> browser_ = CBrowserStandIn::Create();
};

TEST_F(RealVisitTest, AVisitedPageAndItsFrameLeaveNothingOnceTheWindowHasLeftThem)
{
    Attach();
    // What the platform makes of a visit, with the guard not yet there.
    Fetch(Url(kPage, "/index.html?q=1"));
    for (const char* resource : {"/logo.png", "/app.js", "/a/page.html", "/nostore.html"})
        Fetch(Url(kPage, resource));
    const auto made = TracesOf(kPage);
    std::printf("what the platform made of a visit to %s:%s\n", kPage, Listed(made).c_str());
    EXPECT_GE(made.size(), 4u) << "the page, its query, its resources and its cookies";
    RemoveTraces();

    Load(Url(kPage, "/index.html?q=1"), {Url(kFramed, "/frame.html")});
    EXPECT_FALSE(TracesOf(kPage).empty()) << "what came after the page's pass is still there";
    Load(Url(kLanding, "/landing.html"));  // the window leaves both sites
    EXPECT_EQ("", Listed(TracesOf(kPage)));
    EXPECT_EQ("", Listed(TracesOf(kFramed)));
    Close();
    EXPECT_EQ("", Listed(TracesOf(kLanding))) << "the site shown last goes when the window closes";
}

TEST_F(RealVisitTest, AWhiteListedSiteAndASiteNeverVisitedKeepEverything)
{
    WriteBytes(GuardWhiteListPath(), std::string(kPage) + "\r\n");
    Attach();
    Fetch(Url(kRedirect, "/a/page.html"));  // another program's visit, not this window's
    const auto unvisited = TracesOf(kRedirect);
    Load(Url(kPage, "/index.html?q=1"), {Url(kFramed, "/frame.html")});
    const auto kept = TracesOf(kPage);
    Load(Url(kLanding, "/landing.html"));
    Close();
    EXPECT_EQ(Listed(kept), Listed(TracesOf(kPage)));
    EXPECT_EQ(Listed(unvisited), Listed(TracesOf(kRedirect)));
    EXPECT_EQ("", Listed(TracesOf(kFramed))) << "its frame is another site's";
}

// A server redirect: the browser examines the address it was sent to, and
// NavigateComplete2 names where the redirect ended.
TEST_F(RealVisitTest, ARedirectLeavesNothingOfItsSourceOrItsTarget)
{
    Attach();
    const std::string source = Url(kRedirect, "/go?to=" + Url(kLanding, "/landing.html"));
    const std::string target = Url(kLanding, "/landing.html");
    browser_->FireBeforeNavigate2(Wide(source));
    ASSERT_TRUE(Fetch(source));
    std::printf("what the platform made of a redirect:%s%s\n", Listed(TracesOf(kRedirect)).c_str(),
                Listed(TracesOf(kLanding)).c_str());
    browser_->FireNavigateComplete2(Wide(target));
    Fetch(Url(kLanding, "/logo.png"));
    browser_->FireDocumentComplete(Wide(target));
    Close();
    EXPECT_EQ("", Listed(TracesOf(kRedirect)));
    EXPECT_EQ("", Listed(TracesOf(kLanding)));
}

// A visit that leaves every kind of trace the platform and the stand-in
// make, the browser's own records of the site planted as it writes them:
// once the window has left the site and closed, the site's name is nowhere
// in the user's profile or registry hive but in LastDomain and the cache's
// index files, whose live records name it no more.
TEST_F(RealVisitTest, NothingOfACleanedSiteIsLeftInTheProfileOrTheUsersHive)
{
    const char kIe[] = "Software\\Microsoft\\Internet Explorer";
    RegistrySandbox typed(HKEY_CURRENT_USER, std::string(kIe) + "\\TypedURLs"),
        times(HKEY_CURRENT_USER, std::string(kIe) + "\\TypedURLsTime"),
        storage(HKEY_CURRENT_USER, std::string(kIe) + "\\DOMStorage"),
        lowStorage(HKEY_CURRENT_USER, std::string(kIe) + "\\LowRegistry\\DOMStorage");
    for (const char* name : {"RemoveLastTyped", "RemoveHistory"})
        SetDword(HKEY_LOCAL_MACHINE, kKey, name, 1);
    WriteBytes(GuardWhiteListPath(), std::string(kLanding) + "\r\n");
    const HistoryQuestions person;
    Attach();
    const std::string page = Url(kPage, "/index.html?q=1");
    SetString(HKEY_CURRENT_USER, std::string(kIe) + "\\TypedURLs", "url1", page);
    char history[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, history, CSIDL_HISTORY, TRUE);
    const std::string day = std::string(history) + "\\Visited today";
    CreateDirectoryA(history, nullptr);
    CreateDirectoryA(day.c_str(), nullptr);
    const std::string item = day + "\\" + kPage + " index.html", store = LocalLowFolderPath() +
                             "\\Microsoft\\Internet Explorer\\DOMStore\\Q7N2XK4M";
    WriteBytes(item, page);
    for (const char* site : {kPage, kFramed}) {
        SetString(HKEY_CURRENT_USER, std::string(kIe) + "\\DOMStorage\\" + site, "", "");
        SetString(HKEY_CURRENT_USER, std::string(kIe) + "\\LowRegistry\\DOMStorage\\" + site, "", "");
        SHCreateDirectoryExA(nullptr, store.c_str(), nullptr);
        WriteBytes(store + "\\" + site + "[1].xml", "<root/>");
    }
    Load(page, {Url(kFramed, "/frame.html")});
    Load(Url(kLanding, "/landing.html"));
    Close();
    for (const char* site : {kPage, kFramed}) {
        std::vector<std::string> found;
        SweepFiles(ShellFolderPathW(CSIDL_PROFILE), site, found);
        SweepKey(HKEY_CURRENT_USER, "HKCU", site, found);
        EXPECT_EQ(std::vector<std::string>{}, found) << site;
        EXPECT_EQ("", Listed(TracesOf(site))) << site;
    }
    DeleteFileA(item.c_str());
    RemoveDirectoryA(day.c_str());
    for (const char* site : {kPage, kFramed})
        DeleteFileA((store + "\\" + site + "[1].xml").c_str());
}

}  // namespace
