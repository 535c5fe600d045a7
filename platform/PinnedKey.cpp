#include "PinnedKey.h"

#include <algorithm>

#include "NativeApi.h"

namespace {

const REGSAM kReadAccess = KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE;
// A DOM storage record is a key or two deep; a deeper tree is nobody's the
// browser made, and walking it would only spend the thread's stack.
const int kDeepestKey = 16;
// Key names are at most 255 characters.
const DWORD kLongestName = 256;

// NtDeleteKey deletes the key its handle names, a link itself when the
// handle was opened as one, which RegDeleteKey cannot: it opens the name
// again and follows the link. In ntdll from Windows XP on, documented in
// the driver kit (ZwDeleteKey).
using DeleteKeyFn = LONG(NTAPI*)(HANDLE key);

DeleteKeyFn NtDeleteKeyCall() { return native::Lookup<DeleteKeyFn>("ntdll.dll", "NtDeleteKey"); }

}  // namespace

bool KeyWalk::Spend()
{
    if (keysLeft_ == 0 || (stop_ && stop_()))
        return false;
    --keysLeft_;
    return true;
}

std::optional<PinnedKey> PinnedKey::OpenPath(HKEY root, const std::wstring& path)
{
    RegistryKey first;
    if (RegOpenKeyExW(root, L"", 0, kReadAccess, first.Put()) != ERROR_SUCCESS)
        return std::nullopt;
    std::optional<PinnedKey> key = PinnedKey(std::move(first));
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find(L'\\', start), path.size());
        key = key->OpenChild(path.substr(start, end - start), kReadAccess);
        if (!key || key->IsLink())
            return std::nullopt;
        start = end + 1;
    }
    return key;
}

std::optional<PinnedKey> PinnedKey::OpenChild(const std::wstring& name, REGSAM access) const
{
    RegistryKey child;
    if (name.empty() ||
        RegOpenKeyExW(key_.Get(), name.c_str(), REG_OPTION_OPEN_LINK, access, child.Put()) != ERROR_SUCCESS)
        return std::nullopt;
    return PinnedKey(std::move(child));
}

// A link holds its target's name in the value SymbolicLinkValue, of type
// REG_LINK, which its handle opened as itself reads.
bool PinnedKey::IsLink() const
{
    DWORD type = REG_NONE;
    return RegQueryValueExW(key_.Get(), L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
           type == REG_LINK;
}

std::vector<std::wstring> PinnedKey::SubkeyNames(KeyWalk& walk) const
{
    std::vector<std::wstring> names;
    wchar_t name[kLongestName];
    for (DWORD index = 0;; ++index) {
        DWORD length = kLongestName;
        const LONG result = RegEnumKeyExW(key_.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS || (result != ERROR_MORE_DATA && result != ERROR_SUCCESS) ||
            !walk.Spend())
            break;
        if (result == ERROR_SUCCESS)
            names.emplace_back(name, length);
    }
    return names;
}

bool PinnedKey::RemoveTree(const std::wstring& name, KeyWalk& walk, int depth) const
{
    if (!walk.Spend())
        return false;
    const auto child = OpenChild(name, kReadAccess | DELETE);
    if (!child)
        return false;
    // A link has no subkeys of its own; what its target has is not ours.
    if (!child->IsLink()) {
        if (depth >= kDeepestKey)
            return false;
        for (const auto& below : child->SubkeyNames(walk))
            child->RemoveTree(below, walk, depth + 1);
    }
    return child->Delete();
}

bool PinnedKey::Delete() const
{
    static const auto deleteKey = NtDeleteKeyCall();
    return deleteKey && deleteKey(key_.Get()) >= 0;
}
