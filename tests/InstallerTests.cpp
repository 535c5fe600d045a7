#include <gtest/gtest.h>

#include <shlobj.h>

#include "GuardRegistrySandbox.h"
#include "Process.h"
#include "TempDir.h"

namespace {

const HKEY kRoot = HKEY_LOCAL_MACHINE;
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Norvane";

std::string StartMenuFolder()
{
    char programs[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, programs, CSIDL_COMMON_PROGRAMS, FALSE);
    return std::string(programs) + "\\Norvane";
}

const unsigned kInstallerWaitMs = 30000;

TEST(InstallerTest, SilentInstallAndUninstall)
{
    GuardRegistrySandbox registry;
    RegistrySandbox uninstall(kRoot, kUninstallKey);
    RegistrySandbox run(kRoot, "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    TempDir dir;
    const std::string target = dir.Path() + "\\Norvane Program";

    ASSERT_EQ(0, RunProgram("\"" + BinaryFolder() + "\\NorvaneSetup.exe\" /S /D=" + target, 120000));
    for (const char* file : {"Norvane.exe", "Vexmoor.dll", "WhiteList.txt", "Uninstall.exe"})
        EXPECT_TRUE(FileExists(target + "\\" + file)) << file;
    EXPECT_EQ("", ReadBytes(target + "\\WhiteList.txt"));
    EXPECT_EQ(target, GetString(kRoot, "Software\\Norvane", "AppPath"));
    EXPECT_EQ(target + "\\WhiteList.txt", GetString(kRoot, "Software\\Norvane", "WhiteList"));
    EXPECT_EQ(target + "\\Vexmoor.dll",
              GetString(kRoot, Classes(std::string("CLSID\\") + kGuardClsid + "\\InprocServer32"), ""));
    EXPECT_TRUE(KeyExists(kRoot, std::string(kBrowserHelperObjects) + "\\" + kGuardClsid));
    EXPECT_TRUE(KeyExists(kRoot, Classes(std::string("TypeLib\\") + kGuardLibid)));
    EXPECT_TRUE(FileExists(StartMenuFolder() + "\\Norvane.lnk"));

    SetString(kRoot, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Norvane", "\"" + target + "\\Norvane.exe\"");
    // A control panel running from the program folder is stopped first.
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION panel{};
    std::string line = "\"" + target + "\\Norvane.exe\"";
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &panel));
    ASSERT_TRUE(Eventually([] { return FindWindowA("#32770", "Norvane Configuration") != nullptr; }, kInstallerWaitMs));
    // The uninstaller copies itself away and returns at once; its work follows.
    ASSERT_EQ(0, RunProgram("\"" + target + "\\Uninstall.exe\" /S", 120000));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(panel.hProcess, 30000)) << "the running panel was stopped";
    if (WaitForSingleObject(panel.hProcess, 0) != WAIT_OBJECT_0)
        TerminateProcess(panel.hProcess, 1);
    CloseHandle(panel.hThread);
    CloseHandle(panel.hProcess);
    EXPECT_TRUE(Eventually([&] { return !FileExists(target + "\\Vexmoor.dll"); }, kInstallerWaitMs));
    EXPECT_TRUE(Eventually([&] { return !FileExists(target); }, kInstallerWaitMs)) << "the folder goes with its files";
    EXPECT_FALSE(FileExists(target + "\\Norvane.exe"));
    EXPECT_FALSE(KeyExists(kRoot, "Software\\Norvane"));
    EXPECT_FALSE(KeyExists(kRoot, Classes(std::string("CLSID\\") + kGuardClsid)));
    EXPECT_FALSE(KeyExists(kRoot, std::string(kBrowserHelperObjects) + "\\" + kGuardClsid));
    EXPECT_FALSE(KeyExists(kRoot, kUninstallKey));
    EXPECT_FALSE(ValueExists(kRoot, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Norvane"));
    EXPECT_FALSE(FileExists(StartMenuFolder()));
}

}  // namespace
