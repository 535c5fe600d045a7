#pragma once
// Applies a registry script in the registrar syntax that COM servers carry as
// a "REGISTRY" resource: nested keys in braces, "= s 'text'" for a key's
// default value, "val name = s 'text'" (or "d 'n'") for named values, and the
// key flags NoRemove and ForceRemove. "%NAME%" is replaced before parsing.
#include <windows.h>

#include <map>
#include <string>

class CRegistrar {
public:
    // Text that stands for %NAME% in the script ("%%" stands for "%").
    void AddReplacement(const std::string& name, const std::string& text) { replacements_[name] = text; }

    // Writes the script's keys and values; a ForceRemove key is first deleted
    // with everything below it (a delete that fails fails the registration).
    // The first failure, or S_OK.
    HRESULT Register(const std::string& script) const;

    // Walks the same tree, sub-entries first: deletes a ForceRemove key with
    // everything below it, the named values, then every key left without
    // sub-keys unless it is NoRemove. The keys named CLSID or TypeLib directly
    // under a root are never deleted.
    HRESULT Unregister(const std::string& script) const;

private:
    HRESULT Apply(const std::string& script, bool registering) const;
    std::map<std::string, std::string> replacements_;
};

// Deletes a key with everything below it; ERROR_SUCCESS, or the first failure.
LONG DeleteKeyTree(HKEY parent, const std::string& name);
