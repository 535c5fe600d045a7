#include "WhiteListFile.h"

#include <windows.h>

#include "TextFile.h"

namespace settings {

WhiteListRead ReadWhiteListFile(const std::string& path)
{
    const auto text = path.empty() ? std::nullopt : ReadLocalTextFile(path);
    if (!text) {
        const DWORD error = path.empty() ? ERROR_PATH_NOT_FOUND : GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return {missing ? WhiteListRead::Missing : WhiteListRead::Unreadable, {}};
    }
    return {WhiteListRead::Read, ListLines(*text)};
}

}  // namespace settings
