#include "PublicSuffix.h"

#include "PublicSuffixTable.inc"

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The table's key of a name: its labels in reverse order ("uk.co").
std::string ReversedLabels(const std::string& name)
{
    std::string key;
    std::size_t end = name.size();
    for (std::size_t dot = name.rfind('.'); dot != std::string::npos;
         dot = dot == 0 ? std::string::npos : name.rfind('.', dot - 1)) {
        key.append(name, dot + 1, end - dot - 1).append(1, '.');
        end = dot;
    }
    return key.append(name, 0, end);
}

}  // namespace

bool IsPublicSuffix(std::string host)
{
    for (char& c : host)
        c = LowerAscii(c);
    while (!host.empty() && host.back() == '.')
        host.pop_back();
    const std::size_t dot = host.find('.');
    if (host.empty() || dot == std::string::npos)
        return !host.empty();
    // A rule names the host itself ("co.uk"), or every name one label under
    // its parent ("*.ck"); an exception ("!www.ck") takes one name back.
    const std::string exact = ReversedLabels(host);
    const std::string wildcard = ReversedLabels(host.substr(dot + 1)) + ".*";
    const std::string exception = "!" + exact;
    bool listed = false, excepted = false;
    std::string key;
    for (std::size_t at = 0; at < sizeof kPublicSuffixTable;) {
        key.resize(kPublicSuffixTable[at++]);
        unsigned char byte = 0;
        do {
            byte = kPublicSuffixTable[at++];
            key += static_cast<char>(byte & 0x7f);
        } while (!(byte & 0x80));
        listed = listed || key == exact || key == wildcard;
        excepted = excepted || key == exception;
    }
    return listed && !excepted;
}
