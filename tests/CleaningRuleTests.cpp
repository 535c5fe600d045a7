// The one rule every cleaner matches its items by: a domain names whole host
// labels, a short host or a public suffix only its own host, and the white
// list keeps whatever it occurs in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CleaningRule.h"
#include "PublicSuffix.h"

namespace {

enum class Item { Text, Cookie, Name };

struct Row {
    const char* domain;
    const char* keep;  // one white-list entry, or ""
    Item kind;
    const char* item;
    bool removed;
};

const Row kRows[] = {
    // Label boundaries.
    {"example.com", "", Item::Text, "http://www.example.com/x", true},
    {"example.com", "", Item::Text, "http://example.com/x", true},
    {"example.com", "", Item::Text, "http://other.org/go?ref=example.com", true},
    {"example.com", "", Item::Text, "http://notexample.com/", false},
    {"example.com", "", Item::Text, "http://example.community/", false},
    {"example.com", "", Item::Text, "http://my-example.com/", false},
    {"example.com", "", Item::Text, "http://example.com-shop.net/", false},
    {"example.com", "", Item::Text, "http://\xE9xample.com/", false},  // a letter of another script
    {"example.com", "", Item::Text, "http://\xE9.example.com/", true},
    {"example.com", "", Item::Text, "http://example.com.au/", false},  // another site under another suffix
    {"bbc.co", "", Item::Cookie, "Cookie:user@bbc.co.uk/", false},
    {"example.com", "", Item::Text, "http://www.example.com./x", true},  // a final root dot
    {"index.html", "", Item::Text, "http://other.org/index.html", false},  // never in a path
    {"example.com", "", Item::Text, "http://other.org/example.com/", false},
    {"127.0.0.2", "", Item::Text, "http://127.0.0.25/", false},
    {"127.0.0.2", "", Item::Text, "http://127.0.0.2:8080/a", true},
    {"example.com", "", Item::Cookie, "Cookie:user@example.com/", true},
    {"example.com", "", Item::Cookie, "Cookie:user@www.example.com/", true},
    {"example.com", "", Item::Cookie, "Cookie:user@notexample.com/", false},
    {"example.com", "", Item::Name, "www.example.com[1].xml", true},
    {"example.com", "", Item::Name, "bigexample.com.xml", false},
    // A host of one label names its own host alone, wherever it stands.
    {"e", "", Item::Cookie, "Cookie:e@www.example.com/", false},
    {"e", "", Item::Cookie, "Cookie:user@e/", true},
    {"e", "", Item::Text, "http://www.example.com/e/", false},
    {"e", "", Item::Text, "http://e/", true},
    {"e", "", Item::Text, "http://user@e:8080/x", true},
    {"t", "", Item::Text, "http://test.org/", false},
    {"t", "", Item::Text, "Visited: me@http://t/a", true},
    {"intranet", "", Item::Name, "intranet.xml", true},  // the store's own name for the site
    {"intranet", "", Item::Name, "www.intranet.example.xml", false},
    {"[::1]", "", Item::Text, "http://[::1]:8080/", true},
    // A public suffix likewise; nor is it the parent of the sites under it.
    {"co.uk", "", Item::Text, "http://shop.co.uk/", false},
    {"co.uk", "", Item::Text, "http://co.uk/", true},
    {"github.io", "", Item::Cookie, "Cookie:user@someone.github.io/", false},
    {"shop.co.uk", "", Item::Cookie, "Cookie:user@co.uk/", false},
    {"shop.example.co.uk", "", Item::Cookie, "Cookie:user@example.co.uk/", true},
    {"a.b.someone.github.io", "", Item::Cookie, "Cookie:user@someone.github.io/", true},
    // The white list keeps by its substring rule.
    {"example.com", "keep.example.com", Item::Text, "http://keep.example.com/", false},
    {"example.com", "e.com", Item::Text, "http://www.example.com/", false},
    {"shop.example.net", "example.net", Item::Cookie, "Cookie:user@example.net/", false},
    {"e", "e", Item::Text, "http://e/", false},
};

TEST(CleaningRuleTest, DomainsNameWholeLabelsAndShortHostsOnlyThemselves)
{
    for (const Row& row : kRows) {
        const std::vector<std::string> keep = *row.keep ? std::vector<std::string>{row.keep}
                                                         : std::vector<std::string>{};
        const CCleaningRule rule(std::vector<std::string>{row.domain}, keep);
        bool removed = false;
        switch (row.kind) {
        case Item::Text:
            removed = rule.Removes(row.item);
            break;
        case Item::Cookie:
            removed = rule.RemovesCookie(row.item);
            break;
        case Item::Name: {
            // A store's file, with its site as the store names it ("site[1].xml", "site.xml").
            const std::string name = row.item;
            const std::wstring wide(name.begin(), name.end());
            const std::size_t bracket = wide.find(L'[');
            removed = rule.RemovesName(wide, wide.substr(0, bracket != std::wstring::npos ? bracket : wide.rfind(L'.')));
            break;
        }
        }
        EXPECT_EQ(row.removed, removed) << row.domain << " / " << row.keep << " / " << row.item;
    }
}

TEST(PublicSuffixTest, FollowsTheListsRulesWildcardsAndExceptions)
{
    const struct {
        const char* host;
        bool suffix;
    } rows[] = {
        {"com", true},          {"co.uk", true},          {"CO.UK.", true},      {"github.io", true},
        {"example.com", false}, {"shop.co.uk", false},    {"example.ck", true},  // *.ck
        {"www.ck", false},      {"a.www.ck", false},      {"127.0.0.1", false},  // !www.ck
        {"xn--55qx5d.cn", true}, // an entry in another script, as hosts spell it
        {"", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.suffix, IsPublicSuffix(row.host)) << row.host;
}

}  // namespace
