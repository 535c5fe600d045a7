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

// What Users may do with the settings key: read, set values, and the key
// creation that the settings' writer asks for (KEY_WRITE).
constexpr ACCESS_MASK kUsersKeyRights = KEY_READ | KEY_WRITE;
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

// The rights an allowing entry for Users in the object's DACL gives, 0 when
// it has none; for tests and for checking an installation.
ACCESS_MASK UsersRights(const std::string& objectName, SE_OBJECT_TYPE type);

// Whether the object carries a mandatory integrity label in its SACL.
bool HasIntegrityLabel(const std::string& objectName, SE_OBJECT_TYPE type);
