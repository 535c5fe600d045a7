#include "DomainTracker.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "AnsiText.h"
#include "CleaningPass.h"
#include "AppContainer.h"
#include "CleaningQueue.h"
#include "MessageBoxApi.h"
#include "ModulePath.h"
#include "SettingsStore.h"
#include "TextFile.h"
#include "WhiteListFile.h"

namespace {

using namespace settings;

bool SameSite(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

}  // namespace

std::string GuardWhiteListPath()
{
    // The module that holds this code: Vexmoor.dll in a browser.
    MEMORY_BASIC_INFORMATION memory{};
    if (!VirtualQuery(reinterpret_cast<const void*>(&GuardWhiteListPath), &memory, sizeof memory))
        return std::string();
    return FileBesideModule(static_cast<HMODULE>(memory.AllocationBase), kWhiteListFileName);
}

void CDomainTracker::LoadWhiteList() { Load(true); }

void CDomainTracker::ReloadWhiteListQuietly() { Load(false); }

std::vector<std::string> CDomainTracker::Load(bool mayAsk)
{
    auto read = ReadWhiteListFile(GuardWhiteListPath());
    if (read.status != WhiteListRead::Read) {
        if (!mayAsk)
            return {};
        list_ = read.status == WhiteListRead::Busy ? List::Busy : List::Unreadable;
        // Another process holding the list is nobody's fault to report, and
        // a list that stays unreadable is told once, not at every event.
        if (list_ == List::Unreadable && !std::exchange(told_, true))
            MessageBoxHook()(nullptr, "Critical Error - Cannot load whitelist", "Critical Error", MB_OK);
        return {};
    }
    list_ = List::Read;
    entriesExact_ = entriesExact_ && read.AllExactAnsi();
    for (auto& entry : read.AnsiEntries())
        entries_.push_back(std::move(entry));
    // An administrator's entries are kept as well as the user's.
    for (auto& entry : PolicyWhiteList())
        entries_.push_back(std::move(entry));
    std::vector<std::string> waited;
    for (auto& [address, domain] : std::exchange(undecided_, {})) {
        if (!MatchingEntry(address)) {
            Remember(domain);
            waited.push_back(std::move(domain));
        }
    }
    return waited;
}

void CDomainTracker::Undecided(const std::string& address, const std::string& domain)
{
    // A window that browses for hours while the list stays unreadable must
    // not grow this without end: past the bound, a navigation's pass is
    // given up, which only keeps what it would have removed.
    const std::size_t kMostWaiting = 256;
    const auto same = [&](const auto& waiting) { return waiting.first == address; };
    if (undecided_.size() < kMostWaiting && std::none_of(undecided_.begin(), undecided_.end(), same))
        undecided_.emplace_back(address, domain);
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
    // The address's own scheme goes, https too (left, the domain of every
    // secure address would be "https:", found in every secure entry of every
    // site), and "www." where it is the host's first label. Removed anywhere
    // else, it would make another site's name of a host ("bank.www.com").
    for (const std::string scheme : {"http://", "https://", "ftp://"}) {
        if (address.compare(0, scheme.size(), scheme) == 0) {
            address.erase(0, scheme.size());
            break;
        }
    }
    if (address.compare(0, 4, "www.") == 0)
        address.erase(0, 4);
    const auto slash = ansi::Find(address, "/");
    return slash == ansi::npos ? std::string() : address.substr(0, slash);
}

const std::string* CDomainTracker::MatchingEntry(const std::string& address) const
{
    const auto match = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const std::string& entry) { return ansi::Contains(address, entry); });
    return match == entries_.end() ? nullptr : &*match;
}

int CDomainTracker::CheckUrl(std::string address)
{
    if (const std::string* entry = MatchingEntry(address)) {
        SetPendingDomain(*entry);
        return 1;
    }
    SetPendingDomain(DeriveDomain(address));
    // Without the list, no entry is known not to match: the pass waits.
    if (list_ != List::Read) {
        Undecided(address, pendingDomain_);
        pendingDomain_.clear();
    }
    return 0;
}

