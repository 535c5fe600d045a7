#pragma once
// Removes one site's cookies, or its temporary Internet files, from the URL
// cache: every entry whose URL contains the domain, case-sensitively.
#include <string>

class CCacheCleaner {
public:
    void CleanCookies(std::string domain);
    void CleanCache(std::string domain);
};
