"""A scripted player that sees only screenshots and acts only through the keys: a Kalman filter
per axis fed with the thrust commanded, and a speed profile down to the site."""

import collections
import copy
import math
import os
import re
import subprocess
import sys
import time

from game import ROOT, BoxWatch

sys.path.insert(0, os.path.join(ROOT, "scripts"))
import make_art  # noqa: E402

# The manual: 7.5 simulated seconds a real second, a tick every 50 ms, the craft, its engines, and
# 600 m to half the width, 1200 m to the top from the site's row less 29 pixels (altitude 0).
SIM_PER_REAL, TICK_REAL = 7.5, 0.05
TICK_SIM = TICK_REAL * SIM_PER_REAL
GRAVITY, DRY_MASS, START_FUEL, START_ALTITUDE = 3.0, 1000.0, 1000.0, 1000.0
MAIN_THRUST, SIDE_THRUST, MAIN_BURN, SIDE_BURN = 10000.0, 2000.0, 10.0, 2.0
WIDTH_M, HEIGHT_M, SITE_TO_ORIGIN, CRAFT_W, CRAFT_H = 600.0, 1200.0, 29, 32, 30
# The panel and the thrust buttons (columns from the client's right edge, rows): no craft there.
PANEL_LEFT_FROM_RIGHT, PANEL_BOTTOM, BUTTONS_LEFT_FROM_RIGHT = 210, 210, 102
SIDE_KEYS = {1: "Left", -1: "Right"}  # side +1: the Left key, whose nozzle pushes toward +x
# How the pilot flies (simulated units). The engine gives 2 to 7 m/s², the nozzles 1 to 2.
FRAME_INTERVAL = 0.02  # real seconds between screenshots, at least
BRAKE, X_BRAKE = 1.0, 0.3  # decelerations planned for the descent and the approach
V_FINAL, V_DESCENT_MAX, VX_MAX = 2.0, 25.0, 15.0  # speeds planned at touchdown, and at most
TRANSIT_MARGIN = 80.0  # metres kept above the highest ground between the craft and its target


class PilotError(Exception):
    pass


