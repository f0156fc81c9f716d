#!/usr/bin/env python3
"""Makes Quillora documents for timing runs and for checking outputs against each other.

    make_documents.py KIND SIZE OUT [--section-bytes N] [--seed S]

KIND:
  sections  a well-formed document of about SIZE bytes whose section lines are about
            --section-bytes long (default 8 KiB), texts in valid UTF-8
  oneline   one section line of SIZE bytes of Base64
  lt        one section line whose body is SIZE times "<"
  ltgt      one section line whose body is SIZE times "<>"
  tiny      SIZE section lines, each with its own name and a one-character text
  damaged   about SIZE bytes of damaged document: mixed line breaks, letter case, junk in
            the Base64, stray tags, indented and continued lines, repeated names, binary bytes

SIZE takes a K, M or G suffix (powers of 1024).
"""

import argparse
import base64
import random
import sys

WORDS = (
    "the of and to in salvage letter section draft chapter river mountain garden "
    "window morning evening journey train station bread coffee winter summer "
    "Zürich Genève café naïve déjà — “quoted” 東京 Ωmega 🍏 ½"
).split()


def parse_size(text):
    factor = 1
    suffix = text[-1:].upper()
    if suffix in "KMG":
        factor = 1024 ** ("KMG".index(suffix) + 1)
        text = text[:-1]
    return int(text) * factor


def text_pool(rng, size):
    """Prose-like UTF-8 text of about `size` bytes."""
    parts = []
    length = 0
    while length < size:
        word = rng.choice(WORDS)
        sep = rng.choice([" ", " ", " ", " ", ", ", ".\n", "\r\n"])
        piece = (word + sep).encode()
        parts.append(piece)
        length += len(piece)
    return b"".join(parts)


def utf8_slice(pool, start, length):
    """A slice of `pool` that neither starts nor ends inside a UTF-8 sequence."""
    end = min(len(pool), start + length)
    while start < end and (pool[start] & 0xC0) == 0x80:
        start += 1
    while end < len(pool) and (pool[end] & 0xC0) == 0x80:
        end += 1
    return pool[start:end]


def b64(data):
    return base64.b64encode(data)


HEADER = b'<?xml version="1.0" encoding="UTF-8"?>\n<QuilloraDocument version="1.5">\n'
FOOTER = b"</QuilloraDocument>\n"


