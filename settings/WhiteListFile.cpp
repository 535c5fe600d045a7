#include "WhiteListFile.h"

#include <windows.h>

#include "TextFile.h"

namespace settings {

namespace {

const char kUtf8Mark[] = "\xEF\xBB\xBF";
const char kUtf16LeMark[] = "\xFF\xFE";
const char kUtf16BeMark[] = "\xFE\xFF";

bool StartsWith(const std::string& bytes, const char* mark) { return bytes.rfind(mark, 0) == 0; }

std::wstring Widen(const std::string& text, UINT codePage, DWORD flags)
{
    if (text.empty())
        return std::wstring();
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length <= 0 || MultiByteToWideChar(codePage, flags, text.data(), size, &wide[0], length) != length)
        return std::wstring();
    return wide;
}

// The text in the code page; false where it has no exact form for every
// character (no best-fit stand-in, no default character, and it reads back
// as the same text).
bool ToExact(const std::wstring& wide, UINT codePage, std::string& text)
{
    text.clear();
    if (wide.empty())
        return true;
    const int size = static_cast<int>(wide.size());
    BOOL usedDefault = FALSE;
    // The UTF-8 conversion takes neither flag nor the default's report.
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL* lossy = codePage == CP_UTF8 ? nullptr : &usedDefault;
    const int length = WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, lossy);
    if (length <= 0)
        return false;
    text.assign(static_cast<std::size_t>(length), '\0');
    if (WideCharToMultiByte(codePage, flags, wide.data(), size, &text[0], length, nullptr, lossy) != length)
        return false;
    return !usedDefault && Widen(text, codePage, codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0) == wide;
}

WhiteListEntry FromAnsi(std::string line)
{
    std::wstring wide = Widen(line, CP_ACP, 0);
    return {std::move(wide), std::move(line), true};
}

WhiteListEntry FromWide(std::wstring text)
{
    std::string ansi;
    const bool exact = ToExact(text, CP_ACP, ansi);
    return {std::move(text), exact ? std::move(ansi) : std::string(), exact};
}

std::wstring Utf16Units(const std::string& bytes, bool bigEndian)
{
    std::wstring units(bytes.size() / 2, L'\0');  // an odd last byte is half a character
    for (std::size_t i = 0; i < units.size(); ++i) {
        const auto first = static_cast<unsigned char>(bytes[2 * i]);
        const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
        units[i] = static_cast<wchar_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
    }
    return units;
}

void AppendUtf16(std::string& bytes, const std::wstring& text, bool bigEndian)
{
    for (const wchar_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
}

std::string EncodeUtf16(const std::vector<std::wstring>& entries, bool bigEndian)
{
    std::string bytes = bigEndian ? kUtf16BeMark : kUtf16LeMark;
    for (const auto& entry : entries)
        if (!entry.empty())
            AppendUtf16(bytes, entry + L"\r\n", bigEndian);
    return bytes;
}

}  // namespace

bool HasExactAnsiForm(const std::wstring& entry)
{
    std::string ansi;
    return ToExact(entry, CP_ACP, ansi);
}

std::vector<std::string> WhiteListRead::AnsiEntries() const
{
    std::vector<std::string> texts;
    for (const auto& entry : entries)
        if (entry.exactAnsi)
            texts.push_back(entry.ansi);
    return texts;
}

bool WhiteListRead::AllExactAnsi() const
{
    for (const auto& entry : entries)
        if (!entry.exactAnsi)
            return false;
    return true;
}

WhiteListRead DecodeWhiteList(const std::string& bytes)
{
    WhiteListRead read{WhiteListRead::Read, WhiteListFormat::Ansi, {}};
    if (StartsWith(bytes, kUtf16LeMark) || StartsWith(bytes, kUtf16BeMark)) {
        const bool bigEndian = StartsWith(bytes, kUtf16BeMark);
        read.format = bigEndian ? WhiteListFormat::Utf16Be : WhiteListFormat::Utf16Le;
        for (auto& line : ListLines(Utf16Units(bytes.substr(2), bigEndian)))
            read.entries.push_back(FromWide(std::move(line)));
    } else if (StartsWith(bytes, kUtf8Mark)) {
        read.format = WhiteListFormat::Utf8;
        // A line that is no UTF-8 (written in by hand in the code page)
        // counts as the code page's, as in a file without the mark.
        for (auto& line : ListLines(bytes.substr(3))) {
            std::wstring wide = Widen(line, CP_UTF8, MB_ERR_INVALID_CHARS);
            read.entries.push_back(wide.empty() ? FromAnsi(std::move(line)) : FromWide(std::move(wide)));
        }
    } else {
        for (auto& line : ListLines(bytes))
            read.entries.push_back(FromAnsi(std::move(line)));
    }
    return read;
}

WhiteListRead ReadWhiteListFile(const std::string& path)
{
    const auto bytes = path.empty() ? std::nullopt : ReadLocalTextFile(path);
    if (!bytes) {
        const DWORD error = path.empty() ? ERROR_PATH_NOT_FOUND : GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return {missing ? WhiteListRead::Missing : NotReadableNow(error) ? WhiteListRead::Busy
                                                                          : WhiteListRead::Unreadable,
                WhiteListFormat::Ansi,
                {}};
    }
    return DecodeWhiteList(*bytes);
}

std::string EncodeWhiteList(const std::vector<std::wstring>& entries, WhiteListFormat format)
{
    if (format == WhiteListFormat::Utf16Le || format == WhiteListFormat::Utf16Be)
        return EncodeUtf16(entries, format == WhiteListFormat::Utf16Be);
    const UINT codePage = format == WhiteListFormat::Utf8 ? CP_UTF8 : CP_ACP;
    std::string bytes = format == WhiteListFormat::Utf8 ? kUtf8Mark : "";
    std::string text;
    for (const auto& entry : entries) {
        if (entry.empty())
            continue;
        // An entry the format cannot write keeps the whole list in UTF-16,
        // which writes every entry and which the guard reads.
        if (!ToExact(entry, codePage, text))
            return EncodeUtf16(entries, false);
        bytes += text + "\r\n";
    }
    return bytes;
}

}  // namespace settings
