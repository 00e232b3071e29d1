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

# The ground line and the start, as the game lays them out.
SEGMENTS = 30  # of the ground line, 31 vertices
SITE_SEGMENTS = 4  # level segments of the landing site
SITE_TO_ORIGIN = 29  # rows from the craft picture's top at altitude 0 down to the site's row
START_ALTITUDE = 1000  # metres; 1200 span the rows from that top to the screen's top


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
    """The game on the tests' desktop; or, with launcher, as a player's launcher runs it, on the
    DISPLAY of env and in the prefix that env names to Wine (the caller starts it)."""

    def __init__(self, build_dir, name, prefix=None, launcher=False, env=None):
        self.build = os.path.abspath(build_dir)
        self.name = name
        self.prefix = prefix or os.path.join(self.build, "wineprefix")
        self.exe = os.path.join(self.build, "tavune.exe")
        self.probe_exe = os.path.join(self.build, "tests", "probe.exe")
        self.shots_dir = os.path.join(self.build, "e2e-shots", name)
        os.makedirs(self.shots_dir, exist_ok=True)
        for old in os.listdir(self.shots_dir):
            os.remove(os.path.join(self.shots_dir, old))
        self.process = None
        self.env = dict(env or os.environ)
        self.run = ["wine"]
        if not launcher:
            # The tests' desktop that ctest gave this test (scripts/desktop set it up).
            desktops = os.path.join(self.build, "desktops")
            self.run = [os.path.join(ROOT, "scripts", "wine-run"), desktops]
            slot = self.env.get("CTEST_RESOURCE_GROUP_0_DESKTOPS", "id:0")
            with open(os.path.join(desktops, slot[3:].split(",")[0], "env")) as lines:
                self.env.update(line.rstrip("\n").split("=", 1) for line in lines)
            self.prefix = self.env["WINEPREFIX"]
        self.client = None
        self.shot_number = 0
        self.savers = []

    # The game process.
    def start(self, placed=None):
        """Starts the game and waits until its window stays put where placed(x, y, w, h) says it
        should be; by default as wide as the display, since the window can be seen at its first
        size before it is shown maximised."""
        self.process = subprocess.Popen(self.run + [self.exe], env=self.env,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        screen_width = self.screen_size()[0]
        placed = placed or (lambda x, y, w, h: w == screen_width and h > 400)
        assert self.wait_placed(placed), \
            "the game's window did not reach its place (last seen at %s)" % (self.seen,)
        # The pointer rests over the sky, where the keyboard goes.
        self.xdotool("mousemove", str(self.client[0] + 100), str(self.client[1] + 100))

    def wait_placed(self, placed, timeout=30):
        """Waits until the window's client area (x, y, w, h on the screen) stays put where
        placed(x, y, w, h) says it should, and takes it as the game's from then on: that area,
        or None at the deadline (self.seen is the last one seen)."""
        deadline = time.time() + timeout
        self.seen = None
        while time.time() < deadline:
            out = self.probe("window")
            if out:
                rect = tuple(int(v) for v in out.split()[1:5])
                origin = placed(*rect) and rect == self.seen and self.screen_origin(rect)
                if origin:
                    self.client = origin + rect[2:]
                    return self.client
                self.seen = rect
            time.sleep(0.2)
        return None

    def screen_origin(self, rect):
        """Where the screen shows the client area that Wine places at rect: Wine 10 shows a
        maximised window 4 px right of and below its place. The black sky's top left corner,
        past the menu bar and the frame; None until they are drawn."""
        shot = Shot(*parse_ppm(self.grab()[1]), (0, 0))
        edge = lambda x, y, dx, dy: shot.at(x, y) == BLACK != shot.at(x - dx, y - dy)
        x, y = max(rect[0], 0), rect[1]
        dy = next((d for d in range(9) if edge(x + 100, y + d, 0, 1)), None)
        dx = next((d for d in range(9) if dy is not None and edge(x + d, y + dy + 10, 1, 0)), None)
        return None if dx is None else (x + dx, y + dy)

    def wait_ready(self, timeout=30):
        """Waits until the first game has calibrated and takes input: its scene is on the screen
        (drawn only after the window was shut to input) and the window takes input again. The
        shot of that scene, or None."""
        shot, scene = self.wait_shot("scene", self.start_scene, timeout)
        return shot if scene and poll(self.enabled, timeout, 0.1) else None

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

    def background_probe(self, *args):
        return subprocess.Popen(self.run + [self.probe_exe, *args], env=self.env,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)

    def panel_shows(self, line, text):
        """Whether the instrument panel's line shows exactly this text."""
        return bool(self.probe("panel", str(line), text))

    def enabled(self):
        """Whether the game's window takes input: not while it calibrates, nor behind a box."""
        return self.probe("enabled") == "enabled"

    def box(self):
        """The open box's caption, title and message, or None."""
        return box_fields(self.probe("box"))

    def wait_box(self, timeout=20):
        return poll(self.box, timeout)

    def open_menu(self, timeout=10):
        """Opens the Game menu with Alt+G and waits until it is open; once more if it never was
        (the keys may have come before the window had the keyboard). Whether it is open."""
        for _ in range(2):
            self.key("alt+g")
            if poll(lambda: self.probe("menu") == "open", timeout, 0.1):
                self.shot("menu")
                return True
        return False

    def wait_no_box(self, timeout=20):
        """Whether the open box has closed within the time."""
        return bool(poll(lambda: self.box() is None, timeout))

    def wait_panel(self, line, text, timeout=20):
        """Whether the panel's line comes to show exactly this text within the time."""
        return bool(poll(lambda: self.panel_shows(line, text), timeout))

    def shot(self, label=None, keep=True):
        """A screenshot, kept as a numbered PNG file; with keep False, only once keep_shot says
        so."""
        xwd, ppm = self.grab()
        shot = Shot(*parse_ppm(ppm), self.client[:2] if self.client else (0, 0))
        if keep:
            self.save(xwd, label)
        else:
            shot.xwd = xwd
        return shot

    def grab(self):
        """The whole screen, as XWD and as PPM."""
        for attempt in range(3):
            # A window that comes or goes while xwd reads the screen can fail it: once more.
            grabbed = subprocess.run(["xwd", "-root", "-silent"], env=self.env,
                                     capture_output=True)
            if grabbed.returncode == 0 or attempt == 2:
                break
            print("xwd failed (%s); again" % grabbed.stderr.decode(errors="replace").strip())
            time.sleep(0.1)
        grabbed.check_returncode()
        xwd = grabbed.stdout
        return xwd, subprocess.run(["convert", "xwd:-", "ppm:-"], input=xwd, capture_output=True,
                                   check=True).stdout

    def keep_shot(self, shot, label=None):
        self.save(shot.xwd, label)

    def save(self, xwd, label):
        self.shot_number += 1
        name = "%03d%s.png" % (self.shot_number, "-" + label if label else "")
        # Kept for whoever reads a failure; written in the background so play goes on.
        saver = subprocess.Popen(["convert", "xwd:-", os.path.join(self.shots_dir, name)],
                                 stdin=subprocess.PIPE)
        saver.stdin.write(xwd)
        saver.stdin.close()
        self.savers.append(saver)

    def wait_shot(self, label, condition, timeout=20):
        """Screenshots until condition(shot) gives something true: (shot, that value), or the
        last shot and None at the deadline. Only that shot is kept."""
        deadline = time.time() + timeout
        while True:
            shot = self.shot(keep=False)
            value = condition(shot)
            if value or time.time() > deadline:
                self.keep_shot(shot, label)
                return shot, value or None

    def craft(self, shot, band=None):
        """The craft's bounding box in a screenshot, or None; with band (x0, x1), in those
        columns only."""
        x0, x1 = band or (0, None)
        return craft_box(shot, self.width, terrain_tops(shot, self.width, self.height), x1, x0)

    def start_scene(self, shot):
        """(tops, craft box, site) when the screenshot shows the whole ground line and the craft
        alone at its start, 1000 m over its landing site; else None."""
        tops = terrain_tops(shot, self.width, self.height)
        if None in tops[:shot.width - shot.ox]:  # the columns on the screen
            return None
        box = craft_box(shot, self.width, tops)
        # The picture's first column and its first two rows hold only black and white.
        if box is None or (box[0] - 1, box[2] - box[0], box[3] - box[1]) != (self.width // 2,
                                                                              30, 28):
            return None
        site = landing_site(tops, box[1] - 2)
        return (tops, box, site) if site else None

    def finish_saving(self):
        for saver in self.savers:
            saver.wait()
        self.savers = []


class BoxWatch:
    """The box probe run in the background, so that screenshots go on meanwhile."""

    def __init__(self, game):
        self.game = game
        self.process = None
        self.started = 0.0

    def fields(self, again=True):
        """The open box's fields once a probe has found one, else None. With again, starts the
        next probe when the last has ended."""
        found = None
        if self.process is not None and self.process.poll() is not None:
            out = self.process.stdout.read().decode(errors="replace").strip()
            self.process = None
            found = box_fields(out)
        if found is None and self.process is None and again:
            self.process = self.game.background_probe("box")
            self.started = time.time()
        return found

    def close(self):
        if self.process is not None:
            self.process.wait()
            self.process = None


def box_fields(out):
    """The fields of the box probe's "name=value" lines, or None without any."""
    return dict(line.partition("=")[::2] for line in out.splitlines()) if out else None


def poll(condition, timeout, pause=0.2):
    """Asks condition() until it gives something true, and returns that; None once the time is
    up."""
    deadline = time.time() + timeout
    while True:
        value = condition()
        if value or time.time() > deadline:
            return value or None
        time.sleep(pause)


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
    """For each column, the first white row at or below first_row (the ground line), or None."""
    tops = [None] * width
    stride = shot.width * 3
    for y in range(first_row, height):
        start = (y + shot.oy) * stride + shot.ox * 3
        row = shot.data[start:start + min(width, shot.width - shot.ox) * 3]
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


def vertex_columns(width):
    """The columns of the ground line's vertices, left to right; the last lies just past the
    right edge."""
    step, remainder = divmod(width, SEGMENTS)
    return [i * step + i * remainder // SEGMENTS for i in range(SEGMENTS + 1)]


def start_top(site_row):
    """The top row of the craft picture at its start, over a site on site_row (the game truncates
    the rows of its altitude)."""
    origin = site_row - SITE_TO_ORIGIN
    return origin - START_ALTITUDE * origin // 1200


def landing_site(tops, craft_top):
    """The landing site under a craft whose picture's top row is craft_top at its start: the flat
    run (start, width, row) on the row that this height gives, holding at least five vertex
    columns, that is four whole segments (a run to the right edge or the screen's holds the last
    vertex, just past it). Each neighbouring segment may widen it: a level one by the whole
    segment, one sloping up away from it by a row by all but a column of it, a steeper one by
    less. So the run spans [vertex - a, vertex' + b], with a and b less than a segment. The height
    gives about six rows; were there two such runs on them, the widest is taken. None if none."""
    width = len(tops)
    columns = vertex_columns(width)
    best = None
    # Columns the screen cuts off count as part of a run that reaches them.
    shortest = SITE_SEGMENTS * (width // SEGMENTS) - tops.count(None)
    for start, run, row in flat_runs(tops, shortest):
        end = start + run
        held = sum(1 for x in columns if start <= x < end or x == width and not any(tops[end:]))
        if (start_top(row) == craft_top and held > SITE_SEGMENTS and
                (best is None or run > best[1])):
            best = (start, run, row)
    return best


def craft_box(shot, width, tops, x_limit=None, x_first=0):
    """Bounding box (x0, y0, x1, y1) of the coloured pixels in the sky, left of the panel (and
    from column x_first on)."""
    x_limit = x_limit or width - 210
    box = None
    stride = shot.width * 3
    for y in range(0, shot.height - shot.oy):
        start = (y + shot.oy) * stride + shot.ox * 3
        row = shot.data[start + x_first * 3:start + x_limit * 3]
        if not row.strip(b"\x00"):
            continue  # all sky
        row = shot.data[start:start + x_limit * 3]
        for x in range(x_first, x_limit):
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
