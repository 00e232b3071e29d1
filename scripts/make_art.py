#!/usr/bin/env python3
"""Build Tavune's bitmaps, icon and contact sheet from the text pixel maps.

    make_art.py OUTDIR              write OUTDIR/bmp01.bmp .. bmp25.bmp and OUTDIR/tavune.ico
    make_art.py --sheet FILE.png    write the contact sheet of every picture

The maps live in res/art/ (legend in res/art/README.md).  Every map is checked
for its exact size and for legal characters; any fault stops the build with a
message naming the file, row and column.  Python standard library only.
"""

import os
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
BUTTON_SIZE = 48
PRESS_SHIFT = 2                   # a pressed button's symbol moves this far right and down

# id -> (width, height, bits per pixel, how to make it)
#   ("map", file)          read res/art/<file>
#   ("sunken", id)         pressed face of raised button <id>
#   ("mirror", id)         left-right mirror image of picture <id>
PICTURES = {
    1: (32, 30, 4, ("map", "bmp01_craft.txt")),
    2: (48, 48, 4, ("map", "bmp02_button_main.txt")),
    3: (48, 48, 4, ("map", "bmp03_button_left.txt")),
    4: (48, 48, 4, ("map", "bmp04_button_right.txt")),
    5: (48, 48, 4, ("sunken", 2)),
    6: (48, 48, 4, ("sunken", 3)),
    7: (48, 48, 4, ("sunken", 4)),
    8: (32, 30, 4, ("map", "bmp08_crash1.txt")),
    9: (32, 30, 4, ("map", "bmp09_crash2.txt")),
    10: (32, 30, 4, ("map", "bmp10_crash3.txt")),
    11: (32, 64, 4, ("map", "bmp11_debris1.txt")),
    12: (32, 64, 4, ("map", "bmp12_debris2.txt")),
    13: (32, 64, 4, ("map", "bmp13_debris3.txt")),
    14: (32, 64, 4, ("map", "bmp14_debris4.txt")),
    15: (32, 64, 4, ("map", "bmp15_debris5.txt")),
    16: (32, 64, 4, ("map", "bmp16_debris6.txt")),
    17: (32, 64, 4, ("map", "bmp17_debris7.txt")),
    18: (32, 64, 4, ("map", "bmp18_debris8.txt")),
    19: (32, 64, 4, ("map", "bmp19_debris9.txt")),
    20: (32, 64, 4, ("map", "bmp20_debris10.txt")),
    21: (32, 8, 4, ("map", "bmp21_flame_left.txt")),
    22: (32, 8, 4, ("mirror", 21)),
    23: (24, 32, 4, ("map", "bmp23_flame_main.txt")),
    24: (96, 97, 1, ("map", "bmp24_landed.txt")),
    25: (96, 97, 1, ("map", "bmp25_crashed.txt")),
}
ICON_MAP = "icon_tavune.txt"
ICON_SIZE = 32


class ArtError(Exception):
    pass


# ---------------------------------------------------------------- reading

def parse_map(text, width, height, letters, name):
    """Turn map text into rows of palette indices (TRANSPARENT for '_').

    Lines starting with '#' are comments.  Raises ArtError on any fault."""
    rows = []
    for lineno, line in enumerate(text.splitlines(), 1):
        if line.startswith("#"):
            continue
        line = line.rstrip("\r")
        if len(line) != width:
            raise ArtError("%s:%d: row is %d pixels wide, expected %d"
                           % (name, lineno, len(line), width))
        row = []
        for col, ch in enumerate(line):
            if ch in letters:
                row.append(letters.index(ch) if ch != TRANSPARENT_LETTER else TRANSPARENT)
            else:
                raise ArtError("%s:%d:%d: illegal character %r (allowed: %s)"
                               % (name, lineno, col + 1, ch, letters))
        rows.append(row)
    if len(rows) != height:
        raise ArtError("%s: %d rows, expected %d" % (name, len(rows), height))
    return rows


def read_map(filename, width, height, letters):
    path = os.path.join(ART_DIR, filename)
    try:
        with open(path, encoding="ascii") as f:
            text = f.read()
    except (OSError, UnicodeDecodeError) as e:
        raise ArtError("%s: cannot read: %s" % (path, e))
    return parse_map(text, width, height, letters, os.path.relpath(path, ROOT))


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
    pics = {}
    for pid in sorted(PICTURES):
        w, h, bits, (how, arg) = PICTURES[pid]
        if how == "map":
            rows = read_map(arg, w, h, LETTERS_16 if bits == 4 else LETTERS_2)
        elif how == "sunken":
            rows = sunken_button(pics[arg][3])
        elif how == "mirror":
            rows = mirror(pics[arg][3])
        else:
            raise ArtError("picture %d: unknown source %r" % (pid, how))
        pics[pid] = (w, h, bits, rows)
    return pics


def load_icon():
    return read_map(ICON_MAP, ICON_SIZE, ICON_SIZE, LETTERS_16 + TRANSPARENT_LETTER)


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


def bmp_name(pid):
    return "bmp%02d.bmp" % pid


def build(outdir):
    pics = load_pictures()
    icon = load_icon()
    os.makedirs(outdir, exist_ok=True)
    for pid, (w, h, bits, rows) in pics.items():
        write_file(os.path.join(outdir, bmp_name(pid)), bmp_bytes(w, h, bits, rows))
    write_file(os.path.join(outdir, "tavune.ico"), ico_bytes(icon))
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
    # Rows of the sheet: small pictures, buttons, debris, flames and scenes.
    layout = [["1", "8", "9", "10", "ICO", "21", "22", "23"],
              ["2", "3", "4", "5", "6", "7"],
              ["11", "12", "13", "14", "15", "16", "17", "18", "19", "20"],
              ["24", "25"]]
    by_name = {name: (rows, pal) for name, rows, pal in items}
    assert sorted(by_name) == sorted(n for line in layout for n in line)
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
        elif len(argv) == 1 and not argv[0].startswith("-"):
            count = build(argv[0])
            print("make_art: wrote %d files to %s" % (count, argv[0]))
        else:
            sys.stderr.write("usage: make_art.py OUTDIR | make_art.py --sheet FILE.png\n")
            return 2
    except ArtError as e:
        sys.stderr.write("make_art: error: %s\n" % e)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
