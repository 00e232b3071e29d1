"""Drives tavune.exe in a real window under Wine as a person would: xdotool's keys and clicks,
screenshots of the display, and our probe.exe in the same Wine desktop for what a box says."""

import ctypes
import ctypes.util
import itertools
import os
import pathlib
import shutil
import struct
import subprocess
import time
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

BLACK, WHITE, LIGHT_GREY, RED = (0, 0, 0), (255, 255, 255), (192, 192, 192), (255, 0, 0)
FLAME_COLOURS = ((255, 255, 0), (255, 0, 0), (128, 0, 0), (128, 128, 0))  # hot end and edges


class XImage(ctypes.Structure):  # the leading fields of Xlib's XImage
    _fields_ = [(name, ctypes.c_int) for name in ("width", "height", "xoffset", "format")] + [
        ("data", ctypes.c_void_p)] + [(name, ctypes.c_int) for name in (
            "byte_order", "bitmap_unit", "bitmap_bit_order", "bitmap_pad", "depth",
            "bytes_per_line", "bits_per_pixel")]


class Screen:
    """Screenshots through Xlib in this process: a few milliseconds each."""

    def __init__(self, display):
        x11 = self.x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
        x11.XOpenDisplay.restype = x11.XDefaultRootWindow.restype = ctypes.c_void_p
        x11.XDefaultRootWindow.argtypes = x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        x11.XDisplayWidth.argtypes = x11.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x11.XGetImage.restype = ctypes.POINTER(XImage)
        x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                  ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x11.XDestroyImage.argtypes = [ctypes.POINTER(XImage)]
        # An X error makes XGetImage return nothing, instead of Xlib ending the process.
        self.on_error = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(
            lambda display, event: 0)
        x11.XSetErrorHandler(self.on_error)
        self.connection = x11.XOpenDisplay(display.encode())
        if not self.connection:
            raise RuntimeError("cannot open the X display %s" % display)
        self.root = x11.XDefaultRootWindow(self.connection)
        self.size = (x11.XDisplayWidth(self.connection, 0), x11.XDisplayHeight(self.connection, 0))

    def grab(self, client=None):
        for attempt in range(3):
            before = time.time()
            image = self.x11.XGetImage(self.connection, self.root, 0, 0, self.size[0],
                                       self.size[1], ctypes.c_ulong(-1).value, 2)  # ZPixmap
            after = time.time()
            if image:
                break
            time.sleep(0.1)
        else:
            raise RuntimeError("the X server gave no screenshot")
        fields = image.contents
        format, stride = (fields.bits_per_pixel, fields.byte_order), fields.bytes_per_line
        data = ctypes.string_at(fields.data, stride * self.size[1])
        self.x11.XDestroyImage(image)
        if format != (32, 0):
            raise RuntimeError("unexpected screenshot format %s" % (format,))
        return Frame(data, stride, self.size, (before + after) / 2,
                     client or (0, 0) + self.size)


class Frame:
    """A screenshot (blue, green, red, pad a pixel) in client coordinates, taken at time t."""

    def __init__(self, data, stride, size, t, client):
        self.data, self.stride, (self.screen_w, self.screen_h), self.t = data, stride, size, t
        self.ox, self.oy, self.width, self.height = client
        self.visible = min(self.width, self.screen_w - self.ox)  # client columns on the screen

    def row(self, y, x0, x1):  # pixels x0..x1-1 of client row y, clipped to the screen
        sy, sx0, sx1 = y + self.oy, max(0, x0 + self.ox), min(self.screen_w, x1 + self.ox)
        if not 0 <= sy < self.screen_h or sx1 <= sx0:
            return b""
        return self.data[sy * self.stride + 4 * sx0:sy * self.stride + 4 * sx1]

    def at(self, x, y):
        p = self.row(y, x, x + 1)
        return (p[2], p[1], p[0]) if p else None

    def count(self, x0, y0, x1, y1, colours):
        return sum(self.at(x, y) in colours for y in range(y0, y1) for x in range(x0, x1))

    def png(self):
        w, h = self.screen_w, self.screen_h
        rows = []
        for y in range(h):
            bgrx, rgb = self.data[y * self.stride:y * self.stride + 4 * w], bytearray(3 * w)
            rgb[0::3], rgb[1::3], rgb[2::3] = bgrx[2::4], bgrx[1::4], bgrx[0::4]
            rows.append(b"\0" + rgb)

        def chunk(kind, body):
            return struct.pack(">I", len(body)) + kind + body + struct.pack(
                ">I", zlib.crc32(kind + body))
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(b"".join(rows), 1)) + chunk(b"IEND", b""))


