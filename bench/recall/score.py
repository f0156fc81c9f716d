#!/usr/bin/env python3
"""Reads the documents generate.py made, both ways, and scores what came back.

    score.py CORPUS_DIR --cli PATH [--markdown FILE] [--jobs N] [--kinds K,K...] [--details]

Each document is read with `CLI --json` (and `-t` for the thorough reading), which gives every
output section's exact name and text. For each document and reading:

- found: the share of the original text found again. Characters are counted, not bytes. Each
  original section is compared with the output sections of its name (for a name the document
  holds twice, also "Name (N)", each output going to the section of that name it matches
  best); an output section of no original name (its name was lost, or the reader made it)
  goes to the original section it shares most text with. What matches is the sum of the
  matching blocks of difflib's SequenceMatcher.
- never there: written text that matches no original text, nor a text of the other document
  whose bytes got in (an appended tail, a cross-linked cluster). Text that is not valid UTF-8
  comes with replacement characters, which count as never there.
- not in the damaged file either: the same, but text that bit flips wrote in place (what
  decoding each damaged group where it stands gives, see generate.in_place) counts as there,
  as another file's cluster does: it is in the file, and nothing tells it from the text.
- names: the share of original sections whose name is among the output sections' names (for a
  repeated name, the name or the name followed by " (N)"); and the same share of those whose
  name the damage left whole (its tag and Base64 untouched), which no reader can better.
- mixing: output sections holding at least 16 characters of the original texts and at least
  16 of the other document's texts, in runs of 8 or more, that the other side does not hold.
- less than plain: original sections of which the plain reading found more than the thorough,
  while the thorough reading found less than the section's recoverable characters.
- refused with a tag: documents refused although a section tag stands in them once the
  damage's encoding is undone (generate.py decides that).

"Recoverable" is what the damage left untouched (see generate.py): no reader can be expected
to get back more.
"""

import argparse
import difflib
import json
import multiprocessing
import os
import re
import subprocess
import sys
from collections import defaultdict

import generate

SHINGLE = 8  # characters in a run that tells where a text came from
CANDIDATES = 3  # source texts an output stretch is compared with, the ones it shares most with
CHUNK = 3000  # output characters compared at a time, which bounds each comparison's work
MIXING_RUN = 8  # matching runs shorter than this may be common words, not evidence
MIXING_MIN = 16
NUMBERED = re.compile(r"^(.*) \((\d+)\)$", re.S)
TIMEOUT = 300


