#pragma once
// Byte-wise, case-sensitive text operations on 8-bit ANSI text that step over
// double-byte characters of the process code page as whole characters, so a
// trail byte is never taken for the start of a match.
#include <string>

namespace ansi {

constexpr std::size_t npos = std::string::npos;

// Position of the first occurrence of part at or after start, or npos.
std::size_t Find(const std::string& text, const std::string& part, std::size_t start = 0);

inline bool Contains(const std::string& text, const std::string& part)
{
    return Find(text, part) != npos;
}

// The text in UTF-16, from the process code page.
std::wstring ToWide(const std::string& text);

// The text, up to its end or its first NUL, in the process code page, sized
// to what the conversion needs so that nothing is ever cut; null is "".
std::string ToAnsi(const wchar_t* text);

// The text with every occurrence of the character written twice.
std::string DoubleEach(const std::string& text, char c);

// Removes (or replaces) every occurrence of part, scanning left to right.
std::string ReplaceAll(std::string text, const std::string& part, const std::string& with);

}  // namespace ansi
