#include "PinnedFolder.h"

namespace {

// Opened as itself: a reparse point is opened, never followed.
const DWORD kAsItself = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;
// Never FILE_SHARE_DELETE for a folder: while it is held, nobody may rename,
// remove or replace it.
const DWORD kPinned = FILE_SHARE_READ | FILE_SHARE_WRITE;
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

// The handle's file, or nothing when it is a reparse point.
std::optional<BY_HANDLE_FILE_INFORMATION> PlainFileInfo(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info) || IsLink(info.dwFileAttributes))
        return std::nullopt;
    return info;
}

template <typename Fn>
Fn Lookup(const char* module, const char* name)
{
    HMODULE loaded = GetModuleHandleA(module);
    return loaded ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(loaded, name))) : nullptr;
}

// The native calls that act on an open file or folder: in ntdll from Windows XP on.
struct IoStatus {
    union {
        LONG status;
        void* pointer;
    };
    ULONG_PTR information;
};
using SetInformationFileFn = LONG(NTAPI*)(HANDLE, IoStatus*, void*, ULONG, ULONG);
using QueryDirectoryFileFn = LONG(NTAPI*)(HANDLE, HANDLE, void*, void*, IoStatus*, void*, ULONG, ULONG, BOOLEAN,
                                          void*, BOOLEAN);
const ULONG kFileDirectoryInformation = 1;
const ULONG kFileBasicInformation = 4;
const ULONG kFileDispositionInformation = 13;

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

std::wstring FinalPathOf(HANDLE file)
{
    using FinalPathFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
    static const auto finalPath = Lookup<FinalPathFn>("kernel32.dll", "GetFinalPathNameByHandleW");
    if (!finalPath)
        return std::wstring();
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = finalPath(file, &path[0], static_cast<DWORD>(path.size()), 0);
    if (length >= path.size()) {
        path.resize(length);
        length = finalPath(file, &path[0], static_cast<DWORD>(path.size()), 0);
    }
    path.resize(length < path.size() ? length : 0);
    return path;
}

// Paths compared as the file system compares names, without regard to case;
// used only where the platform can tell a final path, so the call is there too.
bool SameIgnoringCase(const std::wstring& a, const std::wstring& b)
{
    using CompareFn = int(WINAPI*)(LPCWSTR, int, LPCWSTR, int, BOOL);
    static const auto compare = Lookup<CompareFn>("kernel32.dll", "CompareStringOrdinal");
    return compare && compare(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
                          CSTR_EQUAL;
}

// Opens path as itself and keeps the handle only when it is a plain entry of
// the kind wanted, at the place the path names: where the platform tells a
// handle's final path, that path must be the expected one, so a link that a
// platform followed all the same is found out.
FileHandle OpenChecked(const std::wstring& path, DWORD access, DWORD share, bool folder,
                       BY_HANDLE_FILE_INFORMATION* checked = nullptr)
{
    FileHandle file(CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, kAsItself, nullptr));
    if (!file)
        return file;
    const auto info = PlainFileInfo(file.Get());
    const std::wstring final = info ? OpenFiles().FinalPath(file.Get()) : std::wstring();
    if (!info || IsFolder(info->dwFileAttributes) != folder || (!final.empty() && final != path))
        return FileHandle();
    if (checked)
        *checked = *info;
    return file;
}

}  // namespace

OpenFileApi& OpenFiles()
{
    static OpenFileApi api{&DeleteOpenFile, &SetOpenFileAttributes, &FinalPathOf};
    return api;
}

std::wstring VerbatimPath(const std::wstring& path)
{
    if (path.compare(0, 4, L"\\\\?\\") == 0)
        return path;
    if (path.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + path.substr(2);
    return L"\\\\?\\" + path;
}

std::optional<PinnedFolder> PinnedFolder::Open(const std::wstring& path)
{
    std::wstring verbatim = VerbatimPath(path);
    while (verbatim.size() > 4 && verbatim.back() == L'\\')
        verbatim.pop_back();
    FileHandle folder(CreateFileW(verbatim.c_str(), kFolderAccess, kPinned, nullptr, OPEN_EXISTING, kAsItself, nullptr));
    const auto info = folder ? PlainFileInfo(folder.Get()) : std::nullopt;
    if (!info || !IsFolder(info->dwFileAttributes))
        return std::nullopt;
    // The shell's spelling of a folder may differ in case from the disk's;
    // from here on the disk's own spelling is what each entry must match.
    const std::wstring final = OpenFiles().FinalPath(folder.Get());
    if (!final.empty() && !SameIgnoringCase(final, verbatim))
        return std::nullopt;
    return PinnedFolder(std::move(folder), final.empty() ? verbatim : final);
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
    // no second handle needs a sharing the pin denies.
    static const auto queryDirectory = Lookup<QueryDirectoryFileFn>("ntdll.dll", "NtQueryDirectoryFile");
    if (!queryDirectory || !handle_)
        return;
    alignas(LARGE_INTEGER) BYTE block[16384];
    for (BOOLEAN restart = TRUE;; restart = FALSE) {
        IoStatus io{};
        const LONG status = queryDirectory(handle_.Get(), nullptr, nullptr, nullptr, &io, block, sizeof block,
                                           kFileDirectoryInformation, FALSE, nullptr, restart);
        if (status < 0 || io.information == 0)
            return;
        for (ULONG offset = 0;;) {
            const auto* entry = reinterpret_cast<const DirectoryEntry*>(block + offset);
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
    const std::wstring path = ChildPath(name);
    FileHandle folder = OpenChecked(path, kFolderAccess | (toRemove ? DELETE : 0), kPinned, true);
    if (!folder)
        return std::nullopt;
    return PinnedFolder(std::move(folder), path);
}

bool PinnedFolder::RemoveFile(const std::wstring& name) const
{
    if (!IsEntryName(name))
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    FileHandle file =
        OpenChecked(ChildPath(name), kFileAccess, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, false, &info);
    if (!file)
        return false;
    const DWORD attributes = info.dwFileAttributes;
    const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    // A file with other names keeps its attributes: clearing read-only would
    // change it under every name, and the others are not the store's.
    if (readOnly && (info.nNumberOfLinks > 1 || !OpenFiles().SetAttributes(file.Get(), attributes & ~FILE_ATTRIBUTE_READONLY)))
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