def read_sections(cli, path, thorough):
    """(sections as (name, text) pairs, or None when the document was refused; a problem)."""
    flags = ["-t"] if thorough else []
    try:
        result = subprocess.run([cli, "--json"] + flags + [path], capture_output=True,
                                timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        return None, "no answer within %d s" % TIMEOUT
    if result.returncode < 0:
        return None, "crashed (signal %d)" % -result.returncode
    try:
        record = json.loads(result.stdout.decode("utf-8"))
    except ValueError:
        return None, "wrote no JSON record (exit status %d)" % result.returncode
    if record.get("status") != "read":
        return None, None
    return [(s["name"], s.get("text", "")) for s in record["sections"]], None


def shingles(text):
    return {text[i:i + SHINGLE] for i in range(max(0, len(text) - SHINGLE + 1))}


class Sources:
    """Texts an output may have come from, with the runs that tell them apart."""

    def __init__(self, texts):
        self.texts = texts
        self.runs = [shingles(t) for t in texts]

    def candidates(self, text):
        runs = shingles(text)
        shared = [(len(runs & own), i) for i, own in enumerate(self.runs)]
        best = sorted((i for count, i in shared if count), key=lambda i: -shared[i][0])
        # In document order, so that a stretch running from one text into the next matches both.
        return "".join(self.texts[i] for i in sorted(best[:CANDIDATES]))


def blocks(a, b):
    """Matching blocks (a start, b start, size), quick when the two share a start and an end,
    which most output sections do."""
    if not a or not b:
        return []
    head = 0
    limit = min(len(a), len(b))
    while head < limit and a[head] == b[head]:
        head += 1
    tail = 0
    while tail < limit - head and a[-1 - tail] == b[-1 - tail]:
        tail += 1
    found = [(0, 0, head)] if head else []
    middle = difflib.SequenceMatcher(None, a[head:len(a) - tail], b[head:len(b) - tail],
                                     autojunk=False)
    found += [(i + head, j + head, n) for i, j, n in middle.get_matching_blocks() if n]
    if tail:
        found.append((len(a) - tail, len(b) - tail, tail))
    return found


def matched(a, b):
    return sum(n for _, _, n in blocks(a, b))


def coverage(sources, text):
    """Positions of text that match the sources: all of them, and those in long runs."""
    every, long_runs = set(), set()
    for at in range(0, len(text), CHUNK):
        chunk = text[at:at + CHUNK]
        for _, j, n in blocks(sources.candidates(chunk), chunk):
            span = range(at + j, at + j + n)
            every.update(span)
            if n >= MIXING_RUN:
                long_runs.update(span)
    return every, long_runs


def base_name(name, repeated):
    match = NUMBERED.match(name)
    if name not in repeated and match and match.group(1) in repeated:
        return match.group(1)
    return name


def assign(originals, outputs):
    """For each original section, the output texts that are its own."""
    by_name = defaultdict(list)
    for i, (name, _) in enumerate(originals):
        by_name[name].append(i)
    repeated = {name for name, indices in by_name.items() if len(indices) > 1}
    everything = Sources([text for _, text in originals])
    assigned = defaultdict(list)
    for name, text in outputs:
        indices = by_name.get(base_name(name, repeated))
        if indices is None:
            if not text:
                continue
            runs = shingles(text)
            shared = [len(runs & own) for own in everything.runs]
            if not max(shared, default=0):
                continue  # shares no run with any original text: nothing of it was found
            indices = [shared.index(max(shared))]
        best = max(indices, key=lambda i: matched(originals[i][1], text)) \
            if len(indices) > 1 else indices[0]
        assigned[best].append(text)
    return assigned


def names_back(originals, outputs):
    wanted = defaultdict(int)
    for name in originals:
        wanted[name] += 1
    repeated = {name for name, count in wanted.items() if count > 1}
    got = defaultdict(int)
    for name, _ in outputs:
        got[base_name(name, repeated)] += 1
    return sum(min(count, got[name]) for name, count in wanted.items())


def score(truth, outputs):
    originals = [(s["name"], s["text"]) for s in truth["sections"]]
    foreign = truth.get("foreign_texts", truth.get("appended_texts", []))
    assigned = assign(originals, outputs)
    found = [matched(text, "".join(assigned[i])) for i, (_, text) in enumerate(originals)]
    own, other = Sources([text for _, text in originals]), Sources(foreign)
    in_file = Sources([s["in_place"] for s in truth["sections"] if "in_place" in s])
    written = invented = not_in_file = 0
    mixing = []
    for name, text in outputs:
        own_all, own_long = coverage(own, text)
        other_all, other_long = coverage(other, text)
        written += len(text)
        there = own_all | other_all
        invented += len(text) - len(there)
        if in_file.texts:
            there |= coverage(in_file, text)[0]
        not_in_file += len(text) - len(there)
        if len(own_long - other_long) >= MIXING_MIN and len(other_long - own_long) >= MIXING_MIN:
            mixing.append(name)
    return {"found": found, "written": written, "invented": invented,
            "not in file": not_in_file,
            "names": names_back([name for name, _ in originals], outputs),
            "recoverable names": names_back(
                [s["name"] for s in truth["sections"] if s.get("name_recoverable", True)],
                outputs),
            "mixing": mixing}


def score_document(cli, corpus, stem):
    with open(os.path.join(corpus, stem + ".json"), encoding="utf-8") as f:
        truth = json.load(f)
    path = os.path.join(corpus, stem + ".qlx")
    with open(path, "rb") as f:
        # Looked for again, so that a corpus made before a kind's encoding was known is judged
        # the same way.
        truth["has_section_tag"] = generate.has_section_tag(truth["damage"], f.read())
    readings = {}
    for reading, thorough in (("plain", False), ("thorough", True)):
        sections, problem = read_sections(cli, path, thorough)
        readings[reading] = score(truth, sections or [])
        readings[reading]["refused"] = sections is None
        readings[reading]["problem"] = problem
    return stem, truth, readings


def percent(part, whole):
    return 100.0 * part / whole if whole else 100.0


def less_than_plain(truth, readings):
    """Sections the plain reading found more of, where the thorough one missed recoverable text.
    (The plain reading may get a character or two out of a damaged group by luck; the thorough
    one drops such groups rather than guess, and is not faulted for that.)"""
    return [s["name"] for s, plain, thorough in zip(truth["sections"], readings["plain"]["found"],
                                                   readings["thorough"]["found"])
            if thorough < plain and thorough < s["recoverable"]]


def tally(cells, truth, readings):
    key = (truth["layout"], truth["damage"])
    sections = truth["sections"]
    for cell in (cells[key], cells[("all", key[1])], cells[(key[0], "all")], cells[("all", "all")]):
        cell["documents"] += 1
        cell["sections"] += len(sections)
        cell["names left whole"] += sum(1 for s in sections if s.get("name_recoverable", True))
        cell["original"] += sum(len(s["text"]) for s in sections)
        cell["recoverable"] += sum(s["recoverable"] for s in sections)
        cell["undetectable"] += sum(s.get("undetectable", 0) for s in sections)
        cell["less than plain"] += len(less_than_plain(truth, readings))
        for reading, r in readings.items():
            cell[reading + " found"] += sum(r["found"])
            cell[reading + " written"] += r["written"]
            cell[reading + " invented"] += r["invented"]
            cell[reading + " not in file"] += r["not in file"]
            cell[reading + " names"] += r["names"]
            cell[reading + " recoverable names"] += r["recoverable names"]
            cell[reading + " mixing"] += len(r["mixing"])
            if r["refused"]:
                cell[reading + " refused"] += 1
                if truth["has_section_tag"]:
                    cell[reading + " refused with a tag"] += 1


RECALL_COLUMNS = [
    ("documents", "%d", lambda c: c["documents"]),
    ("plain: found", "%.1f %%", lambda c: percent(c["plain found"], c["original"])),
    ("plain: never there", "%.2f %%",
     lambda c: percent(c["plain invented"], c["plain written"]) if c["plain written"] else 0.0),
    ("plain: refused", "%d", lambda c: c["plain refused"]),
    ("thorough: found", "%.1f %%", lambda c: percent(c["thorough found"], c["original"])),
    ("thorough: never there", "%.3f %%",
     lambda c: percent(c["thorough invented"], c["thorough written"])
     if c["thorough written"] else 0.0),
    # Of what the thorough reading wrote: characters bit flips turned into other text in place.
    ("never there, no reader can tell", "%.3f %%",
     lambda c: percent(c["undetectable"], c["thorough written"]) if c["thorough written"] else 0.0),
    # Of what the thorough reading wrote: text neither written nor in the damaged file.
    ("thorough: not in the damaged file either", "%.3f %%",
     lambda c: percent(c["thorough not in file"], c["thorough written"])
     if c["thorough written"] else 0.0),
    ("thorough: refused", "%d", lambda c: c["thorough refused"]),
    ("recoverable", "%.1f %%", lambda c: percent(c["recoverable"], c["original"])),
]
CHECK_COLUMNS = [
    ("documents", "%d", lambda c: c["documents"]),
    ("plain: names", "%.1f %%", lambda c: percent(c["plain names"], c["sections"])),
    ("thorough: names", "%.1f %%", lambda c: percent(c["thorough names"], c["sections"])),
    ("thorough: names of those left whole", "%.1f %%",
     lambda c: percent(c["thorough recoverable names"], c["names left whole"])),
    ("plain: mixing", "%d", lambda c: c["plain mixing"]),
    ("thorough: mixing", "%d", lambda c: c["thorough mixing"]),
    ("thorough < plain", "%d", lambda c: c["less than plain"]),
    ("plain: refused with a tag", "%d", lambda c: c["plain refused with a tag"]),
    ("thorough: refused with a tag", "%d", lambda c: c["thorough refused with a tag"]),
]


def table(cells, columns, layouts, damages):
    lines = ["| layout | damage | " + " | ".join(title for title, _, _ in columns) + " |",
             "|---|---|" + "---:|" * len(columns)]
    rows = [(layout, damage) for damage in damages for layout in layouts]
    rows += [("all", damage) for damage in damages] + [(layout, "all") for layout in layouts]
    for layout, damage in rows + [("all", "all")]:
        c = cells[(layout, damage)]
        lines.append("| %s | %s | " % (layout, damage) +
                     " | ".join(form % value(c) for _, form, value in columns) + " |")
    return "\n".join(lines) + "\n"


def quoted(name):
    return json.dumps(name, ensure_ascii=False)


def problems(stem, truth, readings):
    """What a developer should look at in one document, one line each: the thorough reading's
    faults (the plain one keeps its old behaviour on purpose), and a reading that failed."""
    notes = ["%s reading %s" % (reading, r["problem"])
             for reading, r in readings.items() if r["problem"]]
    thorough = readings["thorough"]
    if thorough["mixing"]:
        notes.append("thorough reading mixes two documents in %s" % (
            ", ".join(map(quoted, thorough["mixing"]))))
    if thorough["refused"] and truth["has_section_tag"]:
        notes.append("thorough reading refused it although it holds a section tag")
    weaker = less_than_plain(truth, readings)
    if weaker:
        notes.append("thorough reading found less than the plain one in %s" % (
            ", ".join(map(quoted, weaker))))
    total = sum(len(s["text"]) for s in truth["sections"])
    found = percent(sum(readings["thorough"]["found"]), total)
    bound = percent(sum(s["recoverable"] for s in truth["sections"]), total)
    if found < bound - 1.0:
        notes.append("thorough reading found %.1f %% of %.1f %% recoverable" % (found, bound))
    return ["%s (%s, %s): %s" % (stem, truth["layout"], truth["damage"], note) for note in notes]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("corpus")
    parser.add_argument("--cli", required=True)
    parser.add_argument("--markdown")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--kinds", type=generate.parse_kinds,
                        help="comma-separated damage kinds: score only their documents")
    parser.add_argument("--details", action="store_true",
                        help="also list, per document, what went wrong")
    args = parser.parse_args()

    kinds = set(args.kinds) if args.kinds else None
    entries = []
    for entry in sorted(e[:-5] for e in os.listdir(args.corpus) if e.endswith(".json")):
        with open(os.path.join(args.corpus, entry + ".json"), encoding="utf-8") as f:
            if kinds is None or json.load(f)["damage"] in kinds:
                entries.append(entry)
    with multiprocessing.Pool(args.jobs) as pool:
        results = pool.starmap(score_document, [(args.cli, args.corpus, e) for e in entries],
                               chunksize=1)

    cells = defaultdict(lambda: defaultdict(float))
    layouts, damages = [], []
    details = []
    for stem, truth, readings in results:
        for order, name in ((layouts, truth["layout"]), (damages, truth["damage"])):
            if name not in order:
                order.append(name)
        tally(cells, truth, readings)
        details += problems(stem, truth, readings)

    total = cells[("all", "all")]
    output = (table(cells, RECALL_COLUMNS, layouts, damages) + "\n" +
              table(cells, CHECK_COLUMNS, layouts, damages) + "\n" +
              "Thoroughly read documents refused although they hold a section tag: %d\n" %
              total["thorough refused with a tag"])
    sys.stdout.write(output)
    if args.details:
        sys.stdout.write("\n" + "\n".join(details) + ("\n" if details else "No problems.\n"))
    if args.markdown:
        with open(args.markdown, "w", encoding="utf-8") as f:
            f.write(output)
    return 0


if __name__ == "__main__":
    sys.exit(main())
