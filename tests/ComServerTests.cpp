#include <gtest/gtest.h>

#include <exdisp.h>
#include <ocidl.h>

#include <utility>
#include <vector>

#include "BrowserStandIn.h"
#include "ComPtr.h"
#include "Process.h"
#include "GuardRegistrySandbox.h"
#include "TempDir.h"
#include "Vexmoor.h"

namespace {

const char* const kClsid = kGuardClsid;
const char* const kLibid = kGuardLibid;
const char* const kBho = kBrowserHelperObjects;
const HKEY kRoot = HKEY_LOCAL_MACHINE;

std::vector<std::string> SubKeys(const std::string& path)
{
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(kRoot, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.push_back(name);
    }
    RegCloseKey(key);
    std::sort(names.begin(), names.end());
    return names;
}

std::string DefaultValue(const std::string& path) { return GetString(kRoot, path, ""); }

// Every key that registration touches is put back as it was.
class ComServerTest : public ::testing::Test {
protected:
    static int Regsvr32(const std::string& args) { return RunProgram("regsvr32.exe /s " + args); }
    static std::string Dll() { return BinaryFolder() + "\\Vexmoor.dll"; }

    GuardRegistrySandbox registry_;
};

TEST_F(ComServerTest, RegistrationWritesExactlyTheEntriesOfTheTable)
{
    ASSERT_EQ(0, Regsvr32("\"" + Dll() + "\""));
    EXPECT_EQ("IEWebGuard Class", DefaultValue(Classes("Vexmoor.IEWebGuard.1")));
    EXPECT_EQ(kClsid, DefaultValue(Classes("Vexmoor.IEWebGuard.1\\CLSID")));
    EXPECT_EQ(std::vector<std::string>{"CLSID"}, SubKeys(Classes("Vexmoor.IEWebGuard.1")));
    EXPECT_EQ("IEWebGuard Class", DefaultValue(Classes("Vexmoor.IEWebGuard")));
    EXPECT_EQ(kClsid, DefaultValue(Classes("Vexmoor.IEWebGuard\\CLSID")));
    EXPECT_EQ("Vexmoor.IEWebGuard.1", DefaultValue(Classes("Vexmoor.IEWebGuard\\CurVer")));
    EXPECT_EQ((std::vector<std::string>{"CLSID", "CurVer"}), SubKeys(Classes("Vexmoor.IEWebGuard")));

    const std::string clsid = Classes(std::string("CLSID\\") + kClsid);
    EXPECT_EQ("IEWebGuard Class", DefaultValue(clsid));
    EXPECT_EQ(
        (std::vector<std::string>{"Implemented Categories", "InprocServer32", "ProgID", "Programmable", "TypeLib",
                                  "VersionIndependentProgID"}),
        SubKeys(clsid));
    EXPECT_EQ("Vexmoor.IEWebGuard.1", DefaultValue(clsid + "\\ProgID"));
    EXPECT_EQ("Vexmoor.IEWebGuard", DefaultValue(clsid + "\\VersionIndependentProgID"));
    EXPECT_FALSE(ValueExists(kRoot, clsid + "\\Programmable", ""));
    EXPECT_EQ(Dll(), DefaultValue(clsid + "\\InprocServer32"));
    EXPECT_EQ("Apartment", GetString(kRoot, clsid + "\\InprocServer32", "ThreadingModel"));
    EXPECT_EQ(kLibid, DefaultValue(clsid + "\\TypeLib"));
    // Enhanced Protected Mode tabs load only add-ons of this category.
    EXPECT_EQ(std::vector<std::string>{"{59FB2056-D625-48D0-A944-1A85B5AB2640}"},
              SubKeys(clsid + "\\Implemented Categories"));
    EXPECT_EQ("Internet Explorer Web Content Guard ", DefaultValue(std::string(kBho) + "\\" + kClsid));
    EXPECT_EQ(std::vector<std::string>{"1.0"}, SubKeys(Classes(std::string("TypeLib\\") + kLibid)));
}

TEST_F(ComServerTest, RegisteringTwiceLeavesOneSet)
{
    ASSERT_EQ(0, Regsvr32("\"" + Dll() + "\""));
    const std::string clsid = Classes(std::string("CLSID\\") + kClsid);
    // Sorted after "TypeLib" on purpose: a tree delete that stops there keeps it.
    SetString(kRoot, clsid + "\\Zstale", "", "left from an old version");
    SetString(kRoot, clsid, "StaleValue", "left from an old version");
    ASSERT_EQ(0, Regsvr32("\"" + Dll() + "\""));
    EXPECT_EQ(
        (std::vector<std::string>{"Implemented Categories", "InprocServer32", "ProgID", "Programmable", "TypeLib",
                                  "VersionIndependentProgID"}),
        SubKeys(clsid));
    EXPECT_FALSE(ValueExists(kRoot, clsid, "StaleValue"));

    SetString(kRoot, clsid + "\\Zstale", "", "left from an old version");
    ASSERT_EQ(0, Regsvr32("/u \"" + Dll() + "\""));
    EXPECT_FALSE(KeyExists(kRoot, clsid)) << "unregistration leaves no class key behind";
}

TEST_F(ComServerTest, UnregisteringRemovesTheEntriesButNotSharedKeys)
{
    ASSERT_EQ(0, Regsvr32("\"" + Dll() + "\""));
    SetString(kRoot, std::string(kBho) + "\\{00000000-1111-2222-3333-444444444444}", "", "another helper");
    ASSERT_EQ(0, Regsvr32("/u \"" + Dll() + "\""));
    EXPECT_FALSE(KeyExists(kRoot, Classes("Vexmoor.IEWebGuard.1")));
    EXPECT_FALSE(KeyExists(kRoot, Classes("Vexmoor.IEWebGuard")));
    EXPECT_FALSE(KeyExists(kRoot, Classes(std::string("CLSID\\") + kClsid)));
    EXPECT_FALSE(KeyExists(kRoot, Classes(std::string("TypeLib\\") + kLibid)));
    EXPECT_FALSE(KeyExists(kRoot, std::string(kBho) + "\\" + kClsid));
    EXPECT_TRUE(KeyExists(kRoot, kBho)) << "another helper is still registered there";
    EXPECT_TRUE(KeyExists(kRoot, Classes("CLSID")));
}

// Folders and a copy of the DLL below a path longer than MAX_PATH, made and
// removed through the wide functions with the "\\?\" prefix (the ANSI ones
// stop at MAX_PATH, and so does the test folder's own clean-up).
class DeepCopy {
public:
    DeepCopy(const std::string& base, const std::string& dll)
    {
        std::string folder = base;
        for (int i = 0; i < 5; ++i) {
            folder += "\\" + std::string(45, static_cast<char>('a' + i));
            CreateDirectoryW(Wide(folder).c_str(), nullptr);
            folders_.push_back(folder);
        }
        path_ = folder + "\\Vexmoor.dll";
        copied_ = CopyFileW(Wide(dll).c_str(), Wide(path_).c_str(), FALSE) != FALSE;
    }
    ~DeepCopy()
    {
        DeleteFileW(Wide(path_).c_str());
        for (auto f = folders_.rbegin(); f != folders_.rend(); ++f)
            RemoveDirectoryW(Wide(*f).c_str());
    }
    const std::string& Path() const { return path_; }
    bool Copied() const { return copied_; }
    static std::wstring Wide(const std::string& s) { return L"\\\\?\\" + std::wstring(s.begin(), s.end()); }

private:
    std::vector<std::string> folders_;
    std::string path_;
    bool copied_ = false;
};

TEST_F(ComServerTest, ModulePathLongerThanMaxPathIsRegisteredWhole)
{
    TempDir dir;
    DeepCopy copy(dir.Path(), Dll());
    ASSERT_GT(copy.Path().size(), static_cast<std::size_t>(MAX_PATH));
    ASSERT_TRUE(copy.Copied()) << GetLastError();
    // Registered from inside this process: Wine's regsvr32 keeps paths in
    // buffers of MAX_PATH of its own.
    const std::wstring plain(copy.Path().begin(), copy.Path().end());
    HMODULE module = LoadLibraryW(plain.c_str());
    ASSERT_NE(nullptr, module) << GetLastError();
    using EntryFn = HRESULT(STDAPICALLTYPE*)();
    auto entry = [&](const char* name) {
        return reinterpret_cast<EntryFn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    };
    ASSERT_NE(nullptr, entry("DllRegisterServer"));
    entry("DllRegisterServer")();
    EXPECT_EQ(copy.Path(), DefaultValue(Classes(std::string("CLSID\\") + kClsid + "\\InprocServer32")))
        << "a path cut at the buffer would name no file";
    entry("DllUnregisterServer")();
    FreeLibrary(module);
}

TEST_F(ComServerTest, ModulePathTheCodePageCannotWriteIsNeverRegistered)
{
    TempDir dir;
    const std::string base = dir.Path();
    const std::wstring folder = std::wstring(base.begin(), base.end()) + L"\\\x41d\x43e\x440\x432\x435\x439\x43d";
    const std::string dll = Dll();
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring copy = folder + L"\\Vexmoor.dll";
    ASSERT_TRUE(CopyFileW(std::wstring(dll.begin(), dll.end()).c_str(), copy.c_str(), FALSE));
    HMODULE module = LoadLibraryW(copy.c_str());
    ASSERT_NE(nullptr, module);
    auto registerServer =
        reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
    EXPECT_TRUE(FAILED(registerServer())) << "its question marks would name no file";
    EXPECT_FALSE(KeyExists(kRoot, Classes(std::string("CLSID\\") + kClsid + "\\InprocServer32")));
    FreeLibrary(module);
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST_F(ComServerTest, ModulePathWithASingleQuoteIsStoredUnchanged)
{
    TempDir dir;
    const std::string folder = dir.Path() + "\\it's here";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string copy = folder + "\\Vexmoor.dll";
    ASSERT_TRUE(CopyFileA(Dll().c_str(), copy.c_str(), FALSE));
    ASSERT_EQ(0, Regsvr32("\"" + copy + "\""));
    EXPECT_EQ(copy, DefaultValue(Classes(std::string("CLSID\\") + kClsid + "\\InprocServer32")));
    ASSERT_EQ(0, Regsvr32("/u \"" + copy + "\""));
}

// The exports, called in this process.
class ExportsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        module_ = LoadLibraryA((BinaryFolder() + "\\Vexmoor.dll").c_str());
        ASSERT_NE(nullptr, module_);
        getClassObject_ = reinterpret_cast<decltype(getClassObject_)>(
            reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
        canUnloadNow_ = reinterpret_cast<decltype(canUnloadNow_)>(
            reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
        ASSERT_TRUE(getClassObject_ && canUnloadNow_);
    }
    void TearDown() override
    {
        if (module_)
            FreeLibrary(module_);
        CoUninitialize();
    }
    ComPtr<IClassFactory> Factory()
    {
        ComPtr<IClassFactory> factory;
        EXPECT_EQ(S_OK, getClassObject_(CLSID_IEWebGuard, IID_IClassFactory, factory.PutVoid()));
        return factory;
    }

    HMODULE module_ = nullptr;
    HRESULT(WINAPI* getClassObject_)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(WINAPI* canUnloadNow_)() = nullptr;
};

TEST_F(ExportsTest, OtherClassesAreNotAvailable)
{
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject_(IID_IDispatch, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, getClassObject_(CLSID_IEWebGuard, IID_IClassFactory, nullptr));
}

TEST_F(ExportsTest, ModuleStaysWhileObjectsFactoriesOrLocksLive)
{
    EXPECT_EQ(S_OK, canUnloadNow_());
    {
        ComPtr<IClassFactory> factory = Factory();
        ComPtr<IClassFactory> same = Factory();
        EXPECT_EQ(factory.Get(), same.Get()) << "one cached class object";
        EXPECT_EQ(S_FALSE, canUnloadNow_());
        ComPtr<IObjectWithSite> guard;
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IObjectWithSite, guard.PutVoid()));
        factory.Reset();
        same.Reset();
        EXPECT_EQ(S_FALSE, canUnloadNow_()) << "a guard lives";
        guard.Reset();
        EXPECT_EQ(S_OK, canUnloadNow_());
    }
    ComPtr<IClassFactory> factory = Factory();
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    factory.Reset();
    EXPECT_EQ(S_FALSE, canUnloadNow_());
    Factory()->LockServer(FALSE);
    EXPECT_EQ(S_OK, canUnloadNow_());
}

