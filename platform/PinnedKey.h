#pragma once
// A registry key the cleaner works inside while other processes may write it
// (a Protected Mode page writes LowRegistry, an Enhanced Protected Mode one
// its container's storage). Every key is opened as itself
// (REG_OPTION_OPEN_LINK) by its UTF-16 name relative to its parent's open
// handle, so no link is ever followed and no name resolved twice; a key is
// deleted through its own handle, so a link goes as a link and its target
// stays. Nothing is reached that is not below the first key.
#include <windows.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Handle.h"

// What a walk may still spend: one for every key it lists or opens, and
// nothing once stop() says so (a deadline); a store any process can fill
// is never walked whole.
class KeyWalk {
public:
    KeyWalk(std::size_t keys, std::function<bool()> stop) : keysLeft_(keys), stop_(std::move(stop)) {}
    // Spends one; false when nothing is left.
    bool Spend();

private:
    std::size_t keysLeft_;
    std::function<bool()> stop_;
};

class PinnedKey {
public:
    // The key at each name of path ("a\b\c") in turn below root, each
    // opened inside the one before; nothing when one is missing or a link.
    static std::optional<PinnedKey> OpenPath(HKEY root, const std::wstring& path);

    PinnedKey(PinnedKey&&) = default;
    PinnedKey& operator=(PinnedKey&&) = default;

    // The names of the subkeys, as the platform has them, until the walk is spent.
    std::vector<std::wstring> SubkeyNames(KeyWalk& walk) const;

    // Deletes the subkey and everything below it, depth first: a link below
    // goes as a link. Stops where the walk is spent or the tree is deeper
    // than any store's, leaving what is left in place. True when it is gone.
    bool RemoveTree(const std::wstring& name, KeyWalk& walk, int depth = 0) const;

private:
    explicit PinnedKey(RegistryKey key) : key_(std::move(key)) {}
    // The child opened as itself, or nothing.
    std::optional<PinnedKey> OpenChild(const std::wstring& name, REGSAM access) const;
    bool IsLink() const;
    // Deletes this key through its handle; a key with subkeys stays.
    bool Delete() const;

    RegistryKey key_;
};
