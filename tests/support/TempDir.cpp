#include "TempDir.h"

#include <windows.h>

#include <fstream>
#include <sstream>

#include "UnixCommand.h"

namespace {

// In UTF-16 throughout: a name converted to ANSI may name another file.
void RemoveTree(const std::wstring& dir)
{
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = dir + L"\\" + name;
            // A link a test planted goes itself; what it points to is not the test's.
            if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                RemoveUnixTree(std::string(path.begin(), path.end()));
            else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(dir.c_str());
}

}  // namespace

TempDir::TempDir()
{
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    static unsigned counter = 0;
    path_ = std::string(base) + "norvane-test-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++counter);
    CreateDirectoryA(path_.c_str(), nullptr);
}

TempDir::~TempDir() { RemoveTree(std::wstring(path_.begin(), path_.end())); }

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadBytes(const std::string& path)
{
    std::ostringstream out;
    out << std::ifstream(path, std::ios::binary).rdbuf();
    return out.str();
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found{};
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return names;
}

FileSandbox::FileSandbox(std::string path)
    : path_(std::move(path)), existed_(FileExists(path_)), bytes_(existed_ ? ReadBytes(path_) : std::string())
{
}

FileSandbox::~FileSandbox()
{
    if (existed_)
        WriteBytes(path_, bytes_);
    else
        DeleteFileA(path_.c_str());
}
