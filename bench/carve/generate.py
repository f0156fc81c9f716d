#!/usr/bin/env python3
"""Makes disk images holding Quillora documents whose text is known, for measuring carving.

    generate.py OUT_DIR [--seed S] [--size 64M] [--count N]

Writes N images (default 1) of the given size (a multiple of 4 KiB; 64M to 1G is what they
are meant for), each as OUT_DIR/NNN/image.img with OUT_DIR/NNN/truth.json beside it. An image
is a file system's worth of 4 KiB clusters without the file system: documents (made the way
bench/recall makes them, several sections of prose in English, accented Latin, Cyrillic, CJK,
emoji or a mix, some sections empty, some names repeated) stand among filler and traps.

Where a document stands (its placement):
- contiguous: all its clusters in order, the rest of the last cluster zeros or old data;
- bifragment: two fragments in order, with 1 to 16 clusters of other data between them;
- out-of-order: two or three fragments, not in document order, other data between them;
- overwritten: contiguous, but one or two clusters after the first replaced by other data;
- first-cluster-lost: contiguous, but its first cluster (header, first sections) replaced;
- duplicate: an identical copy of a contiguous document elsewhere in the image (an autosave);
- near-duplicate: a copy of a contiguous document with one sentence of one section changed;
- slack: a small document (one to three short sections) starting inside a cluster, right
  after the end of another file's data;
- between-zeros: contiguous, with a zero cluster before and after it and zeros to the end of
  its last cluster.

Traps, which must never come out as documents: zeros, random bytes, plain text, other XML
(with Base64 payloads), e-mail with Base64 attachments, and files of other programs that use
<Section> tags around plain text. The clusters nothing was placed in hold the image's
background, by its kind: "fresh" (mostly zeros), "used" (mostly random bytes) or "office"
(text, random bytes and zeros in runs).

truth.json records, for each document: its id, placement, layout, length, its sections (name,
text, and where the body's Base64 stands in the document), which stretches of it stand in the
image and where ("pieces", in document order), which are lost, the ids of identical copies and
the original of a near copy; and for each section its surviving text. The rule: a character
of a section's text survives when every byte of its UTF-8 encoding lies in a Base64 group (four
characters) of the body whose four characters all stand in the image. The surviving text is
the list of the longest runs of surviving characters; the names are not counted. This is what
a perfect carver could get back: it assumes nothing about tags, so a body whose start tag was
overwritten still counts. It also lists every trap with its kind, offset and length.
"""

import argparse
import base64
import importlib.machinery
import json
import os
import random
import re
import sys
import types

HERE = os.path.dirname(os.path.abspath(__file__))


def _load_recall():
    """bench/recall/generate.py, under a name that does not hide this module."""
    name = "recall_generate"
    if name not in sys.modules:
        loader = importlib.machinery.SourceFileLoader(
            name, os.path.join(HERE, os.pardir, "recall", "generate.py"))
        module = types.ModuleType(name)
        module.__file__ = loader.path
        sys.modules[name] = module
        loader.exec_module(module)
    return sys.modules[name]


recall = _load_recall()
CLUSTER = recall.CLUSTER
MIB = 1 << 20
PLACEMENTS = ["contiguous", "bifragment", "out-of-order", "overwritten", "first-cluster-lost",
              "duplicate", "near-duplicate", "slack", "between-zeros"]
TRAPS = ["zeros", "random", "plain-text", "other-xml", "e-mail", "plain-sections"]
BACKGROUNDS = ["fresh", "used", "office"]
FRAGMENTED = {"bifragment", "out-of-order", "overwritten", "first-cluster-lost"}


def parse_size(value):
    """Bytes in "64M", "1G", "512K", "1GiB" or a plain number."""
    match = re.fullmatch(r"(\d+)\s*([KMG]?)(?:I?B)?", value.strip(), re.I)
    if not match:
        raise argparse.ArgumentTypeError("not a size: %s" % value)
    size = int(match.group(1)) << {"": 0, "K": 10, "M": 20, "G": 30}[match.group(2).upper()]
    if size < MIB or size % CLUSTER:
        raise argparse.ArgumentTypeError("a size of at least 1M, in whole 4K clusters: " + value)
    return size


