// SettingsAccess.exe FOLDER: run by the installer (elevated) once Norvane's
// files and settings are in place. Gives the local Users group the rights of
// UsersAccess.h on HKLM\Software\Norvane and on FOLDER\WhiteList.txt.
// Exit code 0 when both are in place; otherwise the platform's error, which
// fails the installation.
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
    if (argc != 2) {
        std::fprintf(stderr, "usage: SettingsAccess.exe FOLDER\n");
        return ERROR_BAD_ARGUMENTS;
    }
    const std::string folder = argv[1];
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
