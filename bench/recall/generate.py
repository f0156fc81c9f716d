#!/usr/bin/env python3
"""Makes damaged Quillora documents whose original text is known, for measuring recall.

    generate.py OUT_DIR [--count N] [--seed S]

Each document gets several sections of writer-like prose (UTF-8, some of it not ASCII) under
distinct names, in one of four layouts, and then one kind of damage. Beside each document
NNN.qlx goes NNN.json: the layout, the damage, the original sections, the texts of another
document whose tail was appended (when it was), whether the damaged file still holds a section
tag, and for each section how many of its characters the damage left untouched: a character
is recoverable when no byte of the Base64 group (of four characters) that holds it was
damaged. Everything follows from the seed.
"""

import argparse
import base64
import json
import os
import random
import sys

LAYOUTS = ["line", "wrapped", "indented", "mix"]
DAMAGES = [
    "none", "truncated", "zeroed-512", "zeroed-4096", "zeroed-first-512", "flips-1e-5",
    "flips-1e-4", "flips-1e-3", "garbage-burst", "deleted-bytes", "lost-line-breaks",
    "extra-line-breaks", "cr", "crlf", "tail-appended", "nul-padding",
]

WORDS = (
    "the a of and to in that was with for as on at by from his her their our we they it "
    "morning evening river garden window letter journey station winter summer autumn "
    "mountain village harbour kitchen table lamp candle bread coffee tea rain snow wind "
    "walked waited wrote remembered carried opened closed listened watched believed "
    "quiet slow bright old small distant familiar gentle heavy narrow silver green "
    "café naïve façade déjà señora Zürich Genève Ångström œuvre München Kraków São Paulo "
    "crème brûlée fiancée résumé Tromsø Åsa Łódź Dvořák"
).split()
RARE = ["—", "“", "”", "…", "½", "€", "東京", "雪", "Ωmega", "🍏", "«", "»"]
NAMES = [
    "Chapter One", "Chapter Two", "Chapter Three", "Notes", "Letter to Åsa", "Draft",
    "Journal — March", "Recipes", "Travel diary", "Epilogue", "Prologue", "Ideas",
    "Letter to Grandmother", "Minutes", "Zürich", "Poems", "Interview", "Postscript",
    "Appendix", "Sketches", "Dreams 🌙", "Budget", "To do", "Café notes",
]

HEADER = '<?xml version="1.0" encoding="UTF-8"?>\n<QuilloraDocument version="1.5">\n'
PROPERTIES = "<Properties><Author>{}</Author></Properties>\n"
FOOTER = "</QuilloraDocument>\n"


def sentence(rng):
    words = [rng.choice(WORDS) for _ in range(rng.randint(5, 17))]
    if rng.random() < 0.3:
        words.insert(rng.randrange(len(words)), rng.choice(RARE))
    if len(words) > 6 and rng.random() < 0.5:
        words[rng.randrange(2, len(words) - 1)] += ","
    text = " ".join(words)
    return text[0].upper() + text[1:] + rng.choice([".", ".", ".", "!", "?", "…"])


def prose(rng, size):
    paragraphs = []
    length = 0
    while length < size:
        paragraph = " ".join(sentence(rng) for _ in range(rng.randint(2, 5)))
        paragraphs.append(paragraph)
        length += len(paragraph) + 2
    return rng.choice(["\n\n", "\n", "\r\n"]).join(paragraphs)


def b64(text):
    return base64.b64encode(text.encode("utf-8")).decode("ascii")


class Builder:
    """Writes a document and remembers where each section's Base64 characters stand."""

    def __init__(self):
        self.parts = []
        self.length = 0
        self.positions = []  # per section: file offset of each Base64 character of its body

    def write(self, text):
        data = text.encode("utf-8")
        self.parts.append(data)
        self.length += len(data)

    def body(self, encoded, wrap):
        offsets = []
        for i, c in enumerate(encoded):
            if wrap and i > 0 and i % 76 == 0:
                self.write("\n")
            offsets.append(self.length)
            self.write(c)
        self.positions.append(offsets)

    def data(self):
        return b"".join(self.parts)


def make_document(rng, layout):
    sections = []
    for name in rng.sample(NAMES, rng.randint(4, 8)):
        sections.append({"name": name, "text": prose(rng, rng.randint(300, 2500))})
    doc = Builder()
    doc.write(HEADER)
    doc.write(PROPERTIES.format(rng.choice(["Zoë", "Anna Berg", "J. Okafor", "Ilse"])))
    for section in sections:
        shape = layout if layout != "mix" else rng.choice(["line", "wrapped", "indented"])
        indent = rng.choice(["  ", "    ", "\t"]) if shape == "indented" else ""
        doc.write(indent + '<Section name="' + b64(section["name"]) + '" style="body">')
        doc.body(b64(section["text"]), wrap=shape == "wrapped")
        doc.write("\n</Section>\n" if shape == "wrapped" else "</Section>\n")
    doc.write(FOOTER)
    return sections, doc


