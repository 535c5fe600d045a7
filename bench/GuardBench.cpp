// What one navigation costs the browser with all four kinds of cleaning on,
// for a URL cache of 1,000, 10,000 and 50,000 entries, 1,000 cookies and
// 1,000 domains' website data: the longest hold of the window's thread in
// each event (the walks run on the cleaning thread), the time from
// NavigateComplete2 until the site's traces are gone, next to a bare walk of
// the same cache and a listing of the website data folders (the floor any
// per-domain cleaner through these APIs pays), the peak memory of the
// process; then loading a page with five frames, whose passes share one
// walk; then a close after a site with 100,000 plug-in files. Not a test: it
// prints.
#include <windows.h>
#include <psapi.h>
#include <shlobj.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchCache.h"
#include "BrowserStandIn.h"
#include "CacheCleaner.h"
#include "CleaningQueue.h"
#include "DomainTracker.h"
#include "HistoryCleaner.h"
#include "IEWebGuard.h"
#include "ProfileFolders.h"
#include "SettingsStore.h"
#include "TypedUrlCleaner.h"
#include "WebsiteDataCleaner.h"

namespace {

const char kTag[] = "norvane-guard-bench";
const char kSite[] = "www.site0.norvane-guard-bench.test";

void RemoveTagged()
{
    RemoveTaggedEntries(nullptr, kTag);
    RemoveTaggedEntries("Cookie:", kTag);
}

// Grows the cache to this many tagged files; one in a hundred is the site's.
void FillTo(int total, int& have)
{
    for (; have < total; ++have) {
        const bool site = have % 100 == 0;
        AddCacheFile(site ? "http://" + std::string(kSite) + "/page" + std::to_string(have) + ".html"
                     : "http://www.site" + std::to_string(1 + have % 97) + "." + kTag + ".test/p" +
                           std::to_string(have) + ".html");
    }
}

void RestoreSitePages(int total)
{
    for (int i = 0; i < total; i += 100)
        AddCacheFile("http://" + std::string(kSite) + "/page" + std::to_string(i) + ".html");
}

// Website data of 1,000 domains where the browser and the plug-in keep it.
std::string DomStoreFolder() { return ShellFolderPath(CSIDL_LOCAL_APPDATA) + "\\Microsoft\\Internet Explorer\\DOMStore"; }
std::string SharedObjectsFolder()
{
    return ShellFolderPath(CSIDL_APPDATA) + "\\Macromedia\\Flash Player\\#SharedObjects\\BENCH123";
}

std::string PluginSettingsFolder()
{
    return ShellFolderPath(CSIDL_APPDATA) + "\\Macromedia\\Flash Player\\macromedia.com\\support\\flashplayer\\sys";
}

// Removes a folder with its files and sub-folders; how many files there were.
int RemoveFolderFiles(const std::string& folder)
{
    int removed = 0;
    WIN32_FIND_DATAA found{};
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string path = folder + "\\" + found.cFileName;
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                removed += DeleteFileA(path.c_str()) ? 1 : 0;
            else if (found.cFileName[0] != '.')
                removed += RemoveFolderFiles(path);
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
    return removed;
}

void LeaveWebsiteData(bool leave)
{
    SHCreateDirectoryExA(nullptr, DomStoreFolder().c_str(), nullptr);
    SHCreateDirectoryExA(nullptr, SharedObjectsFolder().c_str(), nullptr);
    for (int i = 0; i < 1000; ++i) {
        const std::string host = "www.site" + std::to_string(i) + "." + kTag + ".test";
        const std::string file = DomStoreFolder() + "\\" + host + ".xml", folder = SharedObjectsFolder() + "\\" + host;
        if (leave) {
            CloseHandle(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            CreateDirectoryA(folder.c_str(), nullptr);
        } else {
            DeleteFileA(file.c_str());
            RemoveDirectoryA(folder.c_str());
        }
    }
    if (!leave)
        RemoveDirectoryA(SharedObjectsFolder().c_str());
}

// A bare listing of every store folder and its sub-folders: the floor of
// any cleaner of website data by name.
int ListStores()
{
    int listed = 0;
    const auto list = [&](const std::wstring& folder, auto& self, int depth) -> void {
        WIN32_FIND_DATAW found{};
        HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE)
            return;
        do {
            ++listed;
            if (depth > 0 && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && found.cFileName[0] != L'.')
                self(folder + L"\\" + found.cFileName, self, depth - 1);
        } while (FindNextFileW(find, &found));
        FindClose(find);
    };
    for (const auto& store : WebsiteStores())
        list(store.base + L"\\" + store.below, list, store.layout == StoreLayout::SiteFolders ? 0 : 1);
    return listed;
}

bool PendingHostsExist()
{
    HKEY key = nullptr;
    const bool exists = RegOpenKeyExA(HKEY_CURRENT_USER, settings::kUserKey, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS &&
                        RegQueryValueExA(key, "PendingHosts", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    if (key)
        RegCloseKey(key);
    return exists;
}

void RemovePendingHosts()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, settings::kUserKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, "PendingHosts");
    RegCloseKey(key);
}

void SetSetting(const char* name, DWORD value) { settings::MachineNumber(name).Set(value); }

// HKLM\Software in the view the settings live in (the 32-bit one, for a
// guard of either bitness), for the settings key's own test and removal.
HKEY SettingsParent()
{
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_ALL_ACCESS | settings::kMachineView, &key);
    return key;
}

