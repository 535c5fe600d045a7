#include "TypedUrlCleaner.h"

#include "AnsiText.h"
#include "RegValue.h"

namespace {

const char kTypedUrls[] = "Software\\Microsoft\\Internet Explorer\\TypedURLs\\";
const int kLastTypedUrl = 25;

}  // namespace

void CTypedUrlCleaner::CleanTypedUrls(const CCleaningRule& rule, const CPassDeadline& deadline)
{
    for (int n = 1; n <= kLastTypedUrl && !deadline.Passed(); ++n) {
        CRegTextValue typed(kTypedUrls + ("url" + std::to_string(n)), "", false, HKEY_CURRENT_USER);
        const std::string text = typed.Get();
        if (!text.empty() && rule.Removes(text))
            typed.Set("");
    }
}
