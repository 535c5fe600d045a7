#pragma once
// Which items one cleaning pass removes: those whose text holds one of its
// domains, case-sensitively, except the ones the white list matches by the
// same test as an address. A short domain ("e.com") is found inside a
// white-listed site's items ("example.com"): those stay. Several domains in
// one rule let one walk of a store serve them all.
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

    bool Removes(const std::string& text) const;
    bool RemovesName(const std::wstring& name) const;
    // A cookie entry ("Cookie:user@host/path"): as any text, and also when
    // its host is a parent domain of one of the rule's hosts (a cookie set
    // for example.net by shop.example.net is sent back to it), unless an
    // entry names that parent or a site under it.
    bool RemovesCookie(const std::string& url) const;

private:
    std::vector<std::string> domains_;
    std::vector<std::string> keep_;
    std::vector<std::wstring> wideDomains_;
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