def write_sections(out, size, section_bytes, rng):
    pool = text_pool(rng, 4 << 20)
    decoded = max(1, section_bytes * 3 // 4 - 48)
    out.write(HEADER)
    written = len(HEADER)
    index = 0
    while written < size:
        start = rng.randrange(0, len(pool) - decoded) if len(pool) > decoded else 0
        text = utf8_slice(pool, start, decoded)
        if len(text) < decoded:  # sections larger than the pool repeat it
            text = (pool * (decoded // len(pool) + 1))[:decoded]
        name = b64(("Section %d" % index).encode())
        line = b'<Section name="' + name + b'" style="body">' + b64(text) + b"</Section>\n"
        out.write(line)
        written += len(line)
        index += 1
    out.write(FOOTER)


def write_one_line(out, size, rng):
    out.write(HEADER)
    out.write(b'<Section name="' + b64(b"Everything") + b'">')
    chunk = b64(text_pool(rng, 3 << 20)[: 3 << 20])  # 4 MiB of Base64, whole groups
    left = size
    while left > 0:
        piece = chunk[:left]
        out.write(piece)
        left -= len(piece)
    out.write(b"</Section>\n" + FOOTER)


def write_repeated(out, size, unit):
    out.write(HEADER)
    out.write(b'<Section name="' + b64(b"Angles") + b'">')
    block = unit * (1 << 20)
    left = size
    while left > 0:
        count = min(left, 1 << 20)
        out.write(block[: count * len(unit)])
        left -= count
    out.write(b"</Section>\n" + FOOTER)


def write_tiny(out, count):
    out.write(HEADER)
    letters = b"ABCDEFGHIJKLMNOPQRSTUVWXYZ"
    lines = []
    for index in range(count):
        name = b64(b"%d" % index)
        lines.append(b'<Section name="' + name + b'">' + b64(letters[index % 26 : index % 26 + 1])
                     + b"</Section>\n")
        if len(lines) == 65536:
            out.write(b"".join(lines))
            lines.clear()
    out.write(b"".join(lines))
    out.write(FOOTER)


def damaged_line(rng, pool, names):
    """One line of a damaged document: usually a section line, in one of many shapes."""
    name = rng.choice(names)
    text = utf8_slice(pool, rng.randrange(0, len(pool) - 600), rng.randrange(0, 500))
    body = bytearray(b64(text))
    for _ in range(rng.randrange(0, 4)):  # junk inside the Base64
        at = rng.randrange(0, len(body) + 1)
        body[at:at] = rng.choice([b"=", b"==", b" ", b"\t", b"-", b"_", b"\xc3\xa9", b"\x00",
                                  b"<", b">", b"<>", b"<b>", b"</i>", b"&amp;", b"\xff\xfe"])
    body = bytes(body)
    tag = rng.choice([b"<Section ", b"<section ", b"<SECTION ", b"<SeCtIoN "])
    shape = rng.randrange(0, 16)
    if shape == 0:
        return b"  " + tag + b'name="' + name + b'">' + body + b"</Section>"  # indented
    if shape == 1:
        return b"<Doc>" + tag + b'name="' + name + b'">' + body + b"</Section>"  # later on line
    if shape == 2:
        return tag + b'id="7">' + body + b"</Section>"  # no name
    if shape == 3:
        return tag + b"name='" + name + b"' style=\"x\">" + body + b"</Section>"  # single quotes
    if shape == 4:
        return tag + b'filename="' + b64(b"file") + b'" name="' + name + b'">' + body
    if shape == 5:
        return tag + b'name="' + name + body  # no closing quote
    if shape == 6:
        return tag + b'NAME="' + name + b'">' + body + b"</Section>" + b64(b" after")
    if shape == 7:
        return tag + b'name="' + name + b'">' + body + b"<" + body[:20]  # unclosed "<"
    if shape == 8:
        return tag + b'name="' + name + b'">'  # start tag alone
    if shape == 9:
        return bytes(rng.randrange(0, 256) for _ in range(rng.randrange(0, 80)))  # binary
    if shape == 10:
        return b"</Section>"
    return tag + b'name="' + name + b'" style="body">' + body + b"</Section>"


def write_damaged(out, size, rng):
    pool = text_pool(rng, 1 << 20)
    names = [b64(("Part %d" % i).encode()) for i in range(40)] + [b"", b"QQ", b"=", b"Zm9v!"]
    header = rng.choice([b'<?xml version="1.0"?>', b"<?XML ", b"<?xml encoding=x"])
    out.write(header)
    written = len(header)
    while written < size:
        eol = rng.choice([b"\n", b"\n", b"\r\n", b"\r"])
        line = eol + damaged_line(rng, pool, names)
        out.write(line)
        written += len(line)
    if rng.random() < 0.5:
        out.write(b"\r\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("kind", choices=["sections", "oneline", "lt", "ltgt", "tiny", "damaged"])
    parser.add_argument("size")
    parser.add_argument("out")
    parser.add_argument("--section-bytes", default="8K")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()

    rng = random.Random(args.seed)
    size = parse_size(args.size)
    with open(args.out, "wb", buffering=8 << 20) as out:
        if args.kind == "sections":
            write_sections(out, size, parse_size(args.section_bytes), rng)
        elif args.kind == "oneline":
            write_one_line(out, size, rng)
        elif args.kind == "lt":
            write_repeated(out, size, b"<")
        elif args.kind == "ltgt":
            write_repeated(out, size, b"<>")
        elif args.kind == "tiny":
            write_tiny(out, size)
        else:
            write_damaged(out, size, rng)
    return 0


if __name__ == "__main__":
    sys.exit(main())
