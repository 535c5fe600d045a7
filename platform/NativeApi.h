#pragma once
// The few native calls the code makes, in ntdll from Windows XP on and
// documented in the driver kit, with the structures they take; each is
// looked up by name where it is used.
#include <windows.h>

namespace native {

struct IoStatus {  // IO_STATUS_BLOCK
    union {
        LONG status;
        void* pointer;
    };
    ULONG_PTR information;
};
struct UnicodeText {  // UNICODE_STRING
    USHORT length;
    USHORT maximumLength;
    PWSTR buffer;
};
struct ObjectAttributes {  // OBJECT_ATTRIBUTES
    ULONG length;
    HANDLE rootDirectory;
    UnicodeText* objectName;
    ULONG attributes;
    void* securityDescriptor;
    void* securityQualityOfService;
};
using CreateFileFn = LONG(NTAPI*)(HANDLE*, ACCESS_MASK, ObjectAttributes*, IoStatus*, LARGE_INTEGER*, ULONG, ULONG,
                                  ULONG, ULONG, void*, ULONG);

const ULONG kCaseInsensitive = 0x40;       // OBJ_CASE_INSENSITIVE, as CreateFile opens
const ULONG kFileOpen = 1;                 // FILE_OPEN: never create
const ULONG kDirectoryFile = 0x1;          // FILE_DIRECTORY_FILE
const ULONG kSynchronousIo = 0x20;         // FILE_SYNCHRONOUS_IO_NONALERT
const ULONG kNonDirectoryFile = 0x40;      // FILE_NON_DIRECTORY_FILE
const ULONG kCompleteIfOplocked = 0x100;   // FILE_COMPLETE_IF_OPLOCKED
const ULONG kForBackupIntent = 0x4000;     // FILE_OPEN_FOR_BACKUP_INTENT
const ULONG kOpenReparsePoint = 0x200000;  // FILE_OPEN_REPARSE_POINT
const LONG kOplockBreakInProgress = 0x108; // STATUS_OPLOCK_BREAK_IN_PROGRESS

// A function of a module this process has loaded, or null.
template <typename Fn>
Fn Lookup(const char* module, const char* name)
{
    HMODULE loaded = GetModuleHandleA(module);
    return loaded ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(loaded, name))) : nullptr;
}

}  // namespace native
