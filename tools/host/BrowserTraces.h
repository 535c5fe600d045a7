#pragma once
// The traces a browser leaves for a page it shows, at the points of its load
// where the browser makes them: the page and its resources fetched from the
// sites served on this machine (tools/sites) through the platform's own HTTP
// stack, which caches them and keeps their cookies; the rest made through
// the platform calls (cookie store, typed addresses, History folder) or by
// hand where no engine here writes them (DOM storage, userData, plug-in
// objects). And a count of those that remain for a domain.
#include <string>

struct TraceCount {
    int cache = 0;
    int cookies = 0;
    int typed = 0;
    int history = 0;
    int storage = 0;  // DOM storage and userData files
    int plugIn = 0;   // the plug-in's per-site folders
};

// The page's host: the address without its scheme, cut at the first "/".
std::string HostOf(const std::string& url);

// What the response to the address leaves: the page fetched (the platform
// caches it and keeps the cookies it sets), and for the window's own page
// (not a frame's) the address among the typed ones.
void LeaveResponseTraces(const std::string& url, bool inFrame);
// What the page's resources leave once it is shown: its image and script
// fetched, a cookie its script sets, its DOM storage and userData files and its
// plug-in's shared object (where Internet Explorer 11 in Protected Mode
// keeps them), and for the window's own page its History item.
void LeaveResourceTraces(const std::string& url, bool inFrame);
TraceCount CountTraces(const std::string& domain);
