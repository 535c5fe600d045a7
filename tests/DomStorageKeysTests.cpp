// DOM storage's registry record in the user's, the Protected Mode and a container's store.
#include <gtest/gtest.h>

#include "AppContainerSeam.h"
#include "DomStorageKeys.h"
#include "RegistrySandbox.h"

namespace {

const HKEY kUser = HKEY_CURRENT_USER;
const std::string kIe = "Software\\Microsoft\\Internet Explorer";
const std::string kLow = kIe + "\\LowRegistry";
const std::string kVictim = "Software\\NorvaneTestVictim";  // another program's key
const std::vector<std::string> kStores = {kIe + "\\DOMStorage", kLow + "\\DOMStorage",
                                          std::string(kTestContainerStorage) + "\\" + kIe + "\\DOMStorage"};
const std::string kLink = kStores[1] + "\\www.example.com";

class DomStorageKeysTest : public ::testing::Test {
protected:
    ~DomStorageKeysTest() override { DeleteLink(kLink); }  // before the sandboxes delete trees that would follow it

    RegistrySandbox user_{kUser, kStores[0]}, low_{kUser, kLow}, container_{kUser, kTestContainerStorage},
        victim_{kUser, kVictim};
};

TEST_F(DomStorageKeysTest, TheSitesKeysGoWholeALinkGoesAsALinkAndEveryOtherKeyStays)
{
    for (const auto& store : kStores) {
        SetDword(kUser, store + "\\example.com", "Total", 12);
        SetDword(kUser, store + "\\example.com\\www.example.com", "Total", 12);
        SetDword(kUser, store + "\\shop.example.com", "Total", 7);  // white-listed
        SetDword(kUser, store + "\\example.net", "Total", 3);
    }
    // A Protected Mode page's link named for the site, to a key it may not write.
    SetDword(kUser, kVictim + "\\example.com", "Keep", 2);
    CreateLink(kLink, kVictim);
    ASSERT_EQ(2u, GetDword(kUser, kLink + "\\example.com", "Keep")) << "a plain open follows the link";

    const CCleaningRule rule("example.com", {"shop.example.com"});
    {
        ScopedAppContainer tab("");
        CleanDomStorageKeys(rule);
        EXPECT_TRUE(KeyExists(kUser, kStores[0] + "\\example.com")) << "a container reaches its storage only";
    }
    CleanDomStorageKeys(rule);

    for (const auto& store : kStores) {
        EXPECT_FALSE(KeyExists(kUser, store + "\\example.com")) << store;
        EXPECT_EQ(7u, GetDword(kUser, store + "\\shop.example.com", "Total")) << store;
        EXPECT_EQ(3u, GetDword(kUser, store + "\\example.net", "Total")) << store;
    }
    EXPECT_FALSE(KeyExists(kUser, kLink));
    EXPECT_EQ(2u, GetDword(kUser, kVictim + "\\example.com", "Keep"));
}

}  // namespace
