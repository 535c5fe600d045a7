#pragma once
// Empties the addresses typed into the browser's address bar (url1 to url25)
// that contain the domain. Values are emptied, never deleted or renumbered.
#include <string>

#include "CleaningRule.h"

class CTypedUrlCleaner {
public:
    virtual ~CTypedUrlCleaner() = default;
    void CleanTypedUrls(const CCleaningRule& rule);
    void CleanTypedUrls(std::string domain) { CleanTypedUrls(CCleaningRule(std::move(domain))); }
};
