#pragma once
// The URL cache functions the cleaners call, as a table that tests can point
// elsewhere to make a delete or a walk fail. Real wininet by default.
#include <windows.h>
#include <wininet.h>

struct WinInetApi {
    decltype(&::FindFirstUrlCacheEntryA) FindFirst = &::FindFirstUrlCacheEntryA;
    decltype(&::FindNextUrlCacheEntryA) FindNext = &::FindNextUrlCacheEntryA;
    decltype(&::FindCloseUrlCache) FindClose = &::FindCloseUrlCache;
    decltype(&::DeleteUrlCacheEntryA) DeleteEntry = &::DeleteUrlCacheEntryA;
    // The same walk in UTF-16, where an entry's file name must be the
    // platform's own, never a best-fit conversion.
    decltype(&::FindFirstUrlCacheEntryW) FindFirstW = &::FindFirstUrlCacheEntryW;
    decltype(&::FindNextUrlCacheEntryW) FindNextW = &::FindNextUrlCacheEntryW;
    decltype(&::DeleteUrlCacheEntryW) DeleteEntryW = &::DeleteUrlCacheEntryW;
};

// The table in force for the whole process.
WinInetApi& WinInet();
