#!/usr/bin/env python3
"""What a user might write instead of qlvodadov-cli: the same rules, Python standard library only,
done the obvious way (read the whole file, split it into lines, a regular expression for tags,
the base64 module for decoding). Writes the all-sections export of FILE to standard output.

    peer_salvage.py FILE
"""

import base64
import re
import sys

TAG = re.compile(rb"<.+?>", re.DOTALL)
NAME = re.compile(rb"name=", re.IGNORECASE)
NOT_BASE64 = re.compile(rb"[^A-Za-z0-9+/=]")


def decode(text):
    """Base64 that never fails: other bytes are skipped, "=" ends a group, a last incomplete
    group keeps its whole bytes."""
    out = []
    for run in NOT_BASE64.sub(b"", text).split(b"="):
        whole = len(run) // 4 * 4
        out.append(base64.b64decode(run[:whole]))
        rest = len(run) - whole
        if rest >= 2:
            out.append(base64.b64decode(run[whole:] + b"=" * (4 - rest)))
    return b"".join(out)


def extract_name(line):
    found = NAME.search(line)
    if found is None:
        return b""
    start = found.end() + 1
    end = line.find(b'"', start)
    return line[start:] if end < 0 else line[start:end]


def main():
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    lines = data.replace(b"\r\n", b"\n").replace(b"\r", b"\n").split(b"\n")
    if not lines[0][:6].lower() == b"<?xml ":
        sys.stderr.write("Unable to view this file. Either it's not a Quillora document or "
                         "it's too corrupt to view.\n")
        return 1
    sections = {}  # dicts keep the order of first insertion
    for line in lines:
        if line[:9].lower() == b"<section ":
            sections[decode(extract_name(line))] = decode(TAG.sub(b"", line))
    out = sys.stdout.buffer
    for name, text in sections.items():
        out.write(b"Section: " + name + b"\n" + text + b"\n\n")
    out.flush()
    return 0


if __name__ == "__main__":
    sys.exit(main())