def terrain_tops(frame, first_row=215):
    """For each client column, the first white row from first_row on (the ground line), or None."""
    tops = [None] * frame.width
    left = set(range(frame.visible))
    for y in range(first_row, frame.height):
        row = frame.row(y, 0, frame.visible)
        if b"\xff\xff\xff" in row:
            found = [x for x in left if row[4 * x:4 * x + 3] == b"\xff\xff\xff"]
            for x in found:
                tops[x] = y
            left.difference_update(found)
            if not left:
                break
    return tops


def landing_site(tops):
    """(start, width, row) of the widest level run of the ground line, or None. Four segments
    of the thirty, it is wider than any level stretch that random steps leave elsewhere."""
    runs, x = [], 0
    for row, run in itertools.groupby(tops):
        runs.append((x, len(list(run)), row))
        x += runs[-1][1]
    site = max((run for run in runs if run[2] is not None), key=lambda run: run[1], default=None)
    return site if site and site[1] + tops.count(None) >= len(tops) // 8 else None


def craft_box(frame, tops, x0=0, x1=None, y0=0):
    """Box (x0, y0, x1, y1) of the coloured pixels above the ground left of the panel, or None."""
    x1 = min(x1 or frame.width - 210, frame.visible)
    box = None
    for y in range(y0, frame.height):
        row = frame.row(y, x0, x1)
        if not row.replace(b"\xff\xff\xff\0", b"\0\0\0\0").strip(b"\0"):
            continue  # sky and ground only
        for x in range(x0, x1):
            p = row[4 * (x - x0):4 * (x - x0) + 3]
            if p not in (b"\0\0\0", b"\xff\xff\xff") and (tops[x] is None or y < tops[x]):
                box = [min(box[0], x), box[1], max(box[2], x + 1), y + 1] if box else [
                    x, y, x + 1, y + 1]
    return tuple(box) if box else None


