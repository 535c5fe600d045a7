#include "CleaningQueue.h"

#include <algorithm>
#include <utility>

#include "AnsiText.h"
#include "AppContainer.h"
#include "CleaningPass.h"
#include "DomainTracker.h"
#include "NoThrow.h"
#include "SettingsStore.h"
#include "WhiteListFile.h"

namespace {

const char kPendingHosts[] = "PendingHosts";
const char kPendingListMutex[] = "Local\\Norvane.PendingHosts";
// A closing window's walk gives up this long before the window's bound, and
// the window cuts the process's last walk this long before it: a delete
// under way ends before the window returns.
const DWORD kWalkMarginMs = 500;
const DWORD kStopMarginMs = 250;
const DWORD kWaitStepMs = 20;

// The moment a margin before the deadline.
CPassDeadline Before(const CPassDeadline& deadline, DWORD marginMs)
{
    const DWORD left = deadline.Left();
    return CPassDeadline::In(left > marginMs ? left - marginMs : 0);
}

// The user's store of the pending list: the container's own storage for an
// Enhanced Protected Mode tab, which may write nothing else.
RegistryKey OpenPendingStore(bool create)
{
    RegistryKey root, key;
    HKEY parent = HKEY_CURRENT_USER;
    const char* path = settings::kUserKey;
    if (AppContainer().inContainer()) {
        if (FAILED(AppContainer().registryLocation(KEY_READ | KEY_WRITE, root.Put())))
            return key;
        parent = root.Get();
        path = settings::kContainerKey;
    }
    const REGSAM access = KEY_QUERY_VALUE | KEY_SET_VALUE;
    const LONG result = create ? RegCreateKeyExA(parent, path, 0, nullptr, 0, access, nullptr, key.Put(), nullptr)
                               : RegOpenKeyExA(parent, path, 0, access, key.Put());
    if (result != ERROR_SUCCESS)
        key.Reset();
    return key;
}

// The hosts the store holds; none when the value is no list of hosts: too
// long, of another type, or with a host longer than a host can be.
std::vector<std::string> ReadPendingHosts()
{
    const RegistryKey key = OpenPendingStore(false);
    DWORD type = 0, size = 0;
    const DWORD most = CCleaningQueue::kMostPendingHosts * (CCleaningQueue::kLongestHost + 1) + 1;
    if (!key || RegQueryValueExA(key.Get(), kPendingHosts, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ || size == 0 || size > most)
        return {};
    std::string bytes(size, '\0');
    if (RegQueryValueExA(key.Get(), kPendingHosts, nullptr, &type, reinterpret_cast<BYTE*>(&bytes[0]),
                                &size) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ)
        return {};
    bytes.resize(std::min<std::size_t>(size, bytes.size()));
    std::vector<std::string> hosts;
    for (std::size_t at = 0; at < bytes.size() && bytes[at] != '\0';) {
        const std::size_t end = std::min(bytes.find('\0', at), bytes.size());
        if (end - at > CCleaningQueue::kLongestHost || hosts.size() == CCleaningQueue::kMostPendingHosts)
            return {};
        hosts.push_back(bytes.substr(at, end - at));
        at = end + 1;
    }
    return hosts;
}

void WritePendingHosts(const std::vector<std::string>& hosts)
{
    const RegistryKey key = OpenPendingStore(!hosts.empty());
    if (!key)
        return;
    if (hosts.empty()) {
        RegDeleteValueA(key.Get(), kPendingHosts);
        return;
    }
    std::string bytes;
    for (const auto& host : hosts)
        bytes.append(host).append(1, '\0');
    bytes.append(1, '\0');
    RegSetValueExA(key.Get(), kPendingHosts, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(bytes.data()),
                          static_cast<DWORD>(bytes.size()));
}

// Every browser process of the user shares the list: each change reads,
// changes and writes it under one mutex, within a bounded wait. A process
// that may not open the mutex (a container's) changes it unguarded.
class PendingListLock {
public:
    explicit PendingListLock(DWORD waitMs) : mutex_(CreateMutexA(nullptr, FALSE, kPendingListMutex))
    {
        const DWORD waited = mutex_ ? WaitForSingleObject(mutex_.Get(), waitMs) : WAIT_FAILED;
        held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    }
    PendingListLock(const PendingListLock&) = delete;
    PendingListLock& operator=(const PendingListLock&) = delete;
    ~PendingListLock()
    {
        if (held_)
            ReleaseMutex(mutex_.Get());
    }

private:
    KernelHandle mutex_;
    bool held_ = false;
};

void ChangePendingHosts(const std::vector<std::string>& add, const std::vector<std::string>& remove,
                        DWORD waitMs = 1000)
{
    if (add.empty() && remove.empty())
        return;
    const PendingListLock lock(waitMs);
    // Each host once, in the form the walks remove: an entry that is no
    // site's host would otherwise stay, and fill the list, for good.
    const std::vector<std::string> before = ReadPendingHosts();
    std::vector<std::string> hosts = CleaningHosts(before);
    for (const auto& host : remove)
        hosts.erase(std::remove(hosts.begin(), hosts.end(), host), hosts.end());
    for (const auto& host : add) {
        // The list's own bound: a host past it is cleaned by its walk alone.
        if (host.size() <= CCleaningQueue::kLongestHost && hosts.size() < CCleaningQueue::kMostPendingHosts &&
            std::find(hosts.begin(), hosts.end(), host) == hosts.end())
            hosts.push_back(host);
    }
    if (hosts != before)
        WritePendingHosts(hosts);
}

template <typename Passes>
std::vector<std::string> HostsOf(const Passes& passes)
{
    std::vector<std::string> domains;
    for (const auto& pass : passes)
        domains.insert(domains.end(), pass.domains.begin(), pass.domains.end());
    return CleaningHosts(domains);
}

// A host from the pending list is cleaned only where a navigation to it
// would be: no white-list entry occurs in its address.
std::vector<std::string> NotWhiteListed(std::vector<std::string> hosts, const std::vector<std::string>& keep)
{
    const auto listed = [&](const std::string& host) {
        const std::string address = "http://" + host + "/";
        return std::any_of(keep.begin(), keep.end(),
                           [&](const std::string& entry) { return ansi::Contains(address, entry); });
    };
    hosts.erase(std::remove_if(hosts.begin(), hosts.end(), listed), hosts.end());
    return hosts;
}

// The guard's white list as it stands now, the policy's entries with it.
struct FreshList {
    settings::WhiteListRead::Status status;
    bool exact;
    std::vector<std::string> entries;
};

FreshList ReadGuardWhiteList()
{
    const auto read = settings::ReadWhiteListFile(GuardWhiteListPath());
    FreshList list{read.status, read.AllExactAnsi(), {}};
    if (read.status != settings::WhiteListRead::Read)
        return list;
    list.entries = read.AnsiEntries();
    for (auto& entry : settings::PolicyWhiteList())
        list.entries.push_back(std::move(entry));
    return list;
}

}  // namespace

CCleaningQueue& CCleaningQueue::Instance()
{
    static CCleaningQueue queue;
    return queue;
}

CCleaningQueue::CCleaningQueue()
    : work_(CreateEventA(nullptr, FALSE, FALSE, nullptr)), done_(CreateEventA(nullptr, TRUE, TRUE, nullptr))
{
}

void CCleaningQueue::GuardAttached(const void* window, const std::vector<std::string>& keep)
{
    std::vector<std::string> left = ReadPendingHosts();
    cut_ = 0;
    if (!left.empty())
        Queue(Pass{window, std::move(left), keep, CPassDeadline(), true});
    // Counted last: a queue that could not take the pass counts no guard.
    CriticalSection::Hold hold(lock_);
    ++guards_;
}

void CCleaningQueue::GuardDetached()
{
    {
        CriticalSection::Hold hold(lock_);
        --guards_;
    }
    Signal();
}

void CCleaningQueue::Add(const void* window, std::vector<std::string> domains, std::vector<std::string> keep,
                         const CPassDeadline& closingBy)
{
    Queue(Pass{window, std::move(domains), std::move(keep), closingBy, false});
}

void CCleaningQueue::Queue(Pass pass)
{
    CriticalSection::Hold hold(lock_);
    const DWORD now = GetTickCount();
    if (queued_.empty())
        firstQueued_ = now;
    queued_.push_back(std::move(pass));
    lastAdd_ = now;
    ResetEvent(done_.Get());
    StartThreadHeld();
    Signal();
}

void CCleaningQueue::StartThreadHeld()
{
    if (threadAlive_)
        return;
    // The thread's own reference to the module: the DLL stays loaded until
    // the thread has left it, whatever the browser releases meanwhile.
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&ThreadMain), &module))
        return;
    const KernelHandle thread(CreateThread(nullptr, 0, &ThreadMain, module, 0, nullptr));
    if (!thread) {
        FreeLibrary(module);
        return;
    }
    threadAlive_ = true;
}

