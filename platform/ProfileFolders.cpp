#include "ProfileFolders.h"

#include <windows.h>
#include <shlobj.h>

#include "AnsiText.h"

std::string ShellFolderPath(int csidl)
{
    char path[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : "";
}

std::string LocalLowFolderPath()
{
    // Looked up by name: Windows XP has neither the call nor the folder.
    using KnownFolderPathFn = HRESULT(WINAPI*)(REFGUID, DWORD, HANDLE, PWSTR*);
    static const GUID kLocalAppDataLow = {0xa520a1a4, 0x1780, 0x4ff6, {0xbd, 0x18, 0x16, 0x73, 0x43, 0xc5, 0xaf, 0x16}};
    HMODULE shell = GetModuleHandleA("shell32.dll");
    auto knownFolderPath = shell ? reinterpret_cast<KnownFolderPathFn>(
                                       reinterpret_cast<void*>(GetProcAddress(shell, "SHGetKnownFolderPath")))
                                 : nullptr;
    PWSTR wide = nullptr;
    if (!knownFolderPath || FAILED(knownFolderPath(kLocalAppDataLow, 0, nullptr, &wide)) || !wide)
        return std::string();
    std::string path = ansi::ToAnsi(wide);
    CoTaskMemFree(wide);
    // A name the code page cannot write comes back with '?': no such folder.
    return path.find('?') == std::string::npos ? path : std::string();
}
