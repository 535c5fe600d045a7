#include "UnixCommand.h"

#include <windows.h>


#include "Handle.h"

std::string UnixPath(const std::string& windowsPath)
{
    // Wine's own export, in kernel32 under Wine only.
    using UnixFileNameFn = char*(CDECL*)(LPCWSTR);
    const auto unixFileName = reinterpret_cast<UnixFileNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixFileName)
        return std::string();
    const std::wstring wide(windowsPath.begin(), windowsPath.end());
    char* name = unixFileName(wide.c_str());
    if (!name)
        return std::string();
    std::string path = name;
    HeapFree(GetProcessHeap(), 0, name);
    return path;
}

bool RunUnix(const std::string& program, const std::vector<std::string>& arguments)
{
    std::string commandLine = "\"" + program + "\"";
    for (const auto& argument : arguments)
        commandLine += " \"" + argument + "\"";
    const std::string image = "Z:" + program;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(image.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    // Wine hands back no handle of a Unix process it started.
    KernelHandle processHandle(process.hProcess), threadHandle(process.hThread);
    return true;
}

bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > milliseconds)
            return false;
        Sleep(5);
    }
    return true;
}

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

bool PlantLink(const std::string& link, const std::string& target)
{
    const std::string unixLink = UnixPath(link), unixTarget = UnixPath(target);
    return !unixLink.empty() && !unixTarget.empty() && RunUnix("/bin/ln", {"-s", unixTarget, unixLink}) &&
           WaitUntil([&] { return Exists(link); }, 10000);
}

bool RemoveUnixTree(const std::string& path)
{
    const std::string unixPath = UnixPath(path);
    return !unixPath.empty() && RunUnix("/bin/rm", {"-rf", unixPath}) &&
           WaitUntil([&] { return !Exists(path); }, 60000);
}
