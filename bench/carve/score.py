#!/usr/bin/env python3
"""Carves the images generate.py made and scores what came out against their truth.

    score.py IMAGE_DIR --cli PATH [--jobs N] [--markdown FILE] [--details]

For each image (IMAGE_DIR/NNN/image.img beside its truth.json) the image is read once so that
it stands in the page cache, then `grep -c Section IMAGE` is timed (the faster of two runs),
then `CLI --carve IMAGE -d DIR` (its wall time, the faster of two runs as well, and peak
resident memory; the first run's output is scored). The carvings run one
after the other so that their timings do not disturb each other; --jobs scores them in
parallel afterwards.

What came out is judged by text, not by name. Output and truth texts are compared in runs of
RUN characters (a run standing in both says that text came from there; shorter runs may be
chance, as the documents share one small vocabulary):

- each output file is read back section by section; the texts it holds are compared with the
  documents' texts. The output belongs to the document it holds most text of (identical copies
  are told apart by the offset the index gives). An output holding less than HELD characters of
  any document, or whose index offset lies in a trap and in no document, is a false document.
- merged: an output holding at least HELD characters of each of two documents that the other
  does not hold (so a copy and its original, which share their text, are not merged).
- found: a document with surviving text (see generate.py) that has an output of its own, or
  that the index marks as a duplicate of a file holding its text.
- text got back: the characters of the documents' surviving text that stand in their outputs.
- text never there: characters of output section texts that stand in no document's text, as a
  share of all characters written in section texts (headings and names are not counted). A
  stretch shorter than a run between matched runs counts as there when it stands whole in a
  document's text (the end of a text that a gap cut short).
- split: a document whose text is spread over several outputs, each holding at least HELD
  characters of its surviving text that the others do not hold.
- duplicates marked: of the identical copies, those whose index entry names the other copy's
  file in duplicate_of. A duplicate_of that points at a file with other text is marked wrongly.
"""

import argparse
import json
import multiprocessing
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
from collections import defaultdict
from functools import lru_cache

import generate

RUN = 32  # characters in a run that ties an output's text to a document's
SAMPLE = 16  # one run in this many (by hash) finds the candidate documents
HELD = 64  # characters of a document an output must hold to count as holding it
CANDIDATES = 8
HEADING = re.compile(r"(?:^|\n\n)Section: ([^\n]*)\n")
GOALS = {"found": 95.0, "text": 90.0, "never there": 0.1, "false": 0, "merged": 0,
         "speed": 1.5, "memory": 256}


# --- Reading a carver's output ---------------------------------------------------------------

def parse_export(content):
    """(name, text) pairs of an exported file: "Section: NAME", EOL, the text, EOL, EOL per
    section. Text before the first heading comes back under the name None."""
    sections = []
    matches = list(HEADING.finditer(content))
    if not matches or matches[0].start() > 0:
        head = content[:matches[0].start()] if matches else content
        if head:
            sections.append((None, head))
    for i, match in enumerate(matches):
        end = matches[i + 1].start() if i + 1 < len(matches) else len(content)
        text = content[match.end():end]
        if i + 1 == len(matches) and text.endswith("\n\n"):
            text = text[:-2]
        sections.append((match.group(1), text))
    return sections


def read_output(directory):
    """(outputs, index entries, problems) of a carver's output directory. Each output is a dict:
    file, sections, entry (its index record or None)."""
    problems = []
    entries = []
    index_path = os.path.join(directory, "index.jsonl")
    if os.path.exists(index_path):
        with open(index_path, encoding="utf-8", errors="replace") as f:
            for number, line in enumerate(f, 1):
                if not line.strip():
                    continue
                try:
                    entries.append(json.loads(line))
                except ValueError:
                    problems.append("index.jsonl line %d is not JSON" % number)
        if not entries or entries[-1].get("kind") != "summary":
            problems.append("index.jsonl does not end with a summary")
        else:
            documents = sum(1 for e in entries if e.get("kind") == "document")
            if entries[-1].get("documents") != documents:
                problems.append("the summary counts %s documents, the index holds %d" % (
                    entries[-1].get("documents"), documents))
    else:
        problems.append("no index.jsonl")
    by_file = {}
    for entry in entries:
        if entry.get("kind") == "document" and entry.get("file") and not entry.get("duplicate_of"):
            by_file.setdefault(entry["file"], entry)
    outputs = []
    for name in sorted(os.listdir(directory)):
        path = os.path.join(directory, name)
        if name == "index.jsonl" or not os.path.isfile(path):
            continue
        with open(path, "rb") as f:
            content = f.read().decode("utf-8", "replace")
        entry = by_file.get(name)
        if entry is None:
            problems.append("%s is in no index entry" % name)
        outputs.append({"file": name, "sections": parse_export(content), "entry": entry})
    listed = {o["file"] for o in outputs}
    for name in by_file:
        if name not in listed:
            problems.append("index names %s, which was not written" % name)
    return outputs, entries, problems


