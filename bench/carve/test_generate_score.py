#!/usr/bin/env python3
"""Checks of the carving images and of the scorer's judgements:
python3 -m unittest discover bench/carve"""

import base64
import hashlib
import json
import os
import random
import shutil
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import generate  # noqa: E402
import score  # noqa: E402

SIZE = 4 << 20


def export(sections):
    return "".join("Section: %s\n%s\n\n" % (name, text) for name, text in sections)


def start_of(document):
    """Where a carver finds the document: its first surviving byte in document order."""
    return document["pieces"][0]["offset"] if document["pieces"] else None


def fake_carve(truth, out_dir, change=None):
    """Writes what a perfect carver writes: each document's surviving text, the later of two
    identical copies marked as a duplicate of the earlier's file. `change` may alter the
    records (a list of [file name, offset, sections]) before they are written."""
    os.makedirs(out_dir, exist_ok=True)
    records, files = [], {}
    for document in sorted(truth["documents"], key=lambda d: start_of(d) or 0):
        sections = [(s["name"], "".join(s["surviving"])) for s in document["sections"]]
        if not any(text for _, text in sections):
            continue
        earlier = [files[i] for i in document["identical_to"] if i in files]
        name = "0x%010x %d.txt" % (start_of(document), document["id"])
        files[document["id"]] = earlier[0] if earlier else name
        records.append([None if earlier else name, start_of(document), sections,
                        earlier[0] if earlier else None])
    if change:
        change(records, truth)
    with open(os.path.join(out_dir, "index.jsonl"), "w", encoding="utf-8") as index:
        for name, offset, sections, duplicate_of in records:
            if name:
                with open(os.path.join(out_dir, name), "w", encoding="utf-8",
                          newline="") as f:
                    f.write(export(sections))
            index.write(json.dumps({"kind": "document", "offset": offset, "length": 1,
                                    "fragments": [], "sections": len(sections),
                                    "first_section": sections[0][0] if sections else "",
                                    "seams": [], "damage": [], "file": name,
                                    "duplicate_of": duplicate_of}) + "\n")
        index.write(json.dumps({"kind": "summary", "source": "image.img",
                                "range": [0, truth["size"]], "bytes_read": truth["size"],
                                "documents": len(records), "duplicates": 0,
                                "unreadable_bytes": 0}) + "\n")


# Changes to the perfect output, as a careless carver makes them.

def records_of(records, truth, placement):
    """Indices of the written records of documents of that placement."""
    ids = {d["id"] for d in truth["documents"] if d["placement"] == placement}
    return [n for n, r in enumerate(records)
            if r[0] and int(r[0].rsplit(" ", 1)[1][:-4]) in ids]


def add_garbage(records, truth):
    text = generate.recall.prose(random.Random(9), 3000, "english")
    records.append(["garbage.txt", None, [("Notes", text)], None])


def add_from_trap(records, truth):
    trap = next(t for t in truth["traps"] if t["kind"] == "plain-sections")
    records.append(["trap.txt", trap["offset"], [("Chapter One", "Plain words. " * 20)], None])


def known_text_at_trap(records, truth):
    trap = next(t for t in truth["traps"] if t["kind"] == "e-mail")
    records.append(["at trap.txt", trap["offset"], records[0][2], None])


def merge_two(records, truth):
    a, b = records_of(records, truth, "contiguous")[:2]
    records[a][2] += records[b][2]
    del records[b]


def split_one(records, truth):
    n = records_of(records, truth, "bifragment")[0]
    name, offset, sections, _ = records[n]
    half = len(sections) // 2
    records[n][2] = sections[:half]
    records.append(["second " + name, offset + 1, sections[half:], None])


def drop_one(records, truth):
    del records[records_of(records, truth, "between-zeros")[0]]


