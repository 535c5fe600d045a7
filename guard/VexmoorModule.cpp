// The in-process server frame: process attach and detach, and the four
// exported entry points.
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "AnsiText.h"
#include "ClassFactory.h"
#include "ComPtr.h"
#include "GuardModule.h"
#include "Handle.h"
#include "Registrar.h"
#include "Vexmoor.h"

namespace {

HMODULE g_module = nullptr;
const int kRegistryScript = 102;

std::string ModulePath()
{
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(g_module, path, MAX_PATH);
    char longPath[MAX_PATH] = {};
    if (length > 0 && length < MAX_PATH && GetLongPathNameA(path, longPath, MAX_PATH) > 0)
        return longPath;
    return path;
}

std::string RegistryScript()
{
    HRSRC resource = FindResourceA(g_module, MAKEINTRESOURCEA(kRegistryScript), "REGISTRY");
    HGLOBAL loaded = resource ? LoadResource(g_module, resource) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return bytes ? std::string(bytes, SizeofResource(g_module, resource)) : std::string();
}

HRESULT ApplyScript(bool registering)
{
    const std::string script = RegistryScript();
    if (script.empty())
        return HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND);
    CRegistrar registrar;
    // The script quotes its texts with single quotes.
    registrar.AddReplacement("MODULE", ansi::DoubleEach(ModulePath(), '\''));
    return registering ? registrar.Register(script) : registrar.Unregister(script);
}

// The type library from the module's own resource 1, else from a .tlb beside it.
HRESULT LoadGuardTypeLib(ComPtr<ITypeLib>& library, std::wstring& loadedFrom)
{
    loadedFrom = ansi::ToWide(ModulePath());
    HRESULT result = LoadTypeLib(loadedFrom.c_str(), library.Put());
    if (SUCCEEDED(result))
        return result;
    const auto slash = loadedFrom.find_last_of(L"\\/:");
    const auto dot = loadedFrom.rfind(L'.');
    if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash))
        loadedFrom.erase(dot);
    loadedFrom += L".tlb";
    return LoadTypeLib(loadedFrom.c_str(), library.Put());
}

HRESULT RegisterGuardTypeLib()
{
    ComPtr<ITypeLib> library;
    std::wstring path;
    HRESULT result = LoadGuardTypeLib(library, path);
    if (FAILED(result))
        return result;
    std::wstring helpDir = path.substr(0, path.find_last_of(L"\\/:") + 1);
    return RegisterTypeLib(library.Get(), path.data(), helpDir.empty() ? nullptr : helpDir.data());
}

void UnregisterGuardTypeLib()
{
    ComPtr<ITypeLib> library;
    std::wstring path;
    if (FAILED(LoadGuardTypeLib(library, path)))
        return;
    TLIBATTR* attributes = nullptr;
    if (FAILED(library->GetLibAttr(&attributes)))
        return;
    using UnRegisterTypeLibFn = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
    LibraryHandle oleaut(LoadLibraryA("oleaut32.dll"));
    auto unregister = oleaut ? reinterpret_cast<UnRegisterTypeLibFn>(
                                   reinterpret_cast<void*>(GetProcAddress(oleaut.get(), "UnRegisterTypeLib")))
                             : nullptr;
    if (unregister)
        unregister(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
                   attributes->syskind);
    library->ReleaseTLibAttr(attributes);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        CGuardClassFactory::ReleaseInstance();
        guard_module::Terminate();
    }
    return TRUE;
}

STDAPI DllCanUnloadNow() { return guard_module::LockCount() == 0 ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_IEWebGuard))
        return CLASS_E_CLASSNOTAVAILABLE;
    CGuardClassFactory* factory = CGuardClassFactory::Instance();
    return factory ? factory->QueryInterface(iid, out) : E_OUTOFMEMORY;
}

STDAPI DllRegisterServer()
{
    const HRESULT result = ApplyScript(true);
    return FAILED(result) ? result : RegisterGuardTypeLib();
}

STDAPI DllUnregisterServer()
{
    ApplyScript(false);
    UnregisterGuardTypeLib();
    return S_OK;
}
