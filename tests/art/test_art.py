#!/usr/bin/env python3
"""Checks for the generated pictures and the compiled resource script.

Run: python3 tests/art/test_art.py   (the resource checks need
i686-w64-mingw32-windres; they are skipped, loudly, without it)."""

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

WINDRES = shutil.which("i686-w64-mingw32-windres")
BLACK, DARK_GREY, LIGHT_GREY, WHITE = 0, 7, 8, 15
EXPECTED_PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (128, 128, 128), (192, 192, 192), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
SIZES = dict([(1, (32, 30))] + [(i, (48, 48)) for i in range(2, 8)]
             + [(i, (32, 30)) for i in (8, 9, 10)] + [(i, (32, 64)) for i in range(11, 21)]
             + [(21, (32, 8)), (22, (32, 8)), (23, (24, 32)), (24, (96, 97)), (25, (96, 97))])


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
        cls.bmp = {i: read_bmp(os.path.join(cls.tmp, "bmp%02d.bmp" % i)) for i in SIZES}

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)


class BitmapFiles(Built):
    def test_headers(self):
        for i, (w, h) in SIZES.items():
            b = self.bmp[i]
            bits = 1 if i >= 24 else 4
            colours = 2 if bits == 1 else 16
            stride = ((w * bits + 31) // 32) * 4
            with self.subTest(bitmap=i):
                self.assertEqual(b["magic"], b"BM")
                self.assertEqual(b["size"], b["file_len"])
                self.assertEqual(b["reserved"], (0, 0))
                self.assertEqual(b["offset"], 14 + 40 + 4 * colours)
                self.assertEqual(b["hdr"], (40, w, h, 1, bits, 0, stride * h, 0, 0, colours, 0))
                self.assertEqual(b["file_len"], b["offset"] + stride * h)
                self.assertEqual(b["palette"], EXPECTED_PALETTE if bits == 4
                                 else [(0, 0, 0), (255, 255, 255)])
                self.assertEqual(set(b["pad"]), {0})

    def test_pixels_match_sources(self):
        pics = make_art.load_pictures()
        for i in SIZES:
            self.assertEqual(self.bmp[i]["rows"], pics[i][3], "bitmap %d" % i)

    def test_craft_top_row_black_and_feet_on_last_row(self):
        rows = self.bmp[1]["rows"]
        self.assertEqual(rows[0], [BLACK] * 32)
        self.assertGreaterEqual(sum(1 for v in rows[29] if v != BLACK), 9)

    def test_black_corners(self):
        for i in [1] + list(range(8, 24)):
            rows = self.bmp[i]["rows"]
            w, h = SIZES[i]
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
        rows = make_art.parse_map("# note\n.rW\nCd.\n", 3, 2, self.LETTERS, "t")
        self.assertEqual(rows, [[0, 1, 15], [14, 7, 0]])

    def test_faults_are_refused(self):
        for text, why in (("..\n...\n", "short row"), ("....\n...\n", "long row"),
                          ("...\n", "too few rows"), ("...\n...\n...\n", "too many rows"),
                          ("..x\n...\n", "bad letter"), ("._.\n...\n", "transparent")):
            with self.subTest(why):
                with self.assertRaises(make_art.ArtError):
                    make_art.parse_map(text, 3, 2, self.LETTERS, "t")

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


# ---------------------------------------------------------------- resources

def utf16z(data, pos):
    end = pos
    while data[end:end + 2] != b"\0\0":
        end += 2
    return data[pos:end].decode("utf-16-le"), end + 2


def sz_or_ord(data, pos):
    if data[pos:pos + 2] == b"\xff\xff":
        return struct.unpack_from("<H", data, pos + 2)[0], pos + 4
    return utf16z(data, pos)


def align(pos, n=4):
    return (pos + n - 1) // n * n


def read_res(path):
    with open(path, "rb") as f:
        data = f.read()
    out, pos = {}, 0
    while pos < len(data):
        size, hsize = struct.unpack_from("<II", data, pos)
        kind, p = sz_or_ord(data, pos + 8)
        name, p = sz_or_ord(data, p)
        p = align(p)
        _, _, lang = struct.unpack_from("<IHH", data, p)
        body = data[pos + hsize: pos + hsize + size]
        if size:
            out[(kind, name)] = (lang, body)
        pos = align(pos + hsize + size)
    return out


CLASS_ATOMS = {0x80: "BUTTON", 0x81: "EDIT", 0x82: "STATIC", 0x84: "SCROLLBAR"}


def read_dialog(body):
    style, exstyle, count, x, y, cx, cy = struct.unpack_from("<IIHhhhh", body, 0)
    menu, p = sz_or_ord(body, 18)
    cls, p = sz_or_ord(body, p)
    title, p = utf16z(body, p)
    font = None
    if style & 0x40:
        size = struct.unpack_from("<H", body, p)[0]
        face, p = utf16z(body, p + 2)
        font = (size, face)
    items = []
    for _ in range(count):
        p = align(p)
        istyle, iex, ix, iy, icx, icy, iid = struct.unpack_from("<IIhhhhH", body, p)
        icls, p = sz_or_ord(body, p + 18)
        text, p = sz_or_ord(body, p)
        extra = struct.unpack_from("<H", body, p)[0]
        p += 2 + extra
        items.append((iid, CLASS_ATOMS.get(icls, icls), text, istyle, iex, (ix, iy, icx, icy)))
    return dict(style=style, exstyle=exstyle, rect=(x, y, cx, cy), menu=menu, cls=cls,
                title=title, font=font, items=items)


WS_CHILD, WS_VISIBLE, WS_POPUP = 0x40000000, 0x10000000, 0x80000000
WS_CAPTION, WS_SYSMENU, WS_GROUP, WS_TABSTOP = 0xC00000, 0x80000, 0x20000, 0x10000
DS_MODALFRAME, DS_SETFONT = 0x80, 0x40
SS_LEFT, SS_RIGHT, SS_ICON, SBS_HORZ = 0, 2, 3, 0
BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_AUTOCHECKBOX = 0, 1, 3
CV = WS_CHILD | WS_VISIBLE
DIALOG_STYLE = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME

DIALOGS = {
    "TAVUNE_ABOUT": (DIALOG_STYLE | DS_SETFONT, (44, 41, 132, 70), "About Tavune",
                     (10, "MS Sans Serif"), [
        (107, "STATIC", "Tavune v1.3", CV | SS_RIGHT, (78, 10, 42, 8)),
        (0xFFFF, "STATIC", None, CV | SS_RIGHT, (34, 24, 86, 8)),
        (108, "STATIC", None, CV | SS_RIGHT, (46, 32, 74, 8)),
        (1, "BUTTON", "OK", CV | BS_DEFPUSHBUTTON | WS_GROUP, (50, 54, 32, 12)),
        (109, "STATIC", "TAVUNE", CV | SS_ICON, (8, 8, 18, 20))]),
    "TAVUNE_ENDGAME": (DIALOG_STYLE, (75, 62, 184, 85), "", None, [
        (1, "BUTTON", "OK", CV | BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, (76, 68, 32, 12)),
        (151, "STATIC", "Title", CV | SS_LEFT | WS_GROUP, (76, 6, 100, 18)),
        (152, "STATIC", "Description", CV | SS_LEFT | WS_GROUP, (76, 28, 100, 35))]),
    "TAVUNE_OPTIONS": (DIALOG_STYLE | DS_SETFONT, (34, 38, 148, 104), "Tavune Options",
                       (10, "MS Sans Serif"), [
        (1, "BUTTON", "OK", CV | BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, (106, 8, 34, 12)),
        (2, "BUTTON", "Cancel", CV | BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, (106, 24, 34, 12)),
        (103, "SCROLLBAR", "", CV | SBS_HORZ | WS_TABSTOP, (10, 10, 64, 8)),
        (104, "SCROLLBAR", "", CV | SBS_HORZ | WS_TABSTOP, (10, 30, 64, 8)),
        (105, "SCROLLBAR", "", CV | SBS_HORZ | WS_TABSTOP, (10, 50, 64, 8)),
        (102, "BUTTON", "Draw flame", CV | BS_AUTOCHECKBOX | WS_TABSTOP, (14, 72, 58, 12)),
        (101, "BUTTON", "Reverse side thrust", CV | BS_AUTOCHECKBOX | WS_TABSTOP,
         (14, 84, 76, 12)),
        (111, "STATIC", "Fuel", CV | SS_LEFT | WS_GROUP, (12, 38, 16, 8)),
        (112, "STATIC", "Gravity", CV | SS_LEFT, (12, 18, 31, 8)),
        (113, "STATIC", "Thrust", CV | SS_LEFT, (12, 58, 26, 8)),
        (106, "BUTTON", "Default", CV | BS_PUSHBUTTON | WS_TABSTOP, (106, 48, 34, 12))]),
}


@unittest.skipIf(WINDRES is None, "i686-w64-mingw32-windres not found: resource checks skipped")
class ResourceScript(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="tavune-res-")
        art = os.path.join(cls.tmp, "art")
        subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "make_art.py"), art],
                       check=True, capture_output=True)
        out = os.path.join(cls.tmp, "tavune.res")
        subprocess.run([WINDRES, "-I", art, "-I", os.path.join(ROOT, "res"),
                        os.path.join(ROOT, "res", "tavune.rc"), "-O", "res", "-o", out],
                       check=True, cwd=cls.tmp)
        cls.res = read_res(out)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def test_everything_is_us_english(self):
        self.assertEqual({lang for lang, _ in self.res.values()}, {1033})

    def test_bitmaps_are_the_generated_files(self):
        for i in range(1, 26):
            with open(os.path.join(self.tmp, "art", "bmp%02d.bmp" % i), "rb") as f:
                self.assertEqual(self.res[(2, i)][1], f.read()[14:], "bitmap %d" % i)

    def test_icon_group(self):
        body = self.res[(14, "TAVUNE")][1]
        self.assertEqual(struct.unpack_from("<HHH", body, 0), (0, 1, 1))
        w, h, colours, _, planes, bits, size, ident = struct.unpack_from("<BBBBHHIH", body, 6)
        self.assertEqual((w, h, colours, bits, ident), (32, 32, 16, 4, 1))
        self.assertEqual(len(self.res[(3, 1)][1]), size)

    def test_menu(self):
        body = self.res[(4, "TAVUNE")][1]
        self.assertEqual(struct.unpack_from("<HH", body, 0), (0, 0))
        flags, = struct.unpack_from("<H", body, 4)
        title, p = utf16z(body, 6)
        self.assertEqual((flags, title), (0x10 | 0x80, "&Game"))
        items = []
        while True:
            flags, ident = struct.unpack_from("<HH", body, p)
            text, p = utf16z(body, p + 4)
            items.append((flags & ~0x80, ident, text))
            if flags & 0x80:
                break
        self.assertEqual(p, len(body))
        self.assertEqual(items, [(0, 1, "&New\tF2"), (0, 2, "&Restart\tF3"),
                                 (0, 5, "&Options...\tF4"), (0, 3, "E&xit"), (0, 0, ""),
                                 (0, 4, "A&bout Tavune...")])

    def test_accelerators(self):
        body = self.res[(9, 153)][1]
        entries = [struct.unpack_from("<HHHH", body, i) for i in range(0, len(body), 8)]
        self.assertEqual(entries, [(3, 0x71, 1, 0), (3, 0x72, 2, 0), (3 | 0x80, 0x73, 5, 0)])

    def test_dialogs_exactly_as_designed(self):
        for name, (style, rect, title, font, controls) in DIALOGS.items():
            with self.subTest(dialog=name):
                d = read_dialog(self.res[(5, name)][1])
                self.assertEqual(hex(d["style"]), hex(style))
                self.assertEqual((d["exstyle"], d["menu"], d["cls"]), (0, "", ""))
                self.assertEqual((d["rect"], d["title"], d["font"]), (rect, title, font))
                self.assertEqual(len(d["items"]), len(controls))
                for got, want in zip(d["items"], controls):
                    ident, cls, text, cstyle, crect = want
                    self.assertEqual((got[0], got[1]), (ident, cls))
                    if text is not None:
                        self.assertEqual(got[2], text)
                    else:
                        self.assertTrue(got[2] and len(got[2]) <= 24)
                    self.assertEqual(hex(got[3]), hex(cstyle), "control %d" % ident)
                    self.assertEqual((got[4], got[5]), (0, crect))

    def test_version(self):
        body = self.res[(16, 1)][1]
        fixed = struct.unpack_from("<13I", body, body.index(struct.pack("<I", 0xFEEF04BD)))
        self.assertEqual(fixed[2:11], (0x10000, 1, 0x10000, 1, 0x3F, 0, 4, 1, 0))
        strings = {}
        for key in ("FileVersion", "ProductVersion", "ProductName"):
            k = (key + "\0").encode("utf-16-le")
            p = align(body.index(k) + len(k))
            strings[key] = utf16z(body, p)[0]
        self.assertEqual(strings, {"FileVersion": "1.30", "ProductVersion": "1.30",
                                   "ProductName": "Tavune"})
        self.assertIn("040904b0".encode("utf-16-le"), body)
        self.assertIn(struct.pack("<HH", 0x409, 1200), body)


if __name__ == "__main__":
    unittest.main(verbosity=1)
