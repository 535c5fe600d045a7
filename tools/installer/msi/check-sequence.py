#!/usr/bin/env python3
"""Checks a built package's custom actions as Windows runs them: every action
that runs in the installation's script (deferred) stands between
InstallInitialize and InstallFinalize, where Windows has a script to put it
in (Wine's msiexec runs them wherever they stand, so its tests cannot tell);
each action has the type and condition below, so that what runs as SYSTEM
comes from the package's Binary table, never from the program folder, and
the purge runs at a full removal only; the folder is checked before any
file is written.
Usage: check-sequence.py PACKAGE.msi ... ; exit 0 when all hold."""
import subprocess
import sys

IN_SCRIPT = 0x400
SOURCE_KINDS = 0x30  # 0: the Binary table; File, Directory or Property table otherwise

# Action: (type, condition). 3073 and 3074: a DLL (1) or a program (2) from
# the Binary table, in the script (0x400), not impersonated (0x800). 2099:
# sets a property (51); wixl adds 0x800, which only an action in the script heeds.
EXPECTED = {
    "SetPrepareFolderData": (2099, 'NOT REMOVE="ALL"'),
    "PrepareFolder": (3073, 'NOT REMOVE="ALL"'),
    "OpenSettingsToUsers": (3074, 'NOT REMOVE="ALL"'),
    "RemoveStartUp": (3074, 'REMOVE="ALL" AND NOT UPGRADINGPRODUCTCODE'),
    "PurgeSettings": (3074, 'REMOVE="ALL" AND PURGE="1" AND NOT UPGRADINGPRODUCTCODE'),
}


def table(package, name):
    out = subprocess.run(["msiinfo", "export", package, name], check=True, capture_output=True, text=True).stdout
    return [line.split("\t") for line in out.splitlines()[3:] if line]


def faults_of(package):
    rows = table(package, "InstallExecuteSequence")
    sequence = {row[0]: int(row[2]) for row in rows}
    conditions = {row[0]: row[1] for row in rows}
    first, last = sequence["InstallInitialize"], sequence["InstallFinalize"]
    faults = []
    actions = {row[0]: int(row[1]) for row in table(package, "CustomAction")}
    for action, kind in actions.items():
        if kind & IN_SCRIPT and action in sequence and not first < sequence[action] < last:
            faults.append(f"{package}: {action} at {sequence[action]}, outside {first}..{last}")
        if kind & 0x7 in (1, 2) and kind & SOURCE_KINDS:
            faults.append(f"{package}: {action} (type {kind}) runs a file that is not in the Binary table")
    for action, (kind, condition) in EXPECTED.items():
        if (actions.get(action), conditions.get(action)) != (kind, condition):
            faults.append(f"{package}: {action} is type {actions.get(action)} on {conditions.get(action)!r}, "
                          f"not {kind} on {condition!r}")
    if sequence.get("PrepareFolder", last) >= min(sequence.get(a, last) for a in ("CreateFolders", "InstallFiles")):
        faults.append(f"{package}: the folder is not checked before the files are written")
    return faults


def main(packages):
    faults = [fault for package in packages for fault in faults_of(package)]
    for fault in faults:
        print(fault)
    print(f"{len(packages)} packages checked, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
