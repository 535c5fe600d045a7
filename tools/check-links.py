#!/usr/bin/env python3
"""Checks the links between the project's pages: every relative link or
picture names a file that exists, and an anchor (#part) names a heading of
the page it points to. A folder argument stands for its README.md and
docs/*.md; a file argument for itself. Exit 0 when every link holds."""
import glob
import os
import re
import sys

LINK = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)(?:\s+\"[^\"]*\")?\)")
CODE_SPAN = re.compile(r"`[^`]*`")


def pages(argument):
    if os.path.isdir(argument):
        return [os.path.join(argument, "README.md")] + sorted(glob.glob(os.path.join(argument, "docs", "*.md")))
    return [argument]


def prose_lines(path, spans=False):
    """The page's lines outside fenced code, each with its number; code spans
    blanked out unless asked for."""
    fenced = False
    with open(path, encoding="utf-8") as page:
        for number, line in enumerate(page, 1):
            if line.lstrip().startswith("```"):
                fenced = not fenced
                continue
            if not fenced:
                yield number, line if spans else CODE_SPAN.sub("", line)


def anchor(heading):
    """A heading's anchor as GitHub makes it: lower case, punctuation
    (backticks too) dropped, spaces as hyphens."""
    text = re.sub(r"[^\w\- ]", "", heading.strip().lower())
    return text.replace(" ", "-")


def anchors(path):
    headings = (re.match(r"#{1,6}\s+(.*)", line) for _, line in prose_lines(path, spans=True))
    return {anchor(heading.group(1)) for heading in headings if heading}


def broken_links(path):
    for number, line in prose_lines(path):
        for target in LINK.findall(line):
            if re.match(r"[a-z][a-z0-9+.-]*:", target, re.IGNORECASE):
                continue  # an address on the web, not a page of ours
            name, _, part = target.partition("#")
            where = os.path.normpath(os.path.join(os.path.dirname(path), name)) if name else path
            if not os.path.exists(where):
                yield number, target, "no such file"
            elif part and where.endswith(".md") and part not in anchors(where):
                yield number, target, "no such heading"


def main(arguments):
    if not arguments:
        print("usage: check-links.py FOLDER|PAGE...", file=sys.stderr)
        return 2
    checked = 0
    broken = 0
    for argument in arguments:
        for path in pages(argument):
            if not os.path.exists(path):
                print(f"{path}: no such page")
                broken += 1
                continue
            checked += 1
            for number, target, why in broken_links(path):
                print(f"{path}:{number}: broken link {target}: {why}")
                broken += 1
    if broken:
        print(f"{broken} broken link(s) in {checked} page(s)")
        return 1
    print(f"every link holds in {checked} page(s)")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
