#include "CleaningPass.h"

#include <algorithm>

#include "AppContainer.h"
#include "CacheCleaner.h"
#include "CleaningRule.h"
#include "DomStorageKeys.h"
#include "DownloadHistoryCleaner.h"
#include "HistoryCleaner.h"
#include "JumpListCleaner.h"
#include "SettingsStore.h"
#include "TypedUrlCleaner.h"
#include "WebsiteDataCleaner.h"

namespace {

using namespace settings;

// Adds to the counter; true when the registry took the write.
bool Add(CRegNumberValue&& counter, unsigned passes)
{
    counter.Set(counter.Get() + passes);  // wraps from 0xFFFFFFFF to 0
    return counter.LastWriteSucceeded();
}

// Counts in the machine's store, or under AppDataLow when a Protected Mode
// browser may not write HKLM; an Enhanced Protected Mode tab (an
// AppContainer, which may write neither) counts in its container's own storage.
void Count(const char* counterName, unsigned passes)
{
    if (AppContainer().inContainer()) {
        if (const ContainerStore store{})
            Add(store.Number(counterName), passes);
        return;
    }
    if (!Add(MachineNumber(counterName), passes))
        Add(UserNumber(counterName), passes);
}

// Cookies and website data, as the browser's own deletion has them: a site
// could put its identifier back from either. DOM storage's registry record
// names the site as its files do.
void CleanCookiesAndWebsiteData(const CCleaningRule& rule, const CPassDeadline& deadline)
{
    CCacheCleaner::CleanCookies(rule, deadline);
    CleanWebsiteData(rule, deadline);
    CleanDomStorageKeys(rule, deadline);
}

// History, with the other records of the pages the user went to: the
// downloads' history and the taskbar's jump list. One count, as one category.
void CleanHistoryAndRecords(const CCleaningRule& rule, const CPassDeadline& deadline)
{
    CleanHistory(rule, deadline);
    CleanDownloadHistory(rule, deadline);
    CleanJumpList(rule, deadline);
}

const struct {
    const char* setting;
    const char* counter;
    void (*clean)(const CCleaningRule&, const CPassDeadline&);
} kCategories[] = {
    {kRemoveCookies, kRemoveCookiesEntries, &CleanCookiesAndWebsiteData},
    {kRemoveCache, kRemoveCacheEntries, &CCacheCleaner::CleanCache},
    {kRemoveLastTyped, kRemoveLastTypedEntries, &CTypedUrlCleaner::CleanTypedUrls},
    {kRemoveHistory, kRemoveHistoryEntries, &CleanHistoryAndRecords},
};

}  // namespace

std::vector<std::string> CleaningHosts(const std::vector<std::string>& domains)
{
    std::vector<std::string> hosts;
    for (const auto& domain : domains) {
        std::string host = CleaningHost(domain);
        if (NamesASite(host) && std::find(hosts.begin(), hosts.end(), host) == hosts.end())
            hosts.push_back(std::move(host));
    }
    return hosts;
}

bool RunCleaningWalk(std::vector<std::string> hosts, const std::vector<std::string>& keep, unsigned passes,
                     const CPassDeadline& deadline, const std::function<void()>& between)
{
    if (hosts.empty() || passes == 0)
        return true;
    const CCleaningRule rule(std::move(hosts), keep);
    for (const auto& category : kCategories) {
        if (deadline.Passed())
            return false;  // the rest waits for the next pass of these hosts
        if (between)
            between();
        if (EffectiveNumber(category.setting) != 1)
            continue;
        category.clean(rule, deadline);
        Count(category.counter, passes);
    }
    return !deadline.Passed();
}
