#pragma once
// Removes a pass's cookies, or its temporary Internet files, from the URL
// cache: every entry whose URL the rule removes (it holds one of the pass's
// domains, case-sensitively, and no white-list entry). A walk gives up at
// the pass's deadline; what it has not reached stays for the next pass.
#include <string>

#include "CleaningRule.h"
#include "PassDeadline.h"

class CCacheCleaner {
public:
    static void CleanCookies(const CCleaningRule& rule, const CPassDeadline& deadline = CPassDeadline());
    static void CleanCache(const CCleaningRule& rule, const CPassDeadline& deadline = CPassDeadline());
    static void CleanCookies(std::string domain) { CleanCookies(CCleaningRule(std::move(domain))); }
    static void CleanCache(std::string domain) { CleanCache(CCleaningRule(std::move(domain))); }
};
