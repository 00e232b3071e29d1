"""A scripted player for tavune.exe that sees only the screen and acts only through the keys.

It reads screenshots (the ground line and its flat landing site, the craft's picture and where it
goes from frame to frame) and holds and lets go Down, Left and Right, as a person at the keyboard
would. It knows what the manual tells a player: gravity 3 m/s², a main engine of 10000 units of
force on a craft of 1000 plus its fuel, side nozzles of 2000, 600 m to half the screen's width,
1200 m from the landing site's row less 29 pixels up to the top, and a game that runs 7.5
simulated seconds for each real second, one tick every 50 ms. Position over time gives the
speeds: a small Kalman filter per axis follows the craft, fed with the thrust that the pilot
itself commanded.

The pilot flies down a speed profile to the ground under its target, with short side pulses to
stop over it; it keeps every frame's estimates in a log, and enough frames to explain a flight
that went wrong."""

import collections
import ctypes
import ctypes.util
import math
import os
import struct
import subprocess
import time
import zlib

from game import SITE_TO_ORIGIN, BoxWatch, flat_runs, landing_site

# What a player knows about the game.
SIM_PER_REAL = 7.5  # simulated seconds per real second (the game calibrates its time step so)
TICK_REAL = 0.05  # the game's timer period
TICK_SIM = TICK_REAL * SIM_PER_REAL
GRAVITY = 3.0
DRY_MASS = 1000.0
START_FUEL = 1000.0
MAIN_THRUST = 10000.0
SIDE_THRUST = 2000.0
MAIN_BURN = 10.0
SIDE_BURN = 2.0
FRAME_INTERVAL = 0.02  # real seconds between screenshots, at least
CRAFT_W, CRAFT_H = 32, 30
START_ALTITUDE = 1000.0

# The panel and the thrust buttons (client coordinates from the right edge): the craft is never
# looked for there, and kept out of there while it is high up.
PANEL_LEFT_FROM_RIGHT = 210
PANEL_BOTTOM = 210
BUTTONS_LEFT_FROM_RIGHT = 102

# How the pilot flies (simulated units).
BRAKE = 1.0  # deceleration planned for the descent; the engine gives 2 to 7 m/s²
V_FINAL = 2.0  # vertical speed planned at touchdown
V_DESCENT_MAX = 25.0
X_BRAKE = 0.3  # horizontal deceleration planned for the approach; the nozzles give 1 to 2 m/s²
VX_MAX = 15.0
TRANSIT_MARGIN = 80.0  # metres kept above the highest ground between the craft and its target


class PilotError(Exception):
    pass


# Screenshots.
class Frame:
    """One screenshot of the whole display (32-bit pixels: blue, green, red, pad), addressed in
    the game's client coordinates."""

    def __init__(self, data, base, stride, size, t, client):
        self.data, self.base, self.stride = data, base, stride
        self.screen_w, self.screen_h = size
        self.t = t
        self.ox, self.oy, self.width, self.height = client

    @staticmethod
    def from_xwd(xwd, t, client):
        header = struct.unpack(">25I", xwd[:100])
        header_size, pixmap_format, width, height = header[0], header[2], header[4], header[5]
        byte_order, bits_per_pixel, stride, colours = header[7], header[11], header[12], header[19]
        if pixmap_format != 2 or bits_per_pixel != 32 or byte_order != 0:
            raise PilotError("unexpected screenshot format %s" % (header,))
        return Frame(xwd, header_size + 12 * colours, stride, (width, height), t, client)

    def row(self, y, x0, x1):
        """Pixels x0..x1-1 of client row y, four bytes each; clipped to the screen."""
        sy = y + self.oy
        if not 0 <= sy < self.screen_h:
            return b""
        sx0 = max(0, x0 + self.ox)
        sx1 = min(self.screen_w, x1 + self.ox)
        if sx1 <= sx0:
            return b""
        start = self.base + sy * self.stride
        return self.data[start + 4 * sx0:start + 4 * sx1]

    def png(self):
        """The whole screen as a PNG file's bytes."""
        w, h = self.screen_w, self.screen_h
        rows = []
        for y in range(h):
            start = self.base + y * self.stride
            bgrx = self.data[start:start + 4 * w]
            rgb = bytearray(3 * w)
            rgb[0::3], rgb[1::3], rgb[2::3] = bgrx[2::4], bgrx[1::4], bgrx[0::4]
            rows.append(b"\x00" + bytes(rgb))

        def chunk(kind, body):
            return (struct.pack(">I", len(body)) + kind + body +
                    struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

        return (b"\x89PNG\r\n\x1a\n" +
                chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(b"".join(rows), 6)) + chunk(b"IEND", b""))


