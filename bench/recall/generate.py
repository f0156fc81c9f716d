#!/usr/bin/env python3
"""Makes damaged Quillora documents whose original text is known, for measuring recall.

    generate.py OUT_DIR [--count N] [--seed S] [--kinds KIND,KIND...]

Each document gets several sections of writer-like prose (English, accented Latin, Cyrillic,
CJK, emoji, or a mix of them; a few sections empty) under names in those scripts, in one of
four layouts, and then one kind of damage. Some documents hold two sections of the same name.
Beside each document NNN.qlx goes NNN.json: the layout, the damage, the original sections, the
texts of another document whose bytes got into this one (an appended tail, a cross-linked
cluster), whether the damaged file still holds a section tag once the damage's encoding is
undone, and for each section how many of its characters the damage left untouched: a
character is recoverable when no byte of the Base64 group (of four characters) that holds it
was damaged; and, for bit flips, how many characters the damaged groups decode to in place
that are text but were never written, which no reader can tell from the text, and the text
that decoding every group in place gives. Everything follows from the seed; a document's
number, and so its content, depends only on its layout, its damage and its place among the
documents of that pair, so a corpus made with --kinds holds the same documents as the whole
one.
"""

import argparse
import base64
import json
import os
import random
import re
import sys

LAYOUTS = ["line", "wrapped", "indented", "mix"]
ENCODINGS = {
    # kind: (codec, byte order mark)
    "utf-16le-bom": ("utf-16-le", b"\xff\xfe"),
    "utf-16be-bom": ("utf-16-be", b"\xfe\xff"),
    "utf-16le": ("utf-16-le", b""),
    "utf-16be": ("utf-16-be", b""),
    "utf-32le-bom": ("utf-32-le", b"\xff\xfe\x00\x00"),
    "utf-8-bom": ("utf-8", b"\xef\xbb\xbf"),
}
DAMAGES = [
    "none", "truncated", "zeroed-512", "zeroed-4096", "zeroed-first-512", "flips-1e-5",
    "flips-1e-4", "flips-1e-3", "garbage-burst", "deleted-bytes", "lost-line-breaks",
    "extra-line-breaks", "cr", "crlf", "tail-appended", "nul-padding",
] + list(ENCODINGS) + [
    "html-escaped", "quoted-printable", "invisible-characters", "cross-linked",
    "attribute-spellings", "inserted-byte",
]
# Kinds that change how the document is written but lose nothing: once undone (undo() below),
# every section reads back exactly.
# (Extra line breaks lose nothing either, but one may split a tag's word, which only a reader
# that looks for it mends.)
LOSSLESS = set(ENCODINGS) | {
    "none", "lost-line-breaks", "cr", "crlf", "nul-padding",
    "html-escaped", "quoted-printable", "invisible-characters", "attribute-spellings",
    "inserted-byte",
}

