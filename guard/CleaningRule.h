#pragma once
// Which items one cleaning pass removes: those whose text holds the domain,
// case-sensitively, except the ones the white list matches by the same test
// as an address. A short domain ("e.com") is found inside a white-listed
// site's items ("example.com"): those stay.
#include <string>
#include <vector>

class CCleaningRule {
public:
    CCleaningRule(std::string domain, std::vector<std::string> keep = {})
        : domain_(std::move(domain)), keep_(std::move(keep))
    {
    }

    bool Removes(const std::string& text) const;

private:
    std::string domain_;
    std::vector<std::string> keep_;
};

// Whether a domain names anything: with no letter or digit in it ("." from
// "http://./") it is found in every item of every site.
bool NamesASite(const std::string& domain);