def clusters(length):
    return -(-length // CLUSTER)


class Filler:
    """Other data: random bytes, zeros, and text cut from a pool of prose."""

    def __init__(self, rng):
        self.rng = rng
        self.pool = recall.prose(rng, 256 * 1024, "mixed").encode("utf-8")

    def text(self, length):
        start = self.rng.randrange(len(self.pool))
        out = bytearray(self.pool[start:start + length])
        while len(out) < length:
            out += self.pool[:length - len(out)]
        return bytes(out)

    def make(self, kind, length):
        if kind == "zeros":
            return bytes(length)
        if kind == "random":
            return self.rng.randbytes(length)
        return self.text(length)

    def other(self, length):
        """Data of another file, as overwrites and gaps hold."""
        return self.make(self.rng.choice(["random", "random", "text", "zeros"]), length)


class Layout:
    """Which clusters of the image are taken, and what goes into them."""

    def __init__(self, rng, count):
        self.rng = rng
        self.taken = bytearray(count)
        self.blobs = []  # (offset, bytes), each a whole number of clusters

    def reserve(self, count):
        """First cluster of a free run of `count` clusters, chosen at random."""
        last = len(self.taken) - count
        for _ in range(2000):
            start = self.rng.randrange(0, last + 1)
            if self.taken.find(1, start, start + count) < 0:
                break
        else:
            start = next((s for s in range(last + 1)
                          if self.taken.find(1, s, s + count) < 0), None)
            if start is None:
                raise ValueError("the image is too small for what goes into it")
        self.taken[start:start + count] = b"\x01" * count
        return start * CLUSTER

    def put(self, data):
        """Reserves room for data (padded with zeros to whole clusters) and returns its offset."""
        padded = data + bytes(clusters(len(data)) * CLUSTER - len(data))
        offset = self.reserve(len(padded) // CLUSTER)
        self.blobs.append((offset, padded))
        return offset


def wrapped_base64(data):
    encoded = base64.b64encode(data).decode("ascii")
    return "\n".join(encoded[i:i + 76] for i in range(0, len(encoded), 76))


def make_trap(rng, filler, kind):
    if kind in ("zeros", "random"):
        return filler.make(kind, rng.randint(1, 8) * CLUSTER)
    prose = lambda low, high: recall.prose(rng, rng.randint(low, high), "mixed")
    if kind == "plain-text":
        return prose(1500, 20000).encode("utf-8")
    if kind == "other-xml":
        items = "".join(
            "<item><title>%s</title><description>%s</description>\n"
            '<enclosure type="text/plain" encoding="base64">\n%s\n</enclosure></item>\n'
            % (rng.choice(recall.NAMES), prose(100, 600),
               wrapped_base64(prose(300, 3000).encode("utf-8")))
            for _ in range(rng.randint(1, 4)))
        return ('<?xml version="1.0" encoding="UTF-8"?>\n<rss version="2.0"><channel>\n'
                "<title>%s</title>\n%s</channel></rss>\n"
                % (rng.choice(recall.NAMES), items)).encode("utf-8")
    if kind == "e-mail":
        return ("From: %s <writer@example.invalid>\nTo: editor@example.invalid\n"
                "Subject: %s\nMIME-Version: 1.0\n"
                'Content-Type: multipart/mixed; boundary="part"\n\n'
                "--part\nContent-Type: text/plain; charset=utf-8\n\n%s\n"
                '--part\nContent-Type: text/plain; charset=utf-8; name="draft.txt"\n'
                "Content-Transfer-Encoding: base64\n"
                'Content-Disposition: attachment; filename="draft.txt"\n\n%s\n--part--\n'
                % (rng.choice(recall.AUTHORS), rng.choice(recall.NAMES), prose(100, 800),
                   wrapped_base64(prose(1000, 8000).encode("utf-8")))).encode("utf-8")
    if kind == "plain-sections":
        lines = ['<?xml version="1.0" encoding="UTF-8"?>', "<Manuscript>"]
        for _ in range(rng.randint(2, 8)):
            lines.append('<Section name="%s" style="body">%s</Section>' % (
                rng.choice(recall.NAMES + ["Notes", "Idea", "Memo"]), prose(80, 1500)))
        lines.append("</Manuscript>")
        return ("\n".join(lines) + "\n").encode("utf-8")
    raise ValueError(kind)


def small_sections(rng):
    return [{"name": rng.choice(recall.NAMES),
             "text": recall.prose(rng, rng.randint(80, 600),
                                  rng.choice(list(recall.LANGUAGES) + ["mixed"]))}
            for _ in range(rng.randint(1, 3))]


def change_one_sentence(rng, sections):
    """A copy of the sections with one sentence of one non-empty section replaced."""
    copy = [dict(s) for s in sections]
    candidates = [s for s in copy if len(s["text"]) > 200]
    if not candidates:
        copy[-1]["text"] += " " + recall.sentence(rng, "english")
        return copy
    section = rng.choice(candidates)
    at = rng.randrange(len(section["text"]) // 4, len(section["text"]) * 3 // 4)
    end = section["text"].find(" ", at + 40)
    end = end if end >= 0 else len(section["text"])
    section["text"] = section["text"][:at] + recall.sentence(rng, "english") + section["text"][end:]
    return copy


class Document:
    def __init__(self, ident, placement, layout, sections, doc, writer_seed):
        self.id = ident
        self.writer_seed = writer_seed  # the same seed writes a copy the same way
        self.placement = placement
        self.layout = layout
        self.sections = sections
        self.builder = doc
        self.data = doc.data()
        self.pieces = []  # (document offset, image offset, length)
        self.identical_to = []
        self.copy_of = None


def new_document(rng, ident, placement, sections=None, layout=None, writer_seed=None):
    layout = layout or rng.choice(recall.LAYOUTS)
    writer_seed = writer_seed if writer_seed is not None else rng.random()
    if sections is None:
        if placement == "slack":
            sections = small_sections(rng)
        else:
            min_size = 3 * CLUSTER if placement in FRAGMENTED else 0
            sections = recall.make_sections(rng, min_size)
    doc = recall.write_document(random.Random(writer_seed), sections, layout)
    return Document(ident, placement, layout, sections, doc, writer_seed)


def pad_to_clusters(rng, filler, data, zeros=False):
    rest = clusters(len(data)) * CLUSTER - len(data)
    return data + (bytes(rest) if zeros or rng.random() < 0.5 else filler.other(rest))


def place(rng, layout, filler, document):
    """Puts the document into the image as its placement says; fills document.pieces."""
    data = document.data
    kind = document.placement
    count = clusters(len(data))
    if kind == "slack":
        at = rng.randrange(64, CLUSTER - 64)
        room = clusters(at + len(data))
        blob = filler.make(rng.choice(["text", "random"]), at) + data
        blob = pad_to_clusters(rng, filler, blob)
        offset = layout.reserve(room)
        layout.blobs.append((offset, blob))
        document.pieces = [(0, offset + at, len(data))]
        return
    padded = pad_to_clusters(rng, filler, data, zeros=kind == "between-zeros")
    cluster_data = [padded[i * CLUSTER:(i + 1) * CLUSTER] for i in range(count)]
    if kind in ("bifragment", "out-of-order"):
        parts = 2 if kind == "bifragment" or count < 3 or rng.random() < 0.5 else 3
        cuts = sorted(rng.sample(range(1, count), parts - 1))
        fragments = [list(range(a, b)) for a, b in zip([0] + cuts, cuts + [count])]
        order = list(range(parts))
        if kind == "out-of-order":
            while order == sorted(order):
                rng.shuffle(order)
        gaps = [rng.randint(1, 16) for _ in range(parts - 1)] + [0]
        offset = layout.reserve(count + sum(gaps))
        blob = bytearray()
        for fragment, gap in zip((fragments[i] for i in order), gaps):
            at = offset + len(blob)
            for c in fragment:
                blob += cluster_data[c]
            document.pieces.append((fragment[0] * CLUSTER, at, len(fragment) * CLUSTER))
            blob += filler.other(gap * CLUSTER)
        layout.blobs.append((offset, bytes(blob)))
    else:
        lost = set()
        if kind == "overwritten":
            lost = set(rng.sample(range(1, count), min(count - 1, rng.randint(1, 2))))
        elif kind == "first-cluster-lost":
            lost = {0}
        margin = 1 if kind == "between-zeros" else 0
        offset = layout.reserve(count + 2 * margin) + margin * CLUSTER
        blob = bytearray(bytes(margin * CLUSTER))
        for c in range(count):
            if c in lost:
                blob += filler.other(CLUSTER)
            else:
                blob += cluster_data[c]
                document.pieces.append((c * CLUSTER, offset + c * CLUSTER, CLUSTER))
        blob += bytes(margin * CLUSTER)
        layout.blobs.append((offset - margin * CLUSTER, bytes(blob)))
    # Pieces end at the document's end, not at its last cluster's; neighbours are joined.
    joined = []
    for start, at, length in sorted(document.pieces):
        length = min(length, len(data) - start)
        last = joined[-1] if joined else None
        if last and last[0] + last[2] == start and last[1] + last[2] == at:
            joined[-1] = (last[0], last[1], last[2] + length)
        else:
            joined.append((start, at, length))
    document.pieces = joined


def surviving(document):
    """Per section, the runs of its text that survive (see the module's description)."""
    data_length = len(document.data)
    if sum(length for _, _, length in document.pieces) == data_length:
        return [[s["text"]] if s["text"] else [] for s in document.sections]
    present = bytearray(data_length)
    for start, _, length in document.pieces:
        present[start:start + length] = b"\x01" * length
    result = []
    for section, offsets in zip(document.sections, document.builder.positions):
        group_ok = [all(present[o] for o in offsets[g:g + 4]) for g in range(0, len(offsets), 4)]
        runs, current, at = [], [], 0
        for ch in section["text"]:
            length = len(ch.encode("utf-8"))
            if all(group_ok[i // 3] for i in range(at, at + length)):
                current.append(ch)
            elif current:
                runs.append("".join(current))
                current = []
            at += length
        if current:
            runs.append("".join(current))
        result.append(runs)
    return result


def document_truth(document):
    sections = []
    for section, offsets, survived in zip(document.sections, document.builder.positions,
                                          surviving(document)):
        body = [offsets[0], offsets[-1] + 1] if offsets else None
        sections.append({"name": section["name"], "text": section["text"], "body": body,
                         "surviving": survived})
    lost, at = [], 0
    for start, _, length in document.pieces:
        if start > at:
            lost.append({"doc_offset": at, "length": start - at})
        at = start + length
    if at < len(document.data):
        lost.append({"doc_offset": at, "length": len(document.data) - at})
    return {
        "id": document.id,
        "placement": document.placement,
        "layout": document.layout,
        "length": len(document.data),
        "sections": sections,
        "pieces": [{"doc_offset": s, "offset": o, "length": n} for s, o, n in document.pieces],
        "lost": lost,
        "identical_to": document.identical_to,
        "copy_of": document.copy_of,
    }


def make_image(seed, index, size):
    """The image's blobs as (offset, bytes) in order, the generator and filler that go on
    to write its background, and its truth."""
    rng = random.Random(seed * 1_000_003 + index)
    background = BACKGROUNDS[index % len(BACKGROUNDS)]
    filler = Filler(rng)
    layout = Layout(rng, size // CLUSTER)
    count = max(2 * len(PLACEMENTS), size // MIB)
    placements = [PLACEMENTS[i % len(PLACEMENTS)] for i in range(count)]
    rng.shuffle(placements)
    documents = []  # their truth: each is placed, described and let go before the next
    for placement in placements:
        made = [new_document(rng, len(documents), placement if placement not in (
            "duplicate", "near-duplicate") else "contiguous")]
        if placement == "duplicate":
            original = made[0]
            made.append(new_document(rng, original.id + 1, placement, original.sections,
                                     original.layout, original.writer_seed))
            made[1].identical_to, original.identical_to = [original.id], [original.id + 1]
        elif placement == "near-duplicate":
            original = made[0]
            made.append(new_document(rng, original.id + 1, placement,
                                     change_one_sentence(rng, original.sections),
                                     original.layout, original.writer_seed))
            made[1].copy_of = original.id
        for document in made:
            place(rng, layout, filler, document)
            documents.append(document_truth(document))
    traps = []
    for i in range(count):
        kind = TRAPS[i % len(TRAPS)]
        data = make_trap(rng, filler, kind)
        traps.append({"kind": kind, "offset": layout.put(data), "length": len(data)})
    truth = {
        "size": size,
        "seed": seed,
        "index": index,
        "background": background,
        "cluster": CLUSTER,
        "documents": documents,
        "traps": sorted(traps, key=lambda t: t["offset"]),
    }
    return sorted(layout.blobs, key=lambda blob: blob[0]), rng, filler, truth


BACKGROUND_MIX = {
    "fresh": [("zeros", 9), ("random", 1)],
    "used": [("random", 9), ("zeros", 1)],
    "office": [("text", 4), ("random", 3), ("zeros", 3)],
}
CHUNK = 8 * MIB


def write_background(f, rng, filler, kind, length):
    kinds, weights = zip(*BACKGROUND_MIX[kind])
    while length > 0:
        run = min(length, CLUSTER * rng.randint(1, 256), CHUNK)
        f.write(filler.make(rng.choices(kinds, weights)[0], run))
        length -= run


def write_image(directory, seed, index, size):
    blobs, rng, filler, truth = make_image(seed, index, size)
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, "image.img"), "wb") as f:
        at = 0
        for offset, blob in blobs + [(size, b"")]:
            write_background(f, rng, filler, truth["background"], offset - at)
            f.write(blob)
            at = offset + len(blob)
    with open(os.path.join(directory, "truth.json"), "w", encoding="utf-8") as f:
        json.dump(truth, f, ensure_ascii=False)
    return truth


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--size", type=parse_size, default=parse_size("64M"),
                        help="bytes in each image, such as 64M or 1G (a multiple of 4K)")
    parser.add_argument("--count", type=int, default=1, help="images to make")
    args = parser.parse_args()
    for index in range(args.count):
        write_image(os.path.join(args.out, "%03d" % index), args.seed, index, args.size)
    return 0


if __name__ == "__main__":
    sys.exit(main())