LANGUAGES = {
    "english": (
        "the a of and to in that was with for as on at by from his her their our we they it "
        "morning evening river garden window letter journey station winter summer autumn "
        "mountain village harbour kitchen table lamp candle bread coffee tea rain snow wind "
        "walked waited wrote remembered carried opened closed listened watched believed "
        "quiet slow bright old small distant familiar gentle heavy narrow silver green"
    ).split(),
    "latin": (
        "café naïve façade déjà señora Zürich Genève Ångström œuvre München Kraków São Paulo "
        "crème brûlée fiancée résumé Tromsø Åsa Łódź Dvořák été hôtel forêt château noël "
        "mañana niño corazón canción año Straße Mädchen Größe über schön Brücke jeśli źródło "
        "książka żółty można dziękuję ça où très garçon fenêtre île"
    ).split(),
    "cyrillic": (
        "и в не на я что он с как а то все она так его но да ты к у же вы за бы по только "
        "утро вечер река сад окно письмо дорога станция зима лето осень гора деревня "
        "кухня стол лампа свеча хлеб кофе чай дождь снег ветер тихий старый "
        "шёл ждал писал помнил открыл закрыл слушал Москва Киев Софья Ёлка щука"
    ).split(),
    "cjk": (
        "東京 雪 春 夏 秋 冬 山 川 朝 夜 手紙 駅 旅 窓 庭 村 台所 机 灯り 蝋燭 パン 珈琲 "
        "お茶 雨 風 静か 古い 小さな 遠い 歩いた 待った 書いた 覚えた 開けた 閉めた "
        "我们 他们 今天 明天 学校 朋友 城市 花园 写信 回家 下雨 小说 故事 한국 서울 "
        "사랑 바다 하늘 친구"
    ).split(),
    "emoji": (
        "🍏 🌙 ☕ 🚂 ❄️ 🌧️ 🏔️ 📚 ✉️ 🕯️ 🍞 🎉 😀 😢 👍🏽 👩‍👩‍👧 🇫🇷 🇯🇵 ❤️ ✨ "
        "coffee train snow letter rain mountain book candle bread party home garden"
    ).split(),
}
PUNCTUATION = {"cjk": ["。", "。", "！", "？", "…"], "cyrillic": [".", ".", "!", "?", "…", "»"]}
RARE = ["—", "“", "”", "…", "½", "€", "«", "»", "\t"]
NAMES = [
    "Chapter One", "Chapter Two", "Chapter Three", "Notes", "Letter to Åsa", "Draft",
    "Journal — March", "Recipes", "Travel diary", "Epilogue", "Prologue", "Ideas",
    "Letter to Grandmother", "Minutes", "Zürich", "Poems", "Interview", "Postscript",
    "Appendix", "Sketches", "Dreams 🌙", "Budget", "To do", "Café notes",
    "Été à Genève", "Señora Núñez", "Łódź, 1931", "Глава первая", "Письмо маме", "Заметки",
    "Дневник", "第一章", "日記", "手紙", "旅行メモ", "서울 일기", "✈️ Trip", "🎂 Party list",
    "Ideas 💡", "Tromsø ❄️",
]
AUTHORS = ["Zoë", "Anna Berg", "J. Okafor", "Ilse", "Соня", "佐藤"]

HEADER = '<?xml version="1.0" encoding="UTF-8"?>\n<QuilloraDocument version="1.5">\n'
PROPERTIES = "<Properties><Author>{}</Author></Properties>\n"
FOOTER = "</QuilloraDocument>\n"
BASE64_ALPHABET = frozenset(b"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=")
CLUSTER = 4096


def sentence(rng, language):
    if language == "mixed":
        return sentence(rng, rng.choice(list(LANGUAGES)))
    words = [rng.choice(LANGUAGES[language]) for _ in range(rng.randint(5, 17))]
    if rng.random() < 0.3:
        words.insert(rng.randrange(len(words)), rng.choice(RARE))
    if language == "cjk":
        return "".join(words) + rng.choice(PUNCTUATION["cjk"])
    if len(words) > 6 and rng.random() < 0.5:
        words[rng.randrange(2, len(words) - 1)] += ","
    text = " ".join(words)
    ending = rng.choice(PUNCTUATION.get(language, [".", ".", ".", "!", "?", "…"]))
    return text[0].upper() + text[1:] + ending


def prose(rng, size, language):
    paragraphs = []
    length = 0
    while length < size:
        paragraph = " ".join(sentence(rng, language) for _ in range(rng.randint(2, 5)))
        paragraphs.append(paragraph)
        length += len(paragraph) + 2
    return rng.choice(["\n\n", "\n", "\r\n"]).join(paragraphs)


def section_text(rng):
    if rng.random() < 0.06:
        return ""
    language = rng.choice(["english", "english", "latin", "cyrillic", "cjk", "emoji", "mixed"])
    return prose(rng, rng.randint(300, 2500), language)


def b64(text):
    return base64.b64encode(text.encode("utf-8")).decode("ascii")


class Builder:
    """Writes a document and remembers where each section's Base64 characters stand."""

    def __init__(self):
        self.parts = []
        self.length = 0
        self.positions = []  # per section: file offset of each Base64 character of its body
        self.name_spans = []  # per section: (start, end) file offsets of its name's Base64
        self.area = None  # (start, end) file offsets of the sections

    def write(self, text):
        data = text.encode("utf-8")
        self.parts.append(data)
        self.length += len(data)

    def name(self, encoded):
        self.name_spans.append((self.length, self.length + len(encoded)))
        self.write(encoded)

    def body(self, encoded, wrap):
        offsets = []
        step = 76 if wrap else max(1, len(encoded))
        for start in range(0, len(encoded), step):
            if start:
                self.write("\n")
            piece = encoded[start:start + step]
            offsets.extend(range(self.length, self.length + len(piece)))
            self.write(piece)
        self.positions.append(offsets)

    def data(self):
        return b"".join(self.parts)


