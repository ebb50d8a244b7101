#!/usr/bin/env python3
"""Writes prop_width_tables.inc: the three proportional width tables.

Run by hand when the tables change; the build only compiles the committed output, so
neither this script nor the fonts it reads are build dependencies.

    python3 make_prop_widths.py [--serif FILE] [--sans FILE] > ../prop_width_tables.inc

Widths are in 1/360 inch for a 10.5 point font, one value per code point of the covered
ranges.

general  The printer's own proportional widths, all multiples of 6 from 18 to 42. The
         published rows (U+0020-U+007E, U+00A0-U+00FF) are taken as they are. Letters
         outside them take the width of the printer letter of the same shape (an accented
         letter that of its base letter, a Greek letter that of its Latin look-alike).
         Only the characters the printer has glyphs for get a width; all others are 0
         (no advance).
times    Advance widths of a Times-compatible serif face, rounded to 1/360 inch (ties to
sans     even), with an Arial-compatible sans face for the sans table. The metric-twin
         faces agree with the originals on every character of the published rows but
         two; there the published value stands. A character the face lacks takes the
         width of a character of the same shape where the code pages can print it, and
         otherwise the table default (the original's missing-glyph width). The
         invisible format controls have no advance.
"""

import argparse
import struct
import sys
import unicodedata
from decimal import ROUND_HALF_EVEN, Decimal

RANGES = [
    (0x0020, 0x01FF),
    (0x0280, 0x02FF),
    (0x0380, 0x03CF),
    (0x2000, 0x20FF),
    (0x2116, 0x2116),
    (0x2310, 0x232F),
    (0x2500, 0x25AF),
]
CODE_POINTS = [c for first, last in RANGES for c in range(first, last + 1)]
assert len(CODE_POINTS) == 1153

GENERAL_DEFAULT, TIMES_DEFAULT, SANS_DEFAULT = 30, 41, 39


def row(text, first):
    return {first + i: int(v) for i, v in enumerate(text.split())}


GENERAL_ASCII = row(
    "30 18 30 30 30 36 36 18 24 24 30 30 18 30 18 30 30 30 30 30 30 30 30 30 30 30 18 18 30 30 30 30 "
    "36 36 36 36 36 36 36 36 36 24 30 36 36 42 36 36 36 36 36 36 36 42 36 42 36 36 30 24 30 24 30 30 "
    "18 30 36 30 36 30 24 36 36 18 24 36 18 42 36 30 36 36 30 30 24 36 36 42 30 36 30 24 18 24 30",
    0x20)
GENERAL_LATIN1 = row(
    "30 30 30 30 30 36 18 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 "
    "30 30 30 30 30 30 42 30 36 36 36 36 24 24 24 24 42 36 36 36 36 36 36 42 36 42 42 42 42 36 30 36 "
    "30 30 30 30 30 30 42 30 30 30 30 30 18 18 18 18 30 36 30 30 30 30 30 30 30 36 36 36 36 36 30 36",
    0xA0)
TIMES_ASCII = row(
    "13 17 21 26 26 44 41 9 17 17 26 30 13 17 13 15 26 26 26 26 26 26 26 26 26 26 15 15 30 30 30 23 "
    "48 38 35 35 38 32 29 38 38 17 20 38 32 47 38 38 29 38 35 29 32 38 38 50 38 38 32 17 15 17 25 26 "
    "17 23 26 23 26 23 17 26 26 15 15 26 15 41 26 26 26 26 17 20 15 26 26 38 26 26 23 25 10 25 28",
    0x20)
SANS_ASCII = row(
    "15 15 19 29 29 47 35 10 17 17 20 31 15 17 15 15 29 29 29 29 29 29 29 29 29 29 15 15 31 31 31 29 "
    "53 35 35 38 38 35 32 41 38 15 26 35 29 44 38 41 35 41 38 35 32 38 35 50 35 35 32 15 15 15 25 29 "
    "29 29 29 26 29 29 15 29 29 12 12 26 12 44 29 29 29 29 17 26 15 29 26 38 26 26 26 18 14 18 31",
    0x20)

# Latin Extended-A letters the printer has no glyph for: the IJ ligatures, the Catalan
# middle-dot L, n preceded by apostrophe and the long s.
NO_PRINTER_GLYPH = {0x0132, 0x0133, 0x013F, 0x0140, 0x0149, 0x017F}

# Letters without a decomposition, by the printer letter of the same shape.
SHAPE_OF = {
    0x0110: 0x00D0, 0x0111: ord("d"), 0x0126: ord("H"), 0x0127: ord("h"), 0x0131: ord("i"),
    0x0138: ord("k"), 0x0141: ord("L"), 0x0142: ord("l"), 0x014A: ord("N"), 0x014B: ord("n"),
    0x0152: 0x00C6, 0x0153: 0x00E6, 0x0166: ord("T"), 0x0167: ord("t"),
}