template <typename Work>
double TimeOf(Work work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Where a pass's time goes: each cleaner alone on the same stores (already
// cleaned of the site, so these are the walks themselves), and the deletes
// of the site's entries, the work a bare walk does not do.
void PrintBreakdown(int total)
{
    const CCleaningRule rule("site0." + std::string(kTag) + ".test");
    const CPassDeadline none;
    std::printf("         of a pass: cookies %.1f ms, website data %.1f ms, cache %.1f ms, typed %.1f ms, History %.1f ms",
                TimeOf([&] { CCacheCleaner::CleanCookies(rule, none); }),
                TimeOf([&] { CleanWebsiteData(rule, none); }), TimeOf([&] { CCacheCleaner::CleanCache(rule, none); }),
                TimeOf([&] { CTypedUrlCleaner::CleanTypedUrls(rule, none); }),
                TimeOf([&] { CleanHistory(rule, none); }));
    RestoreSitePages(total);
    std::printf(", deleting the site's %d entries %.1f ms\n", total / 100, TimeOf([&] {
                    for (int i = 0; i < total; i += 100)
                        DeleteUrlCacheEntryA(("http://" + std::string(kSite) + "/page" + std::to_string(i) + ".html").c_str());
                }));
}

double Since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Waits until the cleaning thread has run every pass; the milliseconds from start.
double UntilIdle(std::chrono::steady_clock::time_point start)
{
    while (!CCleaningQueue::Instance().Idle())
        Sleep(1);
    return Since(start);
}

struct Navigation {
    double beforeMs, completeMs;  // the window's thread held in each event
    double cleanedMs;             // from NavigateComplete2 until the traces are gone
};

// One navigation of one browser window: each event timed around the
// guard's work, then the wait until its walk has run.
Navigation Navigate(CBrowserStandIn* browser, const std::wstring& url)
{
    Navigation navigation{};
    auto start = std::chrono::steady_clock::now();
    browser->FireBeforeNavigate2(url);
    navigation.beforeMs = Since(start);
    start = std::chrono::steady_clock::now();
    browser->FireNavigateComplete2(url);
    navigation.completeMs = Since(start);
    navigation.cleanedMs = UntilIdle(start);
    return navigation;
}

}  // namespace

// One navigation at each cache size, next to a bare walk; then leaving a
// page with five frames.
void TimePassesAndLeaving()
{
    RemoveTagged();
    for (int i = 0; i < 1000; ++i)
        InternetSetCookieA(("http://www.site" + std::to_string(i) + "." + kTag + ".test/").c_str(), "a",
                           "b; expires=Sat,01-Jan-2039 00:00:00 GMT");

    ComPtr<IObjectWithSite> guard;
    IEWebGuard::Create(nullptr, IID_IObjectWithSite, guard.PutVoid());
    ComPtr<CBrowserStandIn> browser = CBrowserStandIn::Create();
    guard->SetSite(static_cast<IWebBrowser2*>(browser.Get()));
    const std::wstring url = L"http://www.site0.norvane-guard-bench.test/index.html";

    std::printf("%-8s %12s %16s %18s %12s %10s %12s\n", "entries", "bare walk", "longest hold", "until cleaned",
                "bound", "ratio", "peak memory");
    int have = 0;
    const double settle = CCleaningQueue::kSettleMs;
    // Wine's cache walk varies by about a tenth from one walk to the next:
    // the bare walk and the navigation take turns, and the medians are compared.
    for (int total : {1000, 10000, 50000}) {
        FillTo(total, have);
        const int rounds = total > 10000 ? 1 : 5;
        std::vector<double> bares, cleaned;
        double hold = 0;
        int walked = 0;
        for (int round = 0; round < rounds; ++round) {
            RestoreSitePages(total);
            LeaveWebsiteData(true);
            bares.push_back(TimeOf([&] {
                walked = WalkCache(nullptr, [](const std::string&) {}) + WalkCache("Cookie:", [](const std::string&) {}) +
                         ListStores();
            }));
            const Navigation navigation = Navigate(browser.Get(), url);
            hold = std::max({hold, navigation.beforeMs, navigation.completeMs});
            cleaned.push_back(navigation.cleanedMs);
        }
        PROCESS_MEMORY_COUNTERS after{};
        GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
        const double bare = Median(bares), until = Median(cleaned), bound = settle + 1.2 * bare;
        std::printf("%-8d %9.1f ms %13.2f ms %15.1f ms %9.1f ms %10.2f %9.1f MB   (%d entries walked, median of %d)\n",
                    total, bare, hold, until, bound, (until - settle) / bare, after.PeakWorkingSetSize / 1048576.0,
                    walked, rounds);
        PrintBreakdown(total);
    }
    std::printf("  (longest hold: at most 16 ms; until cleaned: at most the start delay of %.0f ms plus 1.2 bare "
                "walks; ratio: the cleaning's own time over one bare walk)\n", settle);

    // A page with five frames: each frame's NavigateComplete2 hands a pass,
    // and one walk of each store serves the page and its frames together.
    LeaveWebsiteData(true);
    RestoreSitePages(have);
    std::vector<std::wstring> frames;
    for (int n = 1; n <= 5; ++n)
        frames.push_back(L"http://frame" + std::to_wstring(n) + L".norvane-guard-bench.test/f.html");
    const double bare = TimeOf([&] {
        WalkCache(nullptr, [](const std::string&) {});
        WalkCache("Cookie:", [](const std::string&) {});
        ListStores();
    });
    const unsigned walks = CCleaningQueue::Instance().Walks();
    const auto loadStart = std::chrono::steady_clock::now();
    browser->LoadPage(L"http://www.next.norvane-guard-bench.test/", frames);
    const double load = Since(loadStart);
    const auto lastEvent = std::chrono::steady_clock::now();
    const double work = UntilIdle(lastEvent) - settle;
    std::printf("\nload a page with five frames (%d entries): events %.1f ms in all, %u walk(s), the cleaning's work "
                "%.1f ms after its start delay, bare walk %.1f ms, ratio %.2f (at most 1.30)\n",
                have, load, CCleaningQueue::Instance().Walks() - walks, work, bare, work / bare);

    browser->FireOnQuit();
    guard->SetSite(nullptr);
    guard.Reset();
}