DWORD WINAPI CCleaningQueue::ThreadMain(void* module)
{
    CCleaningQueue& queue = Instance();
    if (!NoThrow([&] { queue.Run(); })) {
        // Memory ran out: the passes that wait stay in the pending list, and
        // the next pass starts a thread again.
        CriticalSection::Hold hold(queue.lock_);
        queue.queued_.clear();
        queue.running_.clear();
        queue.threadAlive_ = false;
        SetEvent(queue.done_.Get());
    }
    FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
}

void CCleaningQueue::Run()
{
    std::vector<Pass> batch;
    while (TakeBatch(batch)) {
        // Kept until the walk has run for them: the process may end first.
        NoThrow([&] { ChangePendingHosts(HostsOf(batch), {}); });
        Outcome outcome = Outcome::CutShort;
        NoThrow([&] { outcome = RunBatch(batch); });
        Finish(batch, outcome);
    }
}

bool CCleaningQueue::TakeBatch(std::vector<Pass>& batch)
{
    for (;;) {
        DWORD wait = INFINITE;
        {
            CriticalSection::Hold hold(lock_);
            if (queued_.empty()) {
                if (guards_ == 0) {
                    threadAlive_ = false;
                    cut_ = 0;  // a later thread's walks are nobody's to cut yet
                    return false;
                }
            } else {
                const DWORD now = GetTickCount(), quiet = now - lastAdd_, waited = now - firstQueued_;
                const bool closing = std::any_of(queued_.begin(), queued_.end(),
                                                 [](const Pass& pass) { return pass.closingBy.IsSet(); });
                if (flush_ || cut_ || guards_ == 0 || closing || quiet >= kSettleMs || waited >= kLongestSettleMs) {
                    batch = std::move(queued_);
                    queued_.clear();
                    running_ = batch;
                    return true;
                }
                wait = std::min(kSettleMs - quiet, kLongestSettleMs - waited);
            }
        }
        WaitForSingleObject(work_.Get(), wait);
    }
}

