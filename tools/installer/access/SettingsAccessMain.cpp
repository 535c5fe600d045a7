// Run by the installers (elevated) once Norvane's files and settings are in place:
//   SettingsAccess.exe FOLDER              gives the local Users group the rights of
//                                          UsersAccess.h on HKLM\Software\Norvane and
//                                          on FOLDER\WhiteList.txt
//   SettingsAccess.exe --make-list FOLDER  the same, after making an empty list where
//                                          there is none (the Windows Installer package
//                                          leaves the user's list no file of its own)
//   SettingsAccess.exe --purge FOLDER      removes the settings and FOLDER\WhiteList.txt
//                                          (an uninstall asked to take them)
//   SettingsAccess.exe --remove-startup FOLDER
//                                          removes the machine's start-up value (an uninstall)
// Exit code 0 when done; otherwise the platform's error, which fails the
// installation.
#include <windows.h>

#include <cstdio>
#include <string>

#include "UsersAccess.h"

namespace {

// A file system without security (FAT) lets every user write anyway.
bool KeepsPermissions(const std::string& folder)
{
    char root[MAX_PATH + 1] = {};
    DWORD flags = 0;
    if (!GetVolumePathNameA(folder.c_str(), root, MAX_PATH) ||
        !GetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0))
        return true;
    return (flags & FS_PERSISTENT_ACLS) != 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc == 3 ? argv[1] : "";
    if (argc < 2 || argc > 3 ||
        (argc == 3 && mode != "--make-list" && mode != "--purge" && mode != "--remove-startup")) {
        std::fprintf(stderr, "usage: SettingsAccess.exe [--make-list | --purge | --remove-startup] FOLDER\n");
        return ERROR_BAD_ARGUMENTS;
    }
    const std::string folder = argv[argc - 1];
    if (mode == "--purge")
        return static_cast<int>(RemoveSettingsAndList(folder));
    if (mode == "--remove-startup")
        return static_cast<int>(RemoveStartUpValues());
    if (mode == "--make-list") {
        const DWORD made = MakeListWhereNone(folder);
        if (made != ERROR_SUCCESS) {
            std::fprintf(stderr, "The white list could not be made (error %lu).\n", made);
            return static_cast<int>(made);
        }
    }
    DWORD error = GrantUsers(kSettingsKeyObject, SE_REGISTRY_KEY, kUsersKeyRights, CONTAINER_INHERIT_ACE);
    if (error != ERROR_SUCCESS) {
        std::fprintf(stderr, "The settings key could not be opened to users (error %lu).\n", error);
        return static_cast<int>(error);
    }
    if (KeepsPermissions(folder)) {
        error = GrantUsersOnListFile(folder + "\\WhiteList.txt", kUsersFileRights);
        if (error != ERROR_SUCCESS) {
            std::fprintf(stderr, "The white list could not be opened to users (error %lu).\n", error);
            return static_cast<int>(error);
        }
    }
    return 0;
}