def make_sections(rng, min_size):
    """4 to 8 sections, more while their Base64 is shorter than min_size; maybe a name twice."""
    names = rng.sample(NAMES, len(NAMES))
    sections = []
    encoded = 0
    wanted = rng.randint(4, 8)
    while len(sections) < wanted or encoded < min_size:
        name = names[len(sections) % len(names)]
        sections.append({"name": name, "text": section_text(rng)})
        encoded += len(b64(sections[-1]["text"])) + len(b64(name))
    if rng.random() < 0.2:
        # A writer that lets two sections share a name; the second keeps its own place.
        first, second = rng.sample(range(len(sections)), 2)
        sections[second]["name"] = sections[first]["name"]
    return sections


def make_document(rng, layout, min_size=0):
    sections = make_sections(rng, min_size)
    return sections, write_document(rng, sections, layout)


def write_document(rng, sections, layout):
    """The document holding these sections in this layout, as a Builder."""
    doc = Builder()
    doc.write(HEADER)
    doc.write(PROPERTIES.format(rng.choice(AUTHORS)))
    start = doc.length
    for section in sections:
        shape = layout if layout != "mix" else rng.choice(["line", "wrapped", "indented"])
        indent = rng.choice(["  ", "    ", "\t"]) if shape == "indented" else ""
        doc.write(indent + '<Section name="')
        doc.name(b64(section["name"]))
        doc.write('" style="body">')
        doc.body(b64(section["text"]), wrap=shape == "wrapped")
        doc.write("\n</Section>\n" if shape == "wrapped" else "</Section>\n")
    doc.area = (start, doc.length)
    doc.write(FOOTER)
    return doc


# --- Re-encodings: each kind's writer and its exact inverse --------------------------------

HTML_ESCAPES = [(b"&", b"&amp;"), (b"<", b"&lt;"), (b">", b"&gt;"), (b'"', b"&quot;")]
HTML_WRAPPER = (b"<html><body><pre>", b"</pre></body></html>\n")


def html_escape(data):
    for raw, escaped in HTML_ESCAPES:
        data = data.replace(raw, escaped)
    return data


def html_unescape(data):
    if data.startswith(HTML_WRAPPER[0]) and data.endswith(HTML_WRAPPER[1]):
        data = data[len(HTML_WRAPPER[0]):-len(HTML_WRAPPER[1])]
    for raw, escaped in reversed(HTML_ESCAPES):
        data = data.replace(escaped, raw)
    return data


def qp_encode(data):
    """Quoted-printable as a mail client sends it: hard line breaks as CRLF, lines of at most
    76 characters ended by a soft break "=" where they had to be cut."""
    out = []
    for line in data.split(b"\n"):
        tokens = []
        for i, byte in enumerate(line):
            trailing_space = byte == 0x20 and i == len(line) - 1
            if 33 <= byte <= 126 and byte != 0x3D or byte == 0x20 and not trailing_space:
                tokens.append(bytes([byte]))
            else:
                tokens.append(b"=%02X" % byte)
        pieces, current = [], b""
        for token in tokens:
            if len(current) + len(token) > 75:  # room for the soft break's "="
                pieces.append(current + b"=")
                current = b""
            current += token
        pieces.append(current)
        out.append(b"\r\n".join(pieces))
    return b"\r\n".join(out)


def qp_decode(data):
    data = data.replace(b"=\r\n", b"").replace(b"\r\n", b"\n")
    return re.sub(rb"=([0-9A-F]{2})", lambda m: bytes([int(m.group(1), 16)]), data)


INVISIBLES = ["\u200b", "\ufeff", "\u00a0", "\u00ad", "\u2060"]
INVISIBLE_BYTES = [c.encode("utf-8") for c in INVISIBLES]
STRAY_BYTES = [b"!", b"*", b".", b"-", b"_", b"~", b"\xa0", b"\x00"]


