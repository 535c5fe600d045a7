#pragma once
// The rights the installer gives the local Users group, so that a standard
// user can do what the control panel and the guard do without the platform's
// virtualization: read and set the values under HKLM\Software\Norvane, and
// read and rewrite the white-list file. Nothing wider: no right on the
// program folder (a user who could add files there could plant a DLL that an
// administrator's Norvane.exe would load), and no low integrity label (any
// sandboxed page could then switch the guard off).
#include <windows.h>
#include <accctrl.h>

#include <string>

// What Users may do with the settings key: read and set its values. No
// sub-key creation: a user could grow the machine's SOFTWARE hive without
// bound (the settings' writer asks for KEY_SET_VALUE alone).
constexpr ACCESS_MASK kUsersKeyRights =
    KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY | READ_CONTROL;
// The settings key as the registry security functions name it: the 32-bit
// view's, where both guards and the panel keep the settings, also for this
// helper's 64-bit build.
#ifdef _WIN64
inline constexpr char kSettingsKeyObject[] = "MACHINE\\SOFTWARE\\Wow6432Node\\Norvane";
#else
inline constexpr char kSettingsKeyObject[] = "MACHINE\\SOFTWARE\\Norvane";
#endif
// What Users may do with the white-list file: read it and write it in place.
constexpr ACCESS_MASK kUsersFileRights = FILE_GENERIC_READ | FILE_GENERIC_WRITE;

// The DACL made of an existing one (may be null) and an allowing entry for
// Users with these rights; freed with LocalFree. ERROR_SUCCESS or the error.
DWORD AddUsersEntry(PACL existing, ACCESS_MASK rights, DWORD inheritance, PACL* updated);
// The rights the DACL's allowing entries give Users.
ACCESS_MASK UsersRightsIn(PACL dacl);

// Adds an allowing entry for Users with these rights to the DACL of the
// object (a registry key named as "MACHINE\\SOFTWARE\\Norvane", or a file),
// keeping every entry it has. ERROR_SUCCESS or the platform's error.
DWORD GrantUsers(const std::string& objectName, SE_OBJECT_TYPE type, ACCESS_MASK rights, DWORD inheritance);

// Adds the entry to the DACL of the white-list file itself: opened without
// following a reparse point, and refused (ERROR_BAD_FILE_TYPE) when it is
// one, when it has more than one name (a hard link to another file) or is
// anything but a disk file. Any user may have planted it before the
// installation, to have an administrator open another file to users.
DWORD GrantUsersOnListFile(const std::string& path, ACCESS_MASK rights);

// The rights an allowing entry for Users in the object's DACL gives, 0 when
// it has none; for tests and for checking an installation.
ACCESS_MASK UsersRights(const std::string& objectName, SE_OBJECT_TYPE type);

// Whether the object carries a mandatory integrity label in its SACL.
bool HasIntegrityLabel(const std::string& objectName, SE_OBJECT_TYPE type);

// Makes an empty FOLDER\WhiteList.txt where there is none; an existing list
// (the user's) is left exactly as it is. ERROR_SUCCESS or the platform's error.
DWORD MakeListWhereNone(const std::string& folder);

// Removes FOLDER\WhiteList.txt, then the settings key (the 32-bit view's,
// with what is under it), then the folder if that left it empty; what is
// already gone counts as removed. The list and the folder only when
// listReachable (no link on the way: what it leads to is not ours).
// ERROR_SUCCESS or the first error.
DWORD RemoveSettingsAndList(const std::string& folder, bool listReachable);

// Removes the start-up value the panel wrote under the machine's Run key.
// The users' own Run keys are theirs: an uninstall run by the system cannot
// reach them, and the panel a value names is gone with the uninstall.
DWORD RemoveStartUpValues();
