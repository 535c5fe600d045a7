#pragma once
// Removes one site's cookies, or its temporary Internet files, from the URL
// cache: every entry whose URL contains the domain, case-sensitively.
#include <string>

#include "CleaningRule.h"

class CCacheCleaner {
public:
    void CleanCookies(const CCleaningRule& rule);
    void CleanCache(const CCleaningRule& rule);
    void CleanCookies(std::string domain) { CleanCookies(CCleaningRule(std::move(domain))); }
    void CleanCache(std::string domain) { CleanCache(CCleaningRule(std::move(domain))); }
};
