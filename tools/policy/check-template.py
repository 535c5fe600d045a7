#!/usr/bin/env python3
"""Checks the policy template against the product: both files well-formed,
every string and presentation the template names defined in its language
file, and every policy stored where the product reads it, under a name it
reads as a policy (settings/SettingsStore.h). Exit 0 when all hold."""
import re
import sys
import xml.etree.ElementTree as ET

NS = "{http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions}"


def constants(header):
    """The names the settings header defines: kName -> its text, as C++ spells it."""
    text = open(header, encoding="utf-8").read()
    found = dict(re.findall(r'inline constexpr char (k\w+)\[\] = "([^"]*)";', text))
    return {name: value.replace("\\\\", "\\") for name, value in found.items()}


def main(root):
    faults = []
    admx = ET.parse(f"{root}/tools/policy/Norvane.admx").getroot()
    adml = ET.parse(f"{root}/tools/policy/en-US/Norvane.adml").getroot()
    strings = {s.get("id") for s in adml.iter(NS + "string")}
    presentations = {p.get("id") for p in adml.iter(NS + "presentation")}
    for element in admx.iter():
        for value in element.attrib.values():
            for kind, ref in re.findall(r"\$\((string|presentation)\.(\w+)\)", value):
                if ref not in (strings if kind == "string" else presentations):
                    faults.append(f"{kind} {ref} is not in en-US/Norvane.adml")

    names = constants(f"{root}/settings/SettingsStore.h")
    policy_key = names["kPolicyKey"]
    list_key = policy_key + "\\" + names["kPolicyWhiteList"]
    # The switches the guard and the panel read as policies.
    read_as_policy = {names[k] for k in ("kRemoveCookies", "kRemoveCache", "kRemoveLastTyped", "kRemoveHistory",
                                         "kBHOEnabled", "kRunAtStartUp")}
    run_key = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run"
    seen = set()
    for policy in admx.iter(NS + "policy"):
        name = policy.get("name")
        if policy.get("class") != "Machine":
            faults.append(f"{name}: not a computer policy")
        value = policy.get("valueName")
        if value is not None:
            if policy.get("key") != policy_key or value not in read_as_policy:
                faults.append(f"{name}: {policy.get('key')}\\{value} is no policy the product reads")
            seen.add(value)
        for lst in policy.iter(NS + "list"):
            # Numbered 1, 2, ...: the names the product reads the entries by.
            if lst.get("key") != list_key or lst.get("valuePrefix") != "":
                faults.append(f"{name}: the list is not stored as {list_key}\\1, 2, ...")
            seen.add("list")
        for text in policy.iter(NS + "text"):
            if text.get("key") != run_key:
                faults.append(f"{name}: its command is not stored where Windows runs it at log-on")
    # A default command would name one program folder, which is wrong on
    # every computer of the other kind; the explanation names both.
    for box in adml.iter(NS + "textBox"):
        if box.find(NS + "defaultValue") is not None:
            faults.append(f"{box.get('refId')}: a default command, right on one kind of Windows only")
    explained = {s.get("id"): s.text or "" for s in adml.iter(NS + "string")}.get("RunAtStartUp_Help", "")
    for folder in ("Program Files (x86)\\Norvane", "Program Files\\Norvane"):
        if folder not in explained:
            faults.append(f"RunAtStartUp_Help does not name {folder}")
    for missing in sorted((read_as_policy | {"list"}) - seen):
        faults.append(f"no policy sets {missing}")
    for fault in faults:
        print(fault)
    print(f"{len(seen)} policies checked, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
