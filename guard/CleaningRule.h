#pragma once
// Which items one cleaning pass removes: those that name one of its domains,
// case-sensitively, except the ones a white-list entry occurs in (as in an
// address). A domain names an item where it occurs as whole host labels: the
// character before it and the one after it are no letter, digit, "-" or
// character of another script, nor a dot that goes on to another label; it
// is looked for in an address's host and query, never its path. So
// example.com names www.example.com/x and ?ref=example.com but not
// notexample.com, example.community, example.com.au or
// other.org/example.com/. A domain of
// one label ("intranet") or a public suffix ("co.uk") names only an item
// whose own host it is: found inside other names, it would name every site.
// A short entry ("e.com") still keeps a white-listed site's items
// ("example.com"): an entry only keeps, so a wide match loses nothing.
// Several domains in one rule let one walk of a store serve them all.
//
// Addresses and registry texts are tested as the ANSI text they are; a file
// name is tested as the platform's UTF-16 name, against the domains and
// entries converted once, exactly: a name is never converted, so no
// best-fit character ever stands for one it is not.
#include <string>
#include <vector>

class CCleaningRule {
public:
    CCleaningRule(std::string domain, std::vector<std::string> keep = {});
    CCleaningRule(std::vector<std::string> domains, std::vector<std::string> keep);

    // An address, a cookie entry or a registry text; its host is the one
    // ItemHost finds, and a domain is looked for in its host and its query.
    bool Removes(const std::string& text) const;
    // A shell item's name, tested as an address is.
    bool RemovesName(const std::wstring& name) const;
    // A store's file or folder name, with the site it belongs to as the
    // store names it: the domain is looked for in the site, the white list
    // in the name.
    bool RemovesName(const std::wstring& name, const std::wstring& site) const;
    // A cookie entry ("Cookie:user@host/path"): as any text, and also when
    // its host is a parent domain of one of the rule's hosts (a cookie set
    // for example.net by shop.example.net is sent back to it), unless the
    // parent is a public suffix or an entry names it or a site under it.
    bool RemovesCookie(const std::string& url) const;

    // The host an item names: what follows "://" ("Visited: me@http://host/"),
    // else what follows a user's "@" before the first "/" ("Cookie:me@host/"),
    // else the text itself; up to its path, query or fragment, without user
    // information or port.
    static std::wstring ItemHost(const std::wstring& item);

private:
    struct Domain {
        std::string text;
        std::wstring wide;  // empty when the code page has no exact UTF-16 form
        bool wholeHost;     // one label or a public suffix: names its own host only
    };

    // Whether a domain stands in the text: as its host, for a domain that
    // names its own host only, else as whole labels of its host or query
    // (of the whole text when whole is set).
    bool NamesADomain(const std::wstring& text, bool whole, const std::wstring& host) const;
    // Whether the white list keeps a name.
    bool Keeps(const std::wstring& name) const;

    std::vector<Domain> domains_;
    std::vector<std::string> keep_;
    std::vector<std::wstring> wideKeep_;
    bool keepIsExact_ = true;  // every entry has a UTF-16 form
};

// Whether a domain names anything: with no letter or digit in it ("." from
// "http://./") it is found in every item of every site.
bool NamesASite(const std::string& domain);

// The host a domain's cookies are kept under: the browser keys a site's
// cookies by its bare host, so a port ("t2.test:8080"), user information
// ("user@t2.test") and a trailing dot ("t3.test.") are dropped.
std::string CleaningHost(std::string domain);