# --- Runs of text ----------------------------------------------------------------------------

def runs(text):
    return {text[i:i + RUN] for i in range(len(text) - RUN + 1)}


def sampled(text):
    for i in range(len(text) - RUN + 1):
        h = hash(text[i:i + RUN])
        if h % SAMPLE == 0:
            yield h


def covered(text, known, whole_texts=()):
    """Intervals of text standing in runs of `known`; a text shorter than a run counts when it
    stands whole in one of whole_texts."""
    if len(text) < RUN:
        return [(0, len(text))] if text and any(text in t for t in whole_texts) else []
    intervals = []
    for i in range(len(text) - RUN + 1):
        if text[i:i + RUN] in known:
            if intervals and intervals[-1][1] >= i:
                intervals[-1] = (intervals[-1][0], i + RUN)
            else:
                intervals.append((i, i + RUN))
    return intervals


def length(intervals):
    return sum(b - a for a, b in intervals)


def union(*lists):
    merged = []
    for a, b in sorted(x for intervals in lists for x in intervals):
        if merged and a <= merged[-1][1]:
            merged[-1] = (merged[-1][0], max(merged[-1][1], b))
        else:
            merged.append((a, b))
    return merged


def minus(intervals, others):
    """Characters of intervals that others do not cover."""
    return length(union(intervals, others)) - length(union(others))


# --- Judging one image ---------------------------------------------------------------------

class Truth:
    def __init__(self, truth):
        self.documents = truth["documents"]
        self.by_id = {d["id"]: d for d in self.documents}
        self.traps = truth["traps"]
        self.sample_index = defaultdict(set)
        for document in self.documents:
            for section in document["sections"]:
                for h in sampled(section["text"]):
                    self.sample_index[h].add(document["id"])
        self.texts = lru_cache(maxsize=64)(self._texts)
        self.groups = {d["id"]: {d["id"], *d["identical_to"]} for d in self.documents}

    def _texts(self, ident):
        texts = [s["text"] for s in self.by_id[ident]["sections"]]
        known = set()
        for text in texts:
            known |= runs(text)
        return known, texts

    def candidates(self, sections):
        """The documents an output's sections share most sampled runs with; for an output of
        texts too short for a run, those holding one of its texts."""
        hits = defaultdict(int)
        for _, text in sections:
            for h in sampled(text):
                for ident in self.sample_index.get(h, ()):
                    hits[ident] += 1
        if not hits:
            short = [text for _, text in sections if 0 < len(text) < RUN]
            for d in self.documents:
                if any(text in s["text"] for text in short for s in d["sections"]):
                    hits[d["id"]] = 1
        return sorted(hits, key=lambda i: (-hits[i], i))[:CANDIDATES]

    def holding(self, offset):
        """Documents with a piece holding that image offset, and the trap holding it."""
        if offset is None:
            return [], None
        held = [d["id"] for d in self.documents
                if any(p["offset"] <= offset < p["offset"] + p["length"] for p in d["pieces"])]
        trap = next((t for t in self.traps if t["offset"] <= offset < t["offset"] + t["length"]),
                    None)
        return held, trap


