#!/usr/bin/env python3
"""Writes the bundled damaged document and the text qlvodadov-cli must print for it.

damaged-letter.qlx is a letter of our own making, damaged the ways real documents get
damaged. damaged-letter.expected.txt is computed here from the document's bytes by a reading
of its own (a regular expression for the tags, a table-driven Base64 decoder), independent of
the program's reader, so comparing the two checks both.

Run from anywhere: python3 samples/make-sample.py
"""

import base64
import pathlib
import re

HERE = pathlib.Path(__file__).resolve().parent
DOCUMENT = HERE / "damaged-letter.qlx"
EXPECTED = HERE / "damaged-letter.expected.txt"

EOL = b"\n"


def b64(text):
    return base64.b64encode(text.encode("utf-8"))


def section_line(name, body_base64, extra=b' style="body"', end=b"</Section>"):
    return b'<Section name="' + b64(name) + b'"' + extra + b">" + body_base64 + end


# The letter: (section name, section text).
HEADING = ("Heading", "Zoë Łukasiewicz\nRue du Marché 12\n1204 Genève\n\n3 février")
GREETING = ("Greeting", "Dear Grandmother Ingrid,")
JOURNEY = (
    "The journey — Zürich",
    "The train from Zürich was late, as the Swiss insist it never is.\r\n"
    "I drank a café crème and read the book you gave me: «Ἰθάκη» by Cavafy.\r\n"
    "When you set out for Ithaca, hope the voyage is a long one.",
)
NEWS = (
    "News 🏔",
    "Snow up to the windows, 雪 as Kenji writes it. The cat refuses to go out.\n"
    "I start at the observatory on Monday; they have promised me a desk by the dome.",
)
DRAFT_NEWS = ("News 🏔", "(draft, do not send)")
CLOSING = ("Closing", "With love,\nZoë\n\nP.S. The scarf is perfect — ☃ approved.")
FOOTNOTE = ("Footnote", "Written on the old laptop; if this arrives garbled, blame Quillora.")


def build_document():
    """The damaged document, as bytes: each line with the line break it ends in."""
    greeting_b64 = b64(GREETING[1])
    # Damage: a stray byte in the middle of a Base64 body (the decoder skips it).
    greeting_damaged = greeting_b64[:12] + b"\xe9" + greeting_b64[12:]
    # Damage: the body of a section wrapped onto a second line; only its first line is read.
    journey_b64 = b64(JOURNEY[1])
    journey_first, journey_rest = journey_b64[:96], journey_b64[96:]
    # Damage: the line cut off inside its Base64, in the middle of a group and of the UTF-8
    # of the dash, before any end tag.
    closing_cut = b64(CLOSING[1])[:59]

    crlf, lf, cr = b"\r\n", b"\n", b"\r"
    lines = [
        (b'<?xml version="1.0" encoding="UTF-8"?>', crlf),
        (b'<QuilloraDocument version="1.5" creator="QL15">', crlf),
        (b"<Properties><Author>Zo&#235;</Author></Properties>", crlf),
        (section_line(HEADING[0], b64(HEADING[1])), crlf),
        (section_line(GREETING[0], greeting_damaged), crlf),
        # An earlier draft of a section stored again further on: the later text wins, and
        # the section keeps this first place.
        (section_line(DRAFT_NEWS[0], b64(DRAFT_NEWS[1]), b' style="note"'), crlf),
        (section_line(JOURNEY[0], journey_first, end=b""), crlf),
        (journey_rest + b"</Section>", lf),
        # From here on the file was written by another machine: LF, and one lone CR.
        (section_line(CLOSING[0], closing_cut, end=b""), lf),
        (b"\x00\x00\x00\x00\xff\xfe PK\x03\x04 garbage from a reused disk block \x00", lf),
        # An indented section line is not read.
        (b"    " + section_line("Deleted paragraph", b64("This should not be salvaged.")), cr),
        (section_line(NEWS[0], b64(NEWS[1])), lf),
        # The end of the file is gone: no end tags after the last body, no final line break.
        (section_line(FOOTNOTE[0], b64(FOOTNOTE[1]), end=b""), b""),
    ]
    return b"".join(line + ending for line, ending in lines)


# The reading the program must do, written out plainly.

BASE64_VALUES = {
    c: i
    for i, c in enumerate(b"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/")
}


def decode_base64(data):
    """Never fails: skips bytes outside the alphabet; "=" or the end flushes the group."""
    out = bytearray()
    bits = count = 0

    def flush():
        if count == 2:
            out.append((bits >> 4) & 0xFF)
        elif count == 3:
            out.extend(((bits >> 10) & 0xFF, (bits >> 2) & 0xFF))

    for byte in data:
        if byte == ord("="):
            flush()
            bits = count = 0
        elif byte in BASE64_VALUES:
            bits = (bits << 6) | BASE64_VALUES[byte]
            count += 1
            if count == 4:
                out.extend(((bits >> 16) & 0xFF, (bits >> 8) & 0xFF, bits & 0xFF))
                bits = count = 0
    flush()
    return bytes(out)


def extract_name(line):
    position = line.lower().find(b"name=")
    if position < 0:
        return b""
    start = position + len(b"name=") + 1
    quote = line.find(b'"', start)
    return line[start:] if quote < 0 else line[start:quote]


def strip_tags(line):
    return re.sub(rb"<.+?>", b"", line)


def read_sections(document):
    text = document.replace(b"\r\n", b"\n").replace(b"\r", b"\n")
    lines = text.split(b"\n")
    if lines[0][:6].lower() != b"<?xml ":
        return None
    sections = {}  # dicts keep the order of first insertion, also when a value is replaced
    for line in lines:
        if line[:9].lower() == b"<section ":
            sections[decode_base64(extract_name(line))] = decode_base64(strip_tags(line))
    return sections


def export_text(sections):
    return b"".join(b"Section: " + name + EOL + text + EOL + EOL for name, text in sections.items())


def self_check():
    assert decode_base64(b"QUJD=REVG") == b"ABCDEF"
    assert decode_base64(b"QQ==QkI=") == b"ABB"
    assert strip_tags(b"<>") == b"<>" and strip_tags(b"<>>") == b"" and strip_tags(b"a<b") == b"a<b"


def main():
    self_check()
    document = build_document()
    sections = read_sections(document)
    # The damage costs what it should, and no more.
    assert list(sections) == [
        section[0].encode() for section in (HEADING, GREETING, NEWS, JOURNEY, CLOSING, FOOTNOTE)
    ], list(sections)
    for name, text in (HEADING, GREETING, NEWS, FOOTNOTE):
        assert sections[name.encode()] == text.encode(), name
    for name, text in (JOURNEY, CLOSING):
        salvaged = sections[name.encode()]
        assert text.encode().startswith(salvaged) and len(salvaged) < len(text.encode()), name
    DOCUMENT.write_bytes(document)
    EXPECTED.write_bytes(export_text(sections))


if __name__ == "__main__":
    main()
