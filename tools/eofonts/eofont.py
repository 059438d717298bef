#!/usr/bin/python3
"""Makes an " Eo" font: a copy of a source font under another family name whose character map sends each
byte of ISO 8859-3 that differs from ISO 8859-1 to the glyph of its ISO 8859-3 letter.

The installer is an 8-bit program: its Esperanto texts hold ISO 8859-3 bytes, which the system reads as
the Latin-1 characters of the same values. With these fonts registered, "ĉ" stored as 0xE6 is drawn as
"ĉ", not as "æ". Every other character keeps the source font's glyph, so Unicode text (the 16-bit game's)
still draws correctly.

usage: eofont.py SOURCE.ttf "FACE Eo" STYLE OUT.ttf    (STYLE: Regular, Bold, Italic or "Bold Italic")
"""
import sys

from fontTools.ttLib import TTFont

STYLES = ("Regular", "Bold", "Italic", "Bold Italic")


def differing_bytes():
    """(byte, Unicode code point of its ISO 8859-3 letter) for every byte whose letter is not Latin-1's."""
    pairs = []
    for byte in range(0xA0, 0x100):
        try:
            letter = bytes([byte]).decode("iso8859_3")
        except UnicodeDecodeError:
            continue  # bytes that ISO 8859-3 leaves undefined keep the source's glyph
        if ord(letter) != byte:
            pairs.append((byte, ord(letter)))
    return pairs


def remap(font):
    for table in font["cmap"].tables:
        if not table.isUnicode():
            continue
        for byte, code in differing_bytes():
            glyph = table.cmap.get(code)
            if glyph is None:
                raise SystemExit(f"eofont: the source font has no glyph for U+{code:04X}")
            table.cmap[byte] = glyph


def rename(font, face, style):
    bold, italic = "Bold" in style, "Italic" in style
    full = face if style == "Regular" else f"{face} {style}"
    postscript = (face + "-" + style).replace(" ", "")
    names = font["name"]
    # Typographic family names would let the system group the face under the source's family.
    names.names = [n for n in names.names if n.nameID not in (1, 2, 3, 4, 6, 16, 17, 21, 22)]
    for name_id, text in ((1, face), (2, style), (3, f"Vexlin: {full}"), (4, full), (6, postscript)):
        names.setName(text, name_id, 3, 1, 0x409)
        names.setName(text, name_id, 1, 0, 0)
    os2 = font["OS/2"]
    os2.fsSelection &= ~(0x01 | 0x20 | 0x40 | 0x200)  # italic, bold, regular, oblique
    os2.fsSelection |= (0x01 if italic else 0) | (0x20 if bold else 0) | (0x40 if not (bold or italic) else 0)
    os2.usWeightClass = 700 if bold else 400
    font["head"].macStyle = (1 if bold else 0) | (2 if italic else 0)


def main(argv):
    if len(argv) != 5 or argv[3] not in STYLES or not argv[2].endswith(" Eo"):
        raise SystemExit(__doc__.split("\n\n")[-1].strip())
    source, face, style, out = argv[1:]
    font = TTFont(source)
    remap(font)
    rename(font, face, style)
    font.save(out)


if __name__ == "__main__":
    main(sys.argv)
