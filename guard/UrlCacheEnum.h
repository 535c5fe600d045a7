#pragma once
// One walk over the URL cache. The entries are read in place from a single
// block that grows only when the cache says an entry does not fit; an entry
// stays valid until the next call. A walk begun in UTF-16 (FindFirstW) goes
// on in UTF-16 (FindNextW).
#include <windows.h>
#include <wininet.h>

#include <memory>

class CUrlCacheEnum {
public:
    CUrlCacheEnum() = default;
    ~CUrlCacheEnum();
    CUrlCacheEnum(const CUrlCacheEnum&) = delete;
    CUrlCacheEnum& operator=(const CUrlCacheEnum&) = delete;

    // The first entry matching the pattern (null: every container), or null.
    INTERNET_CACHE_ENTRY_INFOA* FindFirst(const char* pattern);
    // The next entry of the walk, or null at its end or on failure.
    INTERNET_CACHE_ENTRY_INFOA* FindNext();
    INTERNET_CACHE_ENTRY_INFOW* FindFirstW(const wchar_t* pattern);
    INTERNET_CACHE_ENTRY_INFOW* FindNextW();

    DWORD BufferSize() const { return bufferSize_; }

private:
    // Makes the block at least this large and zeroes it; false when it cannot.
    bool PrepareBlock(DWORD size);
    // Calls fetch(block, &size) until an entry fits the block; false when
    // the cache has none to give or the block cannot grow.
    template <typename Fetch>
    bool Fill(DWORD requested, Fetch fetch);
    void CloseHandle();

    std::unique_ptr<BYTE[]> buffer_;
    DWORD bufferSize_ = 0;
    HANDLE find_ = nullptr;
};
