#pragma once
// The traces a browser leaves for a page it shows, made through the real
// platform calls (URL cache, cookie store, typed addresses, History folder),
// and a count of those that remain for a domain.
#include <string>

struct TraceCount {
    int cache = 0;
    int cookies = 0;
    int typed = 0;
    int history = 0;
};

// The page's host: the address without its scheme, cut at the first "/".
std::string HostOf(const std::string& url);

void LeaveTraces(const std::string& url);
TraceCount CountTraces(const std::string& domain);
