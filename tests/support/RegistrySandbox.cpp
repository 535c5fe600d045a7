#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // RegCopyTree and RegDeleteTree
#include "RegistrySandbox.h"

#include <gtest/gtest.h>
#include <sddl.h>

namespace {

int g_sandboxes = 0;  // sandboxes may nest: each keeps its own backup

// The settings' key as the programs see it: HKLM\Software\Norvane lives in
// the 32-bit registry view for a 64-bit process too. A test names it as
// usual; its keys are reached from HKLM\Software opened in that view.
struct Where {
    HKEY root;
    std::string path;
};

Where Resolve(HKEY root, const std::string& path)
{
    static const char kSoftware[] = "Software\\";
    const std::string settings = std::string(kSoftware) + "Norvane";
    // The key itself, its sub-keys, and a sandbox's backup beside it.
    const bool settingsKey = root == HKEY_LOCAL_MACHINE && path.size() >= settings.size() &&
                             CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(),
                                            static_cast<int>(settings.size()), settings.c_str(), -1) == CSTR_EQUAL &&
                             (path.size() == settings.size() || path[settings.size()] == '\\' ||
                              path[settings.size()] == '.');
    if (!settingsKey)
        return {root, path};
    static HKEY software32 = [] {
        HKEY key = nullptr;
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &key);
        return key;  // kept for the test process's life
    }();
    return {software32, path.substr(sizeof kSoftware - 1)};
}

HKEY Open(HKEY root, const std::string& path, REGSAM access)
{
    const Where where = Resolve(root, path);
    HKEY key = nullptr;
    return RegOpenKeyExA(where.root, where.path.c_str(), 0, access, &key) == ERROR_SUCCESS ? key : nullptr;
}

HKEY Create(HKEY root, const std::string& path)
{
    const Where where = Resolve(root, path);
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(where.root, where.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &key, nullptr));
    return key;
}

void DeleteKeyTree(HKEY root, const std::string& path)
{
    const Where where = Resolve(root, path);
    RegDeleteTreeA(where.root, where.path.c_str());
}

void CopyTree(HKEY root, const std::string& from, const std::string& to)
{
    HKEY source = Open(root, from, KEY_READ);
    HKEY target = Create(root, to);
    EXPECT_EQ(ERROR_SUCCESS, RegCopyTreeA(source, nullptr, target));
    RegCloseKey(target);
    RegCloseKey(source);
}

}  // namespace

RegistrySandbox::RegistrySandbox(HKEY root, std::string path)
    : root_(root),
      path_(std::move(path)),
      backup_(path_ + ".test-backup-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++g_sandboxes))
{
    DeleteKeyTree(root_, backup_);
    if (HKEY key = Open(root_, path_, KEY_READ)) {
        RegCloseKey(key);
        existed_ = true;
        CopyTree(root_, path_, backup_);
        DeleteKeyTree(root_, path_);
    }
}

RegistrySandbox::~RegistrySandbox()
{
    DeleteKeyTree(root_, path_);
    if (existed_) {
        CopyTree(root_, backup_, path_);
        DeleteKeyTree(root_, backup_);
    }
}

void SetRaw(HKEY root, const std::string& key, const std::string& name, DWORD type, const void* data,
            DWORD size)
{
    HKEY k = Create(root, key);
    ASSERT_NE(nullptr, k);
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExA(k, name.c_str(), 0, type, static_cast<const BYTE*>(data), size));
    RegCloseKey(k);
}

void SetDword(HKEY root, const std::string& key, const std::string& name, DWORD value)
{
    SetRaw(root, key, name, REG_DWORD, &value, sizeof value);
}

