// Run by the installers (elevated, or as SYSTEM) from their own files, never
// from the program folder:
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
//   SettingsAccess.exe --prepare-folder FOLDER MESSAGE
//                                          checks the program folder (ProgramFolder.h) and
//                                          makes what is missing of it; when refused, writes
//                                          why to the file MESSAGE (UTF-16) and exits 1
//   SettingsAccess.exe --check-folder FOLDER
//                                          only checks it: exit 0 when it passes, 1 when not
// Otherwise exit code 0 when done, else the platform's error, which fails the
// installation. A program with no window: it runs as SYSTEM, whose console
// would open on the desktop of whoever is logged on.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "Handle.h"
#include "ProgramFolder.h"
#include "UsersAccess.h"

namespace {

const int kRefused = 1;

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

std::vector<std::wstring> Arguments()
{
    int count = 0;
    LPWSTR* given = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> arguments;
    for (int i = 1; given && i < count; ++i)
        arguments.emplace_back(given[i]);
    LocalFree(given);
    return arguments;
}

// The folder in the code page's text, exactly; "" when it has no such form.
std::string AnsiName(const std::wstring& folder)
{
    BOOL usedDefault = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, folder.c_str(), -1, nullptr, 0, nullptr,
                                         GetACP() == CP_UTF8 ? nullptr : &usedDefault);
    std::string text(size > 0 ? size : 1, '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, folder.c_str(), -1, &text[0], size, nullptr, nullptr);
    text.resize(size > 0 ? size - 1 : 0);
    return usedDefault ? "" : text;
}

DWORD WriteMessage(const std::wstring& file, const std::wstring& text)
{
    const FileHandle out(
        CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!out || !WriteFile(out.Get(), text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr))
        return GetLastError();
    return ERROR_SUCCESS;
}

int PrepareFolder(const std::wstring& folder, const std::wstring& messageFile)
{
    const std::vector<BYTE> account = ProcessAccountSid();
    const FolderJudgement judged = PrepareProgramFolder(folder, account.empty() ? nullptr : PSID(account.data()));
    if (judged.verdict == FolderVerdict::Accepted)
        return 0;
    const DWORD written = WriteMessage(messageFile, JudgementText(judged, NormalFolderPath(folder)));
    return written == ERROR_SUCCESS ? kRefused : static_cast<int>(written);
}

bool FolderPasses(const std::wstring& folder)
{
    const std::vector<BYTE> account = ProcessAccountSid();
    return JudgeProgramFolder(NormalFolderPath(folder), ReadFolderFacts,
                              account.empty() ? nullptr : PSID(account.data()))
               .verdict == FolderVerdict::Accepted;
}

// Opens the settings and the list to users, in a folder that passes.
int OpenToUsers(const std::wstring& wideFolder, const std::string& folder, bool makeList)
{
    if (!FolderPasses(wideFolder))
        return ERROR_ACCESS_DENIED;
    if (makeList) {
        const DWORD made = MakeListWhereNone(folder);
        if (made != ERROR_SUCCESS)
            return static_cast<int>(made);
    }
    DWORD error = GrantUsers(kSettingsKeyObject, SE_REGISTRY_KEY, kUsersKeyRights, CONTAINER_INHERIT_ACE);
    if (error == ERROR_SUCCESS && KeepsPermissions(folder))
        error = GrantUsersOnListFile(folder + "\\WhiteList.txt", kUsersFileRights);
    return static_cast<int>(error);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const std::vector<std::wstring> arguments = Arguments();
    const std::wstring mode = arguments.size() >= 2 ? arguments[0] : L"";
    if (mode == L"--prepare-folder" && arguments.size() == 3)
        return PrepareFolder(arguments[1], arguments[2]);
    if (mode == L"--check-folder" && arguments.size() == 2)
        return FolderPasses(arguments[1]) ? 0 : kRefused;
    const bool known = arguments.size() == 1 || (arguments.size() == 2 && (mode == L"--make-list" || mode == L"--purge" ||
                                                                        mode == L"--remove-startup"));
    if (!known)
        return ERROR_BAD_ARGUMENTS;
    const std::wstring wideFolder = NormalFolderPath(arguments.back());
    const std::string folder = AnsiName(wideFolder);
    if (mode == L"--remove-startup")
        return static_cast<int>(RemoveStartUpValues());
    if (folder.empty())
        return ERROR_NO_UNICODE_TRANSLATION;
    if (mode == L"--purge") {
        // The list only where its name leads where it says: through a link
        // it would be another folder's file.
        return static_cast<int>(RemoveSettingsAndList(folder, !PathHasLink(wideFolder, ReadFolderFacts)));
    }
    return OpenToUsers(wideFolder, folder, mode == L"--make-list");
}