ALL_PLANES = ctypes.c_ulong(-1).value
Z_PIXMAP = 2


class XImage(ctypes.Structure):
    """The leading fields of Xlib's XImage."""

    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
                ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
                ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


def open_xlib(display):
    """The X library and a connection to the display, or None where there is no libX11."""
    name = ctypes.util.find_library("X11")
    if not name:
        return None
    x11 = ctypes.CDLL(name)
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XDisplayWidth.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XGetImage.restype = ctypes.POINTER(XImage)
    x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                              ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    x11.XDestroyImage.argtypes = [ctypes.POINTER(XImage)]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    connection = x11.XOpenDisplay(display.encode())
    if not connection:
        return None
    return x11, connection


class Screen:
    """Screenshots of the display: through the X library in this process where it can be
    loaded (a few milliseconds, and the moment of the picture known to about one), else
    through xwd (some 30 ms, most of them starting the program)."""

    def __init__(self, env, client):
        self.env = env
        self.client = client
        self.xlib = open_xlib(env["DISPLAY"])
        if self.xlib:
            x11, connection = self.xlib
            self.root = x11.XDefaultRootWindow(connection)
            self.size = (x11.XDisplayWidth(connection, 0), x11.XDisplayHeight(connection, 0))

    def grab(self):
        if not self.xlib:
            xwd = subprocess.run(["xwd", "-root", "-silent"], env=self.env, capture_output=True,
                                 check=True).stdout
            return Frame.from_xwd(xwd, time.time() - 0.003, self.client)
        x11, connection = self.xlib
        before = time.time()
        image = x11.XGetImage(connection, self.root, 0, 0, self.size[0], self.size[1],
                              ALL_PLANES, Z_PIXMAP)
        after = time.time()
        if not image:
            raise PilotError("no screenshot")
        fields = image.contents
        if fields.bits_per_pixel != 32 or fields.byte_order != 0:
            x11.XDestroyImage(image)
            raise PilotError("unexpected screenshot format")
        stride = fields.bytes_per_line
        data = ctypes.string_at(fields.data, stride * self.size[1])
        x11.XDestroyImage(image)
        return Frame(data, 0, stride, self.size, (before + after) / 2, self.client)

    def close(self):
        if self.xlib:
            x11, connection = self.xlib
            x11.XCloseDisplay(connection)
            self.xlib = None


