#include "PinnedFolder.h"

#include <memory>
#include <new>

#include "NativeApi.h"

namespace {

using namespace native;

// Never FILE_SHARE_DELETE for a folder: while it is held, nobody may rename,
// remove or replace it.
const DWORD kPinned = FILE_SHARE_READ | FILE_SHARE_WRITE;
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// A folder is read through (and, on the way, never asked for more: a
// Protected Mode browser may read the profile folder, not delete it).
const DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
const DWORD kFileAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE;

// A name that is one entry of its folder and nothing else: no separator, no
// stream (":"), no "." or "..".
bool IsEntryName(const std::wstring& name)
{
    return !name.empty() && name != L"." && name != L".." && name.find_first_of(L"\\/:") == std::wstring::npos;
}

bool IsFolder(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
bool IsLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

// The native calls open an entry relative to its folder's handle, as itself,
// and without waiting for an opportunistic lock's holder, which CreateFile
// cannot.
// FILE_DIRECTORY_INFORMATION: one entry of a folder as the native call lists it.
struct DirectoryEntry {
    ULONG nextEntryOffset;
    ULONG fileIndex;
    LARGE_INTEGER times[4];
    LARGE_INTEGER endOfFile;
    LARGE_INTEGER allocationSize;
    ULONG fileAttributes;
    ULONG fileNameLength;  // in bytes
    WCHAR fileName[1];
};
using SetInformationFileFn = LONG(NTAPI*)(HANDLE, IoStatus*, void*, ULONG, ULONG);
using QueryDirectoryFileFn = LONG(NTAPI*)(HANDLE, HANDLE, void*, void*, IoStatus*, void*, ULONG, ULONG, BOOLEAN,
                                          void*, BOOLEAN);
const ULONG kFileDirectoryInformation = 1;
const ULONG kFileBasicInformation = 4;
const ULONG kFileDispositionInformation = 13;

// Opens name (relative to folder, or a full "\??\" path with no folder) as
// itself: a reparse point is opened, never followed. An entry another process
// holds an opportunistic lock on is left alone: the open would wait for that
// process to let go, and a closing window waits for nobody.
FileHandle OpenNative(HANDLE folder, const std::wstring& name, DWORD access, DWORD share, bool asFolder)
{
    static const auto create = Lookup<CreateFileFn>("ntdll.dll", "NtCreateFile");
    const std::size_t bytes = name.size() * sizeof(WCHAR);
    if (!create || bytes == 0 || bytes > 0xFFFE)
        return FileHandle();
    UnicodeText objectName{static_cast<USHORT>(bytes), static_cast<USHORT>(bytes), const_cast<PWSTR>(name.data())};
    ObjectAttributes attributes{sizeof attributes, folder, &objectName, kCaseInsensitive, nullptr, nullptr};
    IoStatus io{};
    HANDLE opened = nullptr;
    const ULONG options = kOpenReparsePoint | kForBackupIntent | kSynchronousIo | kCompleteIfOplocked |
                          (asFolder ? kDirectoryFile : kNonDirectoryFile);
    const LONG status = create(&opened, access | SYNCHRONIZE, &attributes, &io, nullptr, 0, share, kFileOpen, options,
                               nullptr, 0);
    if (status < 0)
        return FileHandle();
    FileHandle handle(opened);
    return status == kOplockBreakInProgress ? FileHandle() : std::move(handle);
}

BOOL SetInformation(HANDLE file, void* info, ULONG size, ULONG infoClass)
{
    static const auto setInformation = Lookup<SetInformationFileFn>("ntdll.dll", "NtSetInformationFile");
    IoStatus io{};
    return setInformation && setInformation(file, &io, info, size, infoClass) >= 0;
}

BOOL DeleteOpenFile(HANDLE file)
{
    BOOLEAN deleteFile = TRUE;
    return SetInformation(file, &deleteFile, sizeof deleteFile, kFileDispositionInformation);
}

BOOL SetOpenFileAttributes(HANDLE file, DWORD attributes)
{
    struct {
        LARGE_INTEGER times[4];  // zero: left as they are
        ULONG attributes;
    } basic{};
    basic.attributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;  // zero would leave them as well
    return SetInformation(file, &basic, sizeof basic, kFileBasicInformation);
}

std::optional<std::wstring> FinalPathOf(HANDLE file)
{
    using FinalPathFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
    static const auto finalPath = Lookup<FinalPathFn>("kernel32.dll", "GetFinalPathNameByHandleW");
    if (!finalPath)
        return std::nullopt;
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = finalPath(file, &path[0], static_cast<DWORD>(path.size()), 0);
    if (length >= path.size()) {
        path.resize(length);
        length = finalPath(file, &path[0], static_cast<DWORD>(path.size()), 0);
    }
    path.resize(length < path.size() ? length : 0);  // a failure reads as no path at all
    return path;
}

// Paths compared as the file system compares names, without regard to case.
// Used only where the platform tells a final path, so the call is there too.
bool SameIgnoringCase(const std::wstring& a, const std::wstring& b)
{
    using CompareFn = int(WINAPI*)(LPCWSTR, int, LPCWSTR, int, BOOL);
    static const auto compare = Lookup<CompareFn>("kernel32.dll", "CompareStringOrdinal");
    return compare && compare(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
                          CSTR_EQUAL;
}

// The handle's entry when it is a plain entry of the kind wanted at the place
// its path names, with that place in the disk's own spelling. Where the
// platform tells a handle's final path (Vista and later) it must be the
// expected one, so a link that a platform followed all the same is found
// out; where the call is there but gives no answer, nothing is trusted.
struct CheckedEntry {
    BY_HANDLE_FILE_INFORMATION info;
    std::wstring path;
};
std::optional<CheckedEntry> Check(HANDLE handle, const std::wstring& expectedPath, bool asFolder)
{
    CheckedEntry entry{{}, expectedPath};
    if (!GetFileInformationByHandle(handle, &entry.info) || IsLink(entry.info.dwFileAttributes) ||
        IsFolder(entry.info.dwFileAttributes) != asFolder)
        return std::nullopt;
    const auto final = OpenFiles().FinalPath(handle);
    if (final) {
        if (!SameIgnoringCase(*final, expectedPath))
            return std::nullopt;
        entry.path = *final;
    }
    return entry;
}

// A full path in the "\\?\" form, which the platform takes as it stands:
// no trailing dot or space is dropped, no "." or ".." is resolved.
std::wstring VerbatimPath(const std::wstring& path)
{
    if (path.compare(0, 4, L"\\\\?\\") == 0)
        return path;
    if (path.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + path.substr(2);
    return L"\\\\?\\" + path;
}

}  // namespace

OpenFileApi& OpenFiles()
{
    static OpenFileApi api{&DeleteOpenFile, &SetOpenFileAttributes, &FinalPathOf};
    return api;
}

std::optional<PinnedFolder> PinnedFolder::Open(const std::wstring& path)
{
    std::wstring verbatim = VerbatimPath(path);
    while (verbatim.size() > 4 && verbatim.back() == L'\\')
        verbatim.pop_back();
    // The native name of "\\?\X" is "\??\X".
    FileHandle folder = OpenNative(nullptr, L"\\??\\" + verbatim.substr(4), kFolderAccess, kPinned, true);
    const auto checked = folder ? Check(folder.Get(), verbatim, true) : std::nullopt;
    if (!checked)
        return std::nullopt;
    return PinnedFolder(std::move(folder), checked->path);
}

std::optional<PinnedFolder> PinnedFolder::OpenPath(const std::wstring& base, const std::wstring& below)
{
    auto folder = Open(base);
    for (std::size_t start = 0; folder && start < below.size();) {
        std::size_t end = below.find(L'\\', start);
        if (end == std::wstring::npos)
            end = below.size();
        if (end > start) {
            auto child = folder->OpenChild(below.substr(start, end - start));
            if (child) {
                child->way_ = std::move(folder->way_);
                child->way_.push_back(std::move(folder->handle_));
            }
            folder = std::move(child);
        }
        start = end + 1;
    }
    return folder;
}

void PinnedFolder::List(const std::function<bool(const std::wstring&, DWORD)>& visit) const
{
    // Read through the pinned handle itself: no path is resolved again, and
    // no second handle needs a sharing the pin denies. The block is the
    // heap's: a deep tree must not spend the browser thread's stack.
    static const auto queryDirectory = Lookup<QueryDirectoryFileFn>("ntdll.dll", "NtQueryDirectoryFile");
    const ULONG blockSize = 16384;
    const std::unique_ptr<LARGE_INTEGER[]> block(new (std::nothrow) LARGE_INTEGER[blockSize / sizeof(LARGE_INTEGER)]);
    if (!queryDirectory || !handle_ || !block)
        return;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(block.get());
    for (BOOLEAN restart = TRUE;; restart = FALSE) {
        IoStatus io{};
        const LONG status = queryDirectory(handle_.Get(), nullptr, nullptr, nullptr, &io, block.get(), blockSize,
                                           kFileDirectoryInformation, FALSE, nullptr, restart);
        if (status < 0 || io.information == 0)
            return;
        for (ULONG offset = 0;;) {
            const auto* entry = reinterpret_cast<const DirectoryEntry*>(bytes + offset);
            const std::wstring name(entry->fileName, entry->fileNameLength / sizeof(WCHAR));
            if (IsEntryName(name) && !visit(name, entry->fileAttributes))
                return;
            if (entry->nextEntryOffset == 0)
                break;
            offset += entry->nextEntryOffset;
        }
    }
}

std::optional<PinnedFolder> PinnedFolder::OpenChild(const std::wstring& name, bool toRemove) const
{
    if (!IsEntryName(name))
        return std::nullopt;
    FileHandle folder = OpenNative(handle_.Get(), name, kFolderAccess | (toRemove ? DELETE : 0), kPinned, true);
    const auto checked = folder ? Check(folder.Get(), ChildPath(name), true) : std::nullopt;
    if (!checked)
        return std::nullopt;
    return PinnedFolder(std::move(folder), checked->path);
}

bool PinnedFolder::RemoveFile(const std::wstring& name) const
{
    if (!IsEntryName(name))
        return false;
    FileHandle file = OpenNative(handle_.Get(), name, kFileAccess, kShareAll, false);
    const auto checked = file ? Check(file.Get(), ChildPath(name), false) : std::nullopt;
    if (!checked)
        return false;
    const DWORD attributes = checked->info.dwFileAttributes;
    const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    // A file with other names keeps its attributes: clearing read-only would
    // change it under every name, and the others are not the store's.
    if (readOnly && (checked->info.nNumberOfLinks > 1 ||
                     !OpenFiles().SetAttributes(file.Get(), attributes & ~FILE_ATTRIBUTE_READONLY)))
        return false;
    if (OpenFiles().Delete(file.Get()))
        return true;
    if (readOnly)
        OpenFiles().SetAttributes(file.Get(), attributes);
    return false;
}

bool PinnedFolder::RemoveWhenEmpty()
{
    const bool removed = handle_ && OpenFiles().Delete(handle_.Get());
    handle_.Reset();
    return removed;
}
