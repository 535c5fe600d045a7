#include "TypedUrlCleaner.h"

#include "AnsiText.h"
#include "Handle.h"
#include "RegValue.h"

namespace {

const char kTypedUrls[] = "Software\\Microsoft\\Internet Explorer\\TypedURLs\\";
// When each address was typed (Internet Explorer 10 and later), a FILETIME
// under the address's own value name: it names no site, but dates a visit
// whose address is gone.
const char kTypedUrlsTime[] = "Software\\Microsoft\\Internet Explorer\\TypedURLsTime";
const int kLastTypedUrl = 25;

void DeleteTypedTime(const std::string& name)
{
    RegistryKey times;
    if (Registry().OpenKeyEx(HKEY_CURRENT_USER, kTypedUrlsTime, 0, KEY_SET_VALUE, times.Put()) == ERROR_SUCCESS)
        RegDeleteValueA(times.Get(), name.c_str());
}

}  // namespace

void CTypedUrlCleaner::CleanTypedUrls(const CCleaningRule& rule, const CPassDeadline& deadline)
{
    for (int n = 1; n <= kLastTypedUrl && !deadline.Passed(); ++n) {
        const std::string name = "url" + std::to_string(n);
        CRegTextValue typed(kTypedUrls + name, "", false, HKEY_CURRENT_USER);
        const std::string text = typed.Get();
        if (text.empty() || !rule.Removes(text))
            continue;
        // The time goes only with its address: while the address stays, so does the pair.
        if (typed.Set("").LastWriteSucceeded())
            DeleteTypedTime(name);
    }
}