def damage(rng, kind, data, other):
    """Returns the damaged bytes, the set of original offsets touched, and the texts appended."""
    touched = set()
    extra = []
    size = len(data)
    if kind == "truncated":
        cut = rng.randrange(size // 10, size * 19 // 20)
        touched.update(range(cut, size))
        data = data[:cut]
    elif kind.startswith("zeroed"):
        block = 4096 if kind.endswith("4096") else 512
        start = 0 if "first" in kind else rng.randrange(0, max(1, size - block))
        end = min(size, start + block)
        touched.update(range(start, end))
        data = data[:start] + bytes(end - start) + data[end:]
    elif kind.startswith("flips"):
        rate = float(kind.split("-", 1)[1])
        flipped = bytearray(data)
        for bit in range(size * 8):
            if rng.random() < rate:
                flipped[bit // 8] ^= 1 << (bit % 8)
                touched.add(bit // 8)
        data = bytes(flipped)
    elif kind == "garbage-burst":
        at = rng.randrange(0, size)
        burst = bytes(rng.randrange(256) for _ in range(rng.randint(16, 256)))
        touched.update({at - 1, at})
        data = data[:at] + burst + data[at:]
    elif kind == "deleted-bytes":
        for _ in range(rng.randint(1, 3)):
            at = rng.randrange(0, len(data))
            count = rng.randint(1, 16)
            # Offsets of the original are what is touched; earlier deletions shift them a little,
            # which the bound tolerates.
            touched.update(range(at, at + count))
            data = data[:at] + data[at + count:]
    elif kind == "lost-line-breaks":
        data = bytes(b for b in data if b != 0x0A or rng.random() < 0.5)
    elif kind == "extra-line-breaks":
        out = bytearray()
        for b in data:
            out.append(b)
            if rng.random() < 0.01 and b not in b"<>\"":
                out += rng.choice([b"\n", b"\r\n", b"\n  "])
        data = bytes(out)
    elif kind == "cr":
        data = data.replace(b"\n", b"\r")
    elif kind == "crlf":
        data = data.replace(b"\n", b"\r\n")
    elif kind == "tail-appended":
        other_sections, other_doc = other
        other_data = other_doc.data()
        data = data + other_data[rng.randrange(len(other_data) * 2 // 5, len(other_data) * 9 // 10):]
        extra = [s["text"] for s in other_sections]
    elif kind == "nul-padding":
        data = data + bytes(rng.randint(512, 8192))
    return data, touched, extra


def recoverable(section, offsets, touched):
    """Characters of the text no damaged Base64 group holds."""
    encoded = section["text"].encode("utf-8")
    group_ok = []
    for g in range((len(offsets) + 3) // 4):
        group_ok.append(not any(o in touched for o in offsets[g * 4:g * 4 + 4]))
    count = 0
    at = 0
    for ch in section["text"]:
        length = len(ch.encode("utf-8"))
        if all(group_ok[i // 3] for i in range(at, at + length)):
            count += 1
        at += length
    assert at == len(encoded)
    return count


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out")
    parser.add_argument("--count", type=int, default=320)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    cells = [(layout, kind) for kind in DAMAGES for layout in LAYOUTS]
    for index in range(args.count):
        layout, kind = cells[index % len(cells)]
        rng = random.Random(args.seed * 1_000_003 + index)
        sections, doc = make_document(rng, layout)
        other = make_document(random.Random(args.seed * 7_919 + index), rng.choice(LAYOUTS))
        data, touched, extra = damage(rng, kind, doc.data(), other)
        for section, offsets in zip(sections, doc.positions):
            section["recoverable"] = recoverable(section, offsets, touched)
        truth = {
            "layout": layout,
            "damage": kind,
            "sections": sections,
            "appended_texts": extra,
            "has_section_tag": b"<section " in data.lower(),
        }
        stem = os.path.join(args.out, "%03d" % index)
        with open(stem + ".qlx", "wb") as f:
            f.write(data)
        with open(stem + ".json", "w", encoding="utf-8") as f:
            json.dump(truth, f, ensure_ascii=False)
    return 0


if __name__ == "__main__":
    sys.exit(main())