// Work handed to the cleaning thread keeps the module: DllCanUnloadNow says
// no while a pass waits, and a FreeLibrary meanwhile leaves the thread its
// own reference, which it gives up as it leaves.
TEST_F(ExportsTest, QueuedCleaningKeepsTheModuleUntilItsThreadHasLeft)
{
    RegistrySandbox settings(kRoot, "Software\\Norvane"), low(HKEY_CURRENT_USER, "Software\\AppDataLow\\Software\\Norvane");
    FileSandbox list(BinaryFolder() + "\\WhiteList.txt");
    WriteBytes(BinaryFolder() + "\\WhiteList.txt", "");
    SetDword(kRoot, "Software\\Norvane", "BHOEnabled", 1);
    {
        ComPtr<IObjectWithSite> guard;
        ASSERT_EQ(S_OK, Factory()->CreateInstance(nullptr, IID_IObjectWithSite, guard.PutVoid()));
        ComPtr<CBrowserStandIn> browser = CBrowserStandIn::Create();
        ASSERT_EQ(S_OK, guard->SetSite(static_cast<IWebBrowser2*>(browser.Get())));
        browser->FireBeforeNavigate2(L"http://queued.example/");
        browser->FireNavigateComplete2(L"http://queued.example/");
        // The browser lets the guard go without a close: it drops its
        // subscription, and the guard its last reference.
        ComPtr<IConnectionPoint> events;
        ASSERT_EQ(S_OK, browser->FindConnectionPoint(DIID_DWebBrowserEvents2, events.Put()));
        ASSERT_EQ(S_OK, events->Unadvise(1));
    }
    EXPECT_EQ(S_FALSE, canUnloadNow_()) << "a pass waits";
    FreeLibrary(std::exchange(module_, nullptr));
    EXPECT_NE(nullptr, GetModuleHandleA("Vexmoor.dll")) << "the thread's own reference";
    const DWORD start = GetTickCount();
    while (GetModuleHandleA("Vexmoor.dll") && GetTickCount() - start < 30000)
        Sleep(10);
    EXPECT_EQ(nullptr, GetModuleHandleA("Vexmoor.dll")) << "unloaded once its thread left";
}