void CDomainTracker::SetPendingDomain(const std::string& domain)
{
    pendingDomain_ = domain;
    // Under the user's own key, which a Protected Mode browser may write too:
    // what one user browses is no other user's to read.
    // An Enhanced Protected Mode tab keeps it in its container's storage;
    // the time says which store holds the latest.
    const std::string now = TimeStamp();
    if (!AppContainer().inContainer()) {
        UserText(kLastDomain).Set(domain);
        UserText(kLastDomainTime).Set(now);
    } else if (const ContainerStore store{}) {
        store.Text(kLastDomain).Set(domain);
        store.Text(kLastDomainTime).Set(now);
    }
}

void CDomainTracker::RunCleaningPass()
{
    // Taken out first: the next navigation sets the domain of its own pass.
    std::vector<std::string> domains(1);
    domains[0].swap(pendingDomain_);
    if (!arrived_.empty())
        domains.push_back(std::exchange(arrived_, std::string()));
    for (auto& domain : ReadWhatWaits())
        domains.push_back(std::move(domain));
    Hand(std::move(domains));
}

int CDomainTracker::BeginNavigation(std::string address, bool topLevel, const void* object)
{
    // What waited for the list joins this navigation's leaving pass.
    std::vector<std::string> waited = ReadWhatWaits();
    std::vector<std::string> leaving;
    std::string examined = DeriveDomain(address);
    arrived_.clear();
    if (topLevel) {
        // Host names know no case: the same site in other capitals is not left.
        if (!SameSite(examined, topDomain_))
            leaving.swap(shown_);
        topDomain_ = examined;
    }
    Examining(object, std::move(examined));
    const int whiteListed = CheckUrl(std::move(address));
    if (!whiteListed && list_ == List::Read)
        Remember(pendingDomain_);
    leaving.insert(leaving.end(), waited.begin(), waited.end());
    Hand(std::move(leaving));
    return whiteListed;
}

void CDomainTracker::Examining(const void* object, std::string domain)
{
    const auto same = [&](const auto& navigation) { return navigation.first == object; };
    examining_.erase(std::remove_if(examining_.begin(), examining_.end(), same), examining_.end());
    // A page has a handful of frames; a page that never completes its
    // navigations must not grow this without end.
    const std::size_t kMostUnderWay = 64;
    if (examining_.size() == kMostUnderWay)
        examining_.erase(examining_.begin());
    examining_.emplace_back(object, std::move(domain));
}

void CDomainTracker::Arrive(const std::string& address, bool topLevel, const void* object)
{
    // Only a navigation that was examined ends here; one that began before
    // the guard attached is not its to judge.
    const auto navigation = std::find_if(examining_.begin(), examining_.end(),
                                         [&](const auto& underWay) { return underWay.first == object; });
    if (navigation == examining_.end())
        return;
    const std::string examined = std::move(navigation->second);
    examining_.erase(navigation);
    std::string domain = DeriveDomain(address);
    if (SameSite(domain, examined))
        return;
    if (topLevel)
        topDomain_ = domain;
    if (MatchingEntry(address))
        return;
    if (list_ != List::Read) {
        Undecided(address, domain);
        return;
    }
    Remember(domain);
    arrived_ = std::move(domain);
}

void CDomainTracker::LeaveWindow(const CPassDeadline& deadline)
{
    std::vector<std::string> leaving;
    leaving.swap(shown_);
    topDomain_.clear();
    Hand(std::move(leaving), deadline);
    // The window's bound is spent finishing its own passes; what is left
    // then waits in the pending list for the next guard.
    CCleaningQueue::Instance().WaitFor(this, deadline);
}

void CDomainTracker::Remember(const std::string& domain)
{
    if (std::find(shown_.begin(), shown_.end(), domain) == shown_.end())
        shown_.push_back(domain);
}

void CDomainTracker::Hand(std::vector<std::string> domains, const CPassDeadline& closingBy)
{
    if (CleaningHosts(domains).empty())
        return;
    // What the user keeps is not known: the domains wait for the window's
    // next pass that may run.
    if (list_ != List::Read) {
        for (const auto& domain : domains)
            Remember(domain);
        return;
    }
    // An entry with no exact ANSI form may be meant for any item, whose text
    // the stores give in ANSI: while it is listed, nothing is removed.
    if (!entriesExact_)
        return;
    CCleaningQueue::Instance().Add(this, std::move(domains), entries_, closingBy);
}