class Game:
    """The game on the tests' desktop; with launcher, on env's DISPLAY and prefix."""

    def __init__(self, build_dir, name, prefix=None, launcher=False, env=None):
        self.build = os.path.abspath(build_dir)
        self.prefix = prefix or os.path.join(self.build, "wineprefix")
        self.exe = os.path.join(self.build, "tavune.exe")
        self.probe_exe = os.path.join(self.build, "tests", "probe.exe")
        self.shots_dir = os.path.join(self.build, "e2e-shots", name)
        shutil.rmtree(self.shots_dir, ignore_errors=True)
        os.makedirs(self.shots_dir)
        self.env = dict(env or os.environ)
        self.run = [self.env.get("WINELOADER", "wine")]
        if not launcher:  # on the desktop that ctest gave the test
            desktops = os.path.join(self.build, "desktops")
            slot = self.env.get("CTEST_RESOURCE_GROUP_0_DESKTOPS", "id:0")[3:].split(",")[0]
            with open(os.path.join(desktops, slot, "env")) as lines:
                self.env.update(line.rstrip("\n").split("=", 1) for line in lines)
            self.prefix = self.env["WINEPREFIX"]
            self.run = [os.path.join(ROOT, "scripts", "wine-run"), desktops]
        self.screen = Screen(self.env["DISPLAY"])
        self.process = self.client = self.seen = None
        self.shot_number, self.said = 0, ""  # said: the last probe's words, for failures

    def start(self):
        """Starts the game and waits until its window stays put as wide as the display. A game
        left here by a killed run is ended first: the probe would read its window."""
        self.end_games()
        self.process = subprocess.Popen(self.run + [self.exe], env=self.env,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.PIPE)
        if not self.wait_placed(lambda x, y, w, h: w == self.screen.size[0] and h > 400):
            rc = self.process.poll()
            raise AssertionError("the game's window did not reach its place (last seen at %s; "
                                 "probe: %s; %s)" % (self.seen, self.said, "running" if rc is None
                                 else "exited %d: %s" % (rc, self.process.stderr.read())))
        self.xdotool("mousemove", str(self.client[0] + 100), str(self.client[1] + 100))

    def wait_placed(self, placed, timeout=30):
        """Waits until the client area (x, y, w, h) stays put where placed() wants it, and takes
        it as the game's: that area, or None (self.seen: the last one seen)."""
        deadline = time.time() + timeout
        self.seen = None
        while time.time() < deadline:
            out = self.probe("window")
            if out:
                rect = tuple(int(v) for v in out.split()[1:5])
                origin = placed(*rect) and rect == self.seen and self.screen_origin(rect)
                if origin:
                    self.client = origin + rect[2:]
                    self.width, self.height = rect[2:]
                    return self.client
                self.seen = rect
            time.sleep(0.2)
        return None

    def screen_origin(self, rect):
        """The sky's top left corner on the screen, past the menu bar and frame (Wine 10 shows a
        maximised window 4 px off its place); None until they are drawn."""
        shot = self.screen.grab()
        edge = lambda x, y, dx, dy: shot.at(x, y) == BLACK != shot.at(x - dx, y - dy)
        x, y = max(rect[0], 0), rect[1]
        dy = next((d for d in range(9) if edge(x + 100, y + d, 0, 1)), None)
        dx = next((d for d in range(9) if dy is not None and edge(x + d, y + dy + 10, 1, 0)), None)
        return None if dx is None else (x + dx, y + dy)

    def wait_ready(self, timeout=30):
        """The start scene's shot once the window takes input on three looks in a row (longer than
        a calibration started again); else None, and self.why says what was not seen."""
        shot, scene = self.wait_shot("scene", self.start_scene, timeout)
        taking = scene and poll(lambda: all(self.probe("enabled") == "enabled" for _ in range(3)),
                                timeout, 0.1)
        self.why = "" if taking else "the window never took input (%s)" % self.said if scene \
            else "no start scene: the ground with its site and the craft at its start (%s)" % (
                self.shots_dir)
        return shot if taking else None

    def wait_exit(self, timeout=15):  # the exit code, or None
        return poll(lambda: self.process.poll() is not None, timeout) and self.process.returncode

    def kill(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.end_games()
        self.screen.x11.XCloseDisplay(self.screen.connection)

    def running(self):
        """The names of the game's programs that run in this prefix."""
        return [name for name in ("tavune.exe", "tavune64.exe") if self.processes("/" + name)]

    def processes(self, path):
        """This prefix's processes whose command line holds path (a Windows path's \\ read as /)."""
        found = []
        for pid in os.listdir("/proc"):
            try:
                command = pathlib.Path("/proc", pid, "cmdline").read_bytes().replace(b"\\", b"/")
                env = pathlib.Path("/proc", pid, "environ").read_bytes().split(b"\0")
                if path.encode() in command and ("WINEPREFIX=" + self.prefix).encode() in env:
                    found.append(int(pid))
            except (OSError, ValueError):
                continue
        return found

    def end_games(self):
        # Wine may leave the exe running after the wrapper is gone.
        for pid in self.processes(self.exe):
            os.kill(pid, 9)

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.env, check=True)

    def key(self, name, action="key"):  # or only keydown or keyup
        self.xdotool(action, name)

    def hold(self, name, seconds=0.2):
        self.xdotool("keydown", name, "sleep", str(seconds), "keyup", name)

    def click(self, x, y):
        self.xdotool("mousemove", str(self.client[0] + x), str(self.client[1] + y), "click", "1")

    def probe(self, *args):
        """What the probe finds, else ""; self.said keeps what it said either way."""
        result = subprocess.run(self.run + [self.probe_exe, *args], env=self.env,
                                capture_output=True, text=True)
        self.said = "probe %s: exit %d %r" % (" ".join(args), result.returncode,
                                              (result.stdout + result.stderr).strip())
        return result.stdout.strip() if result.returncode == 0 else ""

    def background_probe(self, *args):
        return subprocess.Popen(self.run + [self.probe_exe, *args], env=self.env,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)

    def show(self, how):  # ShowWindow from another program, as the desktop would
        self.probe("show", str({"minimize": 6, "restore": 9, "normal": 1, "maximize": 3}[how]))

    def box(self):  # the open box's caption, title and message, or None
        return box_fields(self.probe("box"))

    def wait_box(self, timeout=20):
        return poll(self.box, timeout) or {}

    def wait_no_box(self, timeout=20):
        return bool(poll(lambda: self.box() is None, timeout))

    def open_menu(self, timeout=10):
        # Again if it never opened: the keys may have come before the window had the keyboard.
        for _ in range(2):
            self.key("alt+g")
            if poll(lambda: self.probe("menu") == "open", timeout, 0.1):
                self.shot("menu")
                return True
        return False

    def menu_closed(self):
        return bool(poll(lambda: self.probe("menu") != "open", 10))

    def close_box(self):
        # Enter alone, held as a finger holds it (OK has the focus): nothing presses OK behind.
        self.hold("Return")
        return self.wait_no_box()

    def shot(self, label=None):  # with a label, also kept as a numbered PNG file
        shot = self.screen.grab(self.client)
        if label:
            self.save(shot, label)
        return shot

    def save(self, shot, label):
        self.shot_number += 1
        with open("%s/%03d-%s.png" % (self.shots_dir, self.shot_number, label), "wb") as out:
            out.write(shot.png())

    def wait_shot(self, label, condition, timeout=20):
        """(shot, condition(shot)) once that is true, or (last shot, None); keeps that shot."""
        deadline = time.time() + timeout
        while True:
            shot = self.shot()
            value = condition(shot)
            if value or time.time() > deadline:
                self.save(shot, label)
                return shot, value or None

    def craft(self, shot, band=(0, None)):  # the craft's box, in the band of columns (x0, x1)
        return craft_box(shot, terrain_tops(shot), *band)

    def wait_craft(self, label, condition, timeout=20, band=(0, None)):
        def met(shot):
            box = self.craft(shot, band)
            return box if box and condition(box) else None
        return self.wait_shot(label, met, timeout)[1]

    def stays(self, start, seconds=1.5):
        # A flight started by mistake would take the waiting craft down within a second.
        deadline = time.time() + seconds
        while time.time() < deadline:
            if self.craft(self.shot()) != start:
                return False
        return True

    def start_scene(self, shot):
        """(tops, craft box, site) for the whole ground line with its site and the craft alone
        at its start: its left edge on the centre column, a sixth of the way down."""
        tops = terrain_tops(shot)
        if None in tops[:shot.visible]:
            return None
        box = craft_box(shot, tops)
        site = landing_site(tops)
        # The picture's first column and its first two rows hold only black and white.
        if (site and box and (box[0] - 1, box[2] - box[0], box[3] - box[1]) == (
                self.width // 2, 30, 28) and 0.08 * self.height < box[1] < 0.25 * self.height):
            return tops, box, site
        return None


class BoxWatch:
    """The box probe in the background, so that screenshots go on meanwhile."""

    def __init__(self, game):
        self.game, self.process, self.started = game, None, 0.0

    def fields(self, again=True):
        """The box's fields once a probe has found one; with again, the next probe starts."""
        found = None
        if self.process is not None and self.process.poll() is not None:
            found = box_fields(self.process.communicate()[0].decode(errors="replace").strip())
            self.process = None
        if found is None and self.process is None and again:
            self.process = self.game.background_probe("box")
            self.started = time.time()
        return found

    def close(self):
        if self.process is not None:
            self.process.communicate()
            self.process = None


def box_fields(out):  # the box probe's "name=value" lines, or None without any
    return dict(line.partition("=")[::2] for line in out.splitlines()) if out else None


def poll(condition, timeout, pause=0.2):
    """condition() once it is true, or None when the time is up."""
    deadline = time.time() + timeout
    while True:
        value = condition()
        if value or time.time() > deadline:
            return value or None
        time.sleep(pause)