GENERAL_EXTRA = {
    0x0192: 30,  # f with hook
    # breathing marks of the Greek table, spacing accents of the Eastern European tables
    0x02BC: 18, 0x02BD: 18, 0x02C7: 30, 0x02D8: 30, 0x02D9: 18, 0x02DB: 18, 0x02DD: 30,
    # punctuation and currency signs of the code pages; the printer has no width for the
    # superscript n, the dagger and the double exclamation mark
    0x2015: 42, 0x2017: 30, 0x2018: 18, 0x2019: 18, 0x20A7: 42, 0x20AC: 36,
    0x2116: 42,
    0x2310: 30, 0x2320: 30, 0x2321: 30,
}

# Greek by the Latin look-alike (a letter) or a width of its own (a number).
GREEK_SHAPE = {
    0x0391: "A", 0x0392: "B", 0x0393: 36, 0x0394: 36, 0x0395: "E", 0x0396: "Z", 0x0397: "H",
    0x0398: "O", 0x0399: "I", 0x039A: "K", 0x039B: 36, 0x039C: "M", 0x039D: "N", 0x039E: 36,
    0x039F: "O", 0x03A0: 36, 0x03A1: "P", 0x03A3: 36, 0x03A4: "T", 0x03A5: "Y", 0x03A6: 42,
    0x03A7: "X", 0x03A8: 42, 0x03A9: 42,
    0x03B1: "a", 0x03B2: 30, 0x03B3: 30, 0x03B4: 30, 0x03B5: "e", 0x03B6: 24, 0x03B7: "n",
    0x03B8: 30, 0x03B9: "i", 0x03BA: "k", 0x03BB: 30, 0x03BC: "u", 0x03BD: "v", 0x03BE: 24,
    0x03BF: "o", 0x03C0: 36, 0x03C1: "p", 0x03C2: 24, 0x03C3: 30, 0x03C4: "t", 0x03C5: "u",
    0x03C6: 36, 0x03C7: "x", 0x03C8: 36, 0x03C9: 36,
    0x0384: 18, 0x0385: 24, 0x0387: 18,
}
TONOS_CAPITAL_EXTRA = 6  # the accent stands before a capital and widens it
MAX_GENERAL = 42


def base_letter(c):
    if c in SHAPE_OF:
        return SHAPE_OF[c]
    decomposition = unicodedata.decomposition(chr(c)).split()
    if not decomposition or decomposition[0].startswith("<"):
        return None
    return base_letter(int(decomposition[0], 16)) or int(decomposition[0], 16)


def general_width(c):
    if c in GENERAL_ASCII:
        return GENERAL_ASCII[c]
    if c in GENERAL_LATIN1:
        return GENERAL_LATIN1[c]
    if 0x007F <= c <= 0x009F:
        return 0
    if c in GENERAL_EXTRA:
        return GENERAL_EXTRA[c]
    if 0x0100 <= c <= 0x017F and c not in NO_PRINTER_GLYPH:
        return GENERAL_ASCII.get(base_letter(c)) or GENERAL_LATIN1[base_letter(c)]
    if 0x0384 <= c <= 0x03CE and unicodedata.category(chr(c)) != "Cn":
        base = c if c in GREEK_SHAPE else base_letter(c)
        shape = GREEK_SHAPE[base]
        width = shape if isinstance(shape, int) else GENERAL_ASCII[ord(shape)]
        if base != c and unicodedata.name(chr(c)).endswith("WITH TONOS") and chr(c).isupper():
            width = min(width + TONOS_CAPITAL_EXTRA, MAX_GENERAL)
        return width
    if 0x2500 <= c <= 0x25AF:
        return GENERAL_DEFAULT
    return 0


def load_face(path):
    """Units per em and code point -> advance width, from a TrueType file."""
    data = open(path, "rb").read()
    tables = {}
    for i in range(struct.unpack(">H", data[4:6])[0]):
        tag, _, offset, length = struct.unpack(">4sIII", data[12 + 16 * i:28 + 16 * i])
        tables[tag.decode()] = offset
    units_per_em = struct.unpack(">H", data[tables["head"] + 18:tables["head"] + 20])[0]
    metrics = struct.unpack(">H", data[tables["hhea"] + 34:tables["hhea"] + 36])[0]
    hmtx = tables["hmtx"]
    advances = [struct.unpack(">H", data[hmtx + 4 * i:hmtx + 4 * i + 2])[0] for i in range(metrics)]
    cmap = tables["cmap"]
    glyphs = {}
    for i in range(struct.unpack(">H", data[cmap + 2:cmap + 4])[0]):
        platform, encoding, offset = struct.unpack(">HHI", data[cmap + 4 + 8 * i:cmap + 12 + 8 * i])
        if (platform, encoding) != (3, 1):
            continue
        sub = cmap + offset
        assert struct.unpack(">H", data[sub:sub + 2])[0] == 4, "expected a format 4 Unicode cmap"
        seg_x2 = struct.unpack(">H", data[sub + 6:sub + 8])[0]
        count = seg_x2 // 2
        ends = struct.unpack(">%dH" % count, data[sub + 14:sub + 14 + seg_x2])
        starts = struct.unpack(">%dH" % count, data[sub + 16 + seg_x2:sub + 16 + 2 * seg_x2])
        deltas = struct.unpack(">%dh" % count, data[sub + 16 + 2 * seg_x2:sub + 16 + 3 * seg_x2])
        range_offsets_at = sub + 16 + 3 * seg_x2
        range_offsets = struct.unpack(">%dH" % count, data[range_offsets_at:range_offsets_at + seg_x2])
        for k in range(count):
            for c in range(starts[k], min(ends[k], 0xFFFE) + 1):
                if range_offsets[k] == 0:
                    glyph = (c + deltas[k]) & 0xFFFF
                else:
                    at = range_offsets_at + 2 * k + range_offsets[k] + 2 * (c - starts[k])
                    glyph = struct.unpack(">H", data[at:at + 2])[0]
                    glyph = (glyph + deltas[k]) & 0xFFFF if glyph else 0
                if glyph:
                    glyphs[c] = advances[min(glyph, metrics - 1)]
    return units_per_em, glyphs


