#!/usr/bin/env python3
"""Checks of the recall scorer's judgements: python3 -m unittest discover bench/recall"""

import random
import unittest

import generate
import score


def text(seed, language="english", size=900):
    return generate.prose(random.Random(seed), size, language)


A, B, C = text(1), text(2, "cyrillic"), text(3, "cjk")
FOREIGN = text(4)  # same words as A: only where its runs stand tells them apart
TRUTH = {"sections": [{"name": "Notes", "text": A}, {"name": "Notes", "text": B},
                      {"name": "第一章", "text": C}], "foreign_texts": [FOREIGN]}


class MatchTest(unittest.TestCase):
    def test_matched(self):
        changed = A[:300] + "#" + A[301:]
        cases = [(A, A, len(A)), (A, "", 0), ("", A, 0), (A, changed, len(A) - 1),
                 (A, A[100:700], 600), (A + B, B, len(B))]
        for a, b, expected in cases:
            with self.subTest(a=a[:20], b=b[:20]):
                self.assertEqual(score.matched(a, b), expected)


class ScoreTest(unittest.TestCase):
    def test_readings(self):
        garbage = "\ufffd" * 50
        cases = [
            # outputs, names got back, found per section, characters never there, mixing
            ([("Notes", A), ("Notes (2)", B), ("第一章", C)], 3, [len(A), len(B), len(C)], 0, []),
            ([("Notes", B)], 1, [0, len(B), 0], 0, []),
            ([("Notes (2)", A)], 1, [len(A), 0, 0], 0, []),  # by its name, matched by its text
            ([("[text without a section, line 4]", C)], 0, [0, 0, len(C)], 0, []),
            ([("第一章 (2)", C)], 0, [0, 0, len(C)], 0, []),
            ([("Notes", A[:500] + garbage)], 1, [500, 0, 0], 50, []),
            ([("Notes", A[:500] + FOREIGN[:500])], 1, None, None, ["Notes"]),
            ([("Notes", FOREIGN)], 1, None, 0, []),
        ]
        for outputs, names, found, invented, mixing in cases:
            with self.subTest(outputs=[name for name, _ in outputs]):
                result = score.score(TRUTH, outputs)
                self.assertEqual(result["names"], names)
                if found is not None:
                    self.assertEqual(result["found"], found)
                if invented is not None:
                    self.assertEqual(result["invented"], invented)
                self.assertEqual(result["mixing"], mixing)

    def test_less_than_plain(self):
        plain = score.score(TRUTH, [("Notes", B), ("第一章", C)])
        thorough = score.score(TRUTH, [("Notes", A), ("Notes (2)", B), ("第一章", C[:100])])
        readings = {"plain": plain, "thorough": thorough}
        cases = [(len(C), ["第一章"]),
                 (100, [])]  # the plain reading's extra characters were not recoverable
        for recoverable, expected in cases:
            truth = {"sections": [dict(s, recoverable=len(s["text"]))
                                  for s in TRUTH["sections"]]}
            truth["sections"][2]["recoverable"] = recoverable
            with self.subTest(recoverable=recoverable):
                self.assertEqual(score.less_than_plain(truth, readings), expected)


class FlippedInPlaceTest(unittest.TestCase):
    """What a flipped bit turns into where it stands: the characters of other text it makes,
    and the text that decoding every group in place gives."""

    def test_flipped_in_place(self):
        section = {"text": "garden café"}
        encoded = generate.b64(section["text"]).encode("ascii")  # Z2FyZGVuIGNhZsOp
        offsets = list(range(len(encoded)))
        cases = [
            ("undamaged", encoded, 0, "garden café"),
            # "ZGVu" to "ZGVv": "den" becomes "deo".
            ("another letter", encoded[:7] + b"v" + encoded[8:], 1, "gardeo café"),
            # A character outside the alphabet: the group gives nothing.
            ("out of the alphabet", encoded[:7] + b"\xf5" + encoded[8:], 0, "gar café"),
            # "ZsOp" to "ZsMp": the lead byte of "é" is followed by ")", no continuation.
            ("not text", encoded[:-2] + b"Mp", 0, "garden caf)"),
        ]
        for label, data, undetectable, in_place in cases:
            with self.subTest(label):
                self.assertEqual(generate.undetectable(section, offsets, data), undetectable)
                self.assertEqual(generate.in_place(section, offsets, data), in_place)


if __name__ == "__main__":
    unittest.main()
