#!/usr/bin/env python3
"""Checks for the pictures that scripts/make_art.py makes from the pixel maps: each file read as
Windows reads a bitmap or an icon (the sizes, depths and palettes the drawing code expects, the
pixels of its map), and what the drawing code assumes of the pictures. That the program links
these files is checked under Wine by tests/win32/resources_test.cpp.

Run: python3 tests/art/test_art.py"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib
from unittest import mock

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
import make_art  # noqa: E402

BLACK, DARK_GREY, LIGHT_GREY, WHITE = 0, 7, 8, 15
TRANSPARENT = make_art.TRANSPARENT
# The standard 16-colour palette in its usual order, which the drawing code assumes, and the
# black-and-white one.
STANDARD_PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
                    (0, 128, 128), (128, 128, 128), (192, 192, 192), (255, 0, 0), (0, 255, 0),
                    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
MONO_PALETTE = [(0, 0, 0), (255, 255, 255)]
# Width, height and bits a pixel of each picture, as the drawing code takes them for granted: the
# craft (its size places the contact probes and the erased strips), the buttons raised and pressed,
# the craft crushed (standing where it stood), debris (drawn 34 rows above the craft, 64 rows tall
# to end on its bottom row), the side and main flames (their sizes written into render/craft.cpp),
# the end box's scenes (one bit a pixel, in black and white).
SIZES = {**{i: (32, 30, 4) for i in (1, 8, 9, 10)}, **{i: (48, 48, 4) for i in range(2, 8)},
         **{i: (32, 64, 4) for i in range(11, 21)}, 21: (32, 8, 4), 22: (32, 8, 4),
         23: (24, 32, 4), 24: (96, 97, 1), 25: (96, 97, 1)}


def unpack(data, at, width, height, bits):
    """Pixel rows stored at data[at:] bottom up, each padded to 4 bytes, the leftmost pixel in a
    byte's highest bits: the rows top row first, and where they end."""
    stride = (width * bits + 31) // 32 * 4
    rows = [[data[at + (height - 1 - y) * stride + x * bits // 8] >> (8 - bits - x * bits % 8)
             & (1 << bits) - 1 for x in range(width)] for y in range(height)]
    return rows, at + stride * height


def read_dib(data, at, height=None):
    """A bitmap's info header at data[at:] (size, width, height, planes, bits, compression), its
    palette and pixel rows (the first `height` of them), and where they end."""
    header = struct.unpack_from("<IiiHHI", data, at)
    colours = struct.unpack_from("<I", data, at + 32)[0] or 1 << header[4]
    start = at + header[0] + 4 * colours
    palette = [tuple(data[i: i + 3][::-1]) for i in range(at + header[0], start, 4)]
    return (header, palette, *unpack(data, start, header[1], height or header[2], header[4]))


class Pictures(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="tavune-art-")
        subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "make_art.py"), cls.tmp],
                       check=True, capture_output=True)
        cls.addClassCleanup(shutil.rmtree, cls.tmp, ignore_errors=True)
        cls.files = {i: cls.made("bmp%02d.bmp" % i) for i in SIZES}
        cls.rows = {i: read_dib(data, 14)[2] for i, data in cls.files.items()}

    @classmethod
    def made(cls, name):
        with open(os.path.join(cls.tmp, name), "rb") as f:
            return f.read()

    def test_every_file_as_windows_reads_it(self):
        self.assertEqual(sorted(make_art.output_names()), sorted(os.listdir(self.tmp)))
        maps = {i: pic[3] for i, pic in make_art.load_pictures().items()}
        self.assertEqual(sorted(maps), sorted(SIZES))
        for i, data in self.files.items():
            width, height, bits = SIZES[i]
            header, palette, rows, end = read_dib(data, 14)
            self.assertEqual(struct.unpack_from("<2sI4sI", data),
                             (b"BM", len(data), bytes(4), 54 + 4 * len(palette)), "bitmap %d" % i)
            self.assertEqual(header, (40, width, height, 1, bits, 0), "bitmap %d" % i)
            self.assertEqual(palette, STANDARD_PALETTE if bits == 4 else MONO_PALETTE, i)
            self.assertEqual(end, len(data), "bitmap %d" % i)
            if i not in make_art.DERIVED:
                self.assertEqual(rows, maps[i], "bitmap %d is not its map" % i)

    def test_icon_file(self):
        data = self.made("tavune.ico")
        header, palette, pixels, end = read_dib(data, 22, 32)
        self.assertEqual(struct.unpack_from("<HHHBBBBHHII", data),
                         (0, 1, 1, 32, 32, 16, 0, 1, 4, len(data) - 22, 22))
        self.assertEqual((header, palette), ((40, 32, 64, 1, 4, 0), STANDARD_PALETTE))
        mask, end = unpack(data, end, 32, 32, 1)
        self.assertEqual(end, len(data))
        # Where the mask lets the screen through, the picture is black, so that nothing shows.
        icon = [[TRANSPARENT if m else v for v, m in zip(*rows)] for rows in zip(pixels, mask)]
        self.assertEqual(icon, make_art.load_icon())
        self.assertEqual({v for row, m in zip(pixels, mask) for v, t in zip(row, m) if t}, {BLACK})
        self.assertEqual([icon[y][x] for x in (0, 31) for y in (0, 31)], [TRANSPARENT] * 4)
        self.assertGreater(sum(v != TRANSPARENT for row in icon for v in row), 300)
        # The craft is outlined in black: nothing else meets a transparent pixel or the edge.
        opaque = {(x, y) for y in range(32) for x in range(32) if icon[y][x] != TRANSPARENT}
        for x, y in ((x, y) for x, y in opaque if icon[y][x] != BLACK):
            self.assertLessEqual({(x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)}, opaque, (x, y))

    def test_what_the_drawing_code_assumes(self):
        # The craft's top row is black and its feet stand on its last row.
        self.assertEqual(self.rows[1][0], [BLACK] * 32)
        self.assertGreaterEqual(sum(1 for v in self.rows[1][29] if v != BLACK), 9)
        for i in [1] + list(range(8, 24)):
            for x, y in ((0, 0), (-1, 0), (0, -1), (-1, -1)):
                self.assertEqual(self.rows[i][y][x], BLACK, "bitmap %d corner (%d,%d)" % (i, x, y))
        self.assertEqual(self.rows[22], [r[::-1] for r in self.rows[21]])  # the right flame
        self.assertNotEqual(self.rows[22], self.rows[21])
        # The flames are hot where they meet the craft.
        left, main = self.rows[21], self.rows[23]
        self.assertIn(WHITE, [left[y][31] for y in range(8)])
        self.assertNotIn(WHITE, [left[y][0] for y in range(8)])
        self.assertIn(WHITE, main[0])
        self.assertNotIn(WHITE, main[31])

    def test_buttons_raised_and_pressed(self):
        for up, down in ((2, 5), (3, 6), (4, 7)):
            raised, sunk = self.rows[up], self.rows[down]
            with self.subTest(button=up):
                # Raised: lit at the top left, in shadow at the bottom right, a black and dark grey
                # symbol on a light grey face.
                self.assertEqual(raised[0][:47] + [r[0] for r in raised[:47]], [WHITE] * 94)
                for k in range(1, 48):
                    self.assertEqual([raised[47][k], raised[k][47], raised[46][k], raised[k][46]],
                                     [DARK_GREY] * 4)
                symbol = {(x, y, raised[y][x]) for y in range(1, 46) for x in range(1, 46)
                          if raised[y][x] != LIGHT_GREY}
                self.assertEqual({v for _, _, v in symbol}, {BLACK, DARK_GREY})
                # Pressed: in shadow at the top left, the symbol 2 pixels right and down on a
                # light grey face.
                self.assertEqual(sunk[0] + [r[0] for r in sunk], [DARK_GREY] * 96)
                self.assertEqual({(x, y, sunk[y][x]) for y in range(1, 48) for x in range(1, 48)
                                  if sunk[y][x] != LIGHT_GREY},
                                 {(x + 2, y + 2, v) for x, y, v in symbol})


