#include "ProgramFolder.h"

#include <aclapi.h>
#include <sddl.h>

#include <memory>

#include "Handle.h"

const wchar_t kProgramFolderSddl[] =
    L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)(A;OICI;0x1200a9;;;S-1-15-2-1)";

namespace {

// What lets another account change what a folder holds, or move it.
const ACCESS_MASK kRepermission = WRITE_DAC | WRITE_OWNER;
const ACCESS_MASK kChangeEntries = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | kRepermission | DELETE;
const ACCESS_MASK kMoveBelow = FILE_DELETE_CHILD | kRepermission;
// What an inheritable entry lets another account do to the files the
// installer then writes into the folder.
const ACCESS_MASK kChangeMadeEntries =
    FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | FILE_DELETE_CHILD | kRepermission;

struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};
using LocalSid = std::unique_ptr<void, LocalFreer>;

LocalSid SidFromText(const wchar_t* text)
{
    PSID sid = nullptr;
    return LocalSid(ConvertStringSidToSidW(text, &sid) ? sid : nullptr);
}

bool SameSid(PSID sid, const LocalSid& known) { return known && EqualSid(sid, known.get()); }

// The accounts that may change the folder: SYSTEM, TrustedInstaller,
// Administrators, the installing account, and before Windows Vista Power
// Users (who can make themselves administrators there).
struct Trust {
    PSID installer;
    bool powerUsers;
};

bool IsTrusted(PSID sid, const Trust& trust)
{
    static const LocalSid kSystem = SidFromText(L"S-1-5-18");
    static const LocalSid kAdministrators = SidFromText(L"S-1-5-32-544");
    static const LocalSid kPowerUsers = SidFromText(L"S-1-5-32-547");
    static const LocalSid kTrustedInstaller =
        SidFromText(L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464");
    if (!sid || !IsValidSid(sid))
        return false;
    return SameSid(sid, kSystem) || SameSid(sid, kAdministrators) || SameSid(sid, kTrustedInstaller) ||
           (trust.powerUsers && SameSid(sid, kPowerUsers)) || (trust.installer && EqualSid(sid, trust.installer));
}

// CREATOR OWNER in an inheritable entry stands for whoever makes an entry
// below, and only trusted accounts can once the folder passes.
bool IsCreatorOwner(PSID sid)
{
    static const LocalSid kCreatorOwner = SidFromText(L"S-1-3-0");
    return SameSid(sid, kCreatorOwner);
}

// What the DACL's allowing entries give accounts we do not trust. Denying
// entries are passed over: a folder is never taken as safer than its
// allowing entries make it.
struct OthersAccess {
    ACCESS_MASK onFolder = 0;  // by the entries that apply to the folder itself
    ACCESS_MASK onMade = 0;    // by the inheritable ones, on what is made in it
    bool unjudged = false;     // an entry that is neither a plain allow nor deny
};

OthersAccess OthersRights(PSECURITY_DESCRIPTOR descriptor, const Trust& trust)
{
    OthersAccess everything{~0u, ~0u, false};
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present || !dacl)
        return everything;  // no DACL: everyone may do everything
    GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    OthersAccess others;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace))
            return everything;
        const auto* header = static_cast<ACE_HEADER*>(ace);
        // A conditional or object entry may allow anyone: none is judged.
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_DENIED_ACE_TYPE)
            others.unjudged = true;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        const PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        if (IsTrusted(sid, trust))
            continue;
        ACCESS_MASK mask = allowed->Mask;
        MapGenericMask(&mask, &mapping);
        if (!(header->AceFlags & INHERIT_ONLY_ACE))
            others.onFolder |= mask;
        if ((header->AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)) && !IsCreatorOwner(sid))
            others.onMade |= mask;
    }
    return others;
}

PSID OwnerOf(PSECURITY_DESCRIPTOR descriptor)
{
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    return GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ? owner : nullptr;
}

bool NameFitsCodePage(const std::wstring& text)
{
    if (GetACP() == CP_UTF8)
        return true;
    BOOL usedDefault = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), -1, nullptr, 0, nullptr,
                                         &usedDefault);
    return size > 0 && !usedDefault;
}

// "C:\", "C:\a", "C:\a\b" for "C:\a\b"; empty for a path on no drive letter.
std::vector<std::wstring> PathFromRoot(const std::wstring& folder)
{
    const bool onDrive = folder.size() >= 3 && iswalpha(folder[0]) && folder[1] == L':' && folder[2] == L'\\';
    if (!onDrive)
        return {};
    std::vector<std::wstring> path{folder.substr(0, 3)};
    for (std::size_t at = folder.find(L'\\', 3); at != std::wstring::npos; at = folder.find(L'\\', at + 1))
        path.push_back(folder.substr(0, at));
    if (folder.size() > 3)
        path.push_back(folder);
    return path;
}

