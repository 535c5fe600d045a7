#include "PanelInput.h"

#include <cwctype>
#include <fstream>
#include <vector>

#include "MemoryHtmlView.h"
#include "PageLayout.h"
#include "PagePainter.h"

namespace panel_input {

namespace {

const char kPanelCaption[] = "Norvane Configuration";
const UINT kOptionsPage = 104;  // any page: every one draws the same tab bar


// Input sent to another process reaches its thread some tens of
// milliseconds later under Wine (it goes round through the display), and
// until then that thread answers messages as if nothing had been sent.
const DWORD kInputDeliveryMs = 150;
DWORD g_lastInputAt = 0;

void Send(std::vector<INPUT>& inputs)
{
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    inputs.clear();
    g_lastInputAt = GetTickCount();
}

INPUT Key(WORD vk, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

WORD VirtualKey(const std::string& name)
{
    static const struct {
        const char* name;
        WORD vk;
    } keys[] = {{"TAB", VK_TAB},     {"SHIFT", VK_SHIFT},   {"CTRL", VK_CONTROL}, {"ALT", VK_MENU},
                {"SPACE", VK_SPACE}, {"RETURN", VK_RETURN}, {"ESCAPE", VK_ESCAPE}, {"UP", VK_UP},
                {"DOWN", VK_DOWN},   {"LEFT", VK_LEFT},     {"RIGHT", VK_RIGHT},  {"DELETE", VK_DELETE},
                {"BACK", VK_BACK},   {"HOME", VK_HOME},     {"END", VK_END}};
    for (const auto& k : keys)
        if (name == k.name)
            return k.vk;
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0])))
        return static_cast<WORD>(std::toupper(static_cast<unsigned char>(name[0])));
    return 0;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window)
{
    wchar_t text[256] = {};
    // Asked of the control: GetWindowText does not ask another process's windows.
    SendMessageW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    return text;
}

std::wstring OwnProgram()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

}  // namespace

HWND WaitForPanel(DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    do {
        HWND panel = FindWindowA("#32770", kPanelCaption);
        if (panel && IsWindowVisible(panel) && PageView(panel))
            return panel;
        Sleep(10);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

HWND PageView(HWND panel)
{
    // The view holds a window for each page it has shown: the one on screen.
    HWND view = FindWindowExW(panel, nullptr, L"NorvanePageView", nullptr);
    for (HWND page = nullptr; view && (page = FindWindowExW(view, page, L"NorvanePageView", nullptr)) != nullptr;)
        if (IsWindowVisible(page))
            return page;
    return nullptr;
}

// A screen coordinate in SendInput's absolute units (0 to 65535 across the
// primary screen), rounded up so that the system maps it back to the pixel.
LONG Absolute(LONG pixel, int screenSize) { return static_cast<LONG>(((pixel << 16) + screenSize - 1) / screenSize); }

void Press(HWND window, POINT client, DWORD down, DWORD up, int times)
{
    ClientToScreen(window, &client);
    SetCursorPos(client.x, client.y);
    // Each event carries its own position, as a real mouse's do: a button
    // press must not land where the pointer was before an earlier move was
    // taken in.
    INPUT at{};
    at.type = INPUT_MOUSE;
    at.mi.dx = Absolute(client.x, GetSystemMetrics(SM_CXSCREEN));
    at.mi.dy = Absolute(client.y, GetSystemMetrics(SM_CYSCREEN));
    at.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    std::vector<INPUT> inputs{at};
    for (int i = 0; i < times; ++i) {
        for (DWORD flag : {down, up}) {
            INPUT input = at;
            input.mi.dwFlags |= flag;
            inputs.push_back(input);
        }
    }
    Send(inputs);
}

POINT Middle(HWND window)
{
    RECT rect{};
    GetClientRect(window, &rect);
    return POINT{rect.right / 2, rect.bottom / 2};
}

void ClickAt(HWND window, POINT client) { Press(window, client, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 1); }

void RightClick(HWND window) { Press(window, Middle(window), MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, 1); }

void DoubleClick(HWND window) { Press(window, Middle(window), MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 2); }

HWND TrayIcon()
{
    HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
    return tray ? FindWindowExW(tray, nullptr, L"__winex11_tray_icon", nullptr) : nullptr;
}

void ClickControl(HWND control) { ClickAt(control, Middle(control)); }

HWND FindControl(HWND panel, const wchar_t* windowClass, int nth, const wchar_t* text)
{
    HWND view = PageView(panel);
    int seen = 0;
    for (HWND child = view ? GetWindow(view, GW_CHILD) : nullptr; child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child) || _wcsicmp(ClassOf(child).c_str(), windowClass) != 0)
            continue;
        if (text ? TextOf(child) == text : ++seen == nth)
            return child;
    }
    return nullptr;
}