def short_stretches(text, intervals, texts):
    """Stretches between the intervals, shorter than a run, that stand whole in one of texts:
    the end of a text cut short by a gap is there even when no whole run holds it."""
    found, at = [], 0
    for a, b in intervals + [(len(text), len(text))]:
        if 0 < a - at < RUN and any(text[at:a] in t for t in texts):
            found.append((at, a))
        at = b
    return found


def entry_offset(entry):
    offset = entry.get("offset") if entry else None
    return offset if isinstance(offset, int) else None


def judge_output(truth, output):
    """What an output holds: the characters written and never there, the document it belongs
    to (None when it is false), the trap it came from, and the other documents it merges
    with its own."""
    sections = output["sections"]
    coverage = {}
    for ident in truth.candidates(sections):
        known, texts = truth.texts(ident)
        coverage[ident] = [covered(text, known, texts) for _, text in sections]
    written = sum(len(text) for _, text in sections)
    every = [union(*(coverage[i][n] for i in coverage)) for n in range(len(sections))]
    known_texts = [t for i in coverage for t in truth.texts(i)[1]]
    for n, (_, text) in enumerate(sections):
        every[n] = union(every[n], short_stretches(text, every[n], known_texts))
    held = {i: sum(length(c) for c in cover) for i, cover in coverage.items()}
    offset = entry_offset(output["entry"])
    at_documents, trap = truth.holding(offset)
    result = {"file": output["file"], "written": written, "never there":
              written - sum(length(c) for c in every), "owner": None, "merged": [],
              "trap": trap["kind"] if trap and not at_documents else None}
    holders = [i for i in held if held[i] >= min(HELD, max(1, written // 2))]
    if holders and not result["trap"]:
        best = max(held[i] for i in holders)
        tied = [i for i in holders if held[i] == best]
        result["owner"] = next((i for i in tied if i in at_documents), min(tied))
    elif not written and at_documents and not result["trap"]:
        result["owner"] = at_documents[0]  # a document with no text, where one stands
    owner = result["owner"]
    for other in holders:
        if owner is not None and other != owner and all(
                sum(minus(coverage[x][n], coverage[y][n]) for n in range(len(sections))) >= HELD
                for x, y in ((owner, other), (other, owner))):
            result["merged"].append(other)
    return result


def got_back(document, texts):
    """Per output text list: covered intervals of each surviving run of the document."""
    known = set()
    for text in texts:
        known |= runs(text)
    return [covered(run, known, texts) for section in document["sections"]
            for run in section["surviving"]]


def score_image(truth_data, output_dir, truth=None):
    """The judgement of one carving; truth, when given, is Truth(truth_data) made before."""
    truth = truth or Truth(truth_data)
    outputs, entries, problems = read_output(output_dir)
    judged = [judge_output(truth, output) for output in outputs]
    owner_of_file = {j["file"]: j["owner"] for j in judged}
    texts_of_file = {o["file"]: [text for _, text in o["sections"]] for o in outputs}
    claims = defaultdict(list)  # document id -> files whose text counts for it
    for j in judged:
        if j["owner"] is not None:
            claims[j["owner"]].append(j["file"])
    marked, wrong_marks = set(), []
    for entry in entries:
        if entry.get("kind") != "document" or not entry.get("duplicate_of"):
            continue
        original = owner_of_file.get(entry["duplicate_of"])
        at_documents, _ = truth.holding(entry_offset(entry))
        copies = [i for i in at_documents
                  if original is not None and i != original and i in truth.groups[original]]
        if copies:
            marked.add(copies[0])
            claims[copies[0]].append(entry["duplicate_of"])
        else:
            wrong_marks.append(entry)

    documents = []
    for document in truth.documents:
        surviving = sum(len(r) for s in document["sections"] for r in s["surviving"])
        files = claims.get(document["id"], [])
        per_file = [got_back(document, texts_of_file[f]) for f in files]
        together = [union(*pieces) for pieces in zip(*per_file)] if per_file else []
        exclusive = []
        for n, mine in enumerate(per_file):
            others = [union(*(per_file[m][k] for m in range(len(per_file)) if m != n))
                      for k in range(len(mine))]
            exclusive.append(sum(minus(a, b) for a, b in zip(mine, others)))
        documents.append({
            "id": document["id"], "placement": document["placement"],
            "surviving": surviving, "found": bool(files) and surviving > 0,
            "got back": sum(length(c) for c in together),
            "split": len([e for e in exclusive if e >= HELD]) > 1,
            "files": files, "duplicate": bool(document["identical_to"]),
        })
    # Each pair of identical copies is one duplicate to mark.
    pairs = {tuple(sorted(truth.groups[d["id"]])) for d in truth.documents if d["identical_to"]}
    return {
        "documents": documents,
        "outputs": judged,
        "duplicates": len(pairs),
        "duplicates marked": sum(1 for pair in pairs if marked & set(pair)),
        "wrong marks": len(wrong_marks),
        "problems": problems,
    }


# --- Running the carver ----------------------------------------------------------------------

def warm(path):
    with open(path, "rb") as f:
        while f.read(16 << 20):
            pass


def time_grep(path):
    best = None
    for _ in range(2):
        start = time.perf_counter()
        # Into a pipe: with its output going to /dev/null, grep stops at the first match.
        subprocess.run(["grep", "-c", "Section", path], stdout=subprocess.PIPE,
                       stderr=subprocess.DEVNULL)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    return best


GNU_TIME = "/usr/bin/time"


def run_carver(cli, image, out_dir, timeout):
    """(seconds, peak resident KiB, problem or None) of one carving.

    The peak comes from GNU time where it is installed: a child's peak as wait4 gives it
    includes what the process was before it started the program, here this scorer's size."""
    command = [cli, "--carve", image, "-d", out_dir]
    with tempfile.TemporaryFile() as errors, tempfile.NamedTemporaryFile("r") as peak_file:
        timed = os.access(GNU_TIME, os.X_OK)
        if timed:
            command = [GNU_TIME, "-f", "%M", "-o", peak_file.name] + command
        start = time.perf_counter()
        process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=errors,
                                   start_new_session=True)
        timer = threading.Timer(timeout, os.killpg, (process.pid, 9))
        timer.start()
        try:
            _, status, usage = os.wait4(process.pid, 0)
        finally:
            timer.cancel()
        elapsed = time.perf_counter() - start
        process.returncode = os.waitstatus_to_exitcode(status)
        errors.seek(0)
        message = errors.read().decode("utf-8", "replace").strip().splitlines()
        peak = usage.ru_maxrss
        if timed:
            lines = peak_file.read().split()
            peak = int(lines[-1]) if lines and lines[-1].isdigit() else 0
            if lines[:1] == ["Command"] and "signal" in lines:
                process.returncode = -int(lines[lines.index("signal") + 1])
    problem = None
    if process.returncode < 0:
        problem = "killed by signal %d%s" % (-process.returncode,
                                             " (no end within %d s)" % timeout
                                             if elapsed >= timeout else "")
    elif process.returncode:
        problem = "exit status %d%s" % (process.returncode,
                                       ": " + message[-1] if message else "")
    return elapsed, peak, problem


def carve_image(cli, image_dir, work):
    image = os.path.join(image_dir, "image.img")
    out_dir = os.path.join(work, os.path.basename(os.path.normpath(image_dir)))
    os.makedirs(out_dir)
    warm(image)
    grep = time_grep(image)
    timeout = 120 + os.path.getsize(image) // (4 << 20)
    seconds, peak, problem = run_carver(cli, image, out_dir, timeout)
    if problem is None:
        # Timed like grep, the faster of two runs: the flush of what the first wrote to the
        # disk (and of anything else waiting to be written there) weighs on one run alone.
        again = out_dir + ".again"
        os.makedirs(again)
        more_seconds, more_peak, problem = run_carver(cli, image, again, timeout)
        seconds, peak = min(seconds, more_seconds), max(peak, more_peak)
    return {"image": image_dir, "out": out_dir, "grep": grep, "carve": seconds,
            "peak": peak, "problem": problem}


def score_carving(run):
    with open(os.path.join(run["image"], "truth.json"), encoding="utf-8") as f:
        truth = json.load(f)
    result = score_image(truth, run["out"])
    result.update(run, background=truth["background"], size=truth["size"])
    return result


# --- Tables ----------------------------------------------------------------------------------

def percent(part, whole):
    return 100.0 * part / whole if whole else 100.0


def tally(results):
    """Sums over images: the figures the tables show."""
    t = defaultdict(float)
    for r in results:
        t["images"] += 1
        t["grep"] += r.get("grep") or 0.0
        t["carve"] += r.get("carve") or 0.0
        t["peak"] = max(t["peak"], r.get("peak") or 0)
        t["failed"] += 1 if r.get("problem") else 0
        t["duplicates"] += r["duplicates"]
        t["duplicates marked"] += r["duplicates marked"]
        t["wrong marks"] += r["wrong marks"]
        add_documents(t, r["documents"])
        for o in r["outputs"]:
            t["written"] += o["written"]
            t["never there"] += o["never there"]
            t["false"] += o["owner"] is None
            t["merged"] += bool(o["merged"])
    return t


def add_documents(t, documents):
    for d in documents:
        if d["surviving"]:
            t["documents"] += 1
            t["found"] += d["found"]
            t["surviving"] += d["surviving"]
            t["got back"] += d["got back"]
        t["split"] += d["split"]


def figures(t):
    return {
        "found": percent(t["found"], t["documents"]),
        "text": percent(t["got back"], t["surviving"]),
        "never there": percent(t["never there"], t["written"]) if t["written"] else 0.0,
        "false": int(t["false"]),
        "merged": int(t["merged"]),
        "speed": t["carve"] / t["grep"] if t["grep"] else float("inf"),
        "memory": t["peak"] / 1024.0,
    }


GOAL_ROWS = [
    ("documents found", "found", "%.1f %%", ">= %.0f %%", False),
    ("surviving text got back", "text", "%.1f %%", ">= %.0f %%", False),
    ("text never there", "never there", "%.3f %%", "<= %.1f %%", True),
    ("false documents", "false", "%d", "%d", True),
    ("merged outputs", "merged", "%d", "%d", True),
    ("carve time / grep -c time", "speed", "%.2f x", "<= %.1f x", True),
    ("peak memory of a carve", "memory", "%.0f MiB", "<= %d MiB", True),
]


def goals_table(t):
    f = figures(t)
    lines = ["| measure | figure | goal | met |", "|---|---:|---:|---|"]
    for title, key, form, goal_form, at_most in GOAL_ROWS:
        met = f[key] <= GOALS[key] if at_most else f[key] >= GOALS[key]
        lines.append("| %s | %s | %s | %s |" % (title, form % f[key], goal_form % GOALS[key],
                                                "yes" if met else "**no**"))
    return "\n".join(lines) + "\n"


IMAGE_COLUMNS = [
    ("documents", lambda t, f: "%d" % t["documents"]),
    ("found", lambda t, f: "%.1f %%" % f["found"]),
    ("text back", lambda t, f: "%.1f %%" % f["text"]),
    ("never there", lambda t, f: "%.3f %%" % f["never there"]),
    ("false", lambda t, f: "%d" % f["false"]),
    ("split", lambda t, f: "%d" % t["split"]),
    ("merged", lambda t, f: "%d" % f["merged"]),
    ("duplicates marked", lambda t, f: "%d of %d" % (t["duplicates marked"], t["duplicates"])),
    ("marked wrongly", lambda t, f: "%d" % t["wrong marks"]),
    ("carve s", lambda t, f: "%.2f" % t["carve"]),
    ("grep -c s", lambda t, f: "%.2f" % t["grep"]),
    ("ratio", lambda t, f: "%.2f" % f["speed"]),
    ("peak MiB", lambda t, f: "%.0f" % f["memory"]),
    ("carver failed", lambda t, f: "%d" % t["failed"]),
]


def image_table(results):
    lines = ["| image | kind | " + " | ".join(c for c, _ in IMAGE_COLUMNS) + " |",
             "|---|---|" + "---:|" * len(IMAGE_COLUMNS)]
    rows = [(os.path.basename(os.path.normpath(r["image"])), r["background"], [r])
            for r in results]
    kinds = sorted({r["background"] for r in results}, key=generate.BACKGROUNDS.index)
    rows += [("all", kind, [r for r in results if r["background"] == kind]) for kind in kinds]
    rows.append(("all", "all", results))
    for name, kind, group in rows:
        t = tally(group)
        f = figures(t)
        lines.append("| %s | %s | " % (name, kind) +
                     " | ".join(value(t, f) for _, value in IMAGE_COLUMNS) + " |")
    return "\n".join(lines) + "\n"


def placement_table(results):
    lines = ["| placement | documents | found | text back | split |", "|---|---:|---:|---:|---:|"]
    for placement in generate.PLACEMENTS + ["all"]:
        t = defaultdict(float)
        add_documents(t, [d for r in results for d in r["documents"]
                          if placement in (d["placement"], "all")])
        lines.append("| %s | %d | %.1f %% | %.1f %% | %d |" % (
            placement, t["documents"], percent(t["found"], t["documents"]),
            percent(t["got back"], t["surviving"]), t["split"]))
    return "\n".join(lines) + "\n"


def details(result):
    name = os.path.basename(os.path.normpath(result["image"]))
    notes = ["carver: " + result["problem"]] if result.get("problem") else []
    notes += result["problems"]
    for d in result["documents"]:
        if d["surviving"] and not d["found"]:
            notes.append("document %d (%s, %d characters surviving) not found" % (
                d["id"], d["placement"], d["surviving"]))
        elif d["found"] and d["got back"] < d["surviving"]:
            notes.append("document %d (%s): %d of %d surviving characters got back" % (
                d["id"], d["placement"], d["got back"], d["surviving"]))
        if d["split"]:
            notes.append("document %d (%s) split over %s" % (d["id"], d["placement"],
                                                            ", ".join(d["files"])))
    for o in result["outputs"]:
        if o["owner"] is None:
            notes.append("%s is a false document%s" % (
                o["file"], " (from a trap: %s)" % o["trap"] if o["trap"] else ""))
        for other in o["merged"]:
            notes.append("%s holds document %d and document %d" % (o["file"], o["owner"], other))
        if o["never there"]:
            notes.append("%s: %d of %d characters never there" % (
                o["file"], o["never there"], o["written"]))
    return ["%s: %s" % (name, note) for note in notes]


def report(results, show_details=False):
    total = tally(results)
    failed = ("\nThe carver failed on %d of %d images: its figures there are of what it left.\n"
              % (total["failed"], total["images"]) if total["failed"] else "")
    text = ("Goals (all images)\n\n" + goals_table(total) + failed + "\nBy image and kind\n\n" +
            image_table(results) + "\nBy placement of the document\n\n" +
            placement_table(results))
    if show_details:
        notes = [n for r in results for n in details(r)]
        text += "\nDetails\n\n" + ("\n".join(notes) + "\n" if notes else "No problems.\n")
    return text


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("images")
    parser.add_argument("--cli", required=True)
    parser.add_argument("--jobs", type=int, default=2, help="images scored at a time")
    parser.add_argument("--markdown")
    parser.add_argument("--details", action="store_true",
                        help="also list, per image, what went wrong")
    args = parser.parse_args()
    image_dirs = sorted(os.path.join(args.images, entry) for entry in os.listdir(args.images)
                        if os.path.exists(os.path.join(args.images, entry, "truth.json")))
    if not image_dirs:
        sys.stderr.write("no images in %s\n" % args.images)
        return 1
    work = tempfile.mkdtemp(prefix="carve-score-")
    try:
        runs_done = []
        for image_dir in image_dirs:
            runs_done.append(carve_image(args.cli, image_dir, work))
            sys.stderr.write("carved %s in %.2f s\n" % (image_dir, runs_done[-1]["carve"]))
        with multiprocessing.Pool(max(1, args.jobs)) as pool:
            results = pool.map(score_carving, runs_done, chunksize=1)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    text = report(results, args.details)
    sys.stdout.write(text)
    if args.markdown:
        with open(args.markdown, "w", encoding="utf-8") as f:
            f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
