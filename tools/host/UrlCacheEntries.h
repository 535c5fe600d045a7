#pragma once
// What the URL cache holds, as a person's tools list it: every entry's
// address and type, of the container the pattern names (null: the cache
// itself; "Cookie:": the cookies).
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

std::vector<std::pair<std::string, DWORD>> UrlCacheEntries(const char* pattern);
