#!/usr/bin/env python3
"""Checks for the pictures that scripts/make_art.py makes from the pixel maps: the files byte for
byte (headers, palettes, and the pixels packed as Windows reads them), and what the drawing code
assumes of the pictures. That the program's linked resources are these files is checked under
Wine by tests/win32/resources_*.

Run: python3 tests/art/test_art.py"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

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


def packed(rows, bits):
    """Rows bottom up, the leftmost pixel in the highest bits, each row padded to 4 bytes."""
    out = b""
    for row in reversed(rows):
        line = "".join(format(v, "0%db" % bits) for v in row)
        line += "0" * (-len(line) % 32)
        out += int(line, 2).to_bytes(len(line) // 8, "big")
    return out


def info_header(width, height, bits, palette, pixels):
    """The 40-byte bitmap info header and the palette (blue, green, red, 0)."""
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels), 0, 0,
                       len(palette), 0) + b"".join(bytes((b, g, r, 0)) for r, g, b in palette)


class Pictures(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="tavune-art-")
        proc = subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "make_art.py"),
                               cls.tmp], capture_output=True, text=True)
        if proc.returncode != 0:
            raise AssertionError("make_art.py failed: " + proc.stderr)
        cls.pics = make_art.load_pictures()
        cls.rows = {i: pic[3] for i, pic in cls.pics.items()}
        cls.icon = make_art.load_icon()

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def made(self, name):
        with open(os.path.join(self.tmp, name), "rb") as f:
            return f.read()

    def test_the_build_knows_every_file(self):
        self.assertEqual(sorted(make_art.output_names()), sorted(os.listdir(self.tmp)))

    def test_bitmap_files(self):
        for i, (w, h, bits, rows) in self.pics.items():
            palette = STANDARD_PALETTE if bits == 4 else MONO_PALETTE
            pixels = packed(rows, bits)
            offset = 14 + 40 + 4 * len(palette)
            expected = (struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset) +
                        info_header(w, h, bits, palette, pixels) + pixels)
            self.assertEqual(self.made(make_art.bmp_name(i)), expected, "bitmap %d" % i)

    def test_icon_file(self):
        # The picture's pixels, black where transparent, then the mask: 1 where transparent.
        pixels = (packed([[max(v, 0) for v in row] for row in self.icon], 4) +
                  packed([[int(v == TRANSPARENT) for v in row] for row in self.icon], 1))
        image = info_header(32, 64, 4, STANDARD_PALETTE, pixels) + pixels
        self.assertEqual(self.made("tavune.ico"), struct.pack("<HHH", 0, 1, 1) + struct.pack(
            "<BBBBHHII", 32, 32, 16, 0, 1, 4, len(image), 22) + image)
        corners = [self.icon[y][x] for x in (0, 31) for y in (0, 31)]
        self.assertEqual(corners, [TRANSPARENT] * 4)
        self.assertGreater(sum(v != TRANSPARENT for row in self.icon for v in row), 300)

    def test_icon_craft_outlined_in_black(self):
        icon = self.icon
        for y in range(32):
            for x in range(32):
                if icon[y][x] not in (TRANSPARENT, BLACK):
                    for nx, ny in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
                        self.assertTrue(0 <= nx < 32 and 0 <= ny < 32, (x, y))
                        self.assertNotEqual(icon[ny][nx], TRANSPARENT, (x, y))

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

    def test_raised_button_edges(self):
        for i in (2, 3, 4):
            rows = self.rows[i]
            with self.subTest(button=i):
                self.assertEqual(rows[0][:47] + [r[0] for r in rows[:47]], [WHITE] * 94)
                for k in range(1, 48):
                    self.assertEqual([rows[47][k], rows[k][47], rows[46][k], rows[k][46]],
                                     [DARK_GREY] * 4)
                symbol = {rows[y][x] for y in range(1, 46) for x in range(1, 46)} - {LIGHT_GREY}
                self.assertEqual(symbol, {BLACK, DARK_GREY})

    def test_pressed_buttons_are_shifted_symbols(self):
        for up, down in ((2, 5), (3, 6), (4, 7)):
            raised, sunk = self.rows[up], self.rows[down]
            with self.subTest(button=down):
                self.assertEqual(sunk[0] + [r[0] for r in sunk], [DARK_GREY] * 96)
                expected = [[LIGHT_GREY] * 48 for _ in range(48)]
                for y in range(1, 46):
                    for x in range(1, 46):
                        if raised[y][x] != LIGHT_GREY:
                            expected[y + 2][x + 2] = raised[y][x]
                for y in range(1, 48):
                    self.assertEqual(sunk[y][1:], expected[y][1:], "row %d" % y)


class MapValidation(unittest.TestCase):
    LETTERS = make_art.LETTERS_16

    def test_good_map(self):
        rows = make_art.parse_map("# note\n.rW\nCd.\n", self.LETTERS, "t")
        self.assertEqual(rows, [[0, 1, 15], [14, 7, 0]])

    def test_faults_are_refused(self):
        for text, why in (("...\n..\n", "short row"), ("...\n....\n", "long row"),
                          ("# nothing\n", "no rows"), ("..x\n...\n", "bad letter"),
                          ("._.\n...\n", "transparent")):
            with self.subTest(why), self.assertRaises(make_art.ArtError):
                make_art.parse_map(text, self.LETTERS, "t")

    def test_bad_source_fails_the_build(self):
        with tempfile.TemporaryDirectory() as art:
            for name in os.listdir(make_art.ART_DIR):
                with open(os.path.join(make_art.ART_DIR, name)) as f:
                    text = f.read()
                with open(os.path.join(art, name), "w") as f:
                    f.write(text.replace("W", "Q", 1) if name == "bmp23_flame_main.txt" else text)
            old, make_art.ART_DIR = make_art.ART_DIR, art
            try:
                with self.assertRaisesRegex(make_art.ArtError, "bmp23_flame_main.txt"):
                    make_art.load_pictures()
            finally:
                make_art.ART_DIR = old


class ContactSheet(unittest.TestCase):
    def test_png_is_well_formed(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "sheet.png")
            self.assertEqual(make_art.main(["--sheet", path]), 0)
            with open(path, "rb") as f:
                data = f.read()
        self.assertEqual(data[:8], b"\x89PNG\r\n\x1a\n")
        pos, idat, kinds = 8, b"", []
        while pos < len(data):
            n, kind = struct.unpack_from(">I4s", data, pos)
            body = data[pos + 4: pos + 8 + n]
            self.assertEqual(struct.unpack_from(">I", data, pos + 8 + n)[0], zlib.crc32(body))
            kinds.append(kind)
            if kind == b"IHDR":
                w, h = struct.unpack_from(">II", body, 4)
            idat += body[4:] if kind == b"IDAT" else b""
            pos += 12 + n
        self.assertEqual((kinds[0], kinds[-1]), (b"IHDR", b"IEND"))
        self.assertEqual(len(zlib.decompress(idat)), h * (1 + 3 * w))
        self.assertGreater(w, 96 * 4 * 2)


if __name__ == "__main__":
    unittest.main(verbosity=1)
