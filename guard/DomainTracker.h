#pragma once
// The guard's view of one browser window's navigation: the white list loaded
// from WhiteList.txt beside the guard's own module, the pending domain that
// the next cleaning pass will clean for, and the domains of what the window
// shows, cleaned again when the window leaves them: what a page loads after
// its navigation completes (images, scripts' cookies, its History item)
// would otherwise stay until the next visit.
#include <string>
#include <utility>
#include <vector>

#include "PassDeadline.h"

class CDomainTracker {
public:
    // Appends the entries of the white-list file, and those a policy adds.
    // While the list cannot be read, the window cleans nothing that it would
    // have to check against it: what waits is cleaned once a later event
    // reads the list, at the window's close at the latest. A list that another
    // process holds just now is no fault; one that is missing or unreadable
    // otherwise is reported in a message box, once in the window's life.
    void LoadWhiteList();
    // The same for a window that closes, where nobody may be asked anything:
    // a file that cannot be read leaves the entries in force as they are.
    void ReloadWhiteListQuietly();

    // Appends the entries of a file text: every non-empty line, each cut at
    // its first NUL byte.
    void ParseWhiteList(const std::string& text);

    // 1 when the address is white-listed, else 0. Sets the pending domain and
    // publishes it as the user's own LastDomain either way.
    int CheckUrl(std::string address);

    // Empties the pending domain and hands a pass for what it held to the
    // cleaning thread (CCleaningQueue), which runs the enabled cleaners and
    // counts the pass in each category that ran.
    void RunCleaningPass();

    // A navigation of the window (top-level) or of one of its frames begins:
    // CheckUrl's test, its result returned, and the window's record of what
    // it shows. A top-level navigation to another domain then hands a pass
    // for the domains of everything the window leaves.
    // The browser object (the window's or a frame's) identifies the
    // navigation, which its NavigateComplete2 ends.
    int BeginNavigation(std::string address, bool topLevel, const void* object = nullptr);
    // The object's navigation ended at this address (NavigateComplete2).
    // Where a server redirect took it to another site than the one examined,
    // that site is shown too, and the next pass cleans it with the pending
    // domain unless an entry matches its address.
    void Arrive(const std::string& address, bool topLevel, const void* object = nullptr);
    // The window closes: one pass for the domains of all it shows, and the
    // wait, within the deadline, until every pass of the window has run.
    void LeaveWindow(const CPassDeadline& deadline);
    // The domains of what the window shows that no entry matched, and those
    // that waited for the list: the next leaving or closing pass cleans them.
    const std::vector<std::string>& ShownDomains() const { return shown_; }

    const std::vector<std::string>& WhiteListEntries() const { return entries_; }
    const std::string& PendingDomain() const { return pendingDomain_; }
    bool ListUnreadable() const { return list_ != List::Read; }
    // Navigations examined while the list could not be read, whose passes wait for it.
    bool Waiting() const { return !undecided_.empty(); }
    // A load that could not finish (memory ran out): the list counts as unreadable.
    void MarkListUnreadable() { list_ = List::Unreadable; }

private:
    // The first entry found in the address, in file order, or null.
    const std::string* MatchingEntry(const std::string& address) const;
    enum class List { Read, Busy, Unreadable };
    // Reads the list (the file's entries, then the policy's, appended); a
    // list that cannot be read leaves the entries as they are and, when the
    // user may be asked, sets the list's state. The domains of the waiting
    // navigations that no entry matches, once the list is read.
    std::vector<std::string> Load(bool mayAsk);
    // At each event: the list read again while it could not be, and what
    // waited for it.
    std::vector<std::string> ReadWhatWaits() { return list_ == List::Read ? std::vector<std::string>() : Load(true); }
    // A navigation whose white-list test waits for the list.
    void Undecided(const std::string& address, const std::string& domain);
    void SetPendingDomain(const std::string& domain);
    void Remember(const std::string& domain);
    void Examining(const void* object, std::string domain);
    // One pass for the domains, handed to the cleaning thread with the
    // window's white list; a closing window's with its bound.
    void Hand(std::vector<std::string> domains, const CPassDeadline& closingBy = CPassDeadline());

    std::vector<std::string> entries_;
    std::string pendingDomain_;
    std::string topDomain_;  // of the window's own page, white-listed or not
    // The domain each browser object's navigation under way was examined for.
    std::vector<std::pair<const void*, std::string>> examining_;
    std::string arrived_;  // where the last navigation ended, when not examined
    std::vector<std::string> shown_;
    List list_ = List::Read;  // a tracker that never loaded a list has an empty one
    bool told_ = false;       // the user was told the list cannot be read
    // Every entry the file gave has an exact ANSI form: one that has none
    // might be meant for any item, and while it is listed no pass removes anything.
    bool entriesExact_ = true;
    // Navigations examined while the list could not be read: address and domain.
    std::vector<std::pair<std::string, std::string>> undecided_;
};

// The white-list file the guard reads: WhiteList.txt beside its own module,
// where the installation puts it. Any user can set the WhiteList value, so
// the guard never follows it.
std::string GuardWhiteListPath();

// The domain of an address that no white-list entry matched: its scheme and
// a leading "www." removed, then cut at the first "/" ("" without one).
std::string DeriveDomain(std::string address);
