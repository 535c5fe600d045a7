#include "AppContainer.h"

#include <objbase.h>
#include <sddl.h>

#include "Handle.h"

namespace {

// Token information classes of Windows 8, which older headers lack.
const auto kTokenIsAppContainer = static_cast<TOKEN_INFORMATION_CLASS>(29);
const auto kTokenAppContainerSid = static_cast<TOKEN_INFORMATION_CLASS>(31);

KernelHandle ProcessToken()
{
    KernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put()))
        token.Reset();
    return token;
}

bool TokenSaysContainer()
{
    const KernelHandle token = ProcessToken();
    DWORD isContainer = 0, size = 0;
    return token && GetTokenInformation(token.Get(), kTokenIsAppContainer, &isContainer, sizeof isContainer, &size) &&
           isContainer != 0;
}

// Looked up by name, and held only for the call: userenv.dll has the calls
// from Windows 8 on, and is taken from the system folder alone (the flag
// exists wherever the calls do).
const DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

LibraryHandle UserEnv() { return LibraryHandle(LoadLibraryExA("userenv.dll", nullptr, kSearchSystem32)); }

template <typename Fn>
Fn UserEnvCall(const LibraryHandle& userenv, const char* name)
{
    return userenv ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(userenv.Get(), name))) : nullptr;
}

HRESULT PlatformRegistryLocation(REGSAM access, HKEY* key)
{
    using Fn = HRESULT(WINAPI*)(REGSAM, HKEY*);
    *key = nullptr;
    const LibraryHandle userenv = UserEnv();
    const auto location = UserEnvCall<Fn>(userenv, "GetAppContainerRegistryLocation");
    return location ? location(access, key) : E_NOTIMPL;
}

std::wstring TokenContainerSid()
{
    const KernelHandle token = ProcessToken();
    // TOKEN_APPCONTAINER_INFORMATION: one SID pointer, into the same block.
    alignas(void*) BYTE block[sizeof(void*) + SECURITY_MAX_SID_SIZE] = {};
    DWORD size = 0;
    if (!token || !GetTokenInformation(token.Get(), kTokenAppContainerSid, block, sizeof block, &size))
        return std::wstring();
    PSID sid = *reinterpret_cast<PSID*>(block);
    LPWSTR text = nullptr;
    if (!sid || !ConvertSidToStringSidW(sid, &text))
        return std::wstring();
    std::wstring result = text;
    LocalFree(text);
    return result;
}

std::wstring PlatformFolder()
{
    using Fn = HRESULT(WINAPI*)(PCWSTR, PWSTR*);
    const LibraryHandle userenv = UserEnv();
    const auto folderPath = UserEnvCall<Fn>(userenv, "GetAppContainerFolderPath");
    const std::wstring sid = folderPath ? TokenContainerSid() : std::wstring();
    PWSTR path = nullptr;
    if (sid.empty() || FAILED(folderPath(sid.c_str(), &path)) || !path)
        return std::wstring();
    std::wstring result = path;
    CoTaskMemFree(path);
    return result;
}

}  // namespace

const char kIeContainerStorage[] =
    "Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppContainer\\Storage\\"
    "windows_ie_ac_001";

AppContainerApi& AppContainer()
{
    static AppContainerApi api{&TokenSaysContainer, &PlatformRegistryLocation, &PlatformFolder};
    return api;
}
