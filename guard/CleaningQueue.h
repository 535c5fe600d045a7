#pragma once
// The guard's cleaning, away from the browser's window threads. A window's
// thread paints, runs script and takes the user's clicks; a walk of the
// stores would hold it for seconds. So a window only queues its passes here,
// and one thread per browser process runs them: a walk starts once no pass
// has arrived for a short while, and serves every pass waiting by then, so
// a page and its frames share one walk of each store.
//
// The hosts of every pass not yet run are kept in the user's store
// (PendingHosts) until a walk has finished them: what a closing window's
// bound or the end of the browser process cut short is cleaned by the next
// guard that attaches. That list is input (a page's process may write it):
// a list too long, or with a host longer than a host can be, is ignored, and
// each host passes the domain rule and the white list as a navigation does.
#include <windows.h>

#include <string>
#include <vector>

#include "CriticalSection.h"
#include "Handle.h"
#include "PassDeadline.h"

class CCleaningQueue {
public:
    // How long the queue waits for more passes before it starts a walk: a
    // page's frames arrive within milliseconds of each other, and a person
    // does not notice a quarter of a second before traces go.
    static const DWORD kSettleMs = 250;
    // However passes keep arriving, a walk starts this long after the first.
    static const DWORD kLongestSettleMs = 2000;
    // The pending list's own bound.
    static const std::size_t kMostPendingHosts = 256;
    static const std::size_t kLongestHost = 253;

    static CCleaningQueue& Instance();

    // A guard attached to its window with these white-list entries: the
    // hosts a walk left unfinished are queued for it. The thread ends once
    // no guard is attached and nothing waits.
    void GuardAttached(const void* window, const std::vector<std::string>& keep);
    void GuardDetached();

    // Queues a pass of the domains for the window, with the entries of its
    // white list. A closing window's pass (with the window's bound) starts
    // without the wait, and its walk gives up before the bound.
    void Add(const void* window, std::vector<std::string> domains, std::vector<std::string> keep,
             const CPassDeadline& closingBy = CPassDeadline());

    // Waits, within the deadline, until every pass the window queued has
    // run: the one wait a window has, when it closes. The last window of
    // the process also waits, within the same deadline, for a walk it cuts
    // short to stop between two entries.
    bool WaitFor(const void* window, const CPassDeadline& deadline);

    // Whether passes wait or run, or the thread is still there: the module
    // must stay loaded meanwhile.
    bool Busy();
    // Whether no pass waits or runs.
    bool Idle();

    // Starts what waits at once and returns once nothing waits or runs;
    // false after the timeout. For tests and the stand-in browser, which
    // must see a pass's result before they look.
    bool Flush(DWORD timeoutMs);

    // The thread the last walk ran on, and how many walks ran: what tests
    // look at to see that no walk runs on a window's thread.
    DWORD LastWalkThread();
    unsigned Walks();

private:
    struct Pass {
        const void* window;
        std::vector<std::string> domains;
        std::vector<std::string> keep;
        CPassDeadline closingBy;
        bool pendingList;  // the hosts a walk left, read back from the user's store
        bool persisted = false;  // its hosts are in the pending list
    };
    enum class Outcome { Done, CutShort, ListNotReadableNow };

    CCleaningQueue();
    static DWORD WINAPI ThreadMain(void* module);
    void Queue(Pass pass);
    void StartThreadHeld();
    void Run();
    bool TakeBatch(std::vector<Pass>& batch);
    // The walk for the passes; drops those it may not run from the batch.
    Outcome RunBatch(std::vector<Pass>& batch);
    void Finish(std::vector<Pass>& batch, Outcome outcome);
    // Puts the hosts of the passes that arrived since in the pending list:
    // a walk may take long, and the process may end meanwhile.
    void PersistArrivals();
    bool WaitsFor(const void* window) const;
    bool StopLastWalk(const CPassDeadline& deadline);
    void Signal() { SetEvent(work_.Get()); }

    CriticalSection lock_;
    KernelHandle work_;  // auto-reset: a pass arrived, a flush or a cut was asked for
    KernelHandle done_;  // manual-reset, set when nothing waits or runs
    std::vector<Pass> queued_;
    std::vector<Pass> running_;
    LONG guards_ = 0;
    bool threadAlive_ = false;
    bool flush_ = false;
    DWORD firstQueued_ = 0;
    DWORD lastAdd_ = 0;
    volatile LONG cut_ = 0;  // the last window closes: the walk stops between two entries
    DWORD lastWalkThread_ = 0;
    unsigned walks_ = 0;
};
