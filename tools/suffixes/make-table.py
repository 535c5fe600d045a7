#!/usr/bin/env python3
"""Compiles the public suffix list into the guard's table.

Each rule becomes a key of its labels in reverse order ("co.uk" is "uk.co",
"*.ck" is "ck.*", "!www.ck" is "!ck.www"), a name in other scripts in the
ASCII form hosts take in addresses. The keys are sorted and front-coded:
a byte telling how many leading bytes a key shares with the one before it,
then the rest of the key, its last byte with the high bit set (every key is
ASCII, and the rest is never empty: no key is a prefix of the one before).

usage: make-table.py public_suffix_list.dat table.inc
"""
import encodings.idna
import os
import sys


def ascii_label(label):
    if label == "*" or label.isascii():
        return label.lower()
    return encodings.idna.ToASCII(label).decode("ascii")


def key(rule):
    exception = rule.startswith("!")
    try:
        labels = [ascii_label(label) for label in rule.lstrip("!").split(".")]
    except UnicodeError:
        # A label this encoder cannot write is in no host it sees: the rule
        # is left out, and the build says so.
        print("make-table.py: left out %r" % rule, file=sys.stderr)
        return None
    return ("!" if exception else "") + ".".join(reversed(labels))


def rules(text):
    for line in text.splitlines():
        rule = line.strip().split(" ")[0] if line.strip() else ""
        if rule and not rule.startswith("//"):
            yield rule


def front_coded(keys):
    out, previous = bytearray(), b""
    for k in keys:
        k = k.encode("ascii")
        shared = 0
        while shared < min(len(k), len(previous), 255) and k[shared] == previous[shared]:
            shared += 1
        rest = bytearray(k[shared:])
        rest[-1] |= 0x80
        out += bytes([shared]) + rest
        previous = k
    return out


def main():
    source, target = sys.argv[1], sys.argv[2]
    with open(source, encoding="utf-8") as f:
        keys = sorted(set(k for k in (key(rule) for rule in rules(f.read())) if k))
    table = front_coded(keys)
    with open(target, "w", encoding="ascii") as f:
        f.write("// Made by tools/suffixes/make-table.py from %s: do not edit.\n" % os.path.basename(source))
        f.write("const unsigned kPublicSuffixKeys = %d;\n" % len(keys))
        f.write("const unsigned char kPublicSuffixTable[%d] = {\n" % len(table))
        for start in range(0, len(table), 24):
            f.write("    " + ",".join(str(b) for b in table[start:start + 24]) + ",\n")
        f.write("};\n")


if __name__ == "__main__":
    main()
