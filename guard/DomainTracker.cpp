#include "DomainTracker.h"

#include <windows.h>

#include "AnsiText.h"
#include "CacheCleaner.h"
#include "HistoryCleaner.h"
#include "MessageBoxApi.h"
#include "RegValue.h"
#include "TextFile.h"
#include "TypedUrlCleaner.h"

namespace {

const char kWhiteListPath[] = "Software\\Norvane\\WhiteList";
const char kLastDomainPath[] = "Software\\Norvane\\LastDomain";
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

void CDomainTracker::LoadWhiteList()
{
    CRegTextValue whiteList(kWhiteListPath);
    if (whiteList.Get().empty())
        return;
    const auto text = ReadTextModeFile(whiteList.Get());
    if (!text) {
        MessageBoxHook()(nullptr, "Critical Error - Cannot load whitelist", "Critical Error", MB_OK);
        return;
    }
    ParseWhiteList(*text);
}

void CDomainTracker::ParseWhiteList(const std::string& text)
{
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos && end != start;
         end = text.find('\n', start)) {
        // A NUL byte ends its line's entry (a file written as UTF-16, or a
        // zero-filled tail after a crash), and the lines after it still count,
        // as the control panel reads them. A line of NULs gives no entry: an
        // empty entry would match every address.
        const std::string line = text.substr(start, end - start);
        const std::string entry = line.substr(0, line.find('\0'));
        if (!entry.empty())
            entries_.push_back(entry);
        start = end + 1;
    }
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
    CRegTextValue lastDomain(kLastDomainPath);
    CRegTextValue lowLastDomain(kLowSettings + "LastDomain", "", false, HKEY_CURRENT_USER);
    if (lastDomain.Get() != domain) {
        lastDomain.Set(domain);
        if (!lastDomain.LastWriteSucceeded()) {
            lowLastDomain.Set(domain);
            return;
        }
    }
    // The machine's value is the newest now: a sandboxed browser's older one
    // must not be offered in its place.
    lowLastDomain.Set("");
}

void CDomainTracker::RunCleaningPass()
{
    if (!pendingDomain_.empty()) {
        CCacheCleaner cache;
        const struct {
            const char* setting;
            const char* counter;
            void (*clean)(CCacheCleaner&, const std::string&);
        } rows[] = {
            {"RemoveCookies", "RemoveCookiesEntries",
             [](CCacheCleaner& c, const std::string& d) { c.CleanCookies(d); }},
            {"RemoveCache", "RemoveCacheEntries", [](CCacheCleaner& c, const std::string& d) { c.CleanCache(d); }},
            {"RemoveLastTyped", "RemoveLastTypedEntries",
             [](CCacheCleaner&, const std::string& d) { CTypedUrlCleaner().CleanTypedUrls(d); }},
            {"RemoveHistory", "RemoveHistoryEntries", [](CCacheCleaner&, const std::string& d) { CleanHistory(d); }},
        };
        for (const auto& row : rows) {
            if (CRegNumberValue(kSettings + row.setting).Get() != 1)
                continue;
            // Each cleaner gets its own copy: the history cleaner lets the
            // thread take events, which may change the pending domain meanwhile.
            const std::string domain = pendingDomain_;
            row.clean(cache, domain);
            Count(row.counter);
        }
    }
    pendingDomain_.clear();
}