FolderJudgement Refused(FolderVerdict verdict, const std::wstring& where, DWORD error = ERROR_SUCCESS)
{
    return FolderJudgement{verdict, where, error};
}

// One name of the path: the folder itself (last) or one above it.
FolderJudgement JudgeOne(const std::wstring& path, const FolderFacts& facts, bool isRoot, bool isFolder,
                         const Trust& trust)
{
    if (facts.attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return Refused(FolderVerdict::Link, path);
    if (!(facts.attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Refused(FolderVerdict::NotAFolder, path);
    if (facts.descriptor.empty())
        return Refused(FolderVerdict::Unreadable, path, facts.error);
    const auto descriptor = const_cast<BYTE*>(facts.descriptor.data());
    const OthersAccess others = OthersRights(descriptor, trust);
    if (others.unjudged)
        return Refused(FolderVerdict::UnjudgedEntry, path);
    if (!IsTrusted(OwnerOf(descriptor), trust))
        return Refused(isFolder ? FolderVerdict::OthersOwn : FolderVerdict::OthersMayMove, path);
    if (isFolder && ((others.onFolder & kChangeEntries) || (others.onMade & kChangeMadeEntries)))
        return Refused(FolderVerdict::OthersMayWrite, path);
    // Deleting or renaming a folder takes DELETE on it, or the right to
    // delete children in the folder above (checked on that one).
    if ((others.onFolder & kMoveBelow) || (!isRoot && (others.onFolder & DELETE)))
        return Refused(FolderVerdict::OthersMayMove, path);
    return {};
}

}  // namespace

std::wstring NormalFolderPath(const std::wstring& folder)
{
    const DWORD size = GetFullPathNameW(folder.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return folder;
    std::wstring full(size, L'\0');
    full.resize(GetFullPathNameW(folder.c_str(), size, &full[0], nullptr));
    while (full.size() > 3 && full.back() == L'\\')
        full.pop_back();
    return full;
}

FolderFacts ReadFolderFacts(const std::wstring& path)
{
    FolderFacts facts;
    // A folder's attributes as its parent lists them: a link is seen as one
    // there, whatever a call through it would see.
    WIN32_FIND_DATAW found{};
    const HANDLE search = path.size() > 3 ? FindFirstFileW(path.c_str(), &found) : INVALID_HANDLE_VALUE;
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
        facts.attributes = found.dwFileAttributes;
    } else {
        facts.attributes = GetFileAttributesW(path.c_str());
        if (facts.attributes == INVALID_FILE_ATTRIBUTES) {
            facts.error = GetLastError();
            facts.exists = facts.error != ERROR_FILE_NOT_FOUND && facts.error != ERROR_PATH_NOT_FOUND;
            facts.attributes = 0;
            return facts;
        }
    }
    facts.exists = true;
    FileHandle folder(CreateFileW(path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    facts.error = folder ? GetSecurityInfo(folder.Get(), SE_FILE_OBJECT,
                                           OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                           nullptr, nullptr, &descriptor)
                         : GetLastError();
    if (facts.error == ERROR_SUCCESS && descriptor) {
        const auto* bytes = static_cast<const BYTE*>(descriptor);
        facts.descriptor.assign(bytes, bytes + GetSecurityDescriptorLength(descriptor));
    }
    if (descriptor)
        LocalFree(descriptor);
    return facts;
}

bool PowerUsersAreAdministrators()
{
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExW(&version) && version.dwMajorVersion < 6;
}

FolderJudgement JudgeProgramFolder(const std::wstring& folder, const FolderReader& read, PSID installer,
                                   bool powerUsersAreAdministrators)
{
    const Trust trust{installer, powerUsersAreAdministrators};
    if (!NameFitsCodePage(folder))
        return Refused(FolderVerdict::NotAnsi, folder);
    const std::vector<std::wstring> path = PathFromRoot(folder);
    if (path.size() < 2)
        return Refused(FolderVerdict::NotLocal, folder);
    for (std::size_t i = 0; i < path.size(); ++i) {
        const FolderFacts facts = read(path[i]);
        if (!facts.exists)
            return facts.error == ERROR_SUCCESS || facts.error == ERROR_FILE_NOT_FOUND ||
                           facts.error == ERROR_PATH_NOT_FOUND
                       ? FolderJudgement{}  // what is below is made by the package
                       : Refused(FolderVerdict::Unreadable, path[i], facts.error);
        const FolderJudgement judged = JudgeOne(path[i], facts, i == 0, i + 1 == path.size(), trust);
        if (judged.verdict != FolderVerdict::Accepted)
            return judged;
    }
    return {};
}

bool PathHasLink(const std::wstring& folder, const FolderReader& read)
{
    for (const std::wstring& name : PathFromRoot(folder)) {
        const FolderFacts facts = read(name);
        if (facts.attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            return true;
        if (!facts.exists)
            return false;
    }
    return false;
}

std::vector<BYTE> ProcessAccountSid()
{
    KernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put()))
        return {};
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    if (!size || !GetTokenInformation(token.Get(), TokenUser, user.data(), size, &size))
        return {};
    const PSID account = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    const auto* bytes = static_cast<const BYTE*>(account);
    return std::vector<BYTE>(bytes, bytes + GetLengthSid(account));
}

FolderJudgement PrepareProgramFolder(const std::wstring& given, PSID installer)
{
    const std::wstring folder = NormalFolderPath(given);
    FolderJudgement judged = JudgeProgramFolder(folder, ReadFolderFacts, installer);
    if (judged.verdict != FolderVerdict::Accepted)
        return judged;
    PSECURITY_DESCRIPTOR made = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kProgramFolderSddl, SDDL_REVISION_1, &made, nullptr))
        return Refused(FolderVerdict::Unreadable, folder, GetLastError());
    std::unique_ptr<void, LocalFreer> ownsMade(made);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, made, FALSE};
    for (const std::wstring& name : PathFromRoot(folder)) {
        // A folder that appeared since it was judged is judged again below.
        if (!CreateDirectoryW(name.c_str(), &attributes) && GetLastError() != ERROR_ALREADY_EXISTS)
            return Refused(FolderVerdict::Unreadable, name, GetLastError());
    }
    return JudgeProgramFolder(folder, ReadFolderFacts, installer);
}

