"""Drives tavune.exe in a real window under Wine, as a person would: real key and mouse events
through xdotool, and screenshots of the display. A small Win32 program of ours (probe.exe)
running in the same Wine desktop says where the window is and what an open box says."""

import os
import subprocess
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
LIGHT_GREY = (192, 192, 192)


class Shot:
    """One screenshot: pixels as (r, g, b) tuples, addressed in the game's client coordinates."""

    def __init__(self, width, height, data, origin):
        self.width = width
        self.height = height
        self.data = data
        self.ox, self.oy = origin

    def at(self, x, y):
        sx, sy = x + self.ox, y + self.oy
        if not (0 <= sx < self.width and 0 <= sy < self.height):
            return None
        i = (sy * self.width + sx) * 3
        return (self.data[i], self.data[i + 1], self.data[i + 2])

    def count(self, x0, y0, x1, y1, predicate):
        n = 0
        for y in range(y0, y1):
            for x in range(x0, x1):
                p = self.at(x, y)
                if p is not None and predicate(p):
                    n += 1
        return n


class Game:
    """The game on the tests' desktop; or, with play, as `make play` runs it for a person, on
    the DISPLAY of env and in a prefix of its own."""

    def __init__(self, build_dir, name, prefix=None, play=False, env=None):
        self.build = os.path.abspath(build_dir)
        self.name = name
        self.prefix = prefix or os.path.join(self.build, "wineprefix")
        self.wine_run = os.path.join(ROOT, "scripts", "wine-run")
        self.exe = os.path.join(self.build, "tavune.exe")
        self.probe_exe = os.path.join(self.build, "tests", "probe.exe")
        self.keeper = os.path.join(self.build, "tests", "desktop_keeper.exe")
        # The command of `make play`, with this prefix; the probe must run in the same mode.
        self.run = [self.wine_run, "--prefix", self.prefix] + (["--play"] if play else [])
        self.run += ["--keeper", self.keeper]
        self.shots_dir = os.path.join(self.build, "e2e-shots", name)
        os.makedirs(self.shots_dir, exist_ok=True)
        for old in os.listdir(self.shots_dir):
            os.remove(os.path.join(self.shots_dir, old))
        self.process = None
        self.env = dict(env or os.environ)
        out = subprocess.run(self.run + ["--start"], env=self.env, capture_output=True, text=True,
                             check=True).stdout
        for line in out.splitlines():
            if line.startswith("DISPLAY="):
                self.env["DISPLAY"] = line.split("=", 1)[1]
            if line.startswith("WINEPREFIX="):
                # Under ctest, the prefix of the desktop this test was given.
                self.prefix = line.split("=", 1)[1]
        self.client = None
        self.shot_number = 0
        self.savers = []

    # The game process.
    def start(self, full_width=True):
        """Starts the game and waits until its window stays put. Unless full_width is False, it
        must be as wide as the display: the window can be seen at its first size before it is
        shown maximised."""
        self.process = subprocess.Popen(self.run + [self.exe], env=self.env,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        screen_width = self.screen_size()[0]
        deadline = time.time() + 30
        last = None
        while time.time() < deadline:
            out = self.probe("window")
            if out:
                x, y, w, h = (int(v) for v in out.split()[1:5])
                wide = w == screen_width or not full_width
                if wide and h > 400 and (x, y, w, h) == last:
                    self.client = last
                    break
                last = (x, y, w, h)
            time.sleep(0.2)
        assert self.client, "the game's window did not appear (last seen at %s)" % (last,)
        # The pointer rests over the sky, where the keyboard goes.
        self.xdotool("mousemove", str(self.client[0] + 100), str(self.client[1] + 100))

    def wait_exit(self, timeout=15):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        # Wine may leave the exe running after the wrapper is gone. Only this prefix's: other
        # tests may run the same exe on desktops of their own.
        for pid in os.listdir("/proc"):
            try:
                with open("/proc/%s/cmdline" % pid, "rb") as f:
                    command = f.read()
                with open("/proc/%s/environ" % pid, "rb") as f:
                    environ = f.read().split(b"\0")
            except (OSError, ValueError):
                continue
            if (self.exe.encode() in command and
                    ("WINEPREFIX=" + self.prefix).encode() in environ):
                try:
                    os.kill(int(pid), 9)
                except OSError:
                    pass

    def screen_size(self):
        out = subprocess.run(["xdotool", "getdisplaygeometry"], env=self.env,
                             capture_output=True, text=True, check=True).stdout
        return tuple(int(v) for v in out.split()[:2])

    @property
    def width(self):
        return self.client[2]

    @property
    def height(self):
        return self.client[3]

    # Input.
    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.env, check=True)

    def key(self, name):
        self.xdotool("key", name)

    def keydown(self, name):
        self.xdotool("keydown", name)

    def keyup(self, name):
        self.xdotool("keyup", name)

    def click(self, x, y):
        self.xdotool("mousemove", str(self.client[0] + x), str(self.client[1] + y))
        self.xdotool("click", "1")

    # What is on the screen.
    def probe(self, *args):
        result = subprocess.run(self.run + [self.probe_exe, *args], env=self.env,
                                capture_output=True, text=True)
        return result.stdout.strip() if result.returncode == 0 else ""

    def panel_shows(self, line, text):
        """Whether the instrument panel's line shows exactly this text."""
        result = subprocess.run(self.run + [self.probe_exe, "panel", str(line), text],
                                env=self.env, capture_output=True, text=True)
        return result.returncode == 0

    def box(self):
        """The open box's caption, title and message, or None."""
        out = self.probe("box")
        if not out:
            return None
        fields = {}
        for line in out.splitlines():
            key, _, value = line.partition("=")
            fields[key] = value
        return fields

    def wait_box(self, timeout=20):
        deadline = time.time() + timeout
        while time.time() < deadline:
            fields = self.box()
            if fields is not None:
                return fields
            time.sleep(0.2)
        return None

    def shot(self, label=None):
        xwd = subprocess.run(["xwd", "-root", "-silent"], env=self.env, capture_output=True,
                             check=True).stdout
        ppm = subprocess.run(["convert", "xwd:-", "ppm:-"], input=xwd, capture_output=True,
                             check=True).stdout
        width, height, data = parse_ppm(ppm)
        self.shot_number += 1
        name = "%03d%s.png" % (self.shot_number, "-" + label if label else "")
        # Kept for whoever reads a failure; written in the background so play goes on.
        saver = subprocess.Popen(["convert", "xwd:-", os.path.join(self.shots_dir, name)],
                                 stdin=subprocess.PIPE)
        saver.stdin.write(xwd)
        saver.stdin.close()
        self.savers.append(saver)
        return Shot(width, height, data, self.client[:2])

    def finish_saving(self):
        for saver in self.savers:
            saver.wait()
        self.savers = []