TEST_F(ExportsTest, CreateInstanceChecksItsArguments)
{
    ComPtr<IClassFactory> factory = Factory();
    EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_IUnknown, nullptr));
    ComPtr<IUnknown> outer;
    factory->CreateInstance(nullptr, IID_IUnknown, outer.PutVoid());
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(outer.Get(), IID_IDispatch, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IPersist, &out));
}

// Through real COM activation of the registered server.
class RegisteredServerTest : public ComServerTest {
protected:
    void SetUp() override
    {
        ASSERT_EQ(0, Regsvr32("\"" + Dll() + "\""));
        CoInitialize(nullptr);
    }
    void TearDown() override
    {
        CoUninitialize();
        Regsvr32("/u \"" + Dll() + "\"");
    }
};

TEST_F(RegisteredServerTest, TypeInformationComesFromTheRegisteredLibrary)
{
    CLSID clsid{};
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"Vexmoor.IEWebGuard", &clsid));
    ComPtr<IDispatch> guard;
    ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, guard.PutVoid()));
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(S_OK, guard->GetTypeInfo(0, 0, info.Put()));
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, info->GetTypeAttr(&attributes));
    EXPECT_TRUE(IsEqualGUID(IID_IIEWebGuard, attributes->guid));
    info->ReleaseTypeAttr(attributes);
    OLECHAR name[] = L"GetTypeInfoCount";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    EXPECT_EQ(S_OK, guard->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
    OLECHAR unknown[] = L"NoSuchMember";
    names[0] = unknown;
    EXPECT_EQ(DISP_E_UNKNOWNNAME, guard->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
}

TEST_F(RegisteredServerTest, HostProgramDrivesTheRegisteredGuardEndToEnd)
{
    RegistrySandbox low(HKEY_CURRENT_USER, "Software\\AppDataLow\\Software\\Norvane");
    SetDword(kRoot, "Software\\Norvane", "BHOEnabled", 1);
    SetDword(kRoot, "Software\\Norvane", "RemoveLastTyped", 1);
    // Installed beside the guard: an empty white list.
    FileSandbox list(BinaryFolder() + "\\WhiteList.txt");
    WriteBytes(BinaryFolder() + "\\WhiteList.txt", "");
    std::string output;
    ASSERT_EQ(0, RunProgram("\"" + BinaryFolder() + "\\GuardHost.exe\" http://www.example.com/a.html "
                                                      "http://news.example.org/b.html",
                            60000, &output))
        << output;
    EXPECT_EQ("news.example.org", GetString(HKEY_CURRENT_USER, "Software\\AppDataLow\\Software\\Norvane", "LastDomain"));
    EXPECT_FALSE(ValueExists(kRoot, "Software\\Norvane", "LastDomain")) << "no other user may read it";
    // A pass for each page, one on leaving example.com and one on closing.
    EXPECT_EQ(4u, GetDword(kRoot, "Software\\Norvane", "RemoveLastTypedEntries"));
    EXPECT_NE(std::string::npos, output.find("SetSite: 0x00000000")) << output;
}

}  // namespace
