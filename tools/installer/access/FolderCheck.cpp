// The Windows Installer package's check of its program folder, a custom
// action run from the package's Binary table in the installation's script
// (as SYSTEM) before any file is written: the folder and what is missing of
// its path are judged and made as ProgramFolder.h says. A refusal is said in
// words (shown, or logged in a silent installation) and fails the
// installation, which then writes nothing.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string>
#include <vector>

#include "ProgramFolder.h"

namespace {

std::wstring Property(MSIHANDLE install, const wchar_t* name)
{
    DWORD size = 0;
    wchar_t none[1] = L"";
    if (MsiGetPropertyW(install, name, none, &size) != ERROR_MORE_DATA)
        return L"";
    std::wstring value(++size, L'\0');
    if (MsiGetPropertyW(install, name, &value[0], &size) != ERROR_SUCCESS)
        return L"";
    value.resize(size);
    return value;
}

void SayError(MSIHANDLE install, const std::wstring& text)
{
    // The text is a field of its own: a "[" in a folder's name is no
    // property reference.
    const MSIHANDLE record = MsiCreateRecord(1);
    MsiRecordSetStringW(record, 0, L"[1]");
    MsiRecordSetStringW(record, 1, text.c_str());
    MsiProcessMessage(install, INSTALLMESSAGE(INSTALLMESSAGE_ERROR | MB_OK | MB_ICONERROR), record);
    MsiCloseHandle(record);
}

}  // namespace

// The folder comes as the action's data: "[INSTALLDIR]".
extern "C" __declspec(dllexport) UINT __stdcall CheckProgramFolder(MSIHANDLE install)
{
    const std::wstring folder = NormalFolderPath(Property(install, L"CustomActionData"));
    const std::vector<BYTE> account = ProcessAccountSid();
    const FolderJudgement judged = PrepareProgramFolder(folder, account.empty() ? nullptr : PSID(account.data()));
    if (judged.verdict == FolderVerdict::Accepted)
        return ERROR_SUCCESS;
    SayError(install, JudgementText(judged, folder));
    return ERROR_INSTALL_FAILURE;
}
