#include "UsersAccess.h"

#include <aclapi.h>
#include <sddl.h>

namespace {

// The local Users group (S-1-5-32-545), the same name on every language.
struct UsersSid {
    BYTE bytes[SECURITY_MAX_SID_SIZE] = {};
    UsersSid()
    {
        DWORD size = sizeof bytes;
        ok = CreateWellKnownSid(WinBuiltinUsersSid, nullptr, bytes, &size) != FALSE;
    }
    PSID Get() { return ok ? static_cast<PSID>(bytes) : nullptr; }
    bool ok = false;
};

// A security descriptor the platform allocated, freed with LocalFree.
class Descriptor {
public:
    Descriptor() = default;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor()
    {
        if (sd_)
            LocalFree(sd_);
    }
    PSECURITY_DESCRIPTOR* Put() { return &sd_; }

private:
    PSECURITY_DESCRIPTOR sd_ = nullptr;
};

}  // namespace

DWORD AddUsersEntry(PACL existing, ACCESS_MASK rights, DWORD inheritance, PACL* updated)
{
    UsersSid users;
    if (!users.Get())
        return GetLastError();
    EXPLICIT_ACCESSA grant{};
    grant.grfAccessPermissions = rights;
    grant.grfAccessMode = GRANT_ACCESS;
    grant.grfInheritance = inheritance;
    grant.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    grant.Trustee.TrusteeType = TRUSTEE_IS_GROUP;
    grant.Trustee.ptstrName = static_cast<LPSTR>(users.Get());
    return SetEntriesInAclA(1, &grant, existing, updated);
}

ACCESS_MASK UsersRightsIn(PACL dacl)
{
    UsersSid users;
    if (!users.Get() || !dacl)
        return 0;
    ACCESS_MASK rights = 0;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace))
            continue;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        if (allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE && EqualSid(&allowed->SidStart, users.Get()))
            rights |= allowed->Mask;
    }
    return rights;
}

DWORD GrantUsers(const std::string& objectName, SE_OBJECT_TYPE type, ACCESS_MASK rights, DWORD inheritance)
{
    std::string name = objectName;  // the platform takes a writable name
    PACL existing = nullptr;
    Descriptor descriptor;
    DWORD error = GetNamedSecurityInfoA(name.data(), type, DACL_SECURITY_INFORMATION, nullptr, nullptr, &existing,
                                        nullptr, descriptor.Put());
    if (error != ERROR_SUCCESS)
        return error;
    PACL updated = nullptr;
    error = AddUsersEntry(existing, rights, inheritance, &updated);
    if (error != ERROR_SUCCESS)
        return error;
    error = SetNamedSecurityInfoA(name.data(), type, DACL_SECURITY_INFORMATION, nullptr, nullptr, updated, nullptr);
    LocalFree(updated);
    return error;
}

DWORD GrantUsersOnListFile(const std::string& path, ACCESS_MASK rights)
{
    HANDLE file = CreateFileA(path.c_str(), READ_CONTROL | WRITE_DAC,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    BY_HANDLE_FILE_INFORMATION info{};
    DWORD error = ERROR_SUCCESS;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info))
        error = ERROR_BAD_FILE_TYPE;
    else if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
             info.nNumberOfLinks != 1)
        error = ERROR_BAD_FILE_TYPE;
    PACL existing = nullptr;
    Descriptor descriptor;
    if (error == ERROR_SUCCESS)
        error = GetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &existing, nullptr,
                                descriptor.Put());
    PACL updated = nullptr;
    if (error == ERROR_SUCCESS)
        error = AddUsersEntry(existing, rights, NO_INHERITANCE, &updated);
    if (error == ERROR_SUCCESS)
        error = SetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, updated, nullptr);
    if (updated)
        LocalFree(updated);
    CloseHandle(file);
    return error;
}

ACCESS_MASK UsersRights(const std::string& objectName, SE_OBJECT_TYPE type)
{
    std::string name = objectName;  // the platform takes a writable name
    PACL dacl = nullptr;
    Descriptor descriptor;
    if (GetNamedSecurityInfoA(name.data(), type, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                              descriptor.Put()) != ERROR_SUCCESS)
        return 0;
    return UsersRightsIn(dacl);
}

bool HasIntegrityLabel(const std::string& objectName, SE_OBJECT_TYPE type)
{
    const SECURITY_INFORMATION kLabel = 0x00000010;  // LABEL_SECURITY_INFORMATION (Vista)
    const BYTE kMandatoryLabelAce = 0x11;           // SYSTEM_MANDATORY_LABEL_ACE_TYPE
    std::string name = objectName;  // the platform takes a writable name
    PACL sacl = nullptr;
    Descriptor descriptor;
    if (GetNamedSecurityInfoA(name.data(), type, kLabel, nullptr, nullptr, nullptr, &sacl, descriptor.Put()) !=
            ERROR_SUCCESS ||
        !sacl)
        return false;
    for (DWORD i = 0; i < sacl->AceCount; ++i) {
        void* ace = nullptr;
        if (GetAce(sacl, i, &ace) && static_cast<ACE_HEADER*>(ace)->AceType == kMandatoryLabelAce)
            return true;
    }
    return false;
}

namespace {

const char kListName[] = "\\WhiteList.txt";

// Deletes a key and every key under it, in the view of the handle given.
LONG DeleteTree(HKEY parent, const char* name)
{
    HKEY key = nullptr;
    LONG result = RegOpenKeyExA(parent, name, 0, KEY_READ | KEY_WRITE, &key);
    if (result != ERROR_SUCCESS)
        return result;
    char child[256];
    for (;;) {
        DWORD size = sizeof child;
        if (RegEnumKeyExA(key, 0, child, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        result = DeleteTree(key, child);
        if (result != ERROR_SUCCESS)
            break;
    }
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? RegDeleteKeyA(parent, name) : result;
}

bool Gone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

}  // namespace

DWORD MakeListWhereNone(const std::string& folder)
{
    const HANDLE file = CreateFileA((folder + kListName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_EXISTS ? ERROR_SUCCESS : GetLastError();
    CloseHandle(file);
    return ERROR_SUCCESS;
}

DWORD RemoveSettingsAndList(const std::string& folder, bool listReachable)
{
    // The list first: a list in use stops the removal before the settings
    // go, so a failed removal never leaves a list without its settings.
    // The file itself: a link planted there goes, never what it names.
    if (listReachable && !DeleteFileA((folder + kListName).c_str()) && !Gone(GetLastError()))
        return GetLastError();
    HKEY software = nullptr;
    DWORD error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ | KEY_WRITE | KEY_WOW64_32KEY, &software);
    if (error == ERROR_SUCCESS) {
        error = DeleteTree(software, "Norvane");
        RegCloseKey(software);
    }
    if (listReachable)
        RemoveDirectoryA(folder.c_str());
    return Gone(error) ? ERROR_SUCCESS : error;
}

DWORD RemoveStartUpValues()
{
    // The panel (32-bit) writes the machine's Run key in the 32-bit view.
    HKEY run = nullptr;
    DWORD error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                                KEY_SET_VALUE | KEY_WOW64_32KEY, &run);
    if (error == ERROR_SUCCESS) {
        error = RegDeleteValueA(run, "Norvane");
        RegCloseKey(run);
    }
    return Gone(error) ? ERROR_SUCCESS : error;
}
