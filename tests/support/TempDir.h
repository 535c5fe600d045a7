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

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
bool FileExists(const std::string& path);
// The names of the files (not folders) in a folder.
std::vector<std::string> FilesIn(const std::string& folder);
