#!/usr/bin/env python3
"""Reads the documents generate.py made, both ways, and scores what came back.

    score.py CORPUS_DIR --cli PATH [--markdown FILE] [--jobs N]

For each document and reading: the share of the original text found again, and the share of
what was written that was never there. Characters are counted, not bytes. Each original
section is compared with the output sections of its own name; an output section whose name is
no original name (its name was lost, or the reader made it) goes to the original section it
matches best. What matches is the sum of the matching blocks of difflib's SequenceMatcher.
Written text that matches no original text (nor the texts of an appended document's tail) was
never there; text that is not valid UTF-8 is decoded with replacement characters, so its bytes
count as never there. "Recoverable" is what the damage left untouched (see generate.py): no
reader can be expected to get back more.
"""

import argparse
import difflib
import json
import multiprocessing
import os
import subprocess
import sys
from collections import defaultdict


def run(cli, args):
    result = subprocess.run([cli] + args, capture_output=True)
    return result.returncode, result.stdout


def read_sections(cli, path, thorough):
    """The output sections as (name, text), or None when the document was refused."""
    flags = ["-t"] if thorough else []
    status, listing = run(cli, flags + ["--list", path])
    if status != 0:
        return None
    names = listing.decode("utf-8", "replace").split("\n")[:-1]
    status, export = run(cli, flags + [path])
    export = export.decode("utf-8", "replace")
    sections = []
    at = 0
    for i, name in enumerate(names):
        heading = "Section: " + name + "\n"
        assert export.startswith(heading, at), (path, name)
        start = at + len(heading)
        if i + 1 < len(names):
            end = export.index("\n\nSection: " + names[i + 1] + "\n", start)
        else:
            end = len(export) - 2
        sections.append((name, export[start:end]))
        at = end + 2
    return sections


def matched(a, b):
    if not a or not b:
        return 0
    blocks = difflib.SequenceMatcher(None, a, b, autojunk=False).get_matching_blocks()
    return sum(block.size for block in blocks)


def score(truth, sections):
    originals = {s["name"]: s["text"] for s in truth["sections"]}
    assigned = defaultdict(list)
    for name, text in sections:
        if name in originals:
            assigned[name].append(text)
        elif text:
            best = max(originals, key=lambda o: matched(originals[o], text))
            assigned[best].append(text)
    found = sum(matched(originals[name], "".join(texts)) for name, texts in assigned.items())
    everything = "".join(originals.values()) + "".join(truth["appended_texts"])
    written = sum(len(text) for _, text in sections)
    true_text = sum(min(len(text), matched(everything, text)) for _, text in sections)
    return found, written, written - true_text


def score_document(cli, corpus, stem):
    with open(os.path.join(corpus, stem + ".json"), encoding="utf-8") as f:
        truth = json.load(f)
    path = os.path.join(corpus, stem + ".qlx")
    readings = {}
    for reading, thorough in (("plain", False), ("thorough", True)):
        sections = read_sections(cli, path, thorough)
        readings[reading] = (sections is None,) + score(truth, sections or [])
    return truth, readings


def percent(part, whole):
    return 100.0 * part / whole if whole else 100.0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("corpus")
    parser.add_argument("--cli", required=True)
    parser.add_argument("--markdown")
    parser.add_argument("--jobs", type=int, default=2)
    args = parser.parse_args()

    entries = sorted(e[:-5] for e in os.listdir(args.corpus) if e.endswith(".json"))
    with multiprocessing.Pool(args.jobs) as pool:
        results = pool.starmap(score_document, [(args.cli, args.corpus, e) for e in entries])

    cells = defaultdict(lambda: defaultdict(float))
    layouts, damages = [], []
    for truth, readings in results:
        key = (truth["layout"], truth["damage"])
        for order, name in ((layouts, key[0]), (damages, key[1])):
            if name not in order:
                order.append(name)
        total = sum(len(s["text"]) for s in truth["sections"])
        recoverable = sum(s["recoverable"] for s in truth["sections"])
        for cell in (cells[key], cells[("all", key[1])], cells[(key[0], "all")],
                     cells[("all", "all")]):
            cell["documents"] += 1
            cell["original"] += total
            cell["recoverable"] += recoverable
            for reading, (refused, found, written, invented) in readings.items():
                cell[reading + " found"] += found
                cell[reading + " written"] += written
                cell[reading + " invented"] += invented
                if refused:
                    cell[reading + " refused"] += 1
                    if truth["has_section_tag"]:
                        cell[reading + " refused with a tag"] += 1

    lines = [
        "| layout | damage | documents | plain: found | plain: never there | plain: refused "
        "| thorough: found | thorough: never there | thorough: refused | recoverable |",
        "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|",
    ]

    def row(layout, damage):
        c = cells[(layout, damage)]
        lines.append(
            "| %s | %s | %d | %.1f %% | %.2f %% | %d | %.1f %% | %.3f %% | %d | %.1f %% |" % (
                layout, damage, c["documents"],
                percent(c["plain found"], c["original"]),
                percent(c["plain invented"], c["plain written"]) if c["plain written"] else 0.0,
                c["plain refused"],
                percent(c["thorough found"], c["original"]),
                percent(c["thorough invented"], c["thorough written"])
                if c["thorough written"] else 0.0,
                c["thorough refused"],
                percent(c["recoverable"], c["original"])))

    for damage in damages:
        for layout in layouts:
            row(layout, damage)
    for damage in damages:
        row("all", damage)
    for layout in layouts:
        row(layout, "all")
    row("all", "all")
    total = cells[("all", "all")]
    lines.append("")
    lines.append("Thoroughly read documents refused although they hold a section tag: %d" %
                 total["thorough refused with a tag"])
    table = "\n".join(lines) + "\n"
    sys.stdout.write(table)
    if args.markdown:
        with open(args.markdown, "w", encoding="utf-8") as f:
            f.write(table)
    return 0


if __name__ == "__main__":
    sys.exit(main())
