#pragma once
// A fresh folder under the temporary folder, removed with everything in it
// when the test ends.
#include <string>
#include <vector>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Puts one file back as it was when the object was made (or removes it, when
// there was none), so that a test may write a file that is not its own.
class FileSandbox {
public:
    explicit FileSandbox(std::string path);
    ~FileSandbox();
    FileSandbox(const FileSandbox&) = delete;
    FileSandbox& operator=(const FileSandbox&) = delete;

private:
    std::string path_;
    bool existed_;
    std::string bytes_;
};

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
bool FileExists(const std::string& path);
// The names of the files (not folders) in a folder.
std::vector<std::string> FilesIn(const std::string& folder);
