// The in-process server frame: process attach and detach, and the four
// exported entry points.
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "AnsiText.h"
#include "ClassFactory.h"
#include "CleaningQueue.h"
#include "ComPtr.h"
#include "GuardModule.h"
#include "Handle.h"
#include "Registrar.h"
#include "Vexmoor.h"

namespace {

HMODULE g_module = nullptr;
const int kRegistryScript = 102;

// The module's full path in UTF-16, never cut. A path that fills the buffer
// may come back unterminated (Windows XP), so it counts as cut and the buffer
// grows; the buffer is terminated by us either way.
std::wstring ModulePathWide()
{
    for (DWORD size = MAX_PATH + 1; size <= 32768 * 2; size *= 2) {
        std::wstring path(size, L'\0');
        const DWORD length = GetModuleFileNameW(g_module, path.data(), size - 1);
        if (length == 0)
            return std::wstring();
        if (length < size - 1) {
            path.resize(length);
            const DWORD longLength = GetLongPathNameW(path.c_str(), nullptr, 0);
            std::wstring longPath(longLength, L'\0');
            if (longLength > 0 && GetLongPathNameW(path.c_str(), longPath.data(), longLength) == longLength - 1) {
                longPath.resize(longLength - 1);
                return longPath;
            }
            return path;
        }
    }
    return std::wstring();
}

// The module path as ANSI text, as the browser and the panel read paths; empty
// when the code page cannot write it, since its question marks name nothing.
std::string ModulePath()
{
    const std::wstring wide = ModulePathWide();
    if (wide.empty())
        return std::string();
    BOOL lossy = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, nullptr, 0, nullptr, &lossy);
    if (size <= 1 || lossy)
        return std::string();
    std::string path(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, path.data(), size, nullptr, &lossy);
    path.resize(static_cast<std::size_t>(size) - 1);
    return lossy ? std::string() : path;
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
    const std::string module = ModulePath();
    if (registering && module.empty())
        return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);  // never register a path that names nothing
    CRegistrar registrar;
    // The script quotes its texts with single quotes.
    registrar.AddReplacement("MODULE", ansi::DoubleEach(module, '\''));
    return registering ? registrar.Register(script) : registrar.Unregister(script);
}

// The type library from the module's own resource 1, else from a .tlb beside it.
// The type-library functions take paths of up to MAX_PATH only: a longer
// module path is handed to them in its short form.
std::wstring TypeLibPath()
{
    std::wstring path = ModulePathWide();
    if (path.size() < MAX_PATH)
        return path;
    const DWORD size = GetShortPathNameW(path.c_str(), nullptr, 0);
    std::wstring shortPath(size, L'\0');
    if (size == 0 || GetShortPathNameW(path.c_str(), shortPath.data(), size) != size - 1)
        return std::wstring();
    shortPath.resize(size - 1);
    return shortPath.size() < MAX_PATH ? shortPath : std::wstring();
}

HRESULT LoadGuardTypeLib(ComPtr<ITypeLib>& library, std::wstring& loadedFrom)
{
    loadedFrom = TypeLibPath();
    if (loadedFrom.empty())
        return TYPE_E_CANTLOADLIBRARY;
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
                                   reinterpret_cast<void*>(GetProcAddress(oleaut.Get(), "UnRegisterTypeLib")))
                             : nullptr;
    if (unregister)
        unregister(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
                   attributes->syskind);
    library->ReleaseTLibAttr(attributes);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        // Only on FreeLibrary: at process exit (reserved non-null) other DLLs
        // may be gone already, and nothing may be released under the loader lock.
        CGuardClassFactory::ReleaseInstance();
        guard_module::Terminate();
    }
    return TRUE;
}

// Queued cleaning keeps the module too: its thread runs the module's code.
STDAPI DllCanUnloadNow()
{
    return guard_module::LockCount() == 0 && !CCleaningQueue::Instance().Busy() ? S_OK : S_FALSE;
}

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
