#include "TextFile.h"

#include <windows.h>

#include <algorithm>

#include "Handle.h"

namespace {

std::string CrLfToLf(const std::string& bytes)
{
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;
        text += bytes[i];
    }
    return text;
}

// "X:\..." on a drive of this machine: no UNC or device name ("\\server\",
// "\\.\", "\\?\"), no relative path, no mapped network drive.
bool IsOnLocalDrive(const std::string& path)
{
    const char letter = static_cast<char>(path.empty() ? 0 : path[0] | 0x20);
    const bool drivePath = path.size() >= 3 && letter >= 'a' && letter <= 'z' && path[1] == ':' &&
                           (path[2] == '\\' || path[2] == '/');
    if (!drivePath)
        return false;
    const char root[] = {path[0], ':', '\\', '\0'};
    const UINT type = GetDriveTypeA(root);
    return type == DRIVE_FIXED || type == DRIVE_REMOVABLE || type == DRIVE_RAMDISK || type == DRIVE_CDROM;
}

std::optional<std::string> Fail(DWORD error)
{
    SetLastError(error);
    return std::nullopt;
}

}  // namespace

std::optional<std::string> ReadLocalTextFile(const std::string& path, std::size_t maxBytes)
{
    if (!IsOnLocalDrive(path))
        return Fail(ERROR_BAD_PATHNAME);
    // Others may read or replace the file meanwhile: the control panel saves
    // it while browser windows read it.
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return std::nullopt;
    // "C:\x\CON" names the console, a pipe may be named like a file.
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
    return CrLfToLf(bytes);
}

std::vector<std::string> ListLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        std::string entry = line.substr(0, line.find('\0'));
        if (!entry.empty())
            lines.push_back(std::move(entry));
        start = end + 1;
    }
    return lines;
}
