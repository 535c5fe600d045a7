#pragma once
// Whether a folder may hold Norvane's programs. Every account's browser loads
// the guard from it and the installers run what they put there, so only
// administrators may change what it holds or where its path leads:
//   - the folder's owner is SYSTEM, TrustedInstaller, Administrators or the
//     account that runs the installation (an administrator); before Windows
//     Vista also Power Users, who can make themselves administrators there;
//   - only those may add, delete, rename or re-permission entries in it, or
//     be given (by inheritance) the right to change the files put in it;
//   - its DACL and those above hold only plain allowing and denying entries;
//   - no folder above it lets another account delete, rename or
//     re-permission what lies below it;
//   - neither the folder nor any folder above it is a reparse point.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// What one name of the path is, as the platform reports it.
struct FolderFacts {
    bool exists = false;
    DWORD attributes = 0;
    std::vector<BYTE> descriptor;  // self-relative, owner and DACL; empty when unreadable
    DWORD error = ERROR_SUCCESS;   // why it could not be read
};
// Reads the facts of one path; the tests give descriptors made from SDDL
// (Wine keeps no file security).
using FolderReader = std::function<FolderFacts(const std::wstring& path)>;
FolderFacts ReadFolderFacts(const std::wstring& path);

enum class FolderVerdict {
    Accepted,
    NotAnsi,          // the code page cannot write its name
    NotLocal,         // not a path on a drive letter
    Link,             // it or a folder above it is a reparse point
    NotAFolder,
    Unreadable,       // its security could not be read
    OthersOwn,        // owned by another account
    OthersMayWrite,   // another account may change its entries
    OthersMayMove,    // a folder above lets another account move what is below
    UnjudgedEntry,    // a conditional, object or other entry that is not judged
};

struct FolderJudgement {
    FolderVerdict verdict = FolderVerdict::Accepted;
    std::wstring where;  // the path that failed
    DWORD error = ERROR_SUCCESS;
};

// The folder and every folder above it, judged from the root down. A folder
// that does not exist yet passes (it will be made with the descriptor below).
// installer: the account running the installation, trusted as its owner; may
// be null. powerUsersAreAdministrators: the platform's (the tests pass either).
bool PowerUsersAreAdministrators();
FolderJudgement JudgeProgramFolder(const std::wstring& folder, const FolderReader& read, PSID installer,
                                   bool powerUsersAreAdministrators = PowerUsersAreAdministrators());

// Whether the folder or a folder above it is a reparse point.
bool PathHasLink(const std::wstring& folder, const FolderReader& read);

// The account this process runs as (its token's user); empty when unknown.
std::vector<BYTE> ProcessAccountSid();

// The folder as the platform names it (no "\." or "\" at its end, no "..").
std::wstring NormalFolderPath(const std::wstring& folder);

// What a folder the package makes is given, whatever its parent allows:
// Administrators and SYSTEM full control, Users and ALL APPLICATION PACKAGES
// (Enhanced Protected Mode tabs) read and execute; protected from
// inheritance.
extern const wchar_t kProgramFolderSddl[];

// Judges the folder, makes each missing folder of its path with that
// descriptor, and judges it again as made. installer as above.
FolderJudgement PrepareProgramFolder(const std::wstring& folder, PSID installer);

// One line for the person installing: why the folder was refused, what to do.
std::wstring JudgementText(const FolderJudgement& judgement, const std::wstring& folder);
