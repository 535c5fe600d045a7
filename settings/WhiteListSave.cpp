// Saving the list: only the control panel saves it, so the guard, which only
// reads it, carries none of this.
#include "WhiteListFile.h"

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
// written in place, readers sharing it as they always do, and keeps its
// security as it is.
bool RewriteInPlace(const std::string& path, const std::string& content)
{
    FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && WriteAll(file.Get(), content);
}

// A name of its own in the folder that no stale file blocks, not taken.
std::string FreeName(const std::string& folder, const char* prefix)
{
    char name[MAX_PATH + 1] = {};
    if (!GetTempFileNameA(folder.c_str(), prefix, 0, name))
        return std::string();
    DeleteFileA(name);
    return name;
}

// The list, which a replacement that failed part-way left at the backup
// name, back at its own; tried for a bounded time.
bool PutBack(const std::string& backup, const std::string& list)
{
    for (DWORD waited = 0;; waited += kReplaceRetryStepMs) {
        if (WhiteListReplace().Move(backup.c_str(), list.c_str(), MOVEFILE_WRITE_THROUGH))
            return true;
        if (waited >= kReplaceRetryMs)
            return false;
        Sleep(kReplaceRetryStepMs);
    }
}

// Puts the new file in the list's place. The platform's replacement gives it
// the list's security descriptor (so every account keeps the access it had),
// and the old list goes to the backup name first: where the replacement
// fails after that step, the list is put back. Only where there is no list
// yet is the file moved there. Another process (a browser window loading the
// list) may hold the list for a moment, and the platform refuses meanwhile:
// it is tried again for a bounded time.
bool PutInPlace(const std::string& from, const std::string& to, const std::string& backup)
{
    const auto& api = WhiteListReplace();
    for (DWORD waited = 0;; waited += kReplaceRetryStepMs) {
        if (api.Replace(to.c_str(), from.c_str(), backup.c_str(), 0, nullptr, nullptr)) {
            DeleteFileA(backup.c_str());
            return true;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 && !PutBack(backup, to))
            return false;  // the list stays whole under the backup name: the user is told Save failed
        if (error == ERROR_FILE_NOT_FOUND && GetFileAttributesA(to.c_str()) == INVALID_FILE_ATTRIBUTES &&
            api.Move(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH))
            return true;
        if (waited >= kReplaceRetryMs)
            return false;
        Sleep(kReplaceRetryStepMs);
    }
}

// Writes the whole list beside the file first, and then puts it in the
// file's place in one step.
bool ReplaceFileContent(const std::string& path, const std::string& content)
{
    const std::string folder = path.substr(0, path.find_last_of('\\') + 1);
    char temporary[MAX_PATH + 1] = {};
    if (folder.empty() || folder.size() > MAX_PATH - 14)
        return false;
    if (!GetTempFileNameA(folder.c_str(), "nvx", 0, temporary))
        return GetLastError() == ERROR_ACCESS_DENIED && RewriteInPlace(path, content);
    const std::string backup = FreeName(folder, "nvb");
    if (backup.empty() || !WriteWhole(temporary, content) || !PutInPlace(temporary, path, backup)) {
        DeleteFileA(temporary);
        return false;
    }
    return true;
}

}  // namespace

WhiteListReplaceApi& WhiteListReplace()
{
    static WhiteListReplaceApi api{&ReplaceFileA, &MoveFileExA};
    return api;
}

bool SaveWhiteListFile(const std::string& path, const std::string& bytes) { return ReplaceFileContent(path, bytes); }

}  // namespace settings
