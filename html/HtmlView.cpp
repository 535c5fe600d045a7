#include "HtmlView.h"

#include "MemoryHtmlView.h"
#include "PlatformHtmlView.h"

namespace {

// Not in MinGW's uuid library.
const CLSID kHtmlDocument = {0x25336920, 0x03F9, 0x11CF, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}};

// The control can be created without an HTML engine behind it (Wine without
// Gecko); it then never completes a page. Ask for the engine itself first.
bool HasHtmlEngine()
{
    ComPtr<IUnknown> document;
    return SUCCEEDED(CoCreateInstance(kHtmlDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                      document.PutVoid()));
}

}  // namespace

std::unique_ptr<IHtmlView> CreateHtmlView(IHtmlViewEvents& events, HWND parent, const RECT& area)
{
    static const bool hasEngine = HasHtmlEngine();  // asking costs seconds where there is none
    if (hasEngine) {
        auto platform = std::make_unique<PlatformHtmlView>(events);
        if (platform->Create(parent, area))
            return platform;
    }
    auto memory = std::make_unique<MemoryHtmlView>(events);
    memory->Create(parent, area);
    return memory;
}
