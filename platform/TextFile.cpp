#include "TextFile.h"

#include <windows.h>

#include "Handle.h"

namespace {

std::string CrLfToLf(const std::string& bytes)
{
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;
        text += bytes[i];
    }
    return text;
}

}  // namespace

std::optional<std::string> ReadTextModeFile(const std::string& path)
{
    // Others may read or replace the file meanwhile: the control panel saves
    // it while browser windows read it.
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return std::nullopt;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.HighPart != 0 || size.LowPart > 0x7FFFFFFF)
        return std::nullopt;
    std::string bytes(size.LowPart, '\0');
    DWORD got = 0;
    if (size.LowPart > 0 && !ReadFile(file.get(), bytes.data(), size.LowPart, &got, nullptr))
        return std::nullopt;
    bytes.resize(got);
    return CrLfToLf(bytes);
}
