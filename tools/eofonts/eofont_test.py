#!/usr/bin/python3
"""Checks each generated " Eo" font against its source: the family name, the style bits, every differing
ISO 8859-3 byte drawn with the outline of its letter in the source, and every other character unchanged.

usage: eofont_test.py SOURCE.ttf GENERATED.ttf "FACE Eo" STYLE [SOURCE GENERATED FACE STYLE ...]
"""
import sys

from fontTools.pens.recordingPen import RecordingPen
from fontTools.ttLib import TTFont

from eofont import differing_bytes


def outline(font, code):
    glyph = font.getBestCmap().get(code)
    if glyph is None:
        return None
    pen = RecordingPen()
    font.getGlyphSet()[glyph].draw(pen)
    return pen.value


def check(source_path, generated_path, face, style):
    problems = []
    source, generated = TTFont(source_path), TTFont(generated_path)
    family = generated["name"].getName(1, 3, 1, 0x409)
    if family is None or str(family) != face or not str(family).endswith(" Eo"):
        problems.append(f"family name is {family!r}, not {face!r}")
    subfamily = generated["name"].getName(2, 3, 1, 0x409)
    if str(subfamily) != style:
        problems.append(f"style name is {subfamily!r}, not {style!r}")
    bold, italic = bool(generated["OS/2"].fsSelection & 0x20), bool(generated["OS/2"].fsSelection & 0x01)
    if bold != ("Bold" in style) or italic != ("Italic" in style):
        problems.append(f"style bits bold={bold} italic={italic} do not match {style!r}")
    pairs = differing_bytes()
    if len(pairs) != 28:
        problems.append(f"{len(pairs)} differing bytes, expected 28")
    for byte, code in pairs:
        want = outline(source, code)
        if not want:
            problems.append(f"source has no outline for U+{code:04X}")
        elif outline(generated, byte) != want:
            problems.append(f"byte 0x{byte:02X} is not drawn as U+{code:04X}")
        if outline(generated, code) != want:
            problems.append(f"U+{code:04X} itself no longer draws its letter")
    changed = {byte for byte, _ in pairs}
    for code in list(range(0x20, 0x7F)) + [b for b in range(0xA0, 0x100) if b not in changed] + [0x20AC]:
        if outline(generated, code) != outline(source, code):
            problems.append(f"U+{code:04X} changed although it is no Esperanto byte")
    # The six letters that an Esperanto text needs, both cases, at their ISO 8859-3 bytes.
    for text in ("ĉĝĥĵŝŭ", "ĈĜĤĴŜŬ"):
        for letter in text:
            byte = letter.encode("iso8859_3")[0]
            if outline(generated, byte) != outline(source, ord(letter)):
                problems.append(f"{letter} at 0x{byte:02X} is wrong")
    return [f"{generated_path}: {p}" for p in problems]


def main(argv):
    args = argv[1:]
    if not args or len(args) % 4:
        raise SystemExit(__doc__.split("\n\n")[-1].strip())
    problems = []
    for i in range(0, len(args), 4):
        problems += check(*args[i : i + 4])
    for p in problems:
        print(p)
    fonts = len(args) // 4
    print(f"{fonts - len({p.split(':')[0] for p in problems})} passed, {len({p.split(':')[0] for p in problems})} failed")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
