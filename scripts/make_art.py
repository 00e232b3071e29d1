#!/usr/bin/env python3
"""Build Tavune's bitmaps, icon and contact sheet from the text pixel maps.

    make_art.py OUTDIR              write OUTDIR/bmpNN.bmp for every picture and OUTDIR/tavune.ico
    make_art.py --list              print the names of the files that OUTDIR gets, one a line
    make_art.py --sheet FILE.png    write the contact sheet of every picture

The maps live in res/art/ (legend in res/art/README.md): bmpNN_name.txt draws picture NN, and a
few pictures are made from another one (DERIVED below).  Every map is checked for straight edges
and legal characters; any fault stops the build with a message naming the file, row and column.
Python standard library only.
"""

import os
import re
import struct
import sys
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ART_DIR = os.path.join(ROOT, "res", "art")

# The standard Windows 16-colour palette, in palette order.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (128, 128, 128),
    (192, 192, 192), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
MONO_PALETTE = [(0, 0, 0), (255, 255, 255)]

LETTERS_16 = ".rgybmcdlRGYBMCW"   # index = palette index
LETTERS_2 = ".W"                  # black, white
TRANSPARENT_LETTER = "_"          # icon only
TRANSPARENT = -1                  # pixel value for a transparent icon pixel

BLACK, DARK_GREY, LIGHT_GREY, WHITE = 0, 7, 8, 15
PRESS_SHIFT = 2                   # a pressed button's symbol moves this far right and down

MAP_NAME = re.compile(r"^bmp(\d\d)_\w+\.txt$")
MONOCHROME_MARK = "1 bit"         # a map whose comment says this is a black-and-white picture

# Pictures made from another picture rather than drawn: id -> (how, id of the source).
#   "sunken"   pressed face of a raised button
#   "mirror"   left-right mirror image
DERIVED = {
    5: ("sunken", 2),
    6: ("sunken", 3),
    7: ("sunken", 4),
    22: ("mirror", 21),
}
ICON_MAP = "icon_tavune.txt"
ICON_NAME = "tavune.ico"
ICON_SIZE = 32


class ArtError(Exception):
    pass


# ---------------------------------------------------------------- reading

def parse_map(text, letters, name):
    """Turn map text into rows of palette indices (TRANSPARENT for '_').

    Lines starting with '#' are comments; the picture is as wide as its first row and as tall
    as its rows.  Raises ArtError on any fault."""
    rows = []
    for lineno, line in enumerate(text.splitlines(), 1):
        if line.startswith("#"):
            continue
        line = line.rstrip("\r")
        if rows and len(line) != len(rows[0]):
            raise ArtError("%s:%d: row is %d pixels wide, the first row %d"
                           % (name, lineno, len(line), len(rows[0])))
        row = []
        for col, ch in enumerate(line):
            if ch in letters:
                row.append(letters.index(ch) if ch != TRANSPARENT_LETTER else TRANSPARENT)
            else:
                raise ArtError("%s:%d:%d: illegal character %r (allowed: %s)"
                               % (name, lineno, col + 1, ch, letters))
        rows.append(row)
    if not rows or not rows[0]:
        raise ArtError("%s: no pixels" % name)
    return rows


def read_text(filename):
    path = os.path.join(ART_DIR, filename)
    try:
        with open(path, encoding="ascii") as f:
            return f.read(), os.path.relpath(path, ROOT)
    except (OSError, UnicodeDecodeError) as e:
        raise ArtError("%s: cannot read: %s" % (path, e))


def picture_maps():
    """{id: map file name} for every bmpNN_name.txt of the art folder."""
    maps = {}
    for filename in sorted(os.listdir(ART_DIR)):
        match = MAP_NAME.match(filename)
        if not match:
            continue
        pid = int(match.group(1))
        if pid in maps or pid in DERIVED:
            raise ArtError("%s: picture %d is made twice" % (filename, pid))
        maps[pid] = filename
    return maps


def picture_ids():
    return sorted(set(picture_maps()) | set(DERIVED))


def bmp_name(pid):
    return "bmp%02d.bmp" % pid


def output_names():
    """The files that build() writes."""
    return [bmp_name(pid) for pid in picture_ids()] + [ICON_NAME]