HWND FindCheckBox(HWND panel, int nth)
{
    int seen = 0;
    HWND box = nullptr;
    for (int n = 1; (box = FindControl(panel, L"Button", n)) != nullptr; ++n)
        if ((GetWindowLongW(box, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX && ++seen == nth)
            return box;
    return nullptr;
}

std::optional<RECT> ElementBox(HWND panel, const wchar_t* id)
{
    HWND view = PageView(panel);
    auto page = LoadResourcePage(L"res://" + OwnProgram() + L"/" + std::to_wstring(kOptionsPage));
    if (!view || !page)
        return std::nullopt;
    RECT area{};
    GetClientRect(view, &area);
    html::GdiContainer gdi;
    return html::LayOutPage(*page, area.right, gdi).BoxOf(id);
}

bool PressKeys(const std::string& keys)
{
    std::vector<WORD> held;
    std::size_t start = 0;
    while (start <= keys.size()) {
        const std::size_t plus = std::min(keys.find('+', start), keys.size());
        const WORD vk = VirtualKey(keys.substr(start, plus - start));
        if (!vk)
            return false;
        held.push_back(vk);
        start = plus + 1;
    }
    std::vector<INPUT> inputs;
    for (WORD vk : held)
        inputs.push_back(Key(vk, false));
    for (auto vk = held.rbegin(); vk != held.rend(); ++vk)
        inputs.push_back(Key(*vk, true));
    Send(inputs);
    return true;
}

void TypeText(const std::wstring& text)
{
    std::vector<INPUT> inputs;
    for (wchar_t c : text) {
        for (bool up : {false, true}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = c;
            input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
            inputs.push_back(input);
        }
    }
    Send(inputs);
}

void Settle(HWND window)
{
    auto pumpOwn = [] {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    };
    pumpOwn();
    // What was sent is in the thread's queue once SendInput returns. A
    // message sent to the window is answered only when its thread next
    // takes a message, after what it is doing now (a hide, a page switch),
    // and each answer lets at least one queued message through: enough
    // rounds for a click's or a key's messages and what their handlers post.
    const int kRounds = 32;
    const auto rounds = [&] {
        for (int round = 0; window && round < kRounds; ++round)
            if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, nullptr))
                return;
    };
    // Rounds until the last input sent has had time to arrive, then once more
    // for what it set off.
    do {
        rounds();
        pumpOwn();
        Sleep(1);
    } while (GetTickCount() - g_lastInputAt < kInputDeliveryMs);
    rounds();
    pumpOwn();
}

bool WaitUntil(bool (*condition)(HWND), HWND panel, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!condition(panel)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

HWND OpenMenu()
{
    HWND menu = FindWindowW(L"#32768", nullptr);
    return menu && IsWindowVisible(menu) ? menu : nullptr;
}

bool SaveClientBitmap(HWND window, const std::string& path)
{
    RECT area{};
    GetClientRect(window, &area);
    const int width = area.right, height = area.bottom;
    if (width <= 0 || height <= 0)
        return false;
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;  // bottom-up, as BMP files are
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const int stride = (width * 3 + 3) & ~3;
    std::vector<char> pixels(static_cast<std::size_t>(stride) * height);
    const int lines = GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
                                DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    if (lines != height)
        return false;

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out);
}

COLORREF PixelAt(HWND window, POINT client)
{
    HDC dc = GetDC(window);
    const COLORREF color = GetPixel(dc, client.x, client.y);
    ReleaseDC(window, dc);
    return color;
}

}  // namespace panel_input
