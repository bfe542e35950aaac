#!/usr/bin/env python3
"""Checks that every relative link of the given Markdown pages resolves: the
file exists and, for a link with #anchor into a page, a heading of that page
gives that anchor (lower case, punctuation dropped, spaces as hyphens).

Usage: doc_links.py PAGE...
"""
import pathlib
import re
import sys

LINK = re.compile(r"\]\(([^)\s]+)\)")


def anchors(page):
    found = set()
    for line in page.read_text(encoding="utf-8").splitlines():
        if line.startswith("#"):
            title = line.lstrip("#").strip().lower()
            found.add(re.sub(r"[^\w\- ]", "", title).replace(" ", "-"))
    return found


def main():
    broken = []
    for page in map(pathlib.Path, sys.argv[1:]):
        for link in LINK.findall(page.read_text(encoding="utf-8")):
            if re.match(r"[a-z]+:", link):
                continue
            path, _, anchor = link.partition("#")
            target = (page.parent / path) if path else page
            if not target.exists():
                broken.append(f"{page}: {link}: no such file")
            elif anchor and target.suffix == ".md" and anchor not in anchors(target):
                broken.append(f"{page}: {link}: no such heading")
    if broken:
        sys.exit("\n".join(broken))


if __name__ == "__main__":
    main()