CCleaningQueue::Outcome CCleaningQueue::RunBatch(std::vector<Pass>& batch)
{
    // The white list as it stands when the walk starts: a site white-listed
    // since its window queued the pass keeps its traces.
    // A list another process holds just now is waited for; a closing
    // window cannot wait, and its own entries, read as it closed, hold.
    const auto list = ReadGuardWhiteList();
    const bool closing =
        std::any_of(batch.begin(), batch.end(), [](const Pass& pass) { return pass.closingBy.IsSet(); });
    if (list.status == settings::WhiteListRead::Busy && !closing)
        return Outcome::ListNotReadableNow;
    // An entry with no exact ANSI form might be meant for any item: nothing
    // runs, and the hosts stay in the pending list.
    if (!list.exact)
        return Outcome::CutShort;
    // Without the list only the windows' own passes run, against the lists
    // their windows read; the pending list's hosts wait for a list.
    if (list.status != settings::WhiteListRead::Read)
        batch.erase(std::remove_if(batch.begin(), batch.end(), [](const Pass& pass) { return pass.pendingList; }),
                    batch.end());
    std::vector<std::string> keep = list.entries;
    for (const auto& pass : batch)
        keep.insert(keep.end(), pass.keep.begin(), pass.keep.end());

    std::vector<std::string> domains;
    unsigned passes = 0;
    CPassDeadline deadline;
    for (const auto& pass : batch) {
        std::vector<std::string> hosts = CleaningHosts(pass.domains);
        if (pass.pendingList)
            hosts = NotWhiteListed(std::move(hosts), keep);
        if (hosts.empty())
            continue;
        ++passes;
        domains.insert(domains.end(), hosts.begin(), hosts.end());
        if (pass.closingBy.IsSet())
            deadline = CPassDeadline::Earlier(deadline, Before(pass.closingBy, kWalkMarginMs));
    }
    {
        CriticalSection::Hold hold(lock_);
        lastWalkThread_ = GetCurrentThreadId();
        ++walks_;
    }
    return RunCleaningWalk(CleaningHosts(domains), keep, passes, deadline.CutBy(&cut_), [this] { PersistArrivals(); })
               ? Outcome::Done
               : Outcome::CutShort;
}

