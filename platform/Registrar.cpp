#include "Registrar.h"

#include "Handle.h"

#include <memory>
#include <vector>

namespace {

// One key of the script with what stands inside its braces.
struct ScriptValue {
    bool present = false;
    char type = 's';  // 's' text, 'd' number
    std::string data;
};
struct ScriptKey {
    std::string name;
    bool noRemove = false;
    bool forceRemove = false;
    ScriptValue defaultValue;
    std::vector<std::pair<std::string, ScriptValue>> values;
    std::vector<ScriptKey> keys;
};

class Tokens {
public:
    explicit Tokens(const std::string& text) { Split(text); }
    bool AtEnd() const { return next_ >= tokens_.size(); }
    const std::string& Peek() const { return AtEnd() ? empty_ : tokens_[next_].text; }
    bool PeekIsWord(const char* word) const
    {
        return !AtEnd() && !tokens_[next_].quoted && lstrcmpiA(tokens_[next_].text.c_str(), word) == 0;
    }
    std::string Take() { return AtEnd() ? std::string() : tokens_[next_++].text; }
    bool Expect(const char* text) { return Take() == text; }
    bool ok = true;

private:
    struct Token {
        std::string text;
        bool quoted;
    };
    // A brace is punctuation when white space follows it; "{1B77...}" is a name.
    static bool StandsAlone(const std::string& text, std::size_t i)
    {
        return i + 1 >= text.size() || isspace(static_cast<unsigned char>(text[i + 1]));
    }
    void Split(const std::string& text)
    {
        for (std::size_t i = 0; i < text.size();) {
            const char c = text[i];
            if (isspace(static_cast<unsigned char>(c))) {
                ++i;
            } else if (c == '=' || ((c == '{' || c == '}') && StandsAlone(text, i))) {
                tokens_.push_back({std::string(1, c), false});
                ++i;
            } else if (c == '\'') {
                std::string quoted;
                for (++i; i < text.size(); ++i) {
                    if (text[i] == '\'') {
                        if (i + 1 < text.size() && text[i + 1] == '\'') {
                            quoted += '\'';
                            ++i;
                            continue;
                        }
                        break;
                    }
                    quoted += text[i];
                }
                ok = ok && i < text.size();
                ++i;
                tokens_.push_back({quoted, true});
            } else {
                std::size_t end = i;
                while (end < text.size() && !isspace(static_cast<unsigned char>(text[end])) && text[end] != '=' &&
                       text[end] != '\'')
                    ++end;
                tokens_.push_back({text.substr(i, end - i), false});
                i = end;
            }
        }
    }
    std::vector<Token> tokens_;
    std::size_t next_ = 0;
    std::string empty_;
};

bool ParseValue(Tokens& tokens, ScriptValue& value)
{
    const std::string type = tokens.Take();
    if (type != "s" && type != "S" && type != "d" && type != "D")
        return false;
    value.present = true;
    value.type = static_cast<char>(tolower(type[0]));
    value.data = tokens.Take();
    return true;
}

bool ParseKeys(Tokens& tokens, std::vector<ScriptKey>& keys, std::vector<std::pair<std::string, ScriptValue>>* values);

bool ParseKey(Tokens& tokens, ScriptKey& key)
{
    for (;;) {
        if (tokens.PeekIsWord("NoRemove"))
            key.noRemove = true;
        else if (tokens.PeekIsWord("ForceRemove"))
            key.forceRemove = true;
        else
            break;
        tokens.Take();
    }
    key.name = tokens.Take();
    if (key.name.empty() || key.name == "{" || key.name == "}")
        return false;
    if (tokens.Peek() == "=") {
        tokens.Take();
        if (!ParseValue(tokens, key.defaultValue))
            return false;
    }
    if (tokens.Peek() == "{") {
        tokens.Take();
        if (!ParseKeys(tokens, key.keys, &key.values) || !tokens.Expect("}"))
            return false;
    }
    return true;
}

bool ParseKeys(Tokens& tokens, std::vector<ScriptKey>& keys, std::vector<std::pair<std::string, ScriptValue>>* values)
{
    while (!tokens.AtEnd() && tokens.Peek() != "}") {
        if (values && tokens.PeekIsWord("val")) {
            tokens.Take();
            std::pair<std::string, ScriptValue> value{tokens.Take(), {}};
            if (!tokens.Expect("=") || !ParseValue(tokens, value.second))
                return false;
            values->push_back(value);
            continue;
        }
        keys.emplace_back();
        if (!ParseKey(tokens, keys.back()))
            return false;
    }
    return true;
}

HKEY RootKey(const std::string& name)
{
    const struct {
        const char* shortName;
        const char* longName;
        HKEY key;
    } roots[] = {
        {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT}, {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {"HKU", "HKEY_USERS", HKEY_USERS},
    };
    for (const auto& root : roots)
        if (lstrcmpiA(name.c_str(), root.shortName) == 0 || lstrcmpiA(name.c_str(), root.longName) == 0)
            return root.key;
    return nullptr;
}

bool IsProtected(const std::string& name)
{
    return lstrcmpiA(name.c_str(), "CLSID") == 0 || lstrcmpiA(name.c_str(), "TypeLib") == 0;
}

LONG SetValue(HKEY key, const std::string& name, const ScriptValue& value)
{
    const char* valueName = name.empty() ? nullptr : name.c_str();
    if (value.type == 'd') {
        const DWORD number = strtoul(value.data.c_str(), nullptr, 0);
        return RegSetValueExA(key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    }
    return RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.data.c_str()),
                          static_cast<DWORD>(value.data.size() + 1));
}

// The shared keys directly under a root (HKCR\CLSID, HKCR\TypeLib) are never
// removed, even when a script forgets to mark them NoRemove; a server's own
// "CLSID" or "TypeLib" sub-key deeper down belongs to the server.
bool IsShared(const std::string& name, bool underRoot) { return underRoot && IsProtected(name); }

LONG RegisterKey(HKEY parent, const ScriptKey& key, bool underRoot)
{
    if (key.forceRemove && !IsShared(key.name, underRoot)) {
        const LONG removed = DeleteKeyTree(parent, key.name);
        if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND)
            return removed;  // never write a fresh tree over stale entries
    }
    RegistryKey opened;
    LONG result = RegCreateKeyExA(parent, key.name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, opened.Put(),
                                  nullptr);
    if (result != ERROR_SUCCESS)
        return result;
    if (key.defaultValue.present && (result = SetValue(opened.Get(), "", key.defaultValue)) != ERROR_SUCCESS)
        return result;
    for (const auto& [name, value] : key.values)
        if ((result = SetValue(opened.Get(), name, value)) != ERROR_SUCCESS)
            return result;
    for (const auto& child : key.keys)
        if ((result = RegisterKey(opened.Get(), child, false)) != ERROR_SUCCESS)
            return result;
    return ERROR_SUCCESS;
}