class CraftFinder:
    """The craft picture by the part its flames never touch, anchored on its first silver pixel:
    nothing else in the sky is silver, and the exclusive-or flames never make silver of black."""

    SILVER, COLUMNS, ROWS = b"\xc0\xc0\xc0", range(3, 29), range(0, 25)

    def __init__(self):
        width, height, _, rows = make_art.load_pictures()[1]
        assert (width, height) == (CRAFT_W, CRAFT_H), "the craft picture is %dx%d" % (width, height)
        bgr = [bytes(colour[::-1]) for colour in make_art.PALETTE]
        self.template = [[bgr[rows[r][c]] for c in self.COLUMNS] for r in self.ROWS]
        self.anchor = next((c, r) for r in self.ROWS for c in self.COLUMNS
                           if bgr[rows[r][c]] == self.SILVER)

    def matches(self, frame, x, y, tolerance=6):
        wrong = 0  # a row the screen cuts off counts as all wrong
        for r, expected in zip(self.ROWS, self.template):
            got = frame.row(y + r, x + self.COLUMNS[0], x + self.COLUMNS[-1] + 1)
            wrong += (sum(got[4 * i:4 * i + 3] != pixel for i, pixel in enumerate(expected))
                      if len(got) == 4 * len(expected) else len(expected))
            if wrong > tolerance:
                return False
        return True

    def find(self, frame, area):
        """The craft picture's top left (x, y), if it lies in area (x0, y0, x1, y1); or None."""
        (x0, y0, x1, y1), (ax, ay) = area, self.anchor
        left = max(0, x0 + ax)
        for y in range(max(0, y0 + ay), min(frame.height, y1 + ay)):
            # The thrust buttons are silver too.
            right = min(x1 + ax, frame.width - (BUTTONS_LEFT_FROM_RIGHT if 95 <= y < 200 else 0))
            for i in (m.start() for m in re.finditer(self.SILVER, frame.row(y, left, right))):
                if i % 4 == 0 and self.matches(frame, left + i // 4 - ax, y - ay):
                    return left + i // 4 - ax, y - ay
        return None


class Scene:
    """game.start_scene's reading before a flight, and the scale."""

    def __init__(self, scene, width):
        self.tops, _, (self.site_x, self.site_w, self.site_row) = scene
        self.width, self.origin_x, self.origin_y = width, width // 2, self.site_row - SITE_TO_ORIGIN
        self.kx, self.ky = self.origin_x / WIDTH_M, self.origin_y / HEIGHT_M  # pixels a metre

    def left_to_pos(self, x):  # posX (m) of a craft whose picture's left edge is on column x
        return (x - self.origin_x) / self.kx

    def on_screen(self, pos, alt):  # the picture's top left corner for a craft at (pos, alt)
        return self.origin_x + int(pos * self.kx), self.origin_y - int(alt * self.ky)

    def ground_row(self, x0, x1):  # of the highest ground under columns x0..x1
        x0 = max(0, min(self.width - 1, x0))
        return min(t for t in self.tops[x0:max(x0, min(self.width - 1, x1)) + 1] if t)

    def ground_alt(self, x0, x1):  # where the craft's bottom row reaches that ground (site: 0 m)
        return (self.site_row - self.ground_row(x0, x1)) / self.ky


class Axis:
    """Kalman filter for position and velocity along one axis, with known acceleration."""

    def __init__(self, p, q):
        self.p, self.v, self.q = p, 0.0, q  # q: the spectral density of unknown acceleration
        self.pp, self.pv, self.vv = 0.01, 0.0, 0.0001

    def predict(self, dt, a):
        self.p, self.v = self.p + self.v * dt + 0.5 * a * dt * dt, self.v + a * dt
        self.pp += 2 * dt * self.pv + dt * dt * self.vv + self.q * dt ** 3 / 3
        self.pv += dt * self.vv + self.q * dt ** 2 / 2
        self.vv += self.q * dt

    def update(self, d, k):
        """Folds in a picture d pixels from the origin at k a metre (truncated toward zero, pixel
        0 holds two pixels' worth; still between ticks, a tick's travel of jitter)."""
        z = (d + math.copysign(0.5, d)) / k if d else 0.0
        s = self.pp + (1.0 / k) ** 2 / (12.0 if d else 3.0) + (self.v * TICK_SIM) ** 2 / 12 + 0.05
        kp, kv, e = self.pp / s, self.pv / s, z - self.p
        self.p, self.v = self.p + kp * e, self.v + kv * e
        self.pp, self.pv, self.vv = (1 - kp) * self.pp, (1 - kp) * self.pv, self.vv - kv * self.pv
        return e


class Model:
    """The craft as the pilot believes it to be at time t. A key change reaches the game half a
    tick later on average; a frame shows the last tick, half a tick ahead (speed first)."""

    def __init__(self, t):
        self.t, self.fuel = t, START_FUEL
        self.x, self.y = Axis(0.0, q=0.002), Axis(START_ALTITUDE, q=0.02)
        self.main, self.side, self.applied = False, 0, 0  # applied: key changes folded in

    def accelerations(self, main, side):
        mass, fuelled = DRY_MASS + self.fuel, self.fuel > 0
        return fuelled * side * SIDE_THRUST / mass, fuelled * main * MAIN_THRUST / mass - GRAVITY

    def advance(self, to):
        dt = (to - self.t) * SIM_PER_REAL
        if dt > 0:
            for axis, a in zip((self.x, self.y), self.accelerations(self.main, self.side)):
                axis.predict(dt, a)
            burn = self.main * MAIN_BURN + bool(self.side) * SIDE_BURN
            self.fuel, self.t = max(0.0, self.fuel - burn * dt), to

    def catch_up(self, changes, to):  # to time `to`, folding in the key changes
        for t, main, side in changes[self.applied:]:
            if t + TICK_REAL / 2 > to:
                break
            self.advance(t + TICK_REAL / 2)
            # The edge lands on one tick or the next: a third of a tick's thrust either way.
            mass = DRY_MASS + self.fuel
            self.y.vv += (main != self.main) * (0.35 * MAIN_THRUST / mass * TICK_SIM) ** 2
            self.x.vv += (side != self.side) * (0.35 * SIDE_THRUST / mass * TICK_SIM) ** 2
            self.main, self.side, self.applied = main, side, self.applied + 1
        self.advance(to)


class Pilot:
    """Flies frame by frame (look, estimate, decide, press); keeps a log and the last frames."""

    def __init__(self, game):
        self.game, self.finder = game, CraftFinder()
        self.forget()

    def forget(self):  # count: the flight's frames; seen: those that showed the craft
        self.log, self.count, self.seen = [], 0, 0
        self.recent = collections.deque(maxlen=30)  # (frame number, frame)

    def wait_for_start_position(self, timeout=20.0):
        """The scene with the craft at its start, the panel showing its altitude and fuel."""
        shot, scene = self.game.wait_shot("start", self.game.start_scene, timeout)
        if not (scene and all(self.game.probe("panel", str(line), "%.2f  " % value)
                              for line, value in ((0, START_ALTITUDE), (3, START_FUEL)))):
            self.forget()
            self.recent.append((0, shot))
            raise PilotError("the panel shows no start at %.0f m with %.0f of fuel" % (
                START_ALTITUDE, START_FUEL) if scene else "the start position never showed")
        return Scene(scene, self.game.width)

    def save(self, name, frames=1):  # NAME.log, and the last frames as NNN-NAME-FRAME.png
        with open(os.path.join(self.game.shots_dir, name + ".log"), "w") as out:
            out.write("\n".join(self.log) + "\n")
        for number, frame in list(self.recent)[-frames:]:
            self.game.save(frame, "%s-%04d" % (name, number))

    def fly(self, scene, timeout=60.0):
        """Flies the waiting flight down on the site's middle; the end-of-flight box's fields."""
        self.forget()
        target_left = scene.site_x + scene.site_w // 2 - CRAFT_W // 2  # the picture's left edge
        self.log.append("target %d; site %d+%d at row %d" % (target_left, scene.site_x,
                                                             scene.site_w, scene.site_row))
        self.scene, self.target_left = scene, target_left
        self.target = scene.left_to_pos(target_left)
        # Aligned: over the target and slow enough to go down to it.
        self.aligned, self.last_pulse, self.missing = False, 0.0, 0
        # One xdotool for the flight (one per key costs 20 ms); changes kept with when they act.
        self.xdotool = subprocess.Popen(["xdotool", "-"], env=self.game.env, stdin=subprocess.PIPE,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.main, self.side, self.changes, self.busy_until = False, 0, [], 0.0
        boxes = BoxWatch(self.game)
        try:
            self.game.key("space")  # its release starts the flight
            self.model, deadline = Model(time.time()), time.time() + timeout
            while time.time() < deadline:
                frame = self.game.shot()
                found, note = self.look(frame)
                self.count += 1
                self.log.append("#%04d %.3f %s%s" % (self.count, frame.t, note, self.decide()))
                self.recent.append((self.count, frame))
                # The box probe runs beside, all the time near the ground or with the craft unseen.
                near = self.missing >= 3 or found and scene.ground_row(
                    found[0], found[0] + CRAFT_W) - found[1] - CRAFT_H <= 3
                box = boxes.fields(near or time.time() - boxes.started > 1.0)
                if box is not None:
                    self.log.append("box: %s; craft seen in %d of %d frames" % (
                        box, self.seen, self.count))
                    return box
                time.sleep(max(0.0, frame.t + FRAME_INTERVAL - time.time()))
            raise PilotError("the flight did not end within %.0f s" % timeout)
        finally:
            self.press(False, 0)
            self.xdotool.stdin.close()
            self.xdotool.wait()
            boxes.close()

    def press(self, main, side, pulse=0.0):
        """Sets the flying keys; with pulse, lets the side key go after that many seconds."""
        args = (["keydown" if main else "keyup", "Down"] * (main != self.main) +
                ["keyup", SIDE_KEYS.get(self.side)] * (side != self.side and self.side != 0) +
                ["keydown", SIDE_KEYS.get(side)] * (side != self.side and side != 0) +
                ["sleep", "%.3f" % pulse, "keyup", SIDE_KEYS.get(side)] * bool(pulse))
        if args:
            self.xdotool.stdin.write((" ".join(args) + "\n").encode())
            self.xdotool.stdin.flush()
            when = max(time.time(), self.busy_until)
            self.busy_until = when + pulse
            self.changes += [(when, main, side)] + ([(when + pulse, main, 0)] if pulse else [])
        self.main, self.side = main, 0 if pulse else side

    def look(self, frame):
        scene, model = self.scene, self.model
        model.catch_up(self.changes, frame.t + TICK_REAL / 2)
        px, py = scene.on_screen(model.x.p, model.y.p)
        found = (self.finder.find(frame, (px - 24, py - 24, px + 25, py + 25)) or
                 self.finder.find(frame, (0, 0, frame.width, frame.height)))
        self.missing, self.seen = (0, self.seen + 1) if found else (self.missing + 1, self.seen)
        if found is None:
            return None, "craft not seen"
        return found, "craft %d,%d resid %.1f,%.1f" % (
            *found, model.x.update(found[0] - scene.origin_x, scene.kx),
            model.y.update(scene.origin_y - found[1], scene.ky))

    def decide(self):
        """Sets the keys for the moment they reach the game; a note for the log."""
        scene, model, now = self.scene, self.model, time.time()
        ahead = copy.deepcopy(model)
        ahead.catch_up(self.changes, now + TICK_REAL / 2)
        alt, vy, pos, vx = ahead.y.p, ahead.y.v, ahead.x.p, ahead.x.v
        left, top = scene.on_screen(pos, alt)
        # Keep out of the panel's corner while high up.
        limit = scene.left_to_pos(scene.width - PANEL_LEFT_FROM_RIGHT - CRAFT_W - 8)
        dx = (min(self.target, limit) if top < PANEL_BOTTOM else self.target) - pos
        off = abs(self.target - pos)
        self.aligned = off <= 30 if self.aligned else off < 12 and abs(vx) < 1.2
        # Over the target a descent profile to the ground, till then a margin over the ground.
        profile = lambda height: -math.sqrt(V_FINAL ** 2 + 2 * BRAKE * max(height, 0.0))
        if self.aligned:
            height = alt - max(0.0, scene.ground_alt(left, left + CRAFT_W)) - 1 / scene.ky
            vy_want = profile(height)
            # Not ready to touch down (moving, unsure where, off the target): wait above the ground.
            if height < 40 and (abs(vx) > 0.5 or model.x.vv > 0.2 ** 2 or off > 20):
                vy_want = max(vy_want, 0.0) if height > 10 else max(vy_want, -1.0)
        else:
            a, b = sorted((left, self.target_left))
            height = alt - scene.ground_alt(a, b + CRAFT_W) - TRANSIT_MARGIN
            vy_want = profile(height) if height > 0 else min(3.0, -0.3 * height)
        vy_want = max(vy_want, -V_DESCENT_MAX)
        # The engine state whose speed half a tick on is nearer the wanted one; a small
        # preference for the present state spares needless edges.
        miss_on, miss_off = (abs(vy + ahead.accelerations(on, 0)[1] * TICK_SIM / 2 - vy_want)
                             for on in (True, False))
        main = miss_off + 0.3 >= miss_on if self.main else miss_on + 0.3 < miss_off
        if self.aligned:
            centring = 0.0 if abs(dx) < 15 else 0.05 * (dx - math.copysign(15, dx))
            vx_want = max(-0.6, min(0.6, centring))
        else:
            vx_want = math.copysign(min(VX_MAX, math.sqrt(2 * X_BRAKE * max(abs(dx) - 3, 0))), dx)
        err = vx_want - vx
        toward = 1 if err > 0 else -1
        # Held when far off the wanted speed; else about one tick of a nozzle: 0.4 to 0.75 m/s.
        side = toward if abs(err) > 1.5 else 0
        pulse = toward if not side and abs(err) > (0.4 if self.aligned else 0.5) and (
            now - self.last_pulse > 0.3) else 0
        self.press(main, side or pulse, TICK_REAL if pulse else 0.0)
        self.last_pulse = time.time() if pulse else self.last_pulse
        return (" | alt %.1f vy %.2f (want %.1f) x %.1f vx %.2f (want %.2f) sd %.2f,%.2f fuel %.0f"
                " keys %d,%+d%s" % (model.y.p, model.y.v, vy_want, model.x.p, model.x.v, vx_want,
                                    math.sqrt(model.y.vv), math.sqrt(model.x.vv), model.fuel, main,
                                    side or pulse, " aligned" * self.aligned))