def insert_at(data, insertions):
    """insertions: (offset, bytes) pairs; each goes in before the byte at its offset."""
    for at, piece in sorted(insertions, key=lambda item: item[0], reverse=True):
        data = data[:at] + piece + data[at:]
    return data


def base64_offsets(doc, names=False):
    offsets = [o for body in doc.positions for o in body]
    if names:
        offsets += [o for start, end in doc.name_spans for o in range(start, end)]
    return offsets


def respell_tags(rng, data):
    """Section tags as other writers write them; returns the bytes and the spellings used."""
    spellings = ["char-reference", "spaces", "single-quotes", "attributes-first", "prefix"]
    chosen = set(rng.sample(spellings, rng.randint(1, 3)))
    quote = b"'" if "single-quotes" in chosen else b'"'
    equals = rng.choice([b" = ", b"= ", b" ="]) if "spaces" in chosen else b"="
    prefix = b"q:" if "prefix" in chosen else b""
    reference = rng.choice([b"&#61;", b"&#x3D;", b"&#x3d;"])

    def attribute(key, value):
        return b" " + key + equals + quote + value + quote

    def start_tag(match):
        name = match.group(1)
        if "char-reference" in chosen:
            name = name.replace(b"=", reference)
        name = attribute(b"name", name)
        style = attribute(b"style", b"body")
        if "attributes-first" in chosen:
            attributes = attribute(b"id", str(rng.randint(1, 99)).encode()) + style + name
        else:
            attributes = name + style
        return b"<" + prefix + b"Section" + attributes + b">"

    data = re.sub(rb'<Section name="([A-Za-z0-9+/=]*)" style="body">', start_tag, data)
    data = data.replace(b"</Section>", b"</" + prefix + b"Section>")
    if prefix:
        data = data.replace(b'<QuilloraDocument version="1.5">',
                            b'<QuilloraDocument version="1.5" xmlns:q="urn:quillora:document">')
    return data, sorted(chosen)