bool HasSubKeys(HKEY key)
{
    DWORD subKeys = 0;
    return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr) != ERROR_SUCCESS ||
           subKeys > 0;
}

// A ForceRemove key is the server's own with everything below it, so it goes
// whole; any other key goes once nothing else is left in it.
void UnregisterKey(HKEY parent, const ScriptKey& key, bool underRoot)
{
    if (key.forceRemove && !key.noRemove && !IsShared(key.name, underRoot)) {
        DeleteKeyTree(parent, key.name);
        return;
    }
    bool empty = false;
    {
        RegistryKey opened;
        if (RegOpenKeyExA(parent, key.name.c_str(), 0, KEY_ALL_ACCESS, opened.Put()) != ERROR_SUCCESS)
            return;
        for (const auto& child : key.keys)
            UnregisterKey(opened.Get(), child, false);
        for (const auto& value : key.values)
            RegDeleteValueA(opened.Get(), value.first.c_str());
        empty = !HasSubKeys(opened.Get());
    }
    if (empty && !key.noRemove && !IsShared(key.name, underRoot))
        RegDeleteKeyA(parent, key.name.c_str());
}

}  // namespace

LONG DeleteKeyTree(HKEY parent, const std::string& name)
{
    {
        RegistryKey opened;
        LONG result = RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS, opened.Put());
        if (result != ERROR_SUCCESS)
            return result;
        char child[256];
        for (;;) {
            DWORD size = sizeof child;
            if (RegEnumKeyExA(opened.Get(), 0, child, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            const LONG removed = DeleteKeyTree(opened.Get(), child);
            if (removed != ERROR_SUCCESS)
                return removed;
        }
    }
    return RegDeleteKeyA(parent, name.c_str());
}

HRESULT CRegistrar::Register(const std::string& script) const { return Apply(script, true); }

HRESULT CRegistrar::Unregister(const std::string& script) const { return Apply(script, false); }

HRESULT CRegistrar::Apply(const std::string& script, bool registering) const
{
    std::string text;
    for (std::size_t i = 0; i < script.size(); ++i) {
        const std::size_t end = script[i] == '%' ? script.find('%', i + 1) : std::string::npos;
        if (end == std::string::npos) {
            text += script[i];
            continue;
        }
        const std::string name = script.substr(i + 1, end - i - 1);
        const auto found = replacements_.find(name);
        if (!name.empty() && found == replacements_.end())
            return DISP_E_EXCEPTION;  // a script that names what nobody supplied
        text += name.empty() ? std::string("%") : found->second;
        i = end;
    }

    Tokens tokens(text);
    std::vector<ScriptKey> roots;
    if (!tokens.ok || !ParseKeys(tokens, roots, nullptr) || !tokens.AtEnd())
        return DISP_E_EXCEPTION;
    for (const auto& root : roots) {
        HKEY rootKey = RootKey(root.name);
        if (!rootKey)
            return DISP_E_EXCEPTION;
        for (const auto& key : root.keys) {
            if (!registering) {
                UnregisterKey(rootKey, key, true);
                continue;
            }
            const LONG result = RegisterKey(rootKey, key, true);
            if (result != ERROR_SUCCESS)
                return HRESULT_FROM_WIN32(result);
        }
    }
    return S_OK;
}
