// Saving the list: only the control panel saves it, so the guard, which only
// reads it, carries none of this.
#include "WhiteListFile.h"

#include <windows.h>

#include "Handle.h"

namespace settings {

namespace {

const DWORD kReplaceRetryMs = 3000;  // a reader holds the file for moments, never this long
const DWORD kReplaceRetryStepMs = 10;

bool WriteAll(HANDLE file, const std::string& content)
{
    DWORD written = 0;
    const bool whole =
        content.empty() ||
        (WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
         written == content.size());
    return whole && SetEndOfFile(file) && FlushFileBuffers(file);
}

bool WriteWhole(const std::string& path, const std::string& content)
{
    FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    return file && WriteAll(file.Get(), content);
}

// A standard user may rewrite the list but may not add files to the program
// folder (that right would let anyone plant a DLL there): the list is then
// written in place, readers sharing it as they always do.
bool RewriteInPlace(const std::string& path, const std::string& content)
{
    FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && WriteAll(file.Get(), content);
}

// Puts the file in place of the list. Another process (a browser window
// loading the list) may hold the list open for a moment, and the platform
// refuses the replacement meanwhile: it is tried again for a bounded time.
bool MoveOver(const std::string& from, const std::string& to)
{
    for (DWORD waited = 0;; waited += kReplaceRetryStepMs) {
        if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        if (waited >= kReplaceRetryMs)
            return false;
        Sleep(kReplaceRetryStepMs);
    }
}

// Writes the whole list beside the file first, under a name of its own that
// no stale file can block, and then puts it in the file's place in one step.
bool ReplaceFileContent(const std::string& path, const std::string& content)
{
    const std::string folder = path.substr(0, path.find_last_of('\\') + 1);
    char temporary[MAX_PATH + 1] = {};
    if (folder.empty() || folder.size() > MAX_PATH - 14)
        return false;
    if (!GetTempFileNameA(folder.c_str(), "nvx", 0, temporary))
        return GetLastError() == ERROR_ACCESS_DENIED && RewriteInPlace(path, content);
    if (!WriteWhole(temporary, content) || !MoveOver(temporary, path)) {
        DeleteFileA(temporary);
        return false;
    }
    return true;
}

}  // namespace

bool SaveWhiteListFile(const std::string& path, const std::vector<std::string>& entries)
{
    std::string content;
    for (const auto& entry : entries)
        if (!entry.empty())
            content += entry + "\r\n";
    return ReplaceFileContent(path, content);
}

}  // namespace settings