def foreign_cluster(rng, layout, seed):
    """A cluster of another file, as a cross-linked file system hands it over."""
    source = rng.choice(["same-layout", "other-layout", "random-bytes", "prose"])
    other_rng = random.Random(seed)
    if source == "random-bytes":
        return source, bytes(other_rng.randrange(256) for _ in range(CLUSTER)), []
    if source == "prose":
        text = prose(other_rng, 3 * CLUSTER, "mixed")
        data = text.encode("utf-8")
        return source, data[CLUSTER:2 * CLUSTER], [text]
    other_layout = layout if source == "same-layout" else \
        rng.choice([x for x in LAYOUTS if x != layout])
    sections, doc = make_document(other_rng, other_layout, min_size=3 * CLUSTER)
    data = doc.data()
    at = CLUSTER * rng.randrange(1, (doc.area[1] - CLUSTER) // CLUSTER + 1)
    return source + ":" + other_layout, data[at:at + CLUSTER], [s["text"] for s in sections]


def cross_link(rng, layout, doc, seed):
    data = doc.data()
    first = max(1, -(-doc.area[0] // CLUSTER))
    candidates = list(range(first * CLUSTER, doc.area[1], CLUSTER))
    touched, sources, foreign = set(), [], []
    for i, at in enumerate(sorted(rng.sample(candidates, min(len(candidates),
                                                               rng.choice([1, 1, 2]))))):
        source, cluster, texts = foreign_cluster(rng, layout, seed * 31 + i)
        cluster = cluster[:len(data) - at]
        data = data[:at] + cluster + data[at + len(cluster):]
        touched.update(range(at, at + len(cluster)))
        sources.append({"offset": at, "source": source})
        foreign += texts
    return data, touched, foreign, sources


def damage(rng, kind, doc, other, layout, seed):
    """Returns the damaged bytes, the set of original offsets touched, the texts of another
    document that got in, and notes on how the damage was done."""
    data = doc.data()
    touched = set()
    extra = []
    notes = {}
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
    elif kind in ENCODINGS:
        codec, bom = ENCODINGS[kind]
        data = bom + data.decode("utf-8").encode(codec)
    elif kind == "html-escaped":
        data = html_escape(data)
        if rng.random() < 0.5:
            data = HTML_WRAPPER[0] + data + HTML_WRAPPER[1]
    elif kind == "quoted-printable":
        data = qp_encode(data)
    elif kind == "invisible-characters":
        offsets = base64_offsets(doc, names=True)
        count = max(1, len(offsets) // rng.randint(150, 600))
        data = insert_at(data, [(at, rng.choice(INVISIBLE_BYTES))
                                for at in rng.sample(offsets, count)])
    elif kind == "inserted-byte":
        offsets = rng.sample(base64_offsets(doc), rng.randint(1, 4))
        data = insert_at(data, [(at, rng.choice(STRAY_BYTES)) for at in offsets])
    elif kind == "attribute-spellings":
        data, notes["spellings"] = respell_tags(rng, data)
    elif kind == "cross-linked":
        data, touched, extra, notes["clusters"] = cross_link(rng, layout, doc, seed)
    return data, touched, extra, notes


def undo(kind, data):
    """The damaged bytes with the kind's encoding undone, as far as it can be undone."""
    if kind in ENCODINGS:
        codec, bom = ENCODINGS[kind]
        return data[len(bom):].decode(codec, "replace").encode("utf-8")
    if kind == "html-escaped":
        return html_unescape(data)
    if kind == "quoted-printable":
        return qp_decode(data)
    if kind == "invisible-characters":
        for invisible in INVISIBLE_BYTES:
            data = data.replace(invisible, b"")
        return data
    return data


SECTION_TAG = re.compile(rb"<(?:[a-z_][\w.-]*:)?section[\s>/]")


def has_section_tag(kind, data):
    return any(SECTION_TAG.search(view.lower()) for view in (data, undo(kind, data)))


ELEMENT = re.compile(rb"<(?:[\w.-]+:)?Section\b([^>]*)>(.*?)</(?:[\w.-]+:)?Section>", re.S)
NAME_ATTRIBUTE = re.compile(rb"""\sname\s*=\s*(["'])(.*?)\1""", re.S)
CHARACTER_REFERENCE = re.compile(rb"&#(x[0-9a-fA-F]+|[0-9]+);")


def base64_text(value):
    value = CHARACTER_REFERENCE.sub(
        lambda m: chr(int(m.group(1)[1:], 16) if m.group(1)[:1] == b"x"
                      else int(m.group(1))).encode("utf-8"), value)
    value = bytes(b for b in value if b in BASE64_ALPHABET)
    return base64.b64decode(value, validate=True).decode("utf-8")


def sections_of(data):
    """The sections of an undamaged document written any way a writer may write them: the
    generator's own check, not a reader (it knows nothing of damage)."""
    found = []
    for attributes, body in ELEMENT.findall(data):
        name = NAME_ATTRIBUTE.search(attributes)
        found.append({"name": base64_text(name.group(2)), "text": base64_text(body)})
    return found


def check(kind, data, original, sections, touched):
    """Asserts the damage is what it claims: lossless kinds undo to every section exactly, and
    an overwritten cluster changed nothing outside what it touched."""
    if kind in LOSSLESS:
        expected = [{"name": s["name"], "text": s["text"]} for s in sections]
        assert sections_of(undo(kind, data)) == expected, kind
        assert all(s["recoverable"] == len(s["text"]) for s in sections), kind
    if kind in ENCODINGS or kind == "html-escaped" or kind == "quoted-printable":
        assert undo(kind, data) == original, kind
    if kind == "quoted-printable":
        assert all(len(line) <= 76 for line in data.split(b"\r\n")), kind
    if kind == "cross-linked" or kind.startswith("zeroed"):
        assert len(data) == len(original), kind
        assert all(data[i] == original[i] for i in range(len(data)) if i not in touched), kind
    assert has_section_tag(kind, data) or kind not in LOSSLESS, kind


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


def groups_in_place(section, offsets, data):
    """(first byte, byte count, decoded bytes or None) for each Base64 group of the section,
    decoded where it stands in the damaged `data`: None where a character left the alphabet."""
    size = len(section["text"].encode("utf-8"))
    characters = bytes(data[o] for o in offsets)
    for first in range(0, size, 3):
        count = min(3, size - first)
        group = characters[first // 3 * 4:first // 3 * 4 + count + 1]
        if all(c in BASE64_ALPHABET and c != ord("=") for c in group):
            yield first, count, base64.b64decode(group + b"A" * (4 - len(group)))[:count]
        else:
            yield first, count, None


def is_text(text):
    return all(c.isprintable() or c in "\t\r\n" for c in text)


def undetectable(section, offsets, data):
    """Characters a flipped bit turned into other text: decoded where they stand, the damaged
    groups whose characters are all still in the alphabet give characters that were never
    written and that nothing tells from the text around them."""
    original = section["text"].encode("utf-8")
    decoded = bytearray(len(original))
    hole = [False] * len(original)
    for first, count, got in groups_in_place(section, offsets, data):
        if got is None:
            hole[first:first + count] = [True] * count
        else:
            decoded[first:first + count] = got
    wrong = 0
    at = 0
    for ch in section["text"]:
        length = len(ch.encode("utf-8"))
        got = bytes(decoded[at:at + length])
        if not any(hole[at:at + length]) and got != original[at:at + length]:
            try:
                text = got.decode("utf-8")
            except UnicodeDecodeError:
                text = ""
            if is_text(text):
                wrong += len(text)
        at += length
    return wrong


def in_place(section, offsets, data):
    """The text that decoding every group of the section where it stands gives: a group whose
    characters are all still in the alphabet gives its bytes, flipped or not; a group holding
    another character gives none; bytes that are not text are dropped. What bit flips wrote
    there is in the damaged file, as another file's cluster is."""
    decoded = bytearray()
    for _, _, got in groups_in_place(section, offsets, data):
        # A group that gives nothing stands for a byte that is never text: what stands on
        # either side of it does not join.
        decoded += b"\xff" if got is None else got
    return "".join(c for c in decoded.decode("utf-8", errors="ignore") if is_text(c))


# Bytes of the start tag before a name's Base64: '<Section name="'.
NAME_TAG = 15


def make_entry(seed, index, layout, kind):
    rng = random.Random(seed * 1_000_003 + index)
    sections, doc = make_document(rng, layout, min_size=3 * CLUSTER if kind == "cross-linked" else 0)
    other = make_document(random.Random(seed * 7_919 + index), rng.choice(LAYOUTS))
    original = doc.data()
    data, touched, extra, notes = damage(rng, kind, doc, other, layout, seed * 1_000_003 + index)
    for section, offsets, (start, end) in zip(sections, doc.positions, doc.name_spans):
        section["recoverable"] = recoverable(section, offsets, touched)
        if kind.startswith("flips"):
            # Bit flips move no byte: what each damaged group decodes to where it stands is
            # known.
            section["undetectable"] = undetectable(section, offsets, data)
            section["in_place"] = in_place(section, offsets, data)
        # The name can come back only where its tag and its Base64 are untouched.
        section["name_recoverable"] = not any(o in touched for o in range(start - NAME_TAG, end))
    check(kind, data, original, sections, touched)
    truth = {
        "layout": layout,
        "damage": kind,
        "sections": sections,
        "foreign_texts": extra,
        "has_section_tag": has_section_tag(kind, data),
    }
    truth.update(notes)
    return data, truth


def parse_kinds(value):
    kinds = [k for k in value.split(",") if k]
    unknown = [k for k in kinds if k not in DAMAGES]
    if unknown:
        raise argparse.ArgumentTypeError("unknown damage kinds: %s (known: %s)" % (
            ", ".join(unknown), ", ".join(DAMAGES)))
    return kinds


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out")
    parser.add_argument("--count", type=int,
                        help="documents in the whole corpus (default: 5 per layout and damage)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--kinds", type=parse_kinds,
                        help="comma-separated damage kinds: make only their documents")
    args = parser.parse_args()
    cells = [(layout, kind) for kind in DAMAGES for layout in LAYOUTS]
    count = args.count if args.count is not None else 5 * len(cells)
    os.makedirs(args.out, exist_ok=True)
    for index in range(count):
        layout, kind = cells[index % len(cells)]
        if args.kinds and kind not in args.kinds:
            continue
        data, truth = make_entry(args.seed, index, layout, kind)
        stem = os.path.join(args.out, "%03d" % index)
        with open(stem + ".qlx", "wb") as f:
            f.write(data)
        with open(stem + ".json", "w", encoding="utf-8") as f:
            json.dump(truth, f, ensure_ascii=False)
    return 0


if __name__ == "__main__":
    sys.exit(main())