class MapsAndSheet(unittest.TestCase):
    def test_maps_are_read_or_refused(self):
        letters = make_art.LETTERS_16
        self.assertEqual(make_art.parse_map("# note\n.rW\nCd.\n", letters, "t"),
                         [[0, 1, 15], [14, 7, 0]])
        for text, why in (("...\n..\n", "short row"), ("...\n....\n", "long row"),
                          ("# nothing\n", "no rows"), ("..x\n...\n", "bad letter"),
                          ("._.\n...\n", "transparent")):
            with self.subTest(why), self.assertRaises(make_art.ArtError):
                make_art.parse_map(text, letters, "t")

    def test_bad_source_fails_the_build(self):
        read = make_art.read_text

        def spoiled(name):  # one letter of the main flame's map not in the legend
            text, path = read(name)
            return text.replace("W", "Q", 1) if name == "bmp23_flame_main.txt" else text, path
        with mock.patch.object(make_art, "read_text", spoiled):
            with self.assertRaisesRegex(make_art.ArtError, "bmp23_flame_main.txt"):
                make_art.load_pictures()

    def test_contact_sheet_is_a_well_formed_png(self):
        with tempfile.TemporaryDirectory() as d:
            self.assertEqual(make_art.main(["--sheet", os.path.join(d, "sheet.png")]), 0)
            with open(os.path.join(d, "sheet.png"), "rb") as f:
                data = f.read()
        self.assertEqual(data[:8], b"\x89PNG\r\n\x1a\n")
        pos, chunks = 8, []
        while pos < len(data):
            n, kind = struct.unpack_from(">I4s", data, pos)
            body = data[pos + 4: pos + 8 + n]
            self.assertEqual(struct.unpack_from(">I", data, pos + 8 + n)[0], zlib.crc32(body))
            chunks.append((kind, body[4:]))
            pos += 12 + n
        self.assertEqual((chunks[0][0], chunks[-1][0]), (b"IHDR", b"IEND"))
        w, h = struct.unpack_from(">II", chunks[0][1])
        pixels = zlib.decompress(b"".join(body for kind, body in chunks if kind == b"IDAT"))
        self.assertEqual(len(pixels), h * (1 + 3 * w))
        self.assertGreater(w, 96 * 4 * 2)


if __name__ == "__main__":
    unittest.main(verbosity=1)
