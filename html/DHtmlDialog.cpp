#include "DHtmlDialog.h"

#include <algorithm>

#include "MemoryHtmlView.h"
#include "PlatformHtmlView.h"
#include "ShellExecuteApi.h"

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

// The engine a dialog gets: the platform's where it has an HTML engine and
// the control can be created, else ours.
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

// The dialogs of this thread whose pages get the keyboard first, and the one
// hook that serves them all (the panel has a single window thread).
std::vector<CDHtmlDialog*>& KeyboardRouted()
{
    static std::vector<CDHtmlDialog*> dialogs;
    return dialogs;
}
HHOOK g_messageFilter = nullptr;

bool StartsWith(const std::wstring& text, const wchar_t* prefix)
{
    return _wcsnicmp(text.c_str(), prefix, wcslen(prefix)) == 0;
}

bool IsPageAddress(const std::wstring& url) { return StartsWith(url, L"res:") || StartsWith(url, L"about:"); }

}  // namespace

CDHtmlDialog::CDHtmlDialog(UINT templateId, UINT firstPage, HWND parent)
    : template_(templateId), firstPage_(firstPage), parent_(parent)
{
}

CDHtmlDialog::~CDHtmlDialog() = default;

INT_PTR CDHtmlDialog::DoModal()
{
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(template_), parent_, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

void CDHtmlDialog::EndDialog(INT_PTR result)
{
    if (hwnd_)
        ::EndDialog(hwnd_, result);
}

bool CDHtmlDialog::ProgramPath(std::wstring& path)
{
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    path.assign(buffer, length);
    return true;
}

bool CDHtmlDialog::LoadFromResource(UINT id)
{
    std::wstring path;
    if (!view_ || !ProgramPath(path))
        return false;
    return view_->Navigate(L"res://" + path + L"/" + std::to_wstring(id));
}

std::unique_ptr<IHtmlElement> CDHtmlDialog::GetElement(const std::wstring& id)
{
    return view_ ? view_->GetElement(id) : nullptr;
}

BOOL CDHtmlDialog::OnInitDialog()
{
    RECT area{};
    GetClientRect(hwnd_, &area);
    // The view covers the whole client area: the template's own controls
    // (a banner picture) lie under it and must not paint over the page.
    for (HWND child = GetWindow(hwnd_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        ShowWindow(child, SW_HIDE);
    view_ = CreateHtmlView(*this, hwnd_, area);
    StartKeyboardRouting();
    LoadFromResource(firstPage_);
    return TRUE;
}

void CDHtmlDialog::StartKeyboardRouting()
{
    auto& dialogs = KeyboardRouted();
    if (std::find(dialogs.begin(), dialogs.end(), this) == dialogs.end())
        dialogs.push_back(this);
    if (!g_messageFilter)
        g_messageFilter = SetWindowsHookExW(WH_MSGFILTER, MessageFilter, nullptr, GetCurrentThreadId());
}

void CDHtmlDialog::StopKeyboardRouting()
{
    auto& dialogs = KeyboardRouted();
    dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), this), dialogs.end());
    if (dialogs.empty() && g_messageFilter) {
        UnhookWindowsHookEx(g_messageFilter);
        g_messageFilter = nullptr;
    }
}

// Only keys meant for this dialog's window or its children: the About box
// and message boxes run the same loop and keep their keys.
bool CDHtmlDialog::OffersKeyToPage(MSG& message)
{
    if (!view_ || !hwnd_ || (message.hwnd != hwnd_ && !IsChild(hwnd_, message.hwnd)))
        return false;
    return view_->TranslateAccelerator(message);
}

LRESULT CALLBACK CDHtmlDialog::MessageFilter(int code, WPARAM wParam, LPARAM lParam)
{
    auto* message = reinterpret_cast<MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && message && message->message >= WM_KEYFIRST && message->message <= WM_KEYLAST) {
        const std::vector<CDHtmlDialog*> dialogs = KeyboardRouted();
        for (CDHtmlDialog* dialog : dialogs)
            if (dialog->OffersKeyToPage(*message))
                return TRUE;  // taken by the page: the dialog never sees it
    }
    return CallNextHookEx(g_messageFilter, code, wParam, lParam);
}

void CDHtmlDialog::FocusPage()
{
    if (view_)
        view_->Focus();
}

bool CDHtmlDialog::OnBeforeNavigate(const std::wstring& url)
{
    if (IsPageAddress(url))
        return true;
    OpenWithSystem(url);
    return false;
}

void CDHtmlDialog::OnNewWindow(const std::wstring& url) { OpenWithSystem(url); }

bool CDHtmlDialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

// From the source up through its parents to the first element the table
// lists for this event: engines differ in what they report as the source (an
// option rather than its list box, a bold text rather than its tab).
void CDHtmlDialog::OnElementEvent(long dispid, IHtmlElement& source)
{
    if (!table_)
        return;
    // A copy: a handler may load another page and with it another table.
    const HtmlEventTable table = *table_;
    std::unique_ptr<IHtmlElement> parent;
    for (IHtmlElement* element = &source; element; element = parent.get()) {
        const std::wstring id = element->Id();
        const auto entry = std::find_if(table.begin(), table.end(), [&](const HtmlEventEntry& e) {
            return e.dispid == dispid && e.elementId == id;
        });
        if (entry != table.end()) {
            entry->handler(*element);
            return;
        }
        parent = element->Parent();
    }
}

INT_PTR CALLBACK CDHtmlDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<CDHtmlDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDHtmlDialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->hwnd_ = window;
        self->OnWindowCreated();
        return self->OnInitDialog();
    }
    if (!self)
        return FALSE;
    LRESULT result = 0;
    bool handled = self->OnMessage(message, wParam, lParam, result);
    // On activation the focus goes into the page, in place of the dialog's
    // own restore of the last focused control.
    if (!handled && message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE && self->view_)
        handled = self->view_->Focus();
    if (message == WM_DESTROY) {
        self->StopKeyboardRouting();
        if (self->view_)
            self->view_->Destroy();
        self->OnWindowDestroyed();
        self->hwnd_ = nullptr;
    }
    if (!handled && message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        ::EndDialog(window, LOWORD(wParam));
        return TRUE;
    }
    if (!handled)
        return FALSE;
    SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
}

// Only a navigation that loads a page changes the table: an address handed
// to the system leaves the page shown, and its events, as they are.
bool CMultiPageDHtmlDialog::OnBeforeNavigate(const std::wstring& url)
{
    if (!CDHtmlDialog::OnBeforeNavigate(url))
        return false;
    std::wstring key = url;
    if (StartsWith(url, L"res:"))
        key = url.substr(url.rfind(L'/') + 1);
    SetEventTable(GetEventTableForKey(key));
    return true;
}