def sunken_button(raised):
    """Pressed button: light grey face, dark grey edge at top and left, and the
    raised button's symbol moved PRESS_SHIFT pixels right and down."""
    n = len(raised)
    out = [[LIGHT_GREY] * n for _ in range(n)]
    for i in range(n):
        out[0][i] = DARK_GREY
        out[i][0] = DARK_GREY
    # The raised face is everything inside its 1-pixel top/left and
    # 2-pixel bottom/right edges.
    for y in range(1, n - 2):
        for x in range(1, n - 2):
            v = raised[y][x]
            if v != LIGHT_GREY:
                ty, tx = y + PRESS_SHIFT, x + PRESS_SHIFT
                if not (1 <= ty < n and 1 <= tx < n):
                    raise ArtError("button symbol too close to the edge to press")
                out[ty][tx] = v
    return out


def mirror(rows):
    return [list(reversed(r)) for r in rows]


def load_pictures():
    """Return {id: (width, height, bits, rows)} for every picture."""
    maps = picture_maps()
    pics = {}
    for pid in picture_ids():
        if pid in maps:
            text, name = read_text(maps[pid])
            comments = [line for line in text.splitlines() if line.startswith("#")]
            bits = 1 if any(MONOCHROME_MARK in line for line in comments) else 4
            rows = parse_map(text, LETTERS_16 if bits == 4 else LETTERS_2, name)
        else:
            how, source = DERIVED[pid]
            if source not in pics:
                raise ArtError("picture %d: made from picture %d, which comes later or not at all"
                               % (pid, source))
            bits = pics[source][2]
            rows = sunken_button(pics[source][3]) if how == "sunken" else mirror(pics[source][3])
        pics[pid] = (len(rows[0]), len(rows), bits, rows)
    return pics


def load_icon():
    text, name = read_text(ICON_MAP)
    rows = parse_map(text, LETTERS_16 + TRANSPARENT_LETTER, name)
    if (len(rows[0]), len(rows)) != (ICON_SIZE, ICON_SIZE):
        raise ArtError("%s: %d x %d pixels, expected %d x %d"
                       % (name, len(rows[0]), len(rows), ICON_SIZE, ICON_SIZE))
    return rows


# ---------------------------------------------------------------- writing

def pack_rows(rows, bits):
    """Bottom-up DIB pixel data, each row padded to 4 bytes."""
    out = bytearray()
    per_byte = 8 // bits
    for row in reversed(rows):
        line = bytearray()
        for i in range(0, len(row), per_byte):
            byte = 0
            for j in range(per_byte):
                v = row[i + j] if i + j < len(row) else 0
                byte = (byte << bits) | (v & ((1 << bits) - 1))
            line.append(byte)
        while len(line) % 4:
            line.append(0)
        out += line
    return bytes(out)


def info_header(width, height, bits, image_size, colours):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0,
                       image_size, 0, 0, colours, 0)


def rgbquads(palette):
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)


def bmp_bytes(width, height, bits, rows):
    palette = PALETTE if bits == 4 else MONO_PALETTE
    pixels = pack_rows(rows, bits)
    header = info_header(width, height, bits, len(pixels), len(palette)) + rgbquads(palette)
    offset = 14 + len(header)
    filehdr = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return filehdr + header + pixels


def ico_bytes(rows):
    n = len(rows)
    xor_rows = [[0 if v == TRANSPARENT else v for v in r] for r in rows]
    and_rows = [[1 if v == TRANSPARENT else 0 for v in r] for r in rows]
    xor = pack_rows(xor_rows, 4)
    mask = pack_rows(and_rows, 1)
    image = (info_header(n, 2 * n, 4, len(xor) + len(mask), 16)
             + rgbquads(PALETTE) + xor + mask)
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", n, n, 16, 0, 1, 4, len(image), 6 + 16)
    return icondir + entry + image


def write_file(path, data):
    with open(path, "wb") as f:
        f.write(data)


def build(outdir):
    pics = load_pictures()
    icon = load_icon()
    os.makedirs(outdir, exist_ok=True)
    for pid, (w, h, bits, rows) in pics.items():
        write_file(os.path.join(outdir, bmp_name(pid)), bmp_bytes(w, h, bits, rows))
    write_file(os.path.join(outdir, ICON_NAME), ico_bytes(icon))
    return len(pics) + 1


