#pragma once
// A folder the cleaner works inside while other processes may write it (any
// low-integrity process writes LocalLow). It is held open without
// FILE_SHARE_DELETE, so nobody can rename, remove or replace it while it is
// held, and it was checked on that open handle to be a plain folder at the
// very place its path names: no reparse point (junction, symbolic link,
// mount point), and, where the platform can say (Vista and later), no link
// followed on the way. An entry is opened relative to its pinned folder's
// handle, checked on its own handle and deleted through that handle, and
// every name is the platform's UTF-16 name, never converted: so no name is
// resolved twice and nothing outside the folder is ever reached. An entry
// another process holds an opportunistic lock on is passed over, never waited for.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Handle.h"

class PinnedFolder {
public:
    // The folder at path, pinned and checked, or nothing when it is missing,
    // is no plain folder, or is not where its path says.
    static std::optional<PinnedFolder> Open(const std::wstring& path);
    // The folder at base, then each folder of below ("a\b\c") inside the
    // one before, every one of them pinned and checked; nothing when any is
    // missing or not a plain folder. The ones on the way stay pinned for as
    // long as the last one lives.
    static std::optional<PinnedFolder> OpenPath(const std::wstring& base, const std::wstring& below);

    PinnedFolder(PinnedFolder&&) = default;
    PinnedFolder& operator=(PinnedFolder&&) = default;

    // Calls visit(name, attributes) for each entry but "." and "..", and for
    // no name that could not be a single plain entry of this folder. False
    // from visit stops the listing.
    void List(const std::function<bool(const std::wstring& name, DWORD attributes)>& visit) const;

    // The entry as a folder pinned inside this one, checked like the first;
    // toRemove asks for the right to remove it as well. The caller keeps
    // this folder while it works in the child.
    std::optional<PinnedFolder> OpenChild(const std::wstring& name, bool toRemove = false) const;

    // Deletes the entry when it is a plain file (read-only included): opened
    // as itself, checked on its handle, deleted through that handle. A file
    // in use, a link or a folder stays. True when it is gone.
    bool RemoveFile(const std::wstring& name) const;

    // Removes this folder once it is empty, through its own handle; the
    // folder is released either way. True when it is gone.
    bool RemoveWhenEmpty();

    const std::wstring& Path() const { return path_; }

private:
    PinnedFolder(FileHandle handle, std::wstring path) : handle_(std::move(handle)), path_(std::move(path)) {}
    std::wstring ChildPath(const std::wstring& name) const { return path_ + L"\\" + name; }

    FileHandle handle_;
    std::wstring path_;              // "\\?\" form: no name in it is altered on the way
    std::vector<FileHandle> way_;    // the folders on the way, pinned
};

// The platform calls that act on an open file, as a table that tests point
// elsewhere (to swap a folder in the middle of a walk). Looked up by name:
// the native calls are XP's as well as today's.
struct OpenFileApi {
    // Marks an open file or empty folder for deletion when its last handle closes.
    BOOL (*Delete)(HANDLE file);
    // Sets the attributes of an open file.
    BOOL (*SetAttributes)(HANDLE file, DWORD attributes);
    // The full path the handle really names ("\\?\C:\..."); "" when the call
    // failed, nothing where the platform has no such call (Windows XP).
    std::optional<std::wstring> (*FinalPath)(HANDLE file);
};

OpenFileApi& OpenFiles();
