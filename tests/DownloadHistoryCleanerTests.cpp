#include <gtest/gtest.h>

#include <windows.h>

#include "DownloadHistoryCleaner.h"
#include "TempDir.h"
#include "WinInetApi.h"

namespace {

using Urls = std::vector<std::wstring>;

// The download container behind the WinINet table: Wine has none.
struct FakeDownloads {
    struct Entry {
        std::wstring url, localFile;
    };
    static inline std::vector<Entry> entries;
    static inline std::size_t next = 0;
    static inline Urls deleted;

    static BOOL Deliver(INTERNET_CACHE_ENTRY_INFOW* info, DWORD* size)
    {
        if (next >= entries.size()) {
            SetLastError(ERROR_NO_MORE_ITEMS);
            return FALSE;
        }
        EXPECT_GE(*size, sizeof *info);
        Entry& e = entries[next++];
        info->lpszSourceUrlName = &e.url[0];
        info->lpszLocalFileName = e.localFile.empty() ? nullptr : &e.localFile[0];
        return TRUE;
    }
    static HANDLE WINAPI FindFirst(LPCWSTR, INTERNET_CACHE_ENTRY_INFOW* info, DWORD* size)
    {
        return Deliver(info, size) ? reinterpret_cast<HANDLE>(0x1234) : nullptr;
    }
    static BOOL WINAPI FindNext(HANDLE, INTERNET_CACHE_ENTRY_INFOW* info, DWORD* size) { return Deliver(info, size); }
    static BOOL WINAPI FindClose(HANDLE) { return TRUE; }
    static BOOL WINAPI Delete(LPCWSTR url) { return deleted.push_back(url), TRUE; }

    explicit FakeDownloads(std::vector<Entry> script) : saved_(WinInet())
    {
        entries = std::move(script);
        next = 0;
        deleted.clear();
        WinInet().FindFirstW = &FindFirst;
        WinInet().FindNextW = &FindNext;
        WinInet().FindClose = &FindClose;
        WinInet().DeleteEntryW = &Delete;
    }
    ~FakeDownloads() { WinInet() = saved_; }
    WinInetApi saved_;
};

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// An entry goes only where deleting it (which deletes its local file too)
// can take nothing of the user's.
TEST(DownloadHistoryTest, AnEntryGoesOnlyWhereItsDeletionCanTakeNoFileOfTheUsers)
{
    TempDir root;
    const std::wstring container = Wide(root.File("IEDownloadHistory")), downloads = Wide(root.File("Downloads"));
    ASSERT_TRUE(CreateDirectoryW(container.c_str(), nullptr) && CreateDirectoryW(downloads.c_str(), nullptr));
    WriteBytes(root.File("Downloads\\setup.exe"), "the user's download");
    WriteBytes(root.File("IEDownloadHistory\\entry.dat"), "the container's own file");
    const struct {
        const wchar_t* url;
        std::wstring localFile;
        bool deleted;
    } rows[] = {
        {L"iedownload:http://site.test/none.exe", L"", true},
        {L"iedownload:http://site.test/setup.exe", downloads + L"\\setup.exe", false},
        {L"iedownload:http://site.test/gone.exe", downloads + L"\\gone.exe", true},
        {L"iedownload:http://site.test/own.exe", container + L"\\entry.dat", true},
        {L"iedownload:http://site.test/own2.exe", container + L"\\..\\Downloads\\setup.exe", false},
        {L"iedownload:http://site.test/own3.exe", container + L"\\x\\..\\..\\Downloads\\setup.exe", false},
        {L"iedownload:http://site.test/odd.exe", L"\\\\?\\" + downloads + L"\\gone.exe", false},
        {L"iedownload:http://site.test/stream.exe", downloads + L"\\setup.exe:gone", false},
        {L"iedownload:http://site.test/nodir.exe", downloads + L"\\nowhere\\gone.exe", false},
        {L"iedownload:http://other.test/none.exe", L"", false},
    };
    std::vector<FakeDownloads::Entry> script;
    Urls expected;
    for (const auto& row : rows) {
        script.push_back({row.url, row.localFile});
        if (row.deleted)
            expected.push_back(row.url);
    }
    const FakeDownloads cache(script);
    CleanDownloadHistory(CCleaningRule("site.test"), CPassDeadline(), container);
    EXPECT_EQ(expected, FakeDownloads::deleted);
}

}  // namespace
