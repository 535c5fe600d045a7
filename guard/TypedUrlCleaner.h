#pragma once
// Empties the addresses typed into the browser's address bar (url1 to url25)
// that the pass's rule removes. Values are emptied, never deleted or renumbered;
// the time the browser keeps under an emptied value's name goes with it.
#include <string>

#include "CleaningRule.h"
#include "PassDeadline.h"

class CTypedUrlCleaner {
public:
    static void CleanTypedUrls(const CCleaningRule& rule, const CPassDeadline& deadline = CPassDeadline());
    static void CleanTypedUrls(std::string domain) { CleanTypedUrls(CCleaningRule(std::move(domain))); }
};
