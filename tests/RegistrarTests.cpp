#include <gtest/gtest.h>

#include "Registrar.h"
#include "RegistrySandbox.h"

namespace {

const HKEY kRoot = HKEY_CURRENT_USER;
const char kBase[] = "Software\\NorvaneRegistrarTest";

class RegistrarTest : public ::testing::Test {
protected:
    static std::string Script(const std::string& inside)
    {
        return "HKCU\r\n{\r\n NoRemove Software\r\n {\r\n  NoRemove NorvaneRegistrarTest\r\n  {\r\n" + inside +
               "\r\n  }\r\n }\r\n}\r\n";
    }
    static std::string Key(const std::string& path) { return std::string(kBase) + "\\" + path; }

    RegistrySandbox sandbox_{kRoot, kBase};
    CRegistrar registrar_;
};

TEST_F(RegistrarTest, WritesKeysDefaultAndNamedValues)
{
    registrar_.AddReplacement("MODULE", "C:\\it''s\\x.dll");
    ASSERT_EQ(S_OK, registrar_.Register(Script("Server = s 'A Class'\n{\n {AB-CD} = s '%MODULE%'\n"
                                               "{\n val ThreadingModel = s 'Apartment'\n val Count = d '7'\n}\n"
                                               "'Spaced Name' = s 'tail '\n}")));
    EXPECT_EQ("A Class", GetString(kRoot, Key("Server"), ""));
    EXPECT_EQ("C:\\it's\\x.dll", GetString(kRoot, Key("Server\\{AB-CD}"), ""));
    EXPECT_EQ("Apartment", GetString(kRoot, Key("Server\\{AB-CD}"), "ThreadingModel"));
    EXPECT_EQ(7u, GetDword(kRoot, Key("Server\\{AB-CD}"), "Count"));
    EXPECT_EQ("tail ", GetString(kRoot, Key("Server\\Spaced Name"), ""));
}

TEST_F(RegistrarTest, ForceRemoveRewritesTheKeyButNeverAClsidKey)
{
    SetString(kRoot, Key("Server\\Stale"), "", "old");
    SetString(kRoot, Key("Holder\\CLSID\\Other"), "", "kept");
    ASSERT_EQ(S_OK, registrar_.Register(Script("ForceRemove Server = s 'new'\nHolder\n{\n ForceRemove CLSID\n}")));
    EXPECT_FALSE(KeyExists(kRoot, Key("Server\\Stale")));
    EXPECT_EQ("new", GetString(kRoot, Key("Server"), ""));
    EXPECT_TRUE(KeyExists(kRoot, Key("Holder\\CLSID\\Other")));
}

TEST_F(RegistrarTest, UnregisterRemovesOnlyWhatIsLeftEmpty)
{
    const std::string script = Script("Shared\n{\n Mine = s 'x'\n {\n val V = s 'y'\n }\n}\nNoRemove Kept\n{\n Gone\n}");
    ASSERT_EQ(S_OK, registrar_.Register(script));
    SetString(kRoot, Key("Shared\\Theirs"), "", "someone else's");
    ASSERT_EQ(S_OK, registrar_.Unregister(script));
    EXPECT_FALSE(KeyExists(kRoot, Key("Shared\\Mine")));
    EXPECT_TRUE(KeyExists(kRoot, Key("Shared\\Theirs")));
    EXPECT_TRUE(KeyExists(kRoot, Key("Kept")));
    EXPECT_FALSE(KeyExists(kRoot, Key("Kept\\Gone")));
    EXPECT_TRUE(KeyExists(kRoot, kBase));

    RegDeleteKeyA(kRoot, Key("Shared\\Theirs").c_str());
    ASSERT_EQ(S_OK, registrar_.Unregister(script));
    EXPECT_FALSE(KeyExists(kRoot, Key("Shared"))) << "left empty, so it goes";
}

TEST_F(RegistrarTest, BrokenScriptsWriteNothing)
{
    for (const std::string& broken : {std::string("HKCU { Software { X = s 'unterminated } }"),
                                      std::string("HKXX { A }"), std::string("HKCU { A = q 'x' }"),
                                      Script("Server = s '%UNKNOWN%'")}) {
        EXPECT_TRUE(FAILED(registrar_.Register(broken))) << broken;
        EXPECT_FALSE(KeyExists(kRoot, Key("Server"))) << broken;
    }
}

}  // namespace