def parse_ppm(ppm):
    """Width, height and RGB bytes of a binary PPM; the header may hold comment lines."""
    fields = []
    i = 0
    while len(fields) < 4:
        while ppm[i:i + 1].isspace():
            i += 1
        if ppm[i:i + 1] == b"#":
            i = ppm.index(b"\n", i) + 1
            continue
        start = i
        while not ppm[i:i + 1].isspace():
            i += 1
        fields.append(ppm[start:i])
    width, height = int(fields[1]), int(fields[2])
    data = ppm[i + 1:i + 1 + width * height * 3]
    return width, height, data


# Reading the scene.
def terrain_tops(shot, width, height, first_row=215):
    """For each column, the first white row at or below first_row (the ground line)."""
    tops = [None] * width
    stride = shot.width * 3
    for y in range(first_row, height):
        start = (y + shot.oy) * stride + shot.ox * 3
        row = shot.data[start:start + width * 3]
        if b"\xff\xff\xff" not in row:
            continue
        for x in range(width):
            if tops[x] is None and row[3 * x:3 * x + 3] == b"\xff\xff\xff":
                tops[x] = y
        if all(t is not None for t in tops):
            break
    return tops


def flat_runs(tops, min_width):
    """Maximal runs of equal ground height at least min_width columns wide: (start, width, y)."""
    runs = []
    start = 0
    for x in range(1, len(tops) + 1):
        if x == len(tops) or tops[x] != tops[start]:
            if x - start >= min_width and tops[start] is not None:
                runs.append((start, x - start, tops[start]))
            start = x
    return runs


def is_craft_colour(p):
    return p is not None and p != BLACK and p != WHITE


def craft_box(shot, width, tops, x_limit=None):
    """Bounding box (x0, y0, x1, y1) of the coloured pixels in the sky, left of the panel."""
    x_limit = x_limit or width - 210
    box = None
    stride = shot.width * 3
    for y in range(0, shot.height - shot.oy):
        start = (y + shot.oy) * stride + shot.ox * 3
        row = shot.data[start:start + x_limit * 3]
        if not row.strip(b"\x00"):
            continue  # all sky
        for x in range(x_limit):
            if tops[x] is not None and y >= tops[x]:
                continue
            p = (row[3 * x], row[3 * x + 1], row[3 * x + 2])
            if p != BLACK and p != WHITE:
                if box is None:
                    box = [x, y, x + 1, y + 1]
                else:
                    box[0] = min(box[0], x)
                    box[1] = min(box[1], y)
                    box[2] = max(box[2], x + 1)
                    box[3] = max(box[3], y + 1)
    return tuple(box) if box else None


def is_flame_colour(p):
    # The hot end of a flame is white or yellow, its edges red.
    return p in ((255, 255, 0), (255, 0, 0), (128, 0, 0), (128, 128, 0))
