// Behaves like one browser window for the registered guard: creates it by its
// ProgID through COM, attaches it to a stand-in browser, replays the given
// addresses as BeforeNavigate2 / NavigateComplete2 pairs, then quits and
// detaches as the browser does when the window closes.
//   GuardHost.exe URL...                  replay the addresses
//   GuardHost.exe --leave-traces URL...   leave each page's traces first, as a
//                                         browser would, and report what is left
#include <windows.h>
#include <ocidl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "AnsiText.h"
#include "BrowserStandIn.h"
#include "BrowserTraces.h"
#include "ComPtr.h"

namespace {

std::string ReadSetting(const char* name)
{
    char value[MAX_PATH] = {};
    DWORD size = sizeof value;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Norvane", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::string();
    RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return value;
}

DWORD ReadCounter(const char* name)
{
    DWORD value = 0, size = sizeof value;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Norvane", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(key);
    }
    return value;
}

// The white list as the guard reads it: lines up to the first empty one.
std::vector<std::string> WhiteListEntries()
{
    std::vector<std::string> entries;
    FILE* file = fopen(ReadSetting("WhiteList").c_str(), "r");
    if (!file)
        return entries;
    char line[4096];
    while (fgets(line, sizeof line, file)) {
        std::string entry = line;
        if (entry.empty() || entry.back() != '\n' || entry == "\n")
            break;
        entries.push_back(entry.substr(0, entry.size() - 1));
    }
    fclose(file);
    return entries;
}

struct Site {
    std::string url;
    std::string domain;
    bool whiteListed = false;
    TraceCount before, after;
};

Site Examine(const std::string& url, const std::vector<std::string>& whiteList)
{
    Site site;
    site.url = url;
    site.domain = HostOf(url);
    if (site.domain.compare(0, 4, "www.") == 0)
        site.domain.erase(0, 4);
    for (const auto& entry : whiteList)
        if (url.find(entry) != std::string::npos)
            site.whiteListed = true;
    return site;
}

// Wine's shell asks before it deletes a History item, in a dialog of its own
// wording; on Windows the guard answers the shell's "WARNING" itself. The
// host stands in for the person at the browser and says yes.
DWORD WINAPI AnswerShellQuestions(LPVOID stop)
{
    while (WaitForSingleObject(static_cast<HANDLE>(stop), 100) == WAIT_TIMEOUT) {
        for (HWND w = FindWindowA("#32770", nullptr); w; w = FindWindowExA(nullptr, w, "#32770", nullptr)) {
            DWORD process = 0;
            GetWindowThreadProcessId(w, &process);
            char caption[64] = {};
            GetWindowTextA(w, caption, sizeof caption);
            if (process == GetCurrentProcessId() && IsWindowVisible(w) && lstrcmpA(caption, "WARNING") != 0)
                PostMessageA(w, WM_COMMAND, IDYES, 0);
        }
    }
    return 0;
}

void PrintReport(const std::vector<Site>& sites)
{
    std::printf("\n%-24s %-12s %-9s %-9s %-9s %-9s\n", "site", "white-list", "cache", "cookies", "typed",
                "history");
    for (const auto& s : sites) {
        auto cell = [](int before, int after) { return std::to_string(before) + " -> " + std::to_string(after); };
        std::printf("%-24s %-12s %-9s %-9s %-9s %-9s\n", s.domain.c_str(), s.whiteListed ? "kept" : "cleaned",
                    cell(s.before.cache, s.after.cache).c_str(), cell(s.before.cookies, s.after.cookies).c_str(),
                    cell(s.before.typed, s.after.typed).c_str(), cell(s.before.history, s.after.history).c_str());
    }
    std::printf("\nCounters (cleaning passes): cookies %lu, temporary files %lu, typed addresses %lu, History %lu\n",
                ReadCounter("RemoveCookiesEntries"), ReadCounter("RemoveCacheEntries"),
                ReadCounter("RemoveLastTypedEntries"), ReadCounter("RemoveHistoryEntries"));
}

int Run(const std::vector<std::string>& urls, bool leaveTraces)
{
    CLSID clsid{};
    HRESULT result = CLSIDFromProgID(L"Vexmoor.IEWebGuard", &clsid);
    if (FAILED(result)) {
        std::printf("The guard is not registered (0x%08lX).\n", static_cast<unsigned long>(result));
        return 2;
    }
    ComPtr<IObjectWithSite> guard;
    result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IObjectWithSite, guard.PutVoid());
    if (FAILED(result)) {
        std::printf("The guard could not be created (0x%08lX).\n", static_cast<unsigned long>(result));
        return 2;
    }
    ComPtr<CBrowserStandIn> browser = CBrowserStandIn::Create();
    result = guard->SetSite(static_cast<IWebBrowser2*>(browser.Get()));
    std::printf("SetSite: 0x%08lX\n", static_cast<unsigned long>(result));

    const std::vector<std::string> whiteList = WhiteListEntries();
    std::vector<Site> sites;
    for (const auto& url : urls) {
        Site site = Examine(url, whiteList);
        if (leaveTraces) {
            LeaveTraces(url);
            site.before = CountTraces(site.domain);
        }
        browser->FireBeforeNavigate2(ansi::ToWide(url));
        browser->FireNavigateComplete2(ansi::ToWide(url));
        if (leaveTraces)
            site.after = CountTraces(site.domain);
        std::printf("navigated: %s\n", url.c_str());
        sites.push_back(site);
    }
    browser->FireOnQuit();
    guard->SetSite(nullptr);
    if (leaveTraces)
        PrintReport(sites);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> urls;
    bool leaveTraces = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--leave-traces")
            leaveTraces = true;
        else
            urls.push_back(argv[i]);
    }
    if (FAILED(CoInitialize(nullptr)))
        return 2;
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE answerer = leaveTraces ? CreateThread(nullptr, 0, AnswerShellQuestions, stop, 0, nullptr) : nullptr;
    const int code = Run(urls, leaveTraces);
    SetEvent(stop);
    if (answerer) {
        WaitForSingleObject(answerer, INFINITE);
        CloseHandle(answerer);
    }
    CloseHandle(stop);
    CoUninitialize();
    return code;
}