POINTS_PER_INCH = 72
UNITS_PER_INCH = 360
POINT_SIZE = Decimal("10.5")


# Characters the code pages can print that the metric twins lack, by the character of
# the same shape they do have: the Greek breathing marks are drawn like the quotes, the
# turned not sign like the reversed one.
FACE_SHAPE_TWIN = {0x02BC: 0x2019, 0x02BD: 0x2018, 0x2319: 0x2310}


def face_table(path, published, default, no_advance):
    units_per_em, advances = load_face(path)
    for c, twin in FACE_SHAPE_TWIN.items():
        if c not in advances and twin in advances:
            advances[c] = advances[twin]
    table = {}
    for c in CODE_POINTS:
        if c in published:
            table[c] = published[c]
        elif c in no_advance:
            table[c] = 0
        elif c in advances:
            exact = Decimal(advances[c]) * POINT_SIZE * UNITS_PER_INCH / POINTS_PER_INCH / units_per_em
            table[c] = int(exact.quantize(Decimal(1), rounding=ROUND_HALF_EVEN))
        else:
            table[c] = default
    differing = [c for c in published if c in advances and
                 round(advances[c] * 52.5 / units_per_em) != published[c]]
    print("%s: %d glyphs, published rows differ at %s" % (path, len(advances),
          " ".join("U+%04X" % c for c in differing)), file=sys.stderr)
    return table


ZERO_WIDTH_JOINERS_AND_MARKS = set(range(0x200C, 0x2010))
EMBEDDING_CONTROLS = set(range(0x202A, 0x202F))
DEPRECATED_FORMAT_CONTROLS = set(range(0x206A, 0x2070))


def zeros_by_range(table):
    return [sum(1 for c in range(first, last + 1) if table[c] == 0) for first, last in RANGES]


def emit(name, table, out):
    out.write("constexpr std::array<std::uint16_t, kPropWidthEntries> %s = {\n" % name)
    for first, last in RANGES:
        out.write("    // U+%04X-U+%04X\n" % (first, last))
        values = [table[c] for c in range(first, last + 1)]
        for i in range(0, len(values), 16):
            out.write("    " + ", ".join("%2d" % v for v in values[i:i + 16]) + ",\n")
    out.write("};\n\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--serif", default="/usr/share/fonts/truetype/liberation/LiberationSerif-Regular.ttf")
    parser.add_argument("--sans", default="/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf")
    args = parser.parse_args()

    general = {c: general_width(c) for c in CODE_POINTS}
    times = face_table(args.serif, TIMES_ASCII, TIMES_DEFAULT, ZERO_WIDTH_JOINERS_AND_MARKS)
    sans = face_table(args.sans, SANS_ASCII, SANS_DEFAULT,
                      ZERO_WIDTH_JOINERS_AND_MARKS | EMBEDDING_CONTROLS | DEPRECATED_FORMAT_CONTROLS)

    assert all(v == 0 or (v % 6 == 0 and 18 <= v <= 42) for v in general.values())
    assert zeros_by_range(general) == [33 + 133, 121, 8, 250, 0, 29, 0], zeros_by_range(general)
    assert zeros_by_range(times) == [0, 0, 0, 4, 0, 0, 0], zeros_by_range(times)
    assert zeros_by_range(sans) == [0, 0, 0, 15, 0, 0, 0], zeros_by_range(sans)

    out = sys.stdout
    out.write("// Generated by tools/make_prop_widths.py; edit the script, not this file.\n")
    out.write("// One width per code point of kPropWidthRanges, in 1/360 inch at 10.5 point.\n\n")
    emit("kGeneralWidths", general, out)
    emit("kTimesWidths", times, out)
    emit("kSansWidths", sans, out)


if __name__ == "__main__":
    main()
