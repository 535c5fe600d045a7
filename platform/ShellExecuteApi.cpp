#include "ShellExecuteApi.h"

ShellExecuteApi& ShellExecuteTable()
{
    static ShellExecuteApi api;
    return api;
}

bool OpenWithSystem(const std::wstring& url)
{
    // Values above 32 mean success (the documented contract of ShellExecute).
    const HINSTANCE result = ShellExecuteTable().Execute(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}