def cut_texts(records, truth):
    n = records_of(records, truth, "contiguous")[0]
    records[n][2] = [(name, text[:len(text) // 2]) for name, text in records[n][2]]


def unmark_duplicates(records, truth):
    for record in records:
        if record[3]:
            record[0] = "copy of " + record[3]
            record[3] = None


class Image:
    """One small image made once for all the tests."""
    directory = None

    @classmethod
    def make(cls):
        if cls.directory is None:
            cls.directory = tempfile.mkdtemp(prefix="carve-test-")
            cls.truth = generate.write_image(os.path.join(cls.directory, "000"), 5, 2, SIZE)
            with open(os.path.join(cls.directory, "000", "image.img"), "rb") as f:
                cls.data = f.read()
        return cls


def tearDownModule():
    if Image.directory:
        shutil.rmtree(Image.directory, ignore_errors=True)


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


class GenerateTest(unittest.TestCase):
    def test_same_seed_same_image(self):
        image = Image.make()
        cases = [((5, 2), True), ((6, 2), False), ((5, 1), False)]
        for (seed, index), same in cases:
            with self.subTest(seed=seed, index=index), tempfile.TemporaryDirectory() as out:
                truth = generate.write_image(out, seed, index, SIZE)
                self.assertEqual(os.path.getsize(os.path.join(out, "image.img")), SIZE)
                self.assertEqual(digest(os.path.join(out, "image.img")) ==
                                 digest(os.path.join(image.directory, "000", "image.img")), same)
                self.assertEqual(truth == image.truth, same)

    def test_every_placement_and_trap(self):
        truth = Image.make().truth
        self.assertEqual({d["placement"] for d in truth["documents"]}, set(generate.PLACEMENTS))
        self.assertEqual({t["kind"] for t in truth["traps"]}, set(generate.TRAPS))

    def test_whole_documents_read_back_from_the_image(self):
        image = Image.make()
        for document in image.truth["documents"]:
            if document["lost"]:
                continue
            with self.subTest(document=document["id"], placement=document["placement"]):
                data = b"".join(image.data[p["offset"]:p["offset"] + p["length"]]
                                for p in document["pieces"])
                self.assertEqual(len(data), document["length"])
                found = generate.recall.sections_of(data)
                self.assertEqual(found, [{"name": s["name"], "text": s["text"]}
                                         for s in document["sections"]])
                self.assertEqual([s["surviving"] for s in document["sections"]],
                                 [[s["text"]] if s["text"] else [] for s in document["sections"]])

    def test_surviving_text_is_what_the_image_holds(self):
        """Surviving text computed again from the image's bytes: a character survives when the
        Base64 groups holding its bytes stand in the image, each character where the document
        put it."""
        image = Image.make()
        damaged = [d for d in image.truth["documents"] if d["lost"]]
        self.assertTrue(any(any(s["surviving"] and s["surviving"] != [s["text"]]
                                for s in d["sections"]) for d in damaged))
        for document in damaged:
            def image_offset(doc_offset):
                for p in document["pieces"]:
                    if p["doc_offset"] <= doc_offset < p["doc_offset"] + p["length"]:
                        return p["offset"] + doc_offset - p["doc_offset"]
                return None

            for section in document["sections"]:
                with self.subTest(document=document["id"], section=section["name"]):
                    encoded = base64.b64encode(section["text"].encode("utf-8"))
                    if not encoded:
                        self.assertEqual(section["surviving"], [])
                        continue
                    start, end = section["body"]
                    wrapped = end - start > len(encoded)
                    good = []
                    for i, c in enumerate(encoded):
                        at = image_offset(start + i + (i // 76 if wrapped else 0))
                        good.append(at is not None and image.data[at] == c)
                    runs, current, byte = [], "", 0
                    for ch in section["text"]:
                        size = len(ch.encode("utf-8"))
                        groups = range(byte // 3, (byte + size - 1) // 3 + 1)
                        if all(all(good[g * 4:g * 4 + 4]) for g in groups):
                            current += ch
                        elif current:
                            runs, current = runs + [current], ""
                        byte += size
                    self.assertEqual(section["surviving"], runs + ([current] if current else []))

    def test_sizes(self):
        cases = [("64M", 64 << 20), ("1G", 1 << 30), ("1GiB", 1 << 30), ("2048k", 2 << 20),
                 ("512K", None), ("1000000", None), ("1M1", None), ("", None)]
        for text, size in cases:
            with self.subTest(text=text):
                if size is None:
                    with self.assertRaises(Exception):
                        generate.parse_size(text)
                else:
                    self.assertEqual(generate.parse_size(text), size)

    def test_traps_and_documents_apart(self):
        image = Image.make()
        truth = image.truth
        starts = {"other-xml": b"<?xml ", "plain-sections": b"<?xml ", "e-mail": b"From: ",
                  "zeros": b"\0" * 64}
        for trap in truth["traps"]:
            if trap["kind"] in starts:
                start = starts[trap["kind"]]
                self.assertEqual(image.data[trap["offset"]:trap["offset"] + len(start)], start)
        spans = [(p["offset"], p["offset"] + p["length"])
                 for d in truth["documents"] for p in d["pieces"]]
        spans += [(t["offset"], t["offset"] + t["length"]) for t in truth["traps"]]
        spans.sort()
        for (_, end), (start, _) in zip(spans, spans[1:]):
            self.assertLessEqual(end, start)


class ScoreTest(unittest.TestCase):
    def test_export_parsed_back(self):
        cases = [
            [("A", "one\r\ntwo"), ("B", ""), ("", "three\n")],
            [("Notes", "x"), ("Notes (2)", "y\n\n")],
            [],
        ]
        for sections in cases:
            with self.subTest(sections=sections):
                self.assertEqual(score.parse_export(export(sections)), sections)
        self.assertEqual(score.parse_export("junk\n\nSection: A\nx\n\n"), [(None, "junk"),
                                                                            ("A", "x")])

    def test_output_problems(self):
        document = {"kind": "document", "offset": 0, "file": "a.txt", "duplicate_of": None}
        summary = {"kind": "summary", "documents": 1}
        cases = [
            # index lines, files written, problems noted
            ([document, summary], ["a.txt"], []),
            (None, ["a.txt"], ["no index.jsonl", "a.txt is in no index entry"]),
            ([document], ["a.txt"], ["index.jsonl does not end with a summary"]),
            ([document, "{", summary], ["a.txt"], ["index.jsonl line 2 is not JSON"]),
            ([document, dict(summary, documents=2)], ["a.txt"],
             ["the summary counts 2 documents, the index holds 1"]),
            ([document, summary], [], ["index names a.txt, which was not written"]),
            ([dict(document, file="b.txt"), summary], ["a.txt", "b.txt"],
             ["a.txt is in no index entry"]),
        ]
        for lines, files, problems in cases:
            with self.subTest(lines=lines, files=files), tempfile.TemporaryDirectory() as out:
                if lines is not None:
                    with open(os.path.join(out, "index.jsonl"), "w", encoding="utf-8") as f:
                        f.writelines((x if isinstance(x, str) else json.dumps(x)) + "\n"
                                     for x in lines)
                for name in files:
                    with open(os.path.join(out, name), "w", encoding="utf-8") as f:
                        f.write("Section: A\ntext\n\n")
                self.assertEqual(score.read_output(out)[2], problems)

    def test_fake_carvers(self):
        truth = Image.make().truth
        # change, then the figures that differ from a perfect carving
        cases = [
            (None, {}),
            (add_garbage, {"false": 1, "never": True}),
            (add_from_trap, {"false": 1, "never": True}),
            (known_text_at_trap, {"false": 1}),
            (merge_two, {"merged": 1, "found": -1, "text": True}),
            (split_one, {"split": 1}),
            (drop_one, {"found": -1, "text": True}),
            (cut_texts, {"text": True}),
            (unmark_duplicates, {"marked": 0}),
        ]
        documents = sum(1 for d in truth["documents"]
                        if any(s["surviving"] for s in d["sections"]))
        pairs = sum(1 for d in truth["documents"] if d["identical_to"]) // 2
        known = score.Truth(truth)
        self.assertGreater(pairs, 0)
        for change, expected in cases:
            with self.subTest(change=change and change.__name__), \
                    tempfile.TemporaryDirectory() as out:
                fake_carve(truth, out, change)
                result = score.score_image(truth, out, known)
                t = score.tally([dict(result, grep=1.0, carve=1.0, peak=1024)])
                f = score.figures(t)
                self.assertEqual(t["documents"], documents)
                self.assertEqual(t["found"], documents + expected.get("found", 0))
                if expected.get("text"):
                    self.assertLess(f["text"], 99.9)
                else:
                    self.assertEqual(f["text"], 100.0)
                self.assertEqual(f["never there"] > 0, expected.get("never", False))
                self.assertEqual(f["false"], expected.get("false", 0))
                self.assertEqual(f["merged"], expected.get("merged", 0))
                self.assertEqual(t["split"], expected.get("split", 0))
                self.assertEqual(t["duplicates"], pairs)
                self.assertEqual(t["duplicates marked"], expected.get("marked", pairs))
                self.assertEqual(t["wrong marks"], 0)
                self.assertEqual(result["problems"], [])

    def test_carver_run_and_timed(self):
        """The whole road: the program run on an image, timed beside grep, and scored."""
        image = Image.make()
        with tempfile.TemporaryDirectory() as work:
            cli = os.path.join(work, "fake-cli")
            with open(cli, "w", encoding="utf-8") as f:
                f.write("#!%s\nimport json, os, sys\nsys.path.insert(0, %r)\n"
                        "import test_generate_score as t\n"
                        "image, out = sys.argv[sys.argv.index('--carve') + 1], "
                        "sys.argv[sys.argv.index('-d') + 1]\n"
                        "truth = json.load(open(os.path.join(os.path.dirname(image), "
                        "'truth.json'), encoding='utf-8'))\n"
                        "t.fake_carve(truth, out)\n" % (sys.executable, HERE))
            os.chmod(cli, 0o755)
            run = score.carve_image(cli, os.path.join(image.directory, "000"), work)
            self.assertIsNone(run["problem"])
            self.assertGreater(run["peak"], 0)
            result = score.score_carving(run)
            text = score.report([result], show_details=True)
            self.assertIn("| documents found | 100.0 % | >= 95 % | yes |", text)
            self.assertIn("No problems.", text)


if __name__ == "__main__":
    unittest.main()
