#include "RegValue.h"

#include "Handle.h"

#include <algorithm>
#include <optional>
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

// A character of an ANSI code page takes at most two bytes.
const std::size_t kMaxBytesPerCharacter = 2;

std::size_t CharacterCount(const std::string& text)
{
    if (text.empty())
        return 0;
    return static_cast<std::size_t>(
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0));
}

// One text through query, a registry call bound to one value that takes a
// data buffer (null: the size only) and its byte count. The size comes
// first, and a value too long is refused before anything is allocated; one
// that grew in between fails the read. At most maxLength characters are
// kept, up to the first NUL; a longer text is refused whole, never cut.
template <typename Query>
std::optional<std::string> ReadBoundedText(std::size_t maxLength, Query query)
{
    DWORD size = 0;
    // The ANSI call may give the size of the value's UTF-16 form before it
    // is converted: two bytes a character, its NUL too.
    if (query(nullptr, &size) != ERROR_SUCCESS || size > (maxLength + 1) * kMaxBytesPerCharacter)
        return std::nullopt;
    std::vector<char> buffer(size + 1, '\0');
    if (query(reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::string text(buffer.data(), std::min<std::size_t>(size, std::char_traits<char>::length(buffer.data())));
    if (CharacterCount(text) > maxLength)
        return std::nullopt;
    return text;
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
// bytes land in the low bytes of the number. A REG_DWORD short of 4 bytes
// is reported as no type, so that a caller that asks for a number gets none.
template <>
bool CRegValue<DWORD>::ReadFromRegistry(DWORD& value, DWORD& type) const
{
    RegistryKey key(OpenForRead());
    if (!key)
        return false;
    DWORD size = sizeof(value);
    if (Registry().QueryValueEx(key.Get(), ValueName().c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                                &size) != ERROR_SUCCESS)
        return false;
    if (size != sizeof(value) && type == REG_DWORD)
        type = REG_NONE;
    return true;
}

// A text read asks for the size first, then reads that many bytes and keeps
// them up to the first NUL; the type is not looked at.
template <>
bool CRegValue<std::string>::ReadFromRegistry(std::string& value, DWORD& type) const
{
    RegistryKey key(OpenForRead());
    if (!key)
        return false;
    const auto text = ReadBoundedText(maxLength_, [&](BYTE* data, DWORD* size) {
        return Registry().QueryValueEx(key.Get(), ValueName().c_str(), nullptr, &type, data, size);
    });
    if (!text)
        return false;
    value = *text;
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

std::vector<std::string> ReadKeyTexts(HKEY key, std::size_t maxLength, std::size_t maxCount)
{
    // By index on the open key, never by name: a name may hold a backslash,
    // which a value path would split, and may be longer than a value path's
    // name may be. The buffer holds the longest name the registry allows
    // (16,383 characters) in any ANSI code page.
    std::vector<char> name(16384 * kMaxBytesPerCharacter);
    std::vector<std::string> texts;
    for (DWORD i = 0; i < maxCount; ++i) {
        bool ended = false;
        const auto text = ReadBoundedText(maxLength, [&](BYTE* data, DWORD* size) {
            DWORD nameSize = static_cast<DWORD>(name.size());
            const LONG result = Registry().EnumValue(key, i, name.data(), &nameSize, nullptr, nullptr, data, size);
            // Too long a text says ERROR_MORE_DATA: pass over it, not the rest.
            ended = ended || (result != ERROR_SUCCESS && result != ERROR_MORE_DATA);
            return result;
        });
        if (ended)
            break;
        if (text)
            texts.push_back(*text);
    }
    return texts;
}
