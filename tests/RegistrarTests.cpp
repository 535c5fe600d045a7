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

TEST_F(RegistrarTest, ForceRemoveRewritesTheWholeKeyEvenWithATypeLibOrClsidChild)
{
    // "Zstale" sorts after "TypeLib": a delete that stops at the protected
    // name would leave it behind.
    const std::string script = Script("ForceRemove Server = s 'new'\n{\n 'TypeLib' = s '{LIB}'\n}");
    SetString(kRoot, Key("Server\\TypeLib"), "", "{OLD}");
    SetString(kRoot, Key("Server\\CLSID\\Inner"), "", "old");
    SetString(kRoot, Key("Server\\Zstale"), "", "old");
    SetString(kRoot, Key("Server"), "StaleValue", "old");
    ASSERT_EQ(S_OK, registrar_.Register(script));
    EXPECT_FALSE(KeyExists(kRoot, Key("Server\\Zstale")));
    EXPECT_FALSE(KeyExists(kRoot, Key("Server\\CLSID")));
    EXPECT_FALSE(ValueExists(kRoot, Key("Server"), "StaleValue"));
    EXPECT_EQ("{LIB}", GetString(kRoot, Key("Server\\TypeLib"), ""));

    SetString(kRoot, Key("Server\\Zstale"), "", "old again");
    ASSERT_EQ(S_OK, registrar_.Unregister(script));
    EXPECT_FALSE(KeyExists(kRoot, Key("Server"))) << "a ForceRemove key goes whole";
}

TEST_F(RegistrarTest, SharedClsidKeyDirectlyUnderARootIsNeverRemoved)
{
    const bool hadClsid = KeyExists(kRoot, "CLSID");
    SetString(kRoot, "CLSID\\NorvaneRegistrarOther", "", "someone else's");
    const std::string script = "HKCU\r\n{\r\n ForceRemove CLSID\r\n {\r\n  NorvaneRegistrarMine = s 'x'\r\n }\r\n}\r\n";
    EXPECT_EQ(S_OK, registrar_.Register(script));
    EXPECT_TRUE(KeyExists(kRoot, "CLSID\\NorvaneRegistrarOther"));
    EXPECT_EQ("x", GetString(kRoot, "CLSID\\NorvaneRegistrarMine", ""));
    EXPECT_EQ(S_OK, registrar_.Unregister(script));
    EXPECT_TRUE(KeyExists(kRoot, "CLSID\\NorvaneRegistrarOther"));
    EXPECT_FALSE(KeyExists(kRoot, "CLSID\\NorvaneRegistrarMine"));

    RegDeleteKeyA(kRoot, "CLSID\\NorvaneRegistrarOther");
    if (!hadClsid)
        RegDeleteKeyA(kRoot, "CLSID");
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
