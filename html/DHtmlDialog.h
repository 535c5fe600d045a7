#pragma once
// Our HTML dialog framework: a modal dialog from a template whose client
// area is a browser view, pages loaded from the program's own HTML resources
// at "res://<module path>/<id>", and per-page element-event tables matched,
// at the moment an event is raised, by the id of the element that raised it
// or of the nearest element around it that the table lists. The page gets
// every key of the dialog's thread before the dialog does; addresses that
// are not pages (mail, the web) go to the system and the page stays.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "HtmlView.h"

struct HtmlEventEntry {
    std::wstring elementId;
    long dispid;  // kEventClick, kEventKeyDown, kEventKeyUp
    std::function<HRESULT(IHtmlElement&)> handler;
};
using HtmlEventTable = std::vector<HtmlEventEntry>;

class CDHtmlDialog : protected IHtmlViewEvents {
public:
    CDHtmlDialog(UINT templateId, UINT firstPage, HWND parent);
    ~CDHtmlDialog() override;
    CDHtmlDialog(const CDHtmlDialog&) = delete;
    CDHtmlDialog& operator=(const CDHtmlDialog&) = delete;

    // Runs the dialog until EndDialog; its result.
    INT_PTR DoModal();
    void EndDialog(INT_PTR result);
    HWND GetSafeHwnd() const { return hwnd_; }

    // Navigates the view to one of the program's HTML resources; false when
    // the program's path cannot be had.
    bool LoadFromResource(UINT id);
    std::unique_ptr<IHtmlElement> GetElement(const std::wstring& id);
    IHtmlView* View() { return view_.get(); }

protected:
    // Creates the view over the client area and loads the first page.
    virtual BOOL OnInitDialog();
    // Window messages; true when handled, with the message's result.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Right after the window exists, before OnInitDialog.
    virtual void OnWindowCreated() {}
    virtual void OnWindowDestroyed() {}

    // Pages ("res:", "about:") load in the view; any other address is handed
    // to the system and refused here.
    bool OnBeforeNavigate(const std::wstring& url) override;
    void OnNewWindow(const std::wstring& url) override;
    void OnDocumentComplete(const std::wstring&) override {}
    void OnElementEvent(long dispid, IHtmlElement& source) override;
    // Keyboard focus into the page (on activation, on a restore).
    void FocusPage();

    // The element-event table in force; null: no element reacts.
    void SetEventTable(const HtmlEventTable* table) { table_ = table; }
    const HtmlEventTable* EventTable() const { return table_; }

    // The program file's full path as the pages' address carries it.
    static bool ProgramPath(std::wstring& path);

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The system's modal loop hands every message to this hook before
    // IsDialogMessage: the page's first chance at the keyboard.
    static LRESULT CALLBACK MessageFilter(int code, WPARAM wParam, LPARAM lParam);
    void StartKeyboardRouting();
    void StopKeyboardRouting();
    bool OffersKeyToPage(MSG& message);

    UINT template_;
    UINT firstPage_;
    HWND parent_;
    HWND hwnd_ = nullptr;
    std::unique_ptr<IHtmlView> view_;
    const HtmlEventTable* table_ = nullptr;
};

// A dialog whose pages each bring their own event table, chosen before each
// navigation by the page key: the text after the last "/" of a "res:" address.
class CMultiPageDHtmlDialog : public CDHtmlDialog {
public:
    using CDHtmlDialog::CDHtmlDialog;

protected:
    // The table of the page with this key, or null.
    virtual const HtmlEventTable* GetEventTableForKey(const std::wstring& key) = 0;
    bool OnBeforeNavigate(const std::wstring& url) override;
};
