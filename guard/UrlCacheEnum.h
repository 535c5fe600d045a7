#pragma once
// One walk over the URL cache. The entries are read in place from a single
// block that grows only when the cache says an entry does not fit; an entry
// stays valid until the next call.
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

    DWORD BufferSize() const { return bufferSize_; }

private:
    // Makes the block at least this large and zeroes it; false when it cannot.
    bool PrepareBlock(DWORD size);
    void CloseHandle();
    INTERNET_CACHE_ENTRY_INFOA* Entry() { return reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer_.get()); }

    std::unique_ptr<BYTE[]> buffer_;
    DWORD bufferSize_ = 0;
    HANDLE find_ = nullptr;
};
