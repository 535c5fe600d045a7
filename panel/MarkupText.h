#pragma once
// Text work on page mark-up: the one conversion of read-back mark-up to ANSI,
// the check-box test, and the escaping that keeps user text from becoming
// mark-up.
#include <optional>
#include <string>
#include <vector>

// The text in the ANSI code page, "?" for characters it cannot show, however
// long; empty when the conversion fails: a cut text is never handed back as
// if it were whole.
std::optional<std::string> WideToAnsi(const std::wstring& wide);

// Text made safe inside an element or a quoted attribute value.
std::wstring EscapeMarkup(const std::wstring& text);
// The text that escaped mark-up stands for (&amp; &lt; &gt; &quot; &#39; &nbsp; &#n;).
std::wstring DecodeMarkup(const std::wstring& markup);

// The options of a list box's inner mark-up, as the browser gives it back,
// in UTF-16: an entry the code page cannot write stays as it is.
struct ListOption {
    std::wstring text;
    bool selected = false;
};
std::vector<ListOption> ParseListMarkup(const std::wstring& markup);
