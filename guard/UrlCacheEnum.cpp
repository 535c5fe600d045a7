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

template <typename Fetch>
bool CUrlCacheEnum::Fill(DWORD requested, Fetch fetch)
{
    for (;;) {
        if (!PrepareBlock(requested))
            return false;
        if (fetch(buffer_.get(), &requested))
            return true;
        // The cache has put the size it needs into requested; a size that
        // would not grow the block could only repeat the failure. A larger
        // block fetches the same entry again, so none is skipped.
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || requested <= bufferSize_)
            return false;
    }
}

INTERNET_CACHE_ENTRY_INFOA* CUrlCacheEnum::FindFirst(const char* pattern)
{
    CloseHandle();
    const bool found = Fill(kFirstRequest, [&](BYTE* block, DWORD* size) {
        find_ = WinInet().FindFirst(pattern, reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(block), size);
        return find_ != nullptr;
    });
    return found ? reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer_.get()) : nullptr;
}

INTERNET_CACHE_ENTRY_INFOA* CUrlCacheEnum::FindNext()
{
    const bool found = find_ && Fill(bufferSize_, [&](BYTE* block, DWORD* size) {
        return WinInet().FindNext(find_, reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(block), size) != FALSE;
    });
    return found ? reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer_.get()) : nullptr;
}

INTERNET_CACHE_ENTRY_INFOW* CUrlCacheEnum::FindFirstW(const wchar_t* pattern)
{
    CloseHandle();
    const bool found = Fill(kFirstRequest, [&](BYTE* block, DWORD* size) {
        find_ = WinInet().FindFirstW(pattern, reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(block), size);
        return find_ != nullptr;
    });
    return found ? reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer_.get()) : nullptr;
}

INTERNET_CACHE_ENTRY_INFOW* CUrlCacheEnum::FindNextW()
{
    const bool found = find_ && Fill(bufferSize_, [&](BYTE* block, DWORD* size) {
        return WinInet().FindNextW(find_, reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(block), size) != FALSE;
    });
    return found ? reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer_.get()) : nullptr;
}