std::wstring JudgementText(const FolderJudgement& judgement, const std::wstring& folder)
{
    const std::wstring& where = judgement.where;
    const std::wstring elsewhere =
        L" Choose a folder that only administrators can change, such as one under Program Files, and run the "
        L"setup again.";
    switch (judgement.verdict) {
    case FolderVerdict::Accepted:
        return L"";
    case FolderVerdict::NotAnsi:
        return L"Norvane cannot be installed in " + folder +
               L": its name has characters that this computer's code page cannot write, and Norvane reads its "
               L"folder's name in that code page. Choose a folder whose name has none, such as one under "
               L"Program Files, and run the setup again.";
    case FolderVerdict::NotLocal:
        return L"Norvane cannot be installed in " + folder + L": it is not a folder on a drive of this computer." +
               elsewhere;
    case FolderVerdict::Link:
        return L"Norvane cannot be installed in " + folder + L": " + where +
               L" is a link (a junction, symbolic link or mount point) to another place." + elsewhere;
    case FolderVerdict::NotAFolder:
        return L"Norvane cannot be installed in " + folder + L": " + where + L" is a file, not a folder." +
               elsewhere;
    case FolderVerdict::Unreadable:
        return L"Norvane cannot be installed in " + folder + L": the permissions of " + where +
               L" cannot be read or set (error " + std::to_wstring(judgement.error) + L")." + elsewhere;
    case FolderVerdict::OthersOwn:
        // The Windows Installer package checks as SYSTEM: there an
        // administrator's own account counts as another owner too.
        return L"Norvane cannot be installed in " + folder +
               L": its owner is not SYSTEM, TrustedInstaller or the Administrators group, and its owner could "
               L"change what every user's browser loads from it. Make the Administrators group its owner "
               L"(Properties, Security, Advanced, Owner), then run the setup again." + elsewhere;
    case FolderVerdict::OthersMayWrite:
        return L"Norvane cannot be installed in " + folder +
               L": accounts other than administrators may add, delete, rename or re-permission files in it, or "
               L"would be given the right to change the files put in it, and every user's browser loads Norvane "
               L"from it." + elsewhere;
    case FolderVerdict::UnjudgedEntry:
        return L"Norvane cannot be installed in " + folder + L": the permissions of " + where +
               L" hold a conditional or object entry, whose rights the setup cannot judge." + elsewhere;
    case FolderVerdict::OthersMayMove:
        return L"Norvane cannot be installed in " + folder + L": accounts other than administrators may rename, "
               L"delete or re-permission " + where +
               L" or what it holds, and so put another folder in this one's place." + elsewhere;
    }
    return L"";
}
