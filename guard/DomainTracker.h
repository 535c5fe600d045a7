#pragma once
// The guard's view of one browser window's navigation: the white list loaded
// from the file that the WhiteList setting names, and the pending domain that
// the next cleaning pass will clean for.
#include <string>
#include <vector>

class CDomainTracker {
public:
    virtual ~CDomainTracker() = default;

    // Appends the entries of the white-list file; a file that cannot be read
    // is reported to the user in a message box.
    void LoadWhiteList();

    // Appends the entries of a file text: each line up to the first empty one,
    // each cut at its first NUL byte.
    void ParseWhiteList(const std::string& text);

    // 1 when the address is white-listed, else 0. Sets the pending domain and
    // publishes it as LastDomain either way.
    int CheckUrl(std::string address);

    // Runs the enabled cleaners for the pending domain, counts the pass in
    // each category that ran, and empties the pending domain.
    void RunCleaningPass();

    const std::vector<std::string>& WhiteListEntries() const { return entries_; }
    const std::string& PendingDomain() const { return pendingDomain_; }

private:
    void SetPendingDomain(const std::string& domain);

    std::vector<std::string> entries_;
    std::string pendingDomain_;
};

// The domain of an address that no white-list entry matched: its schemes and
// "www." removed wherever they stand, then cut at the first "/" ("" without one).
std::string DeriveDomain(std::string address);
