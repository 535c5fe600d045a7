// Behaves like one browser window for the registered guard: creates it by its
// ProgID through COM, attaches it to a stand-in browser, loads the given
// pages with the browser's events in the browser's order, then quits and
// detaches as the browser does when the window closes.
//   GuardHost.exe URL [--frame URL]...    load the pages, each with its frames
//   GuardHost.exe --leave-traces ...      leave each page's traces where its
//                                         load makes them, as a browser would,
//                                         and report what is left at the end
#include <windows.h>
#include <ocidl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "BrowserStandIn.h"
#include "BrowserTraces.h"
#include "ComPtr.h"
#include "SettingsStore.h"
#include "WhiteListFile.h"

namespace {

DWORD ReadCounter(const char* name) { return settings::MachineNumber(name).Read(); }

// The white list as the guards read it: the file in the program folder, where
// the registered guard lies.
std::vector<std::string> WhiteListEntries()
{
    std::string folder = settings::MachineText(settings::kAppPath).Read();
    if (folder.empty())
        return {};
    return settings::ReadWhiteListFile(folder + "\\" + settings::kWhiteListFileName).AnsiEntries();
}

// A domain's traces: what the visits left at each point of their loads, and
// what remains once the window has left the site and closed.
struct Site {
    std::string domain;
    bool whiteListed = false;
    TraceCount made, left;
};

struct Page {
    std::string url;
    std::vector<std::string> frames;
};

std::string DomainOf(const std::string& url)
{
    std::string domain = HostOf(url);
    if (domain.compare(0, 4, "www.") == 0)
        domain.erase(0, 4);
    return domain;
}

TraceCount operator-(const TraceCount& a, const TraceCount& b)
{
    return TraceCount{a.cache - b.cache, a.cookies - b.cookies, a.typed - b.typed,
                      a.history - b.history, a.storage - b.storage, a.plugIn - b.plugIn};
}

TraceCount& operator+=(TraceCount& a, const TraceCount& b)
{
    a.cache += b.cache;
    a.cookies += b.cookies;
    a.typed += b.typed;
    a.history += b.history;
    a.storage += b.storage;
    a.plugIn += b.plugIn;
    return a;
}

// The sites in the order first shown, each once.
class SiteBook {
public:
    explicit SiteBook(std::vector<std::string> whiteList) : whiteList_(std::move(whiteList)) {}

    Site& For(const std::string& url)
    {
        const std::string domain = DomainOf(url);
        for (auto& site : sites_)
            if (site.domain == domain)
                return site;
        Site site;
        site.domain = domain;
        for (const auto& entry : whiteList_)
            if (url.find(entry) != std::string::npos)
                site.whiteListed = true;
        sites_.push_back(site);
        return sites_.back();
    }
    std::vector<Site>& Sites() { return sites_; }

private:
    std::vector<std::string> whiteList_;
    std::vector<Site> sites_;
};

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
    std::printf("\nWhat the visits left -> what remains once the window has left each site and closed:\n");
    std::printf("%-24s %-12s %-9s %-9s %-9s %-9s %-9s %-9s\n", "site", "white-list", "cache", "cookies", "typed",
                "history", "storage", "plug-in");
    for (const auto& s : sites) {
        auto cell = [](int made, int left) { return std::to_string(made) + " -> " + std::to_string(left); };
        std::printf("%-24s %-12s %-9s %-9s %-9s %-9s %-9s %-9s\n", s.domain.c_str(), s.whiteListed ? "kept" : "cleaned",
                    cell(s.made.cache, s.left.cache).c_str(), cell(s.made.cookies, s.left.cookies).c_str(),
                    cell(s.made.typed, s.left.typed).c_str(), cell(s.made.history, s.left.history).c_str(),
                    cell(s.made.storage, s.left.storage).c_str(), cell(s.made.plugIn, s.left.plugIn).c_str());
    }
    std::printf("\nCounters (cleaning passes): cookies %lu, temporary files %lu, typed addresses %lu, History %lu\n",
                ReadCounter(settings::kRemoveCookiesEntries), ReadCounter(settings::kRemoveCacheEntries),
                ReadCounter(settings::kRemoveLastTypedEntries), ReadCounter(settings::kRemoveHistoryEntries));
}

int Run(const std::vector<Page>& pages, bool leaveTraces)
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
    std::printf("A %u-bit browser window.\n", static_cast<unsigned>(sizeof(void*) * 8));
    ComPtr<CBrowserStandIn> browser = CBrowserStandIn::Create();
    result = guard->SetSite(static_cast<IWebBrowser2*>(browser.Get()));
    std::printf("SetSite: 0x%08lX\n", static_cast<unsigned long>(result));

    SiteBook book(WhiteListEntries());
    // Each trace is counted as it is made: what the guard removes later
    // never hides what the visit left.
    const auto leave = [&](const std::string& url, CBrowserStandIn::LoadPoint point, bool inFrame) {
        Site& site = book.For(url);
        const TraceCount before = CountTraces(site.domain);
        if (point == CBrowserStandIn::LoadPoint::Response)
            LeaveResponseTraces(url, inFrame);
        else
            LeaveResourceTraces(url, inFrame);
        site.made += CountTraces(site.domain) - before;
    };
    for (const auto& page : pages) {
        if (leaveTraces)
            browser->LoadPage(page.url, page.frames, leave);
        else
            browser->LoadPage(page.url, page.frames, nullptr);
        std::printf("navigated: %s\n", page.url.c_str());
        for (const auto& frame : page.frames)
            std::printf("  frame: %s\n", frame.c_str());
    }
    browser->FireOnQuit();
    guard->SetSite(nullptr);
    if (leaveTraces) {
        for (auto& site : book.Sites())
            site.left = CountTraces(site.domain);
        PrintReport(book.Sites());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<Page> pages;
    bool leaveTraces = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--leave-traces")
            leaveTraces = true;
        else if (argument == "--frame" && i + 1 < argc && !pages.empty())
            pages.back().frames.push_back(argv[++i]);
        else
            pages.push_back(Page{argument, {}});
    }
    if (FAILED(CoInitialize(nullptr)))
        return 2;
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE answerer = leaveTraces ? CreateThread(nullptr, 0, AnswerShellQuestions, stop, 0, nullptr) : nullptr;
    const int code = Run(pages, leaveTraces);
    SetEvent(stop);
    if (answerer) {
        WaitForSingleObject(answerer, INFINITE);
        CloseHandle(answerer);
    }
    CloseHandle(stop);
    CoUninitialize();
    return code;
}
