#!/usr/bin/env python3
"""Makes the page's console font: the cells' characters cut out of the installed Gothic face, renamed.

Usage: make_console_font.py SOURCE.ttf OUTPUT.ttf

The console draws printable ASCII as full-width forms, so the page needs the full-width forms, kana, the
punctuation and symbols of Japanese text, the first level of JIS kanji and the Latin, Greek and Cyrillic
letters; a character outside the cut is drawn by the browser's own fallback face. The cut face is a derived
font: its name may not repeat the original's, and the page ships the licence beside it (src/shell/web/font/LICENSE.txt).
"""
import sys

from fontTools import subset
from fontTools.ttLib import TTFont

FAMILY = "Tavik Console Gothic"


def wanted_code_points():
    points = set(range(0x20, 0x7F)) | set(range(0xA0, 0x100))
    for first, last in ((0x0370, 0x03FF), (0x0400, 0x045F), (0x2010, 0x203B), (0x2190, 0x21FF),
                        (0x2200, 0x22FF), (0x2500, 0x257F), (0x2580, 0x259F), (0x25A0, 0x25FF),
                        (0x2600, 0x26FF), (0x3000, 0x303F), (0x3040, 0x309F), (0x30A0, 0x30FF),
                        (0xFF00, 0xFFEF)):
        points |= set(range(first, last + 1))
    # Every character of JIS X 0208 rows 1 to 47: symbols, kana and the first level of kanji.
    for row in range(0xA1, 0xD0):
        for cell in range(0xA1, 0xFF):
            try:
                points |= {ord(c) for c in bytes([row, cell]).decode("euc_jp")}
            except UnicodeDecodeError:
                pass
    return points


def main():
    source, output = sys.argv[1], sys.argv[2]
    options = subset.Options()
    options.hinting = False
    options.layout_features = []
    options.name_IDs = [0, 1, 2, 3, 4, 5, 6]
    options.notdef_outline = True
    font = TTFont(source)
    subsetter = subset.Subsetter(options)
    subsetter.populate(unicodes=wanted_code_points())
    subsetter.subset(font)
    for record in font["name"].names:
        if record.nameID in (1, 4, 16):
            record.string = FAMILY
        elif record.nameID == 3:
            record.string = FAMILY + " (cut for tavikWM)"
        elif record.nameID == 6:
            record.string = FAMILY.replace(" ", "")
    font.save(output)


if __name__ == "__main__":
    main()
