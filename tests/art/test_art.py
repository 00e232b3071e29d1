#!/usr/bin/env python3
"""Checks for the pictures that scripts/make_art.py makes from the pixel maps: the files'
format, palettes and pixels, and what the drawing code assumes of them.  That the program's
linked resources are these files is checked under Wine by tests/win32/resources_*.

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
# The standard 16-colour palette in its usual order, which the drawing code assumes, and the
# black-and-white one.
STANDARD_PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
                    (0, 128, 128), (128, 128, 128), (192, 192, 192), (255, 0, 0), (0, 255, 0),
                    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
MONO_PALETTE = [(0, 0, 0), (255, 255, 255)]


def decode_dib(data, offset, width, height, bits):
    """Rows (top first) of palette indices from bottom-up DIB bits."""
    stride = ((width * bits + 31) // 32) * 4
    rows = []
    for r in range(height):
        line = data[offset + r * stride: offset + (r + 1) * stride]
        row = []
        for x in range(width):
            bit = x * bits
            byte = line[bit // 8]
            row.append((byte >> (8 - bits - bit % 8)) & ((1 << bits) - 1))
        rows.append(row)
    return rows[::-1]


def read_bmp(path):
    with open(path, "rb") as f:
        data = f.read()
    magic, size, r1, r2, offset = struct.unpack_from("<2sIHHI", data, 0)
    hdr = struct.unpack_from("<IiiHHIIiiII", data, 14)
    colours = hdr[9]
    palette = [struct.unpack_from("<BBBB", data, 54 + 4 * i) for i in range(colours)]
    return {"magic": magic, "size": size, "file_len": len(data), "reserved": (r1, r2),
            "offset": offset, "hdr": hdr,
            "palette": [(r, g, b) for (b, g, r, _) in palette],
            "pad": [q[3] for q in palette],
            "rows": decode_dib(data, offset, hdr[1], hdr[2], hdr[4])}


class Built(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="tavune-art-")
        proc = subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "make_art.py"),
                               cls.tmp], capture_output=True, text=True)
        if proc.returncode != 0:
            raise AssertionError("make_art.py failed: " + proc.stderr)
        cls.pics = make_art.load_pictures()
        cls.bmp = {i: read_bmp(os.path.join(cls.tmp, make_art.bmp_name(i))) for i in cls.pics}

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)


class BitmapFiles(Built):
    def test_the_build_knows_every_file(self):
        self.assertEqual(sorted(make_art.output_names()), sorted(os.listdir(self.tmp)))

    def test_headers(self):
        for i, (w, h, bits, _) in self.pics.items():
            b = self.bmp[i]
            colours = 1 << bits
            stride = ((w * bits + 31) // 32) * 4
            with self.subTest(bitmap=i):
                self.assertEqual(b["magic"], b"BM")
                self.assertEqual(b["size"], b["file_len"])
                self.assertEqual(b["reserved"], (0, 0))
                self.assertEqual(b["offset"], 14 + 40 + 4 * colours)
                self.assertEqual(b["hdr"], (40, w, h, 1, bits, 0, stride * h, 0, 0, colours, 0))
                self.assertEqual(b["file_len"], b["offset"] + stride * h)
                self.assertEqual(b["palette"], STANDARD_PALETTE if bits == 4 else MONO_PALETTE)
                self.assertEqual(set(b["pad"]), {0})

    def test_pixels_match_sources(self):
        for i, pic in self.pics.items():
            self.assertEqual(self.bmp[i]["rows"], pic[3], "bitmap %d" % i)

    def test_craft_top_row_black_and_feet_on_last_row(self):
        rows = self.bmp[1]["rows"]
        self.assertEqual(rows[0], [BLACK] * 32)
        self.assertGreaterEqual(sum(1 for v in rows[29] if v != BLACK), 9)

    def test_black_corners(self):
        for i in [1] + list(range(8, 24)):
            rows = self.bmp[i]["rows"]
            w, h = self.pics[i][:2]
            for x, y in ((0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1)):
                self.assertEqual(rows[y][x], BLACK, "bitmap %d corner (%d,%d)" % (i, x, y))

    def test_right_flame_mirrors_left(self):
        self.assertEqual(self.bmp[22]["rows"], [r[::-1] for r in self.bmp[21]["rows"]])
        self.assertNotEqual(self.bmp[22]["rows"], self.bmp[21]["rows"])

    def test_flames_hot_where_they_meet_the_craft(self):
        left, main = self.bmp[21]["rows"], self.bmp[23]["rows"]
        self.assertIn(WHITE, [left[y][31] for y in range(8)])
        self.assertNotIn(WHITE, [left[y][0] for y in range(8)])
        self.assertIn(WHITE, main[0])
        self.assertNotIn(WHITE, main[31])

    def test_raised_button_edges(self):
        for i in (2, 3, 4):
            rows = self.bmp[i]["rows"]
            with self.subTest(button=i):
                self.assertTrue(all(rows[0][x] == WHITE for x in range(47)))
                self.assertTrue(all(rows[y][0] == WHITE for y in range(47)))
                for k in range(1, 48):
                    self.assertEqual(rows[47][k], DARK_GREY)
                    self.assertEqual(rows[k][47], DARK_GREY)
                    self.assertEqual(rows[46][k], DARK_GREY)
                    self.assertEqual(rows[k][46], DARK_GREY)
                symbol = [(x, y) for y in range(1, 46) for x in range(1, 46)
                          if rows[y][x] != LIGHT_GREY]
                self.assertTrue(symbol)
                self.assertEqual({rows[y][x] for x, y in symbol}, {BLACK, DARK_GREY})

    def test_pressed_buttons_are_shifted_symbols(self):
        for up, down in ((2, 5), (3, 6), (4, 7)):
            raised, sunk = self.bmp[up]["rows"], self.bmp[down]["rows"]
            with self.subTest(button=down):
                self.assertEqual(sunk[0], [DARK_GREY] * 48)
                self.assertEqual([r[0] for r in sunk], [DARK_GREY] * 48)
                expected = [[LIGHT_GREY] * 48 for _ in range(48)]
                for y in range(1, 46):
                    for x in range(1, 46):
                        if raised[y][x] != LIGHT_GREY:
                            expected[y + 2][x + 2] = raised[y][x]
                for y in range(1, 48):
                    self.assertEqual(sunk[y][1:], expected[y][1:], "row %d" % y)


class IconFile(Built):
    def test_structure(self):
        with open(os.path.join(self.tmp, "tavune.ico"), "rb") as f:
            data = f.read()
        self.assertEqual(struct.unpack_from("<HHH", data, 0), (0, 1, 1))
        w, h, count, res, planes, bits, size, offset = struct.unpack_from("<BBBBHHII", data, 6)
        self.assertEqual((w, h, count, res, planes, bits, offset), (32, 32, 16, 0, 1, 4, 22))
        self.assertEqual(size, len(data) - 22)
        hdr = struct.unpack_from("<IiiHHIIiiII", data, 22)
        self.assertEqual(hdr[:6], (40, 32, 64, 1, 4, 0))
        self.assertEqual(size, 40 + 64 + 32 * 16 + 32 * 4)
        xor = decode_dib(data, 22 + 40 + 64, 32, 32, 4)
        mask = decode_dib(data, 22 + 40 + 64 + 512, 32, 32, 1)
        icon = make_art.load_icon()
        for y in range(32):
            for x in range(32):
                transparent = icon[y][x] == make_art.TRANSPARENT
                self.assertEqual(mask[y][x], 1 if transparent else 0)
                self.assertEqual(xor[y][x], 0 if transparent else icon[y][x])
        self.assertEqual([mask[0][0], mask[0][31], mask[31][0], mask[31][31]], [1, 1, 1, 1])
        self.assertGreater(sum(v == 0 for r in mask for v in r), 300)

    def test_craft_outlined_in_black(self):
        icon = make_art.load_icon()
        for y in range(32):
            for x in range(32):
                if icon[y][x] not in (make_art.TRANSPARENT, BLACK):
                    for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                        nx, ny = x + dx, y + dy
                        self.assertTrue(0 <= nx < 32 and 0 <= ny < 32, (x, y))
                        self.assertNotEqual(icon[ny][nx], make_art.TRANSPARENT, (x, y))


class MapValidation(unittest.TestCase):
    LETTERS = make_art.LETTERS_16

    def test_good_map(self):
        rows = make_art.parse_map("# note\n.rW\nCd.\n", self.LETTERS, "t")
        self.assertEqual(rows, [[0, 1, 15], [14, 7, 0]])

    def test_faults_are_refused(self):
        for text, why in (("...\n..\n", "short row"), ("...\n....\n", "long row"),
                          ("# nothing\n", "no rows"), ("..x\n...\n", "bad letter"),
                          ("._.\n...\n", "transparent")):
            with self.subTest(why):
                with self.assertRaises(make_art.ArtError):
                    make_art.parse_map(text, self.LETTERS, "t")

    def test_bad_source_fails_the_build(self):
        art = tempfile.mkdtemp()
        try:
            for name in os.listdir(make_art.ART_DIR):
                shutil.copy(os.path.join(make_art.ART_DIR, name), art)
            path = os.path.join(art, "bmp23_flame_main.txt")
            with open(path) as f:
                text = f.read()
            with open(path, "w") as f:
                f.write(text.replace("W", "Q", 1))
            old, make_art.ART_DIR = make_art.ART_DIR, art
            try:
                with self.assertRaises(make_art.ArtError) as cm:
                    make_art.load_pictures()
                self.assertIn("bmp23_flame_main.txt", str(cm.exception))
            finally:
                make_art.ART_DIR = old
        finally:
            shutil.rmtree(art)


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
            if kind == b"IDAT":
                idat += body[4:]
            pos += 12 + n
        self.assertEqual(kinds[0], b"IHDR")
        self.assertEqual(kinds[-1], b"IEND")
        self.assertEqual(len(zlib.decompress(idat)), h * (1 + 3 * w))
        self.assertGreater(w, 96 * 4 * 2)


if __name__ == "__main__":
    unittest.main(verbosity=1)