void CCleaningQueue::PersistArrivals()
{
    std::vector<std::string> domains;
    {
        CriticalSection::Hold hold(lock_);
        for (auto& pass : queued_) {
            if (!std::exchange(pass.persisted, true))
                domains.insert(domains.end(), pass.domains.begin(), pass.domains.end());
        }
    }
    NoThrow([&] { ChangePendingHosts(CleaningHosts(domains), {}); });
}

void CCleaningQueue::Finish(std::vector<Pass>& batch, Outcome outcome)
{
    if (outcome == Outcome::Done) {
        // A host queued again meanwhile waits for its own walk.
        std::vector<std::string> done = HostsOf(batch), waiting;
        {
            CriticalSection::Hold hold(lock_);
            waiting = HostsOf(queued_);
        }
        done.erase(std::remove_if(done.begin(), done.end(),
                                  [&](const std::string& host) {
                                      return std::find(waiting.begin(), waiting.end(), host) != waiting.end();
                                  }),
                   done.end());
        NoThrow([&] { ChangePendingHosts({}, done); });
    }
    CriticalSection::Hold hold(lock_);
    running_.clear();
    // A list another process holds just now: the walk is tried again after
    // the settle time, unless no window is left to wait for it (the pending
    // list has the hosts for the next guard).
    if (outcome == Outcome::ListNotReadableNow && guards_ > 0 && !cut_) {
        const DWORD now = GetTickCount();
        if (queued_.empty())
            firstQueued_ = now;
        lastAdd_ = now;
        queued_.insert(queued_.begin(), std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()));
    }
    batch.clear();
    if (queued_.empty()) {
        flush_ = false;
        SetEvent(done_.Get());
    }
}

bool CCleaningQueue::WaitsFor(const void* window) const
{
    const auto of = [&](const Pass& pass) { return pass.window == window; };
    return std::any_of(queued_.begin(), queued_.end(), of) || std::any_of(running_.begin(), running_.end(), of);
}

bool CCleaningQueue::WaitFor(const void* window, const CPassDeadline& deadline)
{
    const CPassDeadline own = Before(deadline, kStopMarginMs);
    for (;;) {
        {
            CriticalSection::Hold hold(lock_);
            if (!WaitsFor(window))
                return true;
        }
        if (own.Passed())
            break;
        WaitForSingleObject(done_.Get(), std::min(own.Left(), kWaitStepMs));
    }
    StopLastWalk(deadline);
    return false;
}

bool CCleaningQueue::StopLastWalk(const CPassDeadline& deadline)
{
    // Only the process's last window stops the walk: the others' passes go
    // on after it has gone.
    std::vector<std::string> queuedHosts;
    {
        CriticalSection::Hold hold(lock_);
        if (guards_ > 1)
            return false;
        cut_ = 1;
        queuedHosts = HostsOf(queued_);
    }
    Signal();
    // What has not been taken yet is kept for the next guard from here: the
    // thread may not reach it before the process ends.
    ChangePendingHosts(queuedHosts, {}, deadline.Left());
    for (;;) {
        {
            CriticalSection::Hold hold(lock_);
            if (running_.empty())
                return true;
        }
        if (deadline.Passed())
            return false;
        WaitForSingleObject(done_.Get(), std::min(deadline.Left(), kWaitStepMs));
    }
}

bool CCleaningQueue::Busy()
{
    CriticalSection::Hold hold(lock_);
    return threadAlive_ || !queued_.empty() || !running_.empty();
}

bool CCleaningQueue::Idle()
{
    CriticalSection::Hold hold(lock_);
    return queued_.empty() && running_.empty();
}

bool CCleaningQueue::Flush(DWORD timeoutMs)
{
    {
        CriticalSection::Hold hold(lock_);
        if (queued_.empty() && running_.empty())
            return true;
        flush_ = true;
    }
    Signal();
    return WaitForSingleObject(done_.Get(), timeoutMs) == WAIT_OBJECT_0;
}

DWORD CCleaningQueue::LastWalkThread()
{
    CriticalSection::Hold hold(lock_);
    return lastWalkThread_;
}

unsigned CCleaningQueue::Walks()
{
    CriticalSection::Hold hold(lock_);
    return walks_;
}
