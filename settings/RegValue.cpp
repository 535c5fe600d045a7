#include "RegValue.h"

#include "Handle.h"

#include <algorithm>
#include <vector>

#include "RegistryApi.h"

namespace {

std::string WithoutLeading(std::string text, char c)
{
    return text.erase(0, std::min(text.find_first_not_of(c), text.size()));
}

std::string WithoutTrailing(std::string text, char c)
{
    const auto last = text.find_last_not_of(c);
    return text.erase(last == std::string::npos ? 0 : last + 1);
}
}  // namespace

CRegValueLocation::CRegValueLocation(const std::string& valuePath, HKEY root, REGSAM view)
    : root_(root), view_(view)
{
    const std::string path = WithoutLeading(valuePath, '\\');
    const auto last = path.rfind('\\');
    if (last == std::string::npos) {
        valueName_ = path;
        return;
    }
    keyPath_ = WithoutTrailing(path.substr(0, last), '\\');
    valueName_ = WithoutLeading(path.substr(last), '\\');
}

HKEY CRegValueLocation::OpenForRead() const
{
    HKEY key = nullptr;
    if (Registry().OpenKeyEx(root_, keyPath_.c_str(), 0, KEY_READ | view_, &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

HKEY CRegValueLocation::CreateForWrite() const
{
    HKEY key = nullptr;
    char noClass[] = "";
    DWORD disposition = 0;
    // Setting values is all a write needs: a standard user is granted no
    // more on the machine's settings key.
    if (Registry().CreateKeyEx(root_, keyPath_.c_str(), 0, noClass, 0, KEY_SET_VALUE | view_, nullptr, &key,
                               &disposition) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

// A number read takes any value of at most 4 bytes, whatever its type: its
// bytes land in the low bytes of the number.
template <>
bool CRegValue<DWORD>::ReadFromRegistry(DWORD& value) const
{
    RegistryKey key(OpenForRead());
    if (!key)
        return false;
    DWORD size = sizeof(value);
    DWORD type = 0;
    return Registry().QueryValueEx(key.Get(), ValueName().c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS;
}

// A text read asks for the size first, then reads that many bytes and keeps
// them up to the first NUL; the type is not looked at.
template <>
bool CRegValue<std::string>::ReadFromRegistry(std::string& value) const
{
    RegistryKey key(OpenForRead());
    if (!key)
        return false;
    DWORD size = 0;
    DWORD type = 0;
    if (Registry().QueryValueEx(key.Get(), ValueName().c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS)
        size = 0;
    std::vector<char> buffer(size + 1, '\0');
    if (Registry().QueryValueEx(key.Get(), ValueName().c_str(), nullptr, &type,
                                reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS)
        return false;
    value.assign(buffer.data(), std::min<std::size_t>(size, std::char_traits<char>::length(buffer.data())));
    return true;
}

template <>
bool CRegValue<DWORD>::WriteToRegistry(const DWORD& value) const
{
    RegistryKey key(CreateForWrite());
    return key && Registry().SetValueEx(key.Get(), ValueName().c_str(), 0, REG_DWORD,
                                        reinterpret_cast<const BYTE*>(&value),
                                        sizeof(value)) == ERROR_SUCCESS;
}

template <>
bool CRegValue<std::string>::WriteToRegistry(const std::string& value) const
{
    RegistryKey key(CreateForWrite());
    return key && Registry().SetValueEx(key.Get(), ValueName().c_str(), 0, REG_SZ,
                                        reinterpret_cast<const BYTE*>(value.c_str()),
                                        static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}
