#include "DomainTracker.h"

#include <windows.h>

#include "AnsiText.h"
#include "MessageBoxApi.h"
#include "RegValue.h"
#include "TextFile.h"

namespace {

const char kWhiteListPath[] = "Software\\Norvane\\WhiteList";
const char kLastDomainPath[] = "Software\\Norvane\\LastDomain";

}  // namespace

void CDomainTracker::LoadWhiteList()
{
    CRegTextValue whiteList(kWhiteListPath);
    if (whiteList.Get().empty())
        return;
    const auto text = ReadTextModeFile(whiteList.Get());
    if (!text) {
        MessageBoxHook()(nullptr, "Critical Error - Cannot load whitelist", "Critical Error", MB_OK);
        return;
    }
    // A NUL byte ends the text, as it would in the platform's string.
    ParseWhiteList(text->substr(0, text->find('\0')));
}

void CDomainTracker::ParseWhiteList(const std::string& text)
{
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos && end != start;
         end = text.find('\n', start)) {
        entries_.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

std::string DeriveDomain(std::string address)
{
    // https is removed as well: leaving it would make the domain of every
    // secure address "https:", which matches every secure entry of every site.
    for (const char* scheme : {"http://", "https://", "www.", "ftp://"})
        address = ansi::ReplaceAll(address, scheme, "");
    const auto slash = ansi::Find(address, "/");
    return slash == ansi::npos ? std::string() : address.substr(0, slash);
}

int CDomainTracker::CheckUrl(std::string address)
{
    for (const auto& entry : entries_) {
        if (ansi::Contains(address, entry)) {
            SetPendingDomain(entry);
            return 1;
        }
    }
    SetPendingDomain(DeriveDomain(std::move(address)));
    return 0;
}

void CDomainTracker::SetPendingDomain(const std::string& domain)
{
    pendingDomain_ = domain;
    CRegTextValue(kLastDomainPath).Set(domain);
}
