#include "TextFile.h"

#include "AnsiText.h"
#include "Handle.h"
#include "NativeApi.h"

namespace {

using namespace native;

using StatusToErrorFn = ULONG(NTAPI*)(LONG);

// The native open, unlike CreateFile, can return at once where another
// process holds an opportunistic lock on the file, instead of waiting for it
// to let go.
LONG NativeOpen(const std::wstring& ntPath, HANDLE* file)
{
    static const auto create = Lookup<CreateFileFn>("ntdll.dll", "NtCreateFile");
    const std::size_t bytes = ntPath.size() * sizeof(WCHAR);
    if (!create || bytes > 0xFFFE)
        return static_cast<LONG>(0xC0000001);  // STATUS_UNSUCCESSFUL
    UnicodeText name{static_cast<USHORT>(bytes), static_cast<USHORT>(bytes), const_cast<PWSTR>(ntPath.data())};
    ObjectAttributes attributes{sizeof attributes, nullptr, &name, kCaseInsensitive, nullptr, nullptr};
    IoStatus io{};
    // Others may read or replace the file meanwhile: the control panel saves
    // it while browser windows read it.
    return create(file, GENERIC_READ | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, kFileOpen,
                  kNonDirectoryFile | kSynchronousIo | kCompleteIfOplocked, nullptr, 0);
}

DWORD ErrorOf(LONG status)
{
    static const auto toError = Lookup<StatusToErrorFn>("ntdll.dll", "RtlNtStatusToDosError");
    return toError ? toError(status) : ERROR_GEN_FAILURE;
}

std::optional<std::string> Fail(DWORD error)
{
    SetLastError(error);
    return std::nullopt;
}

// The full path, "X:\..." on a drive of this machine, as the native open
// names it: no UNC or device name ("\\server\", "\\.\", "\\?\"), no relative
// path, no mapped network drive; "." and ".." resolved as CreateFile would.
std::optional<std::wstring> LocalNtPath(const std::string& path)
{
    const char letter = static_cast<char>(path.empty() ? 0 : path[0] | 0x20);
    if (path.size() < 3 || letter < 'a' || letter > 'z' || path[1] != ':' || (path[2] != '\\' && path[2] != '/'))
        return std::nullopt;
    const char root[] = {path[0], ':', '\\', '\0'};
    const UINT type = GetDriveTypeA(root);
    if (type != DRIVE_FIXED && type != DRIVE_REMOVABLE && type != DRIVE_RAMDISK && type != DRIVE_CDROM)
        return std::nullopt;
    const std::wstring wide = ansi::ToWide(path);
    std::wstring full(MAX_PATH, L'\0');
    DWORD length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    }
    if (length == 0 || length >= full.size())
        return std::nullopt;
    full.resize(length);
    // "C:\x\CON" is the console's name, "\\.\CON".
    if (full.size() < 3 || full[1] != L':' || full[2] != L'\\')
        return std::nullopt;
    return L"\\??\\" + full;
}

}  // namespace

ReadOpenFn& ReadOpenHook()
{
    static ReadOpenFn open = &NativeOpen;
    return open;
}

bool NotReadableNow(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == kErrorOplockBreakInProgress;
}

std::optional<std::string> ReadLocalTextFile(const std::string& path, std::size_t maxBytes)
{
    const auto ntPath = LocalNtPath(path);
    if (!ntPath)
        return Fail(ERROR_BAD_PATHNAME);
    HANDLE opened = nullptr;
    const LONG status = ReadOpenHook()(*ntPath, &opened);
    if (status < 0)
        return Fail(ErrorOf(status));
    FileHandle file(opened);
    // Another process holds an opportunistic lock: reading now would wait
    // for it, and a browser window waits for nobody.
    if (status == kOplockBreakInProgress)
        return Fail(kErrorOplockBreakInProgress);
    // A pipe may be named like a file.
    if (GetFileType(file.Get()) != FILE_TYPE_DISK)
        return Fail(ERROR_BAD_FILE_TYPE);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size))
        return std::nullopt;
    if (size.QuadPart < 0 || static_cast<unsigned long long>(size.QuadPart) > maxBytes)
        return Fail(ERROR_FILE_TOO_LARGE);
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!bytes.empty() && !ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr))
        return std::nullopt;
    bytes.resize(got);
    return bytes;
}
