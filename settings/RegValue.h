#pragma once
// Accessors bound to one registry value each. Every setting the guard and the
// control panel share goes through them: create (which reads once), Read (now,
// from the registry), Get (the cached copy once read), Set (writes only a
// changed value unless forced), Write.
#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

// The longest texts a read accepts, in characters: what any account or a
// low-integrity process may write is never read whole. A longer value reads
// as if it were absent, never cut.
// The browser's longest address (INTERNET_MAX_URL_LENGTH).
inline constexpr std::size_t kMaxAddressLength = 2084;
// The longest path the platform's file functions take ("\\?\" paths).
inline constexpr std::size_t kMaxPathLength = 32767;

// Where a value lives: root key, key path and value name, split from a value
// path such as "Software\Norvane\RemoveCookies" at its last backslash.
class CRegValueLocation {
public:
    // view: the registry view flag added to every open. The 32-bit view by
    // default, where both bitnesses keep the settings; WOW64 shares the
    // user's keys (HKCU\Software) between the views, so it changes nothing there.
    CRegValueLocation(const std::string& valuePath, HKEY root, REGSAM view = KEY_WOW64_32KEY);

    HKEY Root() const { return root_; }
    REGSAM View() const { return view_; }
    const std::string& KeyPath() const { return keyPath_; }
    const std::string& ValueName() const { return valueName_; }

protected:
    // Opens the key for reading or creates it for writing; null on failure.
    HKEY OpenForRead() const;
    HKEY CreateForWrite() const;

private:
    HKEY root_;
    REGSAM view_;
    std::string valueName_;
    std::string keyPath_;
};

template <typename T>
class CRegValue : public CRegValueLocation {
public:
    T Read() { return Refresh() ? cached_ : default_; }

    // Reads the value now; whether it could be read (the copy follows it then).
    bool Refresh()
    {
        T fresh = cached_;
        DWORD type = REG_NONE;
        if (!ReadFromRegistry(fresh, type))
            return false;
        cached_ = fresh;
        type_ = type;
        read_ = true;
        return true;
    }

    T Get() { return (!read_ || force_) ? Read() : cached_; }

    CRegValue& Set(const T& value)
    {
        if (value != cached_ || force_) {
            cached_ = value;
            Write();
        }
        return *this;
    }

    void Write()
    {
        written_ = WriteToRegistry(cached_);
        if (written_)
            read_ = true;
    }

    bool IsRead() const { return read_; }
    // The registry type of the value the last successful read found.
    DWORD Type() const { return type_; }
    // Whether the last write reached the registry (false before any write):
    // a refused write (a sandboxed browser cannot write HKLM) can go elsewhere.
    bool LastWriteSucceeded() const { return written_; }

protected:
    CRegValue(const std::string& valuePath, T defaultValue, bool force, HKEY root, REGSAM view,
              std::size_t maxLength = 0)
        : CRegValueLocation(valuePath, root, view), default_(std::move(defaultValue)), force_(force),
          maxLength_(maxLength)
    {
        Read();
    }

private:
    bool ReadFromRegistry(T& value, DWORD& type) const;
    bool WriteToRegistry(const T& value) const;

    T cached_{};
    T default_;
    bool read_ = false;
    bool written_ = false;
    bool force_;
    std::size_t maxLength_;  // texts only: the longest one a read accepts
    DWORD type_ = REG_NONE;
};

template <>
bool CRegValue<DWORD>::ReadFromRegistry(DWORD& value, DWORD& type) const;
template <>
bool CRegValue<DWORD>::WriteToRegistry(const DWORD& value) const;
template <>
bool CRegValue<std::string>::ReadFromRegistry(std::string& value, DWORD& type) const;
template <>
bool CRegValue<std::string>::WriteToRegistry(const std::string& value) const;

// A 32-bit number stored as REG_DWORD.
class CRegNumberValue : public CRegValue<DWORD> {
public:
    explicit CRegNumberValue(const std::string& valuePath, DWORD defaultValue = 0, bool force = false,
                             HKEY root = HKEY_LOCAL_MACHINE, REGSAM view = KEY_WOW64_32KEY)
        : CRegValue(valuePath, defaultValue, force, root, view)
    {
    }
};

// An 8-bit ANSI text stored as REG_SZ with its terminating NUL, of at most
// maxLength characters.
class CRegTextValue : public CRegValue<std::string> {
public:
    explicit CRegTextValue(const std::string& valuePath, const std::string& defaultValue = "",
                           bool force = false, HKEY root = HKEY_LOCAL_MACHINE, REGSAM view = KEY_WOW64_32KEY,
                           std::size_t maxLength = kMaxAddressLength)
        : CRegValue(valuePath, defaultValue, force, root, view, maxLength)
    {
    }
};

// The texts of the first maxCount values of an open key, in the key's own
// order, whatever the values' names are; a value longer than maxLength
// characters is passed over, as a text accessor would read it.
std::vector<std::string> ReadKeyTexts(HKEY key, std::size_t maxLength, std::size_t maxCount);
