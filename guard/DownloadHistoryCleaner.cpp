#include "DownloadHistoryCleaner.h"

#include <windows.h>
#include <shlobj.h>
#include <wininet.h>

#include <optional>

#include "PinnedFolder.h"
#include "ProfileFolders.h"
#include "UrlCacheEnum.h"
#include "WinInetApi.h"

namespace {

// A full path of a local drive and nothing else: "X:\" and entry names,
// none of them empty, "." or "..", no stream and no other separator. Any
// other form (a device or verbatim path, a share, a relative one) could
// name a place the checks below do not see.
bool IsPlainFullPath(const std::wstring& path)
{
    const wchar_t drive = static_cast<wchar_t>(path.empty() ? 0 : path[0] | 0x20);
    if (path.size() < 4 || drive < L'a' || drive > L'z' || path[1] != L':' || path[2] != L'\\')
        return false;
    for (std::size_t start = 3; start <= path.size();) {
        std::size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos)
            end = path.size();
        const std::wstring name = path.substr(start, end - start);
        if (name.empty() || name == L"." || name == L".." || name.find_first_of(L"/:") != std::wstring::npos)
            return false;
        start = end + 1;
    }
    return true;
}

// Whether two paths name the same place for the file system: compared in
// UTF-16 without regard to case as the file system compares (Vista and
// later, looked up by name); exactly where that call is missing, so no
// linguistic rule ever equates two names the file system tells apart.
bool SamePath(const std::wstring& a, const std::wstring& b)
{
    using CompareOrdinalFn = int(WINAPI*)(LPCWSTR, int, LPCWSTR, int, BOOL);
    static const auto compare = [] {
        HMODULE kernel = GetModuleHandleA("kernel32.dll");
        return kernel ? reinterpret_cast<CompareOrdinalFn>(
                            reinterpret_cast<void*>(GetProcAddress(kernel, "CompareStringOrdinal")))
                      : nullptr;
    }();
    if (!compare)
        return a == b;
    return compare(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The folder of path below folder ("" for folder itself), or nothing when
// path does not lie inside it.
std::optional<std::wstring> FolderBelow(const std::wstring& path, const std::wstring& folder)
{
    if (folder.empty() || path.size() <= folder.size() + 1 || path[folder.size()] != L'\\' ||
        !SamePath(path.substr(0, folder.size()), folder))
        return std::nullopt;
    const std::size_t lastSeparator = path.rfind(L'\\');
    if (lastSeparator == folder.size())
        return std::wstring();
    return path.substr(folder.size() + 1, lastSeparator - folder.size() - 1);
}

// What makes deleting an entry safe: nothing to hold (no file named), or
// its file's folder, pinned until the entry is gone.
struct DeletePermit {
    std::optional<PinnedFolder> folder;
};

// May the cache delete this file with its entry? Only the container's own
// file, or none at all: the folder is checked to be a plain folder at the
// place its path names, and (outside the container) to hold no such file.
std::optional<DeletePermit> PermitToDelete(const wchar_t* localFile, const std::wstring& container)
{
    if (!localFile || !*localFile)
        return DeletePermit{};
    const std::wstring path = localFile;
    if (!IsPlainFullPath(path))
        return std::nullopt;
    if (const auto below = FolderBelow(path, container)) {
        auto folder = PinnedFolder::OpenPath(container, *below);
        return folder ? std::optional<DeletePermit>(DeletePermit{std::move(folder)}) : std::nullopt;
    }
    // A file at a drive's root is kept: the root is no folder to pin.
    const std::size_t lastSeparator = path.rfind(L'\\');
    auto folder = lastSeparator > 2 ? PinnedFolder::Open(path.substr(0, lastSeparator)) : std::nullopt;
    if (!folder)
        return std::nullopt;
    // Asked by the path the pinned folder was found at, which can no
    // longer lead anywhere else.
    if (GetFileAttributesW((folder->Path() + path.substr(lastSeparator)).c_str()) != INVALID_FILE_ATTRIBUTES ||
        GetLastError() != ERROR_FILE_NOT_FOUND)
        return std::nullopt;
    return DeletePermit{std::move(folder)};
}

// Walks the entries a prefix yields up to the deadline; false when it
// yields none at all.
bool CleanContainer(const wchar_t* prefix, const CCleaningRule& rule, const CPassDeadline& deadline,
                    const std::wstring& containerFolder)
{
    CUrlCacheEnum walk;
    INTERNET_CACHE_ENTRY_INFOW* entry = walk.FindFirstW(prefix);
    const bool any = entry != nullptr;
    for (; entry && !deadline.Passed(); entry = walk.FindNextW()) {
        if (!entry->lpszSourceUrlName || !rule.RemovesName(entry->lpszSourceUrlName))
            continue;
        if (const auto permit = PermitToDelete(entry->lpszLocalFileName, containerFolder))
            WinInet().DeleteEntryW(entry->lpszSourceUrlName);
    }
    return any;
}

}  // namespace

std::wstring DownloadHistoryFolder()
{
    const std::wstring roaming = ShellFolderPathW(CSIDL_APPDATA);
    return roaming.empty() ? roaming : roaming + L"\\Microsoft\\Windows\\IEDownloadHistory";
}

void CleanDownloadHistory(const CCleaningRule& rule, const CPassDeadline& deadline, const std::wstring& containerFolder)
{
    // As with the cookies' "cookie:": Windows matches a container's prefix
    // without regard to case; a cache that compares it by case is asked
    // in the other spelling too, but only when the first yields nothing.
    if (!CleanContainer(L"iedownload:", rule, deadline, containerFolder))
        CleanContainer(L"IEDownload:", rule, deadline, containerFolder);
}
