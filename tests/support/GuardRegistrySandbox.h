#pragma once
// Every registry key that registering the guard touches, put back as it was
// when the test ends.
#include <string>

#include "RegistrySandbox.h"

const char kGuardClsid[] = "{1B77D30A-81C9-497A-8647-142F7511B1FB}";
const char kGuardLibid[] = "{5AB0D266-DD2B-4006-B9D6-A9145291BDD6}";
const char kBrowserHelperObjects[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";

inline std::string Classes(const std::string& path) { return "Software\\Classes\\" + path; }

struct GuardRegistrySandbox {
    RegistrySandbox progId1{HKEY_LOCAL_MACHINE, Classes("Vexmoor.IEWebGuard.1")};
    RegistrySandbox progId{HKEY_LOCAL_MACHINE, Classes("Vexmoor.IEWebGuard")};
    RegistrySandbox clsid{HKEY_LOCAL_MACHINE, Classes(std::string("CLSID\\") + kGuardClsid)};
    RegistrySandbox typeLib{HKEY_LOCAL_MACHINE, Classes(std::string("TypeLib\\") + kGuardLibid)};
    RegistrySandbox dual{HKEY_LOCAL_MACHINE, Classes("Interface\\{80CC88FE-2567-42ED-A3AE-E397D2A12C52}")};
    RegistrySandbox events{HKEY_LOCAL_MACHINE, Classes("Interface\\{267B1ED2-2C9E-4A3F-BE15-7AFC79403073}")};
    RegistrySandbox bho{HKEY_LOCAL_MACHINE, kBrowserHelperObjects};
    RegistrySandbox settings{HKEY_LOCAL_MACHINE, "Software\\Norvane"};
};