# ---------------------------------------------------------------- contact sheet

# 3x5 digits, one string per row.
DIGITS = {
    "0": ["###", "#.#", "#.#", "#.#", "###"],
    "1": [".#.", "##.", ".#.", ".#.", "###"],
    "2": ["###", "..#", "###", "#..", "###"],
    "3": ["###", "..#", ".##", "..#", "###"],
    "4": ["#.#", "#.#", "###", "..#", "..#"],
    "5": ["###", "#..", "###", "..#", "###"],
    "6": ["###", "#..", "###", "#.#", "###"],
    "7": ["###", "..#", ".#.", ".#.", ".#."],
    "8": ["###", "#.#", "###", "#.#", "###"],
    "9": ["###", "#.#", "###", "..#", "###"],
    "I": ["###", ".#.", ".#.", ".#.", "###"],
    "C": ["###", "#..", "#..", "#..", "###"],
    "O": ["###", "#.#", "#.#", "#.#", "###"],
}

SHEET_GROUND = (128, 128, 128)
SHEET_TRANSPARENT = (160, 96, 160)   # shows the icon's transparent pixels
LABEL_COLOUR = (255, 255, 255)


class Canvas:
    def __init__(self, width, height, colour):
        self.width, self.height = width, height
        self.px = [[colour] * width for _ in range(height)]

    def fill(self, x, y, w, h, colour):
        for yy in range(max(0, y), min(self.height, y + h)):
            row = self.px[yy]
            for xx in range(max(0, x), min(self.width, x + w)):
                row[xx] = colour

    def picture(self, x, y, rows, palette, scale):
        for j, r in enumerate(rows):
            for i, v in enumerate(r):
                colour = SHEET_TRANSPARENT if v == TRANSPARENT else palette[v]
                self.fill(x + i * scale, y + j * scale, scale, scale, colour)

    def text(self, x, y, s, scale, colour):
        for ch in s:
            glyph = DIGITS[ch]
            for j, line in enumerate(glyph):
                for i, c in enumerate(line):
                    if c == "#":
                        self.fill(x + i * scale, y + j * scale, scale, scale, colour)
            x += 4 * scale

    def png(self):
        raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in self.px)

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        ihdr = struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def sheet(path, scale=4):
    pics = load_pictures()
    items = [(str(pid), pics[pid][3], PALETTE if pics[pid][2] == 4 else MONO_PALETTE)
             for pid in sorted(pics)]
    items.append(("ICO", load_icon(), PALETTE))
    # One row of the sheet for each height of picture, lowest first; the pictures no taller
    # than the icon share the first row.
    def band(rows):
        return max(len(rows), ICON_SIZE)
    bands = sorted({band(rows) for _, rows, _ in items})
    layout = [[name for name, rows, _ in items if band(rows) == b] for b in bands]
    by_name = {name: (rows, pal) for name, rows, pal in items}
    margin, label_h = 12, 6 * 2 + 6
    width = max(sum(len(by_name[n][0][0]) * scale + margin for n in line) + margin
                for line in layout)
    height = margin + sum(max(len(by_name[n][0]) for n in line) * scale + label_h + margin
                          for line in layout)
    canvas = Canvas(width, height, SHEET_GROUND)
    y = margin
    for line in layout:
        x = margin
        for name in line:
            rows, pal = by_name[name]
            canvas.text(x, y, name, 2, LABEL_COLOUR)
            canvas.picture(x, y + label_h, rows, pal, scale)
            x += len(rows[0]) * scale + margin
        y += max(len(by_name[n][0]) for n in line) * scale + label_h + margin
    write_file(path, canvas.png())


def main(argv):
    try:
        if len(argv) == 2 and argv[0] == "--sheet":
            sheet(argv[1])
            print("make_art: wrote %s" % argv[1])
        elif argv == ["--list"]:
            print("\n".join(output_names()))
        elif len(argv) == 1 and not argv[0].startswith("-"):
            count = build(argv[0])
            print("make_art: wrote %d files to %s" % (count, argv[0]))
        else:
            sys.stderr.write("usage: make_art.py OUTDIR | --list | --sheet FILE.png\n")
            return 2
    except ArtError as e:
        sys.stderr.write("make_art: error: %s\n" % e)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
