#include "DomainTracker.h"

#include <windows.h>

#include <algorithm>

#include "AnsiText.h"
#include "CacheCleaner.h"
#include "HistoryCleaner.h"
#include "MessageBoxApi.h"
#include "ModulePath.h"
#include "RegValue.h"
#include "TextFile.h"
#include "TypedUrlCleaner.h"
#include "WebsiteDataCleaner.h"

namespace {

const std::string kSettings = "Software\\Norvane\\";
// Where a browser in Protected Mode (low integrity, no HKLM writes) keeps what
// the guard writes: the platform's place for low-integrity data.
const std::string kLowSettings = "Software\\AppDataLow\\Software\\Norvane\\";

// Adds one to the counter; true when the registry took the write.
bool AddOne(CRegNumberValue&& counter)
{
    counter.Set(counter.Get() + 1);  // wraps from 0xFFFFFFFF to 0
    return counter.LastWriteSucceeded();
}

// Counts the pass in HKLM, or under AppDataLow when HKLM refuses the write.
void Count(const std::string& counterName)
{
    if (!AddOne(CRegNumberValue(kSettings + counterName)))
        AddOne(CRegNumberValue(kLowSettings + counterName, 0, false, HKEY_CURRENT_USER));
}

}  // namespace

std::string GuardWhiteListPath()
{
    // The module that holds this code: Vexmoor.dll in a browser.
    MEMORY_BASIC_INFORMATION memory{};
    if (!VirtualQuery(reinterpret_cast<const void*>(&GuardWhiteListPath), &memory, sizeof memory))
        return std::string();
    return FileBesideModule(static_cast<HMODULE>(memory.AllocationBase), "WhiteList.txt");
}

void CDomainTracker::LoadWhiteList()
{
    const std::string path = GuardWhiteListPath();
    const auto text = path.empty() ? std::nullopt : ReadLocalTextFile(path);
    listUnreadable_ = !text;
    if (!text) {
        MessageBoxHook()(nullptr, "Critical Error - Cannot load whitelist", "Critical Error", MB_OK);
        return;
    }
    ParseWhiteList(*text);
}

void CDomainTracker::ParseWhiteList(const std::string& text)
{
    // Past an empty line and the last line without its break too: the
    // control panel shows and keeps every line, and a line it shows as kept
    // must never be cleaned.
    for (auto& entry : ListLines(text))
        entries_.push_back(std::move(entry));
}

std::string DeriveDomain(std::string address)
{
    // https is removed as well: leaving it would make the domain of every
    // secure address "https:", which matches every secure entry of every site.
    for (const char* scheme : {"http://", "https://", "www.", "ftp://"})
        address = ansi::ReplaceAll(std::move(address), scheme, "");
    const auto slash = ansi::Find(address, "/");
    return slash == ansi::npos ? std::string() : address.substr(0, slash);
}

int CDomainTracker::CheckUrl(std::string address)
{
    for (const auto& entry : entries_) {
        if (ansi::Contains(address, entry)) {
            SetPendingDomain(entry);
            return 1;
        }
    }
    SetPendingDomain(DeriveDomain(std::move(address)));
    return 0;
}

void CDomainTracker::SetPendingDomain(const std::string& domain)
{
    pendingDomain_ = domain;
    // Under the user's own key, which a Protected Mode browser may write too:
    // what one user browses is no other user's to read.
    CRegTextValue(kLowSettings + "LastDomain", "", false, HKEY_CURRENT_USER).Set(domain);
}

void CDomainTracker::RunCleaningPass()
{
    // A copy: the history cleaner lets the thread take events, which may
    // change the pending domain meanwhile.
    Clean({pendingDomain_}, CPassDeadline());
    pendingDomain_.clear();
}

int CDomainTracker::BeginNavigation(std::string address, bool topLevel)
{
    std::vector<std::string> leaving;
    if (topLevel) {
        std::string top = DeriveDomain(address);
        // Host names know no case: the same site in other capitals is not left.
        if (lstrcmpiA(top.c_str(), topDomain_.c_str()) != 0)
            leaving.swap(shown_);
        topDomain_ = std::move(top);
    }
    const int whiteListed = CheckUrl(std::move(address));
    if (!whiteListed && std::find(shown_.begin(), shown_.end(), pendingDomain_) == shown_.end())
        shown_.push_back(pendingDomain_);
    // Last, with the new page's record whole: the pass may let the thread
    // take the browser's next events.
    Clean(std::move(leaving), CPassDeadline());
    return whiteListed;
}

void CDomainTracker::LeaveWindow(const CPassDeadline& deadline)
{
    std::vector<std::string> leaving;
    leaving.swap(shown_);
    topDomain_.clear();
    Clean(std::move(leaving), deadline);
}

void CDomainTracker::Clean(std::vector<std::string> domains, const CPassDeadline& deadline)
{
    domains.erase(std::remove_if(domains.begin(), domains.end(), [](const std::string& d) { return !NamesASite(d); }),
                  domains.end());
    if (domains.empty() || listUnreadable_)
        return;
    CCacheCleaner cache;
    using CleanStore = void (*)(CCacheCleaner&, const CCleaningRule&, const CPassDeadline&);
    const struct {
        const char* setting;
        const char* counter;
        CleanStore clean;
    } rows[] = {
        {"RemoveCookies", "RemoveCookiesEntries",
         [](CCacheCleaner& c, const CCleaningRule& r, const CPassDeadline&) {
             // Cookies and website data, as the browser's own deletion has them:
             // a site could put its identifier back from either.
             c.CleanCookies(r);
             CleanWebsiteData(r);
         }},
        {"RemoveCache", "RemoveCacheEntries",
         [](CCacheCleaner& c, const CCleaningRule& r, const CPassDeadline&) { c.CleanCache(r); }},
        {"RemoveLastTyped", "RemoveLastTypedEntries",
         [](CCacheCleaner&, const CCleaningRule& r, const CPassDeadline&) { CTypedUrlCleaner().CleanTypedUrls(r); }},
        {"RemoveHistory", "RemoveHistoryEntries",
         [](CCacheCleaner&, const CCleaningRule& r, const CPassDeadline& d) { CleanHistory(r, d); }},
    };
    for (const auto& row : rows) {
        if (deadline.Passed())
            return;  // the rest waits for the next pass of these domains
        if (CRegNumberValue(kSettings + row.setting).Get() != 1)
            continue;
        // What the white list matches stays, whatever the domains find.
        row.clean(cache, CCleaningRule(domains, entries_), deadline);
        Count(row.counter);
    }
}
