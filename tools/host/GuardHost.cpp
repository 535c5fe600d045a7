// Behaves like one browser window for the registered guard: creates it by its
// ProgID through COM, attaches it to a stand-in browser, replays the given
// addresses as BeforeNavigate2 / NavigateComplete2 pairs, then quits and
// detaches as the browser does when the window closes.
//   GuardHost.exe URL...
#include <windows.h>
#include <ocidl.h>

#include <cstdio>
#include <string>

#include "BrowserStandIn.h"
#include "ComPtr.h"

namespace {

std::wstring Wide(const char* text)
{
    const int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(size > 0 ? size : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), size);
    wide.resize(wide.size() - 1);
    return wide;
}

int Run(int argc, char** argv)
{
    CLSID clsid{};
    HRESULT result = CLSIDFromProgID(L"Vexmoor.IEWebGuard", &clsid);
    if (FAILED(result)) {
        std::printf("The guard is not registered (0x%08lX).\n", static_cast<unsigned long>(result));
        return 2;
    }
    ComPtr<IObjectWithSite> guard;
    result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IObjectWithSite, guard.PutVoid());
    if (FAILED(result)) {
        std::printf("The guard could not be created (0x%08lX).\n", static_cast<unsigned long>(result));
        return 2;
    }
    ComPtr<CBrowserStandIn> browser = CBrowserStandIn::Create();
    result = guard->SetSite(static_cast<IWebBrowser2*>(browser.Get()));
    std::printf("SetSite: 0x%08lX\n", static_cast<unsigned long>(result));
    for (int i = 1; i < argc; ++i) {
        const std::wstring url = Wide(argv[i]);
        browser->FireBeforeNavigate2(url);
        browser->FireNavigateComplete2(url);
        std::printf("navigated: %s\n", argv[i]);
    }
    browser->FireOnQuit();
    guard->SetSite(nullptr);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (FAILED(CoInitialize(nullptr)))
        return 2;
    const int code = Run(argc, argv);
    CoUninitialize();
    return code;
}
