#include "ProfileFolders.h"

#include <windows.h>
#include <shlobj.h>

#include "AnsiText.h"

namespace {

// A name the code page cannot write comes back with '?': no such folder.
std::string InCodePage(const std::wstring& path)
{
    const std::string ansi = ansi::ToAnsi(path.c_str());
    return ansi.find('?') == std::string::npos ? ansi : std::string();
}

}  // namespace

std::wstring ShellFolderPathW(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : L"";
}

std::wstring LocalLowFolderPathW()
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
        return std::wstring();
    std::wstring path = wide;
    CoTaskMemFree(wide);
    return path;
}

std::string ShellFolderPath(int csidl) { return InCodePage(ShellFolderPathW(csidl)); }

std::string LocalLowFolderPath() { return InCodePage(LocalLowFolderPathW()); }