# The craft's picture.
def load_bitmap(path):
    """Rows of (b, g, r) bytes of a 4- or 8-bit Windows bitmap file."""
    data = open(path, "rb").read()
    offset = struct.unpack("<I", data[10:14])[0]
    header_size, width, height = struct.unpack("<Iii", data[14:26])
    bits = struct.unpack("<H", data[28:30])[0]
    if bits not in (4, 8):
        raise PilotError("%s: %d bits per pixel" % (path, bits))
    palette_at = 14 + header_size
    palette = [data[palette_at + 4 * i:palette_at + 4 * i + 3] for i in range(1 << bits)]
    stride = (width * bits + 31) // 32 * 4
    rows = []
    for y in range(abs(height)):
        stored = abs(height) - 1 - y if height > 0 else y
        raw = data[offset + stored * stride:offset + (stored + 1) * stride]
        row = []
        for x in range(width):
            if bits == 4:
                index = raw[x // 2] >> 4 if x % 2 == 0 else raw[x // 2] & 15
            else:
                index = raw[x]
            row.append(palette[index])
        rows.append(row)
    return rows


class CraftFinder:
    """Finds the craft picture in a frame. Only the part of the picture that the craft's own flames
    never touch is compared (rows 0-24, columns 3-28: the side flames overlap the outer three
    columns, the main flame the last five rows). Its first silver pixel is the anchor to look for:
    nothing else in the sky is silver, and the flames' colours, combined with the screen by
    exclusive-or, never make silver of black."""

    SILVER = b"\xc0\xc0\xc0"

    def __init__(self, bitmap_path):
        rows = load_bitmap(bitmap_path)
        if len(rows) != CRAFT_H or len(rows[0]) != CRAFT_W:
            raise PilotError("craft picture is %dx%d" % (len(rows[0]), len(rows)))
        self.columns = range(3, 29)
        self.rows = range(0, 25)
        self.template = [b"".join(rows[r][c] + b"\x00" for c in self.columns) for r in self.rows]
        self.anchor = None
        for r in self.rows:
            for c in self.columns:
                if rows[r][c] == self.SILVER:
                    self.anchor = (c, r)
                    break
            if self.anchor:
                break

    def matches(self, frame, x, y, tolerance=6):
        wrong = 0
        c0, c1 = self.columns[0], self.columns[-1] + 1
        for r, expected in zip(self.rows, self.template):
            got = frame.row(y + r, x + c0, x + c1)
            if len(got) != len(expected):
                return False
            if got == expected:
                continue
            for i in range(0, len(expected), 4):
                if got[i:i + 3] != expected[i:i + 3]:
                    wrong += 1
            if wrong > tolerance:
                return False
        return True

    def find(self, frame, area):
        """Top-left corner (x, y) of the craft picture whose top left lies in area (x0, y0, x1,
        y1), or None."""
        x0, y0, x1, y1 = area
        ax, ay = self.anchor
        buttons = frame.width - BUTTONS_LEFT_FROM_RIGHT
        for y in range(max(0, y0 + ay), min(frame.height, y1 + ay)):
            right = x1 + ax
            if 95 <= y < 200:
                right = min(right, buttons)  # the thrust buttons are silver too
            left = max(0, x0 + ax)
            row = frame.row(y, left, right)
            i = row.find(self.SILVER)
            while i >= 0:
                if i % 4 == 0:
                    x = left + i // 4 - ax
                    if self.matches(frame, x, y - ay):
                        return x, y - ay
                i = row.find(self.SILVER, i + 1)
        return None


# The scene.
def terrain_tops(frame, first_row=215):
    """For each client column, the first white row at or below first_row: the ground line."""
    width = frame.width
    tops = [None] * width
    left = set(range(width))
    for y in range(first_row, frame.height):
        row = frame.row(y, 0, width)
        if b"\xff\xff\xff" not in row:
            continue
        found = [x for x in left if row[4 * x:4 * x + 3] == b"\xff\xff\xff"]
        for x in found:
            tops[x] = y
        left.difference_update(found)
        if not left:
            break
    return tops


class Scene:
    """What the screen shows before a flight: the ground line, the site, the scale."""

    def __init__(self, frame, finder):
        self.width, self.height = frame.width, frame.height
        self.tops = terrain_tops(frame)
        if None in self.tops[:frame.screen_w - frame.ox]:  # the columns on the screen
            raise PilotError("the ground line does not span the screen")
        self.craft = finder.find(frame, (0, 0, self.width, min(t for t in self.tops if t)))
        if self.craft is None:
            raise PilotError("no craft on the screen")
        # Other flat runs may lie anywhere: the site is the one the craft's height points to.
        site = landing_site(self.tops, self.craft[1])
        self.origin_x = self.width // 2
        if site is None or self.craft[0] != self.origin_x:
            raise PilotError("the craft at %s is not at its start over a landing site (flat "
                             "runs %s)" % (self.craft, flat_runs(self.tops, 3 * self.width // 30)))
        self.site_x, self.site_w, self.site_row = site
        self.origin_y = self.site_row - SITE_TO_ORIGIN
        self.kx = self.origin_x / 600.0  # pixels per metre
        self.ky = self.origin_y / 1200.0

    # Metres and pixels.
    def left_to_pos(self, x):
        """posX (m) of a craft whose picture's left edge is on column x."""
        return (x - self.origin_x) / self.kx

    def pos_to_left(self, pos):
        return self.origin_x + int(pos * self.kx)

    def measured_pos(self, x):
        """Centre of the posX interval that the game draws at column x (it truncates to zero)."""
        d = x - self.origin_x
        if d == 0:
            return 0.0, (1.0 / self.kx) ** 2 / 3.0  # two pixels' worth of positions
        return (d + (0.5 if d > 0 else -0.5)) / self.kx, (1.0 / self.kx) ** 2 / 12.0

    def measured_alt(self, y):
        d = self.origin_y - y
        if d == 0:
            return 0.0, (1.0 / self.ky) ** 2 / 3.0
        return (d + (0.5 if d > 0 else -0.5)) / self.ky, (1.0 / self.ky) ** 2 / 12.0

    def ground_alt(self, x0, x1):
        """Altitude (m) of the highest ground under columns x0..x1 (the site's surface is 0): the
        craft's bottom row reaches it there."""
        x0 = max(0, min(self.width - 1, x0))
        x1 = max(x0, min(self.width - 1, x1))
        top = min(t for t in self.tops[x0:x1 + 1] if t)
        return (self.site_row - top) / self.ky

    def clearance_px(self, x, y):
        """Rows between the craft's bottom and the highest ground under it."""
        x0 = max(0, x)
        x1 = min(self.width - 1, x + CRAFT_W)
        return min(t for t in self.tops[x0:x1 + 1] if t) - (y + CRAFT_H)


# Estimating the motion.
class Axis:
    """Kalman filter for position and velocity along one axis, with known acceleration."""

    def __init__(self, p, v, q):
        self.p, self.v = p, v
        self.pp, self.pv, self.vv = 0.01, 0.0, 0.0001
        self.q = q  # spectral density of the acceleration nobody commanded

    def copy(self):
        twin = Axis(self.p, self.v, self.q)
        twin.pp, twin.pv, twin.vv = self.pp, self.pv, self.vv
        return twin

    def predict(self, dt, a):
        if dt <= 0:
            return
        self.p += self.v * dt + 0.5 * a * dt * dt
        self.v += a * dt
        pp = self.pp + 2 * dt * self.pv + dt * dt * self.vv
        pv = self.pv + dt * self.vv
        self.pp = pp + self.q * dt ** 3 / 3
        self.pv = pv + self.q * dt ** 2 / 2
        self.vv += self.q * dt

    def shake(self, var_v):
        """Uncertainty added by a command edge: the tick on which it takes effect is not known."""
        self.vv += var_v

    def update(self, z, r):
        s = self.pp + r
        kp, kv = self.pp / s, self.pv / s
        e = z - self.p
        self.p += kp * e
        self.v += kv * e
        pp, pv, vv = self.pp, self.pv, self.vv
        self.pp = (1 - kp) * pp
        self.pv = (1 - kp) * pv
        self.vv = vv - kv * pv
        return e


class Model:
    """The craft as the pilot believes it to be: both axes, the fuel, and the thrust in effect.

    Simulated time s counts from the release of the key that started the flight, 7.5 s for each
    real second. A key change at real time t reaches the game's next tick, on average half a tick
    later; a frame shows the state of the last tick, whose position the game's integration (speed
    first, then position) has put half a tick ahead of the continuous motion."""

    def __init__(self, t0):
        self.t0 = t0
        self.x = Axis(0.0, 0.0, q=0.002)
        self.y = Axis(START_ALTITUDE, 0.0, q=0.02)
        self.fuel = START_FUEL
        self.s = 0.0
        self.main, self.side = False, 0
        self.applied = 0  # key changes already folded in

    def copy(self):
        twin = Model(self.t0)
        twin.x, twin.y = self.x.copy(), self.y.copy()
        twin.fuel, twin.s, twin.main, twin.side = self.fuel, self.s, self.main, self.side
        twin.applied = self.applied
        return twin

    def sim(self, t):
        return (t - self.t0) * SIM_PER_REAL

    def mass(self):
        return DRY_MASS + self.fuel

    def accelerations(self, main, side):
        if self.fuel <= 0:
            return 0.0, -GRAVITY
        return (side * SIDE_THRUST / self.mass(),
                (MAIN_THRUST / self.mass() if main else 0.0) - GRAVITY)

    def advance(self, to):
        dt = to - self.s
        if dt <= 0:
            return
        a_x, a_y = self.accelerations(self.main, self.side)
        burn = (MAIN_BURN if self.main else 0.0) + (SIDE_BURN if self.side else 0.0)
        self.y.predict(dt, a_y)
        self.x.predict(dt, a_x)
        if self.fuel > 0:
            self.fuel = max(0.0, self.fuel - burn * dt)
        self.s = to

    def catch_up(self, changes, to):
        """Brings the model to simulated time `to`, folding in the key changes."""
        while self.applied < len(changes):
            t, main, side = changes[self.applied]
            s_eff = self.sim(t) + TICK_SIM / 2
            if s_eff > to:
                break
            self.advance(s_eff)
            # The edge lands on one tick or the next: a third of a tick's thrust either way.
            if main != self.main:
                self.y.shake((0.35 * MAIN_THRUST / self.mass() * TICK_SIM) ** 2)
            if side != self.side:
                self.x.shake((0.35 * SIDE_THRUST / self.mass() * TICK_SIM) ** 2)
            self.main, self.side = main, side
            self.applied += 1
        self.advance(to)

    def frame_time(self, t):
        return self.sim(t) + TICK_SIM / 2


class Keys:
    """The three flying keys, held and let go through xdotool, which reads its commands from a
    pipe (one process for the whole flight: starting xdotool for every key costs about 20 ms).
    Each change is remembered with its real time."""

    def __init__(self, game):
        self.process = subprocess.Popen(["xdotool", "-"], env=game.env, stdin=subprocess.PIPE,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.main = False
        self.side = 0  # +1: the Left key, whose nozzle pushes toward +x; -1: the Right key
        self.changes = []  # (real time, main, side)
        self.busy_until = 0.0  # xdotool is still sleeping inside a pulse until then

    def send(self, args):
        """Hands xdotool a command line; returns the time at which it will carry it out."""
        self.process.stdin.write((" ".join(args) + "\n").encode())
        self.process.stdin.flush()
        return max(time.time(), self.busy_until)

    def edges(self, main, side):
        args = []
        if main != self.main:
            args += ["keydown" if main else "keyup", "Down"]
        if side != self.side:
            if self.side:
                args += ["keyup", "Left" if self.side > 0 else "Right"]
            if side:
                args += ["keydown", "Left" if side > 0 else "Right"]
        return args

    def set(self, main, side):
        args = self.edges(main, side)
        if args:
            when = self.send(args)
            self.main, self.side = main, side
            self.changes.append((when, main, side))

    def pulse(self, main, side, seconds):
        """Sets the keys, and lets the side key go again after `seconds` (xdotool waits)."""
        args = self.edges(main, side)
        key = "Left" if side > 0 else "Right"
        now = self.send(args + ["sleep", "%.3f" % seconds, "keyup", key])
        self.busy_until = now + seconds
        self.main = main
        self.changes.append((now, main, side))
        self.changes.append((now + seconds, main, 0))
        self.side = 0

    def close(self):
        self.set(False, 0)
        self.process.stdin.close()
        self.process.wait()


class Mission:
    """Where and how to come down.

    target_left   column of the craft picture's left edge at touchdown
    floor         altitude (m) of the ground there
    drift         horizontal speed (m/s) wanted in the last metres (0 for a landing)"""

    def __init__(self, name, target_left, floor, drift=0.0):
        self.name = name
        self.target_left = target_left
        self.floor = floor
        self.drift = drift


def site_mission(scene):
    centre = scene.site_x + scene.site_w // 2
    return Mission("site", centre - CRAFT_W // 2, 0.0)


def sideways_mission(scene):
    """Onto the site, but moving sideways at 2.5 m/s: come down a little off its centre and
    drift across it in the last metres."""
    centre = scene.site_x + scene.site_w // 2
    direction = 1 if centre < scene.width // 2 else -1
    left = centre - CRAFT_W // 2 - direction * int(12 * scene.kx)
    return Mission("sideways", left, 0.0, drift=2.5 * direction)


def off_site_mission(scene):
    """A gentle touchdown on sloping ground away from the site: the three probe columns of the
    touchdown judge (left edge, middle, column right of the picture) meet the ground at clearly
    different heights."""
    best = None
    lo, hi = 40, scene.width - 40 - CRAFT_W
    for x in range(lo, hi):
        if x + CRAFT_W + 40 > scene.site_x and x - 40 < scene.site_x + scene.site_w:
            continue
        probes = [scene.tops[x], scene.tops[x + CRAFT_W // 2], scene.tops[x + CRAFT_W]]
        if max(probes) - min(probes) < 8:
            continue
        cost = abs(x - scene.origin_x)
        if best is None or cost < best[0]:
            best = (cost, x)
    if best is None:
        raise PilotError("no sloping ground away from the site")
    x = best[1]
    return Mission("off-site", x, scene.ground_alt(x, x + CRAFT_W))


class Pilot:
    """Flies one flight after another in a started game (see Game in game.py)."""

    def __init__(self, game):
        self.game = game
        self.screen = Screen(game.env, game.client)
        self.finder = CraftFinder(os.path.join(game.build, "art", "bmp01.bmp"))
        self.forget()

    def close(self):
        self.screen.close()

    # Looking.
    def grab(self):
        return self.screen.grab()

    def wait_for_start_position(self, timeout=20.0):
        """After New or Restart: a scene with the craft at its start, once the repaint is done."""
        deadline = time.time() + timeout
        while True:
            frame = self.grab()
            try:
                return Scene(frame, self.finder)
            except PilotError as e:
                if time.time() > deadline:
                    self.forget()
                    self.recent.append((0, frame))  # what the pilot saw, for the record
                    raise PilotError("the start position never showed: %s" % e)
            time.sleep(0.1)

    # Records for whoever reads a failure.
    def forget(self):
        self.log = []
        self.count = 0  # frames of the flight
        self.seen = 0
        self.packed = []  # (frame number, layout, packed pixels): every eighth frame
        self.recent = collections.deque(maxlen=30)  # (frame number, frame): the last frames

    def keep(self, frame, note):
        """Every frame's note goes to the log; the frames themselves every eighth, packed, and
        the last few as they are (packing each one would cost the pilot time)."""
        self.count += 1
        self.log.append("#%04d %.3f %s" % (self.count, frame.t, note))
        self.recent.append((self.count, frame))
        if self.count % 8 == 0:
            layout = (frame.base, frame.stride, (frame.screen_w, frame.screen_h), frame.t,
                      (frame.ox, frame.oy, frame.width, frame.height))
            self.packed.append((self.count, layout, zlib.compress(frame.data, 1)))

    def save_log(self, name):
        with open(os.path.join(self.game.shots_dir, name + ".log"), "w") as out:
            out.write("\n".join(self.log) + "\n")

    def save_frames(self, name, frames):
        """Writes (number, frame) pairs as NAME-NUMBER.png."""
        for number, frame in frames:
            with open(os.path.join(self.game.shots_dir, "%s-%04d.png" % (name, number)),
                      "wb") as out:
                out.write(frame.png())

    def save_last_frame(self, name):
        if self.recent:
            self.save_frames(name, [self.recent[-1]])

    def save_record(self, name):
        """The flight's log, every eighth frame and the last thirty, for a flight that failed."""
        self.save_log(name)
        first_recent = self.recent[0][0] if self.recent else self.count + 1
        older = [(n, Frame(zlib.decompress(packed), *layout))
                 for n, layout, packed in self.packed if n < first_recent]
        self.save_frames(name, older + list(self.recent))

    # Flying.
    def fly(self, scene, mission, timeout=60.0):
        """Starts the waiting flight and flies it to its end; returns the end-of-flight box's
        fields."""
        self.forget()
        self.log.append("mission %s: target column %d, floor %.1f m, drift %.1f; site %d+%d at "
                        "row %d" % (mission.name, mission.target_left, mission.floor,
                                    mission.drift, scene.site_x, scene.site_w, scene.site_row))
        flight = Flight(self, scene, mission)
        try:
            box = flight.run(timeout)
        finally:
            flight.close()
        self.seen = flight.seen  # frames in which the craft was found
        self.log.append("box: %s; craft seen in %d of %d frames" % (box, flight.seen, self.count))
        return box


class Flight:
    """One flight, frame by frame: look, estimate, decide, press."""

    def __init__(self, pilot, scene, mission):
        self.pilot = pilot
        self.game = pilot.game
        self.scene = scene
        self.mission = mission
        self.target = scene.left_to_pos(mission.target_left)
        self.keys = Keys(self.game)
        self.model = None
        self.aligned = False  # over the target and slow enough to go down to it
        self.drifting = False  # the last metres of a mission that touches down moving sideways
        self.last_pulse = 0.0
        self.seen = 0
        self.missing = 0
        self.boxes = BoxWatch(self.game)
        self.period = 0.04  # real seconds from one decision to the next (running mean)

    def close(self):
        self.keys.close()
        self.boxes.close()

    def run(self, timeout):
        self.game.key("space")  # its release starts the flight
        # The flight starts at rest at (0, 1000) with a full tank: that is known exactly.
        self.model = Model(time.time())
        deadline = time.time() + timeout
        last_frame = None
        while time.time() < deadline:
            if last_frame is not None:
                # A few looks per tick are enough; more would only take the game's time.
                time.sleep(max(0.0, last_frame + FRAME_INTERVAL - time.time()))
            frame = self.pilot.grab()
            if last_frame is not None:
                self.period = 0.8 * self.period + 0.2 * min(0.5, frame.t - last_frame)
            last_frame = frame.t
            found, note = self.look(frame)
            note += self.decide()
            self.pilot.keep(frame, note)
            box = self.box_if_open(found)
            if box is not None:
                return box
        raise PilotError("the flight did not end within %.0f s" % timeout)

    def look(self, frame):
        """Finds the craft near where the model expects it, and corrects the model."""
        scene, model = self.scene, self.model
        model.catch_up(self.keys.changes, model.frame_time(frame.t))
        px = scene.pos_to_left(model.x.p)
        py = scene.origin_y - int(model.y.p * scene.ky)
        finder = self.pilot.finder
        found = finder.find(frame, (px - 24, py - 24, px + 25, py + 25))
        if found is None:
            found = finder.find(frame, (0, 0, scene.width, scene.height))
        if found is None:
            self.missing += 1
            return None, "craft not seen"
        self.seen += 1
        self.missing = 0
        zx, rx = scene.measured_pos(found[0])
        zy, ry = scene.measured_alt(found[1])
        # Between ticks the picture stands still: a tick's travel of jitter.
        rx += (model.x.v * TICK_SIM) ** 2 / 12 + 0.05
        ry += (model.y.v * TICK_SIM) ** 2 / 12 + 0.05
        ex = model.x.update(zx, rx)
        ey = model.y.update(zy, ry)
        return found, "craft %d,%d resid %.1f,%.1f" % (found[0], found[1], ex, ey)

    def decide(self):
        """Sets the keys for the moment they reach the game; returns a note for the log."""
        scene, mission, model = self.scene, self.mission, self.model
        ahead = model.copy()
        now = time.time()
        ahead.catch_up(self.keys.changes, model.sim(now) + TICK_SIM / 2)
        alt, vy, pos, vx = ahead.y.p, ahead.y.v, ahead.x.p, ahead.x.v
        left = scene.pos_to_left(pos)
        top = scene.origin_y - int(alt * scene.ky)

        # Keep out of the panel's corner while high up.
        goal = self.target
        if top < PANEL_BOTTOM:
            limit = scene.left_to_pos(scene.width - PANEL_LEFT_FROM_RIGHT - CRAFT_W - 8)
            goal = min(goal, limit)
        dx = goal - pos
        off = abs(self.target - pos)
        if self.aligned and off > 30:
            self.aligned = False
        if not self.aligned and off < 12 and abs(vx) < 1.2:
            self.aligned = True

        # Vertical: a descent profile down to the ground under the target once above it; until
        # then a margin over the highest ground between here and there.
        if self.aligned:
            # The ground is touched a pixel above it (the row under the picture).
            floor = max(mission.floor, scene.ground_alt(left, left + CRAFT_W))
            height = alt - floor - 1.0 / scene.ky
            vy_want = -math.sqrt(V_FINAL ** 2 + 2 * BRAKE * max(height, 0.0))
            unsure = math.sqrt(model.x.vv) > 0.2
            if height < 40 and not self.drifting and (abs(vx) > 0.5 or unsure or off > 20):
                # Not ready to touch down: wait a little above the ground.
                vy_want = max(vy_want, 0.0) if height > 10 else max(vy_want, -1.0)
        else:
            a, b = sorted((left, scene.pos_to_left(self.target)))
            height = alt - scene.ground_alt(a, b + CRAFT_W) - TRANSIT_MARGIN
            if height > 0:
                vy_want = -math.sqrt(V_FINAL ** 2 + 2 * BRAKE * height)
            else:
                vy_want = min(3.0, -0.3 * height)
        vy_want = max(vy_want, -V_DESCENT_MAX)
        # The engine state whose speed, halfway to the next decision, is nearer the wanted one;
        # a small preference for the present state spares needless edges. The engine acts a
        # whole tick at a time, whatever the pilot's pace.
        horizon = max(self.period * SIM_PER_REAL, TICK_SIM)
        miss_on = abs(vy + ahead.accelerations(True, 0)[1] * horizon / 2 - vy_want)
        miss_off = abs(vy + ahead.accelerations(False, 0)[1] * horizon / 2 - vy_want)
        if self.keys.main:
            main = not miss_off + 0.3 < miss_on
        else:
            main = miss_on + 0.3 < miss_off

        # Horizontal: toward the target, slowing down on the way; then stay over it.
        if self.aligned:
            centring = 0.0 if abs(dx) < 15 else 0.05 * (dx - math.copysign(15, dx))
            vx_want = max(-0.6, min(0.6, centring))
            if mission.drift and height < 30:
                self.drifting = True
            if self.drifting:
                vx_want = mission.drift
        else:
            vx_want = math.copysign(min(VX_MAX, math.sqrt(2 * X_BRAKE * max(abs(dx) - 3, 0.0))),
                                    dx)
        err = vx_want - vx
        side = 0
        pulse = 0
        if abs(err) > 1.5:
            side = 1 if err > 0 else -1
        elif abs(err) > (0.4 if self.aligned else 0.5) and now - self.last_pulse > 0.3:
            # About one tick of a nozzle: 0.4 to 0.75 m/s.
            pulse = 1 if err > 0 else -1
        if pulse:
            self.keys.pulse(main, pulse, TICK_REAL)
            self.last_pulse = time.time()
        else:
            self.keys.set(main, side)

        return (" | alt %.1f vy %.2f (want %.1f) x %.1f vx %.2f (want %.2f) sd %.2f,%.2f"
                " fuel %.0f period %.3f%s%s%s" % (
                    model.y.p, model.y.v, vy_want, model.x.p, model.x.v, vx_want,
                    math.sqrt(model.y.vv), math.sqrt(model.x.vv), model.fuel, self.period,
                    " MAIN" if main else "", {1: " LEFT", -1: " RIGHT", 0: ""}[side or pulse],
                    " aligned" if self.aligned else ""))

    def box_if_open(self, found):
        """The end-of-flight box's fields once it is open. The probe runs beside the pilot, now
        and then, and all the time near the ground."""
        near = (found and self.scene.clearance_px(*found) <= 3) or self.missing >= 3
        return self.boxes.fields(near or time.time() - self.boxes.started > 1.0)


# Whole flights, as the scenarios use them.
def close_box(game):
    """Closes the end-of-flight box with Enter, as a player would (its OK button has the focus);
    by the probe pressing OK if that did not do it. Whether it is closed."""
    game.key("Return")
    if game.wait_no_box(5):
        return True
    game.probe("press", "1")
    return game.wait_no_box()