// A window closing after a site whose plug-in folder holds 100,000 files:
// the close must return within its bound whatever the stores hold.
void TimeClosingAfterAHugeSite()
{
    const std::string huge = "huge." + std::string(kTag) + ".test";
    const std::string folder = PluginSettingsFolder() + "\\#" + huge;
    // In a hundred sub-folders: Wine makes a file in a folder of tens of
    // thousands slowly, and the bound is the same either way.
    for (int part = 0; part < 100; ++part) {
        const std::string sub = folder + "\\" + std::to_string(part);
        SHCreateDirectoryExA(nullptr, sub.c_str(), nullptr);
        for (int i = 0; i < 1000; ++i)
            CloseHandle(CreateFileA((sub + "\\" + std::to_string(i) + ".sol").c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, 0, nullptr));
    }
    ComPtr<IObjectWithSite> guard;
    IEWebGuard::Create(nullptr, IID_IObjectWithSite, guard.PutVoid());
    ComPtr<CBrowserStandIn> browser = CBrowserStandIn::Create();
    guard->SetSite(static_cast<IWebBrowser2*>(browser.Get()));
    browser->FireBeforeNavigate2(L"http://" + std::wstring(huge.begin(), huge.end()) + L"/");
    const auto closeStart = std::chrono::steady_clock::now();
    browser->FireOnQuit();
    guard->SetSite(nullptr);
    const double close = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - closeStart).count();
    const int left = RemoveFolderFiles(folder);
    std::printf("close a window after a site with 100,000 plug-in files: %.1f ms (bound 5000 ms), %d files left, their site kept "
                "in the pending list for the next guard\n", close, left);
    guard.Reset();
}

// "close" times the close alone.
int main(int argc, char** argv)
{
    const bool closeOnly = argc > 1 && std::string(argv[1]) == "close";
    CoInitialize(nullptr);
    const HKEY software = SettingsParent();
    HKEY existing = nullptr;
    const bool hadSettings = RegOpenKeyExA(software, "Norvane", 0, KEY_READ, &existing) == ERROR_SUCCESS;
    if (existing)
        RegCloseKey(existing);
    for (const char* name : {"BHOEnabled", "RemoveCookies", "RemoveCache", "RemoveLastTyped", "RemoveHistory"})
        SetSetting(name, 1);
    // An installed guard finds its white list beside it; an empty one unless
    // one is there already.
    const std::string list = GuardWhiteListPath();
    const bool hadList = GetFileAttributesA(list.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!hadList)
        CloseHandle(CreateFileA(list.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    // A close cut short leaves its hosts for the next guard: the bench's own go again.
    const bool hadPending = PendingHostsExist();

    if (!closeOnly)
        TimePassesAndLeaving();
    TimeClosingAfterAHugeSite();
    if (!hadPending)
        RemovePendingHosts();

    RemoveTagged();
    LeaveWebsiteData(false);
    if (!hadList)
        DeleteFileA(list.c_str());
    if (!hadSettings)
        RegDeleteKeyA(software, "Norvane");
    RegCloseKey(software);
    CoUninitialize();
    return 0;
}
