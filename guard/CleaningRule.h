#pragma once
// Which items one cleaning pass removes: those whose text holds one of its
// domains, case-sensitively, except the ones the white list matches by the
// same test as an address. A short domain ("e.com") is found inside a
// white-listed site's items ("example.com"): those stay. Several domains in
// one rule let one walk of a store serve them all.
#include <string>
#include <vector>

class CCleaningRule {
public:
    CCleaningRule(std::string domain, std::vector<std::string> keep = {})
        : domains_{std::move(domain)}, keep_(std::move(keep))
    {
    }
    CCleaningRule(std::vector<std::string> domains, std::vector<std::string> keep)
        : domains_(std::move(domains)), keep_(std::move(keep))
    {
    }

    bool Removes(const std::string& text) const;

private:
    std::vector<std::string> domains_;
    std::vector<std::string> keep_;
};

// Whether a domain names anything: with no letter or digit in it ("." from
// "http://./") it is found in every item of every site.
bool NamesASite(const std::string& domain);
