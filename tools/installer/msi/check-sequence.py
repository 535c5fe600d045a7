#!/usr/bin/env python3
"""Checks a built package's execute sequence as Windows runs it: every action
that runs in the installation's script (deferred) stands between
InstallInitialize and InstallFinalize, where Windows has a script to put it
in (Wine's msiexec runs them wherever they stand, so its tests cannot tell).
Usage: check-sequence.py PACKAGE.msi ... ; exit 0 when all hold."""
import subprocess
import sys

IN_SCRIPT = 0x400


def table(package, name):
    out = subprocess.run(["msiinfo", "export", package, name], check=True, capture_output=True, text=True).stdout
    return [line.split("\t") for line in out.splitlines()[3:] if line]


def faults_of(package):
    sequence = {row[0]: int(row[2]) for row in table(package, "InstallExecuteSequence")}
    first, last = sequence["InstallInitialize"], sequence["InstallFinalize"]
    faults = []
    for action, kind, *_ in table(package, "CustomAction"):
        if int(kind) & IN_SCRIPT and action in sequence and not first < sequence[action] < last:
            faults.append(f"{package}: {action} at {sequence[action]}, outside {first}..{last}")
    return faults


def main(packages):
    faults = [fault for package in packages for fault in faults_of(package)]
    for fault in faults:
        print(fault)
    print(f"{len(packages)} packages checked, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