void SetString(HKEY root, const std::string& key, const std::string& name, const std::string& value)
{
    SetRaw(root, key, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

bool KeyExists(HKEY root, const std::string& key)
{
    HKEY k = Open(root, key, KEY_READ);
    if (k)
        RegCloseKey(k);
    return k != nullptr;
}

bool QueryRaw(HKEY root, const std::string& key, const std::string& name, DWORD& type, std::string& bytes)
{
    HKEY k = Open(root, key, KEY_READ);
    if (!k)
        return false;
    DWORD size = 0;
    LONG rc = RegQueryValueExA(k, name.c_str(), nullptr, &type, nullptr, &size);
    if (rc == ERROR_SUCCESS) {
        bytes.assign(size, '\0');
        rc = RegQueryValueExA(k, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size);
        bytes.resize(size);
    }
    RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}

bool ValueExists(HKEY root, const std::string& key, const std::string& name)
{
    DWORD type = 0;
    std::string bytes;
    return QueryRaw(root, key, name, type, bytes);
}

DWORD GetDword(HKEY root, const std::string& key, const std::string& name, DWORD missing)
{
    DWORD type = 0;
    std::string bytes;
    if (!QueryRaw(root, key, name, type, bytes) || bytes.size() != sizeof(DWORD))
        return missing;
    DWORD value = 0;
    memcpy(&value, bytes.data(), sizeof value);
    return value;
}

std::string GetString(HKEY root, const std::string& key, const std::string& name, const std::string& missing)
{
    DWORD type = 0;
    std::string bytes;
    if (!QueryRaw(root, key, name, type, bytes))
        return missing;
    return bytes.substr(0, bytes.find('\0'));
}

std::string GetStringIn(REGSAM view, HKEY root, const std::string& key, const std::string& name,
                        const std::string& missing)
{
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | view, &k) != ERROR_SUCCESS)
        return missing;
    char value[1024] = {};
    DWORD size = sizeof value - 1;
    const LONG read = RegQueryValueExA(k, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(k);
    return read == ERROR_SUCCESS ? std::string(value) : missing;
}

bool KeyExistsIn(REGSAM view, HKEY root, const std::string& key)
{
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | view, &k) != ERROR_SUCCESS)
        return false;
    RegCloseKey(k);
    return true;
}

LONG WINAPI DeniedCreateKeyEx(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD)
{
    return ERROR_ACCESS_DENIED;
}

LONG WINAPI DeniedSetValueEx(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD) { return ERROR_ACCESS_DENIED; }

LONG WINAPI MachineDeniedCreateKeyEx(HKEY root, LPCSTR path, DWORD reserved, LPSTR cls, DWORD options, REGSAM access,
                                     LPSECURITY_ATTRIBUTES security, PHKEY key, LPDWORD disposition)
{
    if (root == HKEY_LOCAL_MACHINE)
        return ERROR_ACCESS_DENIED;  // in either view
    return RegCreateKeyExA(root, path, reserved, cls, options, access, security, key, disposition);
}

LONG WINAPI DeniedQueryValueEx(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD) { return ERROR_ACCESS_DENIED; }

void DeleteTree(HKEY root, const std::string& key) { DeleteKeyTree(root, key); }

void DeleteValue(HKEY root, const std::string& key, const std::string& name)
{
    HKEY k = Open(root, key, KEY_SET_VALUE);
    if (k) {
        RegDeleteValueA(k, name.c_str());
        RegCloseKey(k);
    }
}

// The native name of the user's key, as a link's target is spelled: "\Registry\User\<SID>".
static std::wstring UserKeyName()
{
    HANDLE token = nullptr;
    alignas(TOKEN_USER) BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
    DWORD size = 0;
    LPWSTR sid = nullptr;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
                GetTokenInformation(token, TokenUser, user, sizeof user, &size) &&
                ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid));
    CloseHandle(token);
    const std::wstring name = L"\\Registry\\User\\" + std::wstring(sid ? sid : L"");
    LocalFree(sid);
    return name;
}

void CreateLink(const std::string& key, const std::string& target)
{
    HKEY link = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                                             KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, nullptr));
    const std::wstring name = UserKeyName() + L"\\" + std::wstring(target.begin(), target.end());
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                                            reinterpret_cast<const BYTE*>(name.data()),
                                            static_cast<DWORD>(name.size() * sizeof(wchar_t))));
    RegCloseKey(link);
}

void DeleteLink(const std::string& key)
{
    const auto deleteKey = reinterpret_cast<LONG(NTAPI*)(HANDLE)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
    HKEY link = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE | DELETE, &link) ==
        ERROR_SUCCESS) {
        deleteKey(link);
        RegCloseKey(link);
    }
}
