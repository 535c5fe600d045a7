#include "UrlCacheEnum.h"

#include <cstring>
#include <new>

#include "WinInetApi.h"

namespace {

const DWORD kFirstRequest = 4096;

}  // namespace

CUrlCacheEnum::~CUrlCacheEnum() { CloseHandle(); }

void CUrlCacheEnum::CloseHandle()
{
    if (find_) {
        WinInet().FindClose(find_);
        find_ = nullptr;
    }
}

bool CUrlCacheEnum::PrepareBlock(DWORD size)
{
    if (bufferSize_ < size) {
        buffer_.reset();
        bufferSize_ = 0;
        buffer_.reset(new (std::nothrow) BYTE[size]);
        if (!buffer_)
            return false;
        bufferSize_ = size;
    }
    std::memset(buffer_.get(), 0, bufferSize_);
    return true;
}

INTERNET_CACHE_ENTRY_INFOA* CUrlCacheEnum::FindFirst(const char* pattern)
{
    CloseHandle();
    DWORD requested = kFirstRequest;
    for (;;) {
        if (!PrepareBlock(requested))
            return nullptr;
        HANDLE found = WinInet().FindFirst(pattern, Entry(), &requested);
        if (found) {
            find_ = found;
            return Entry();
        }
        // The cache has put the size it needs into requested; a size that
        // would not grow the block could only repeat the failure.
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || requested <= bufferSize_)
            return nullptr;
    }
}

INTERNET_CACHE_ENTRY_INFOA* CUrlCacheEnum::FindNext()
{
    if (!find_)
        return nullptr;
    DWORD requested = bufferSize_;
    for (;;) {
        if (!PrepareBlock(requested))
            return nullptr;
        if (WinInet().FindNext(find_, Entry(), &requested))
            return Entry();
        // Fetched again into the larger block, so no entry is skipped.
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || requested <= bufferSize_)
            return nullptr;
    }
}
