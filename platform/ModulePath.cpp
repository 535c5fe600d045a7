#include "ModulePath.h"

std::string ModuleFilePath(HMODULE module)
{
    // A path that fills the buffer may come back unterminated (Windows XP).
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(path, length) : std::string();
}

std::string FileBesideModule(HMODULE module, const char* name)
{
    const std::string path = ModuleFilePath(module);
    const std::size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1) + name;
}
