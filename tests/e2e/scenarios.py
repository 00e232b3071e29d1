#!/usr/bin/env python3
"""End-to-end scenarios: each starts tavune.exe under Wine in its virtual desktop, plays it with
real keys and clicks and checks what the screen shows.

    scenarios.py BUILD_DIR SCENARIO

Screenshots of every run are kept in BUILD_DIR/e2e-shots/SCENARIO/."""

import os
import sys
import time
import unittest

import autopilot
from game import (BLACK, FLAME_COLOURS, LIGHT_GREY, RED, WHITE, BoxWatch, Game, craft_box, poll,
                  terrain_tops)

BUILD_DIR = None
CRASH_VERTICAL = ("Too much vertical velocity. Your landing speed must be under 10 m/sec.",
                  "Nice crater! All that training really payed off.",
                  "You just dug a hole half way to Clavius.")
CRASH_SIDEWAYS = "Too much horizontal velocity. Your horizontal motion must be less than 1 m/sec."
CRASH_OFF_SITE = "Missed the landing site. You must land on flat terrain."
LANDED = ("Congratulations!", ("You have landed safely.",))


class Scenarios(unittest.TestCase):
    def setUp(self):
        name = self._testMethodName[len("test_"):]
        game = self.game = Game(BUILD_DIR, name)
        self.addCleanup(game.kill)
        self.addCleanup(lambda: game.shot("last"))
        # In the window's scenario the player switches to another program while the first game
        # sets up, and clicks on the game's caption to come back.
        away = game.background_probe("away") if name == "window" else None
        game.start()
        if away:
            away.communicate(timeout=30)
            self.assertEqual(away.returncode, 0, "another program took the activation in the set-up")
            game.click(game.width // 3, -29)
        # The first game calibrates for ten ticks with the window shut to input.
        self.assertIsNotNone(game.wait_ready(), "the game shows its start and takes input: %s" %
                             game.why)

    def check_layout(self, shot, what):
        """The instruments and the three thrust buttons stand at the client's top right."""
        w = self.game.width
        for name, x, y, width, height, colour, least in (
                ("labels", w - 200, 25, 100, 70, WHITE, 50), ("values", w - 75, 25, 75, 70, WHITE, 50),
                ("main button", w - 75, 150, 48, 48, LIGHT_GREY, 48 * 48 // 2),
                ("left button", w - 100, 100, 48, 48, LIGHT_GREY, 48 * 48 // 2),
                ("right button", w - 50, 100, 48, 48, LIGHT_GREY, 48 * 48 // 2)):
            self.assertGreater(shot.count(x, y, x + width, y + height, (colour,)), least,
                               "%s: the instruments' %s are drawn" % (what, name))

    def wait_craft(self, label, condition, timeout=20, band=(0, None)):
        """Screenshots until the craft's box meets the condition: (shot, box), or (last, None)."""
        def met(shot):
            box = self.game.craft(shot, band)
            return box if box and condition(box) else None
        return self.game.wait_shot(label, met, timeout)

    def fall_band(self):
        """The columns of a craft falling straight down from its start, its flames and its
        debris."""
        return self.game.width // 2 - 40, self.game.width // 2 + 72

    def burning(self, shot, box=None):
        """Whether the main flame hangs below the craft."""
        box = box or self.game.craft(shot)
        return box and shot.count(box[0] + 2, box[1] + 24, box[0] + 30, box[1] + 60,
                                  FLAME_COLOURS) > 10

    def stays_waiting(self, start, what, seconds=1.5):
        """Watches the waiting craft: a flight started by mistake would take it down within a
        second."""
        deadline = time.time() + seconds
        while time.time() < deadline:
            self.assertEqual(self.game.craft(self.game.shot()), start, "the craft still waits "
                             "after %s" % what)

    def wreck(self, shot):
        band = self.fall_band()
        return shot.count(band[0], 0, band[1], self.game.height, (RED,)) > 5

    def test_startup(self):
        """setUp saw the ground across every column with its site, and the craft alone at its
        start; here the rest of the first screen."""
        game = self.game
        shot = game.shot("start")
        w = game.width
        self.assertEqual(shot.count(0, 0, w - 210, 20, (BLACK,)), (w - 210) * 20, "black sky")
        self.check_layout(shot, "at the start")

    def test_thrust(self):
        game = self.game
        start = game.craft(game.shot("ready"))
        game.key("space")  # the release of a key starts the flight
        game.key("Down", "keydown")
        # Held until the craft has climbed and the flame, shown every other tick, has been seen.
        flame_seen = climbed = None
        deadline = time.time() + 20
        try:
            while not (flame_seen and climbed) and time.time() < deadline:
                shot = game.shot()
                box = game.craft(shot)
                if box:
                    flame_seen = flame_seen or self.burning(shot, box)
                    climbed = box if box[1] < start[1] - 5 else climbed
        finally:
            game.key("Down", "keyup")
        self.assertTrue(flame_seen, "holding Down shows the main flame")
        self.assertIsNotNone(climbed, "holding Down makes the craft climb from %s" % (start,))
        _, later = self.wait_craft("falling", lambda box: box[1] > climbed[1])
        self.assertIsNotNone(later, "released, the craft falls back from %s" % (climbed,))

    def test_crash(self):
        game = self.game
        game.key("space")

        def tall(shot):
            # Debris frames reach above the craft's own 30 rows; looked for below the box, which
            # opens higher up (and reaches into the columns of the fall).
            tops, (x0, x1) = terrain_tops(shot), self.fall_band()
            box = craft_box(shot, tops, x0, x1, min(t for t in tops[x0:x1] if t) - 80)
            return bool(box) and box[3] - box[1] > 32

        # A free fall from 1000 m takes about 3.5 s, the crash animation about 2 s more; the box
        # follows it. The probe looks for the box beside the screenshots.
        watch = BoxWatch(game)
        deadline = time.time() + 60
        fields, fiery, debris = None, 0, 0
        while fields is None and time.time() < deadline:
            shot = game.shot()
            if self.wreck(shot):
                fiery += 1
                debris += tall(shot)
            fields = watch.fields()
        watch.close()
        self.assertGreaterEqual(fiery, 3, "the crash plays fiery pictures")
        self.assertGreater(debris, 0, "debris frames rise above the craft")
        self.assertEqual((fields or {}).get("title"), "CRASH!", "the end-of-flight box")

    def test_restart(self):
        game = self.game
        shot = game.shot("ready")
        start, tops = game.craft(shot), terrain_tops(shot)
        game.key("space")
        game.key("Left", "keydown")
        try:
            # The flames beside and below the craft never reach above its top row.
            _, moved = self.wait_craft("moved", lambda box: box[1] > start[1])
        finally:
            game.key("Left", "keyup")
        self.assertIsNotNone(moved, "the craft moved")
        game.key("F3")
        shot, again = self.wait_craft("restarted", lambda box: box == start)
        self.assertIsNotNone(again, "F3 puts the craft back at its start")
        self.assertEqual(terrain_tops(shot), tops, "F3 keeps the terrain")

        # Two terrains in a row could show the same ground line, and then the screen cannot tell
        # F2 from nothing: another F2 then, and the chance of that fades with each.
        for attempt in range(3):
            game.key("F2")
            shot, fresh = game.wait_shot(
                "new", lambda shot: game.start_scene(shot) and terrain_tops(shot) != tops, 10)
            if fresh:
                break
        self.assertNotEqual(terrain_tops(shot), tops, "F2 brings a new terrain")
        self.assertIsNotNone(game.start_scene(shot), "F2 puts the craft at its new start")

    def test_exit(self):
        # The Escape that closes the menu, held as a finger holds it, comes up in the window.
        game, start = self.game, self.game.craft(self.game.shot())
        self.assertTrue(game.open_menu(), "Alt+G opens the Game menu")
        game.key("Escape")  # the drop-down; then the menu bar
        game.hold("Escape")
        self.assertTrue(poll(lambda: game.probe("menu") != "open", 10), "Escape closes it")
        self.stays_waiting(start, "Escape closed the menu")
        self.assertTrue(self.game.open_menu(), "Alt+G opens the Game menu")
        self.game.key("x")
        self.assertEqual(self.game.wait_exit(30), 0, "Exit from the menu ends with exit code 0")

    def test_options(self):
        game = self.game
        start = game.craft(game.shot("ready"))
        game.key("F4")
        self.assertEqual((game.wait_box() or {}).get("caption"), "Tavune Options", "F4 opens")
        # The focus starts on OK; Cancel, the gravity bar and then the fuel bar follow.
        for _ in range(3):
            game.key("Tab")
        game.key("End")
        game.shot("fuel-right")
        game.hold("Return")
        self.assertTrue(game.wait_no_box(), "Enter closes the options")
        self.assertTrue(poll(lambda: game.panel_shows(3, "3000.00  "), 20), "restarted: fuel 3000 "
                        "(%s)" % game.said)
        self.stays_waiting(start, "Enter closed the options")

    def test_about(self):
        game = self.game
        start = game.craft(game.shot("ready"))
        game.key("alt+g")
        game.key("b")
        self.assertEqual((game.wait_box() or {}).get("caption"), "About Tavune", "the About box")
        game.hold("Return")
        self.assertTrue(game.wait_no_box(), "Enter closes the About box")
        self.stays_waiting(start, "Enter closed the About box")
        game.key("space")
        # About as soon as the craft falls: far from the ground, and above where the box shows.
        self.assertTrue(self.wait_craft("falling", lambda box: box[1] > start[1])[1], "it falls")
        game.key("alt+g")
        game.key("b")
        self.assertEqual((game.wait_box() or {}).get("caption"), "About Tavune", "the About box")
        # The last tick's picture may reach the screen after the box: two looks that agree first.
        band = self.fall_band()
        first = None
        deadline = time.time() + 10
        while time.time() < deadline:
            box = game.craft(game.shot(), band)
            if box and box == first:
                break
            first = box
            time.sleep(0.2)
        time.sleep(0.6)  # how long the craft is watched
        second = game.craft(game.shot("about"), band)
        self.assertTrue(first and first == second, "the craft stands still while About is open "
                        "(%s -> %s)" % (first, second))
        game.key("Return")
        self.assertTrue(game.wait_no_box(), "Enter closes the About box")
        _, third = self.wait_craft("after", lambda box: box[1] > second[1], band=band)
        self.assertIsNotNone(third, "the flight goes on after OK")

    def test_lost(self):
        """Up with the main engine until the craft is gone from the sky, and beyond."""
        game, finder = self.game, autopilot.CraftFinder()
        start = finder.find(game.shot(), (0, 0, game.width, game.height))
        game.key("space")
        game.key("Down", "keydown")
        try:
            highest, unseen, fields = start[1], 0, None
            deadline = time.time() + 60
            while fields is None and time.time() < deadline:
                found = finder.find(game.shot(), (0, 0, game.width, game.height))
                highest = min(highest, found[1]) if found else highest
                unseen = 0 if found else unseen + 1
                fields = game.box()
        finally:
            game.key("Down", "keyup")
        self.assertTrue(highest < start[1] - 20 and unseen >= 5, "the climbing craft leaves "
                        "through the top of the screen (last seen at row %d)" % highest)
        self.assertEqual((fields or {}).get("title"), "Tavune Lost!", "flying up: %s" % fields)
        self.assertTrue(fields["message"].startswith("You are out of range"), "why it is lost")

    def test_window(self):
        """Whatever the player does on the desktop, the game stands still while it cannot be
        flown, carries on where it was, and lays itself out for any client area."""
        game = self.game
        screen_width = game.screen.size[0]
        start = game.craft(game.shot("ready"))

        def stood_still(what, leave, come_back, seen_away=False):
            # A free fall from the start reaches the ground in about 3.5 s. The few ticks around
            # leaving and coming back take the craft less than a quarter of the way down, where a
            # second more of the absence would take it further. Away in sight, it does not move.
            game.key("F3")
            self.assertTrue(self.wait_craft("restarted", lambda box: box == start)[1], "F3")
            ground = min(t for t in terrain_tops(game.shot())[start[0]:start[2]] if t)
            game.key("space")
            _, before = self.wait_craft("before " + what, lambda box: box[1] != start[1])
            leave()
            away = game.craft(game.shot("away " + what)) if seen_away else None
            time.sleep(4.0)
            if seen_away:
                self.assertEqual(game.craft(game.shot()), away, "still " + what)
            come_back()
            _, back = self.wait_craft("after " + what, lambda box: True, timeout=5)
            self.assertTrue(game.box() is None and before and back and
                            before[1] <= back[1] < before[1] + (ground - start[3]) // 4,
                            "the craft has not fallen %s (%s -> %s)" % (what, before, back))

        def close_menu():
            game.key("Escape")  # the drop-down, then the menu bar
            game.key("Escape")
            self.assertTrue(poll(lambda: game.probe("menu") != "open", 10), "Escape closes it")

        def restore(width):
            game.probe("show", "restore")
            self.assertIsNotNone(game.wait_placed(lambda x, y, w, h: w == width),
                                 "restored, the window is as it was: %s" % (game.seen,))

        def fuel_line():
            shot, w = game.shot(), game.width
            return [shot.row(y, w - 75, w) for y in range(25 + 3 * 16, 25 + 4 * 16)]

        def fuel_stays():
            first = fuel_line()
            time.sleep(0.5)  # the panel shows the fuel every sixth tick
            return fuel_line() == first

        stood_still("behind the Game menu", lambda: self.assertTrue(game.open_menu()), close_menu,
                    seen_away=True)
        game.key("Down", "keydown")
        try:
            self.assertTrue(game.wait_shot("burning", self.burning, 10)[1], "Down: the flame")
            game.key("alt", "keydown")
        finally:
            game.key("Down", "keyup")
            game.key("alt", "keyup")
        self.assertTrue(poll(fuel_stays, 5, 0), "Down released while Alt is held stops the engine")
        stood_still("while minimised", lambda: game.probe("show", "minimize"),
                    lambda: restore(screen_width))

        for how, wide in (("normal", False), ("maximize", True)):
            game.probe("show", how)
            self.assertIsNotNone(game.wait_placed(lambda x, y, w, h: (w == screen_width) == wide),
                                 "%s: the window takes its new size %s" % (how, game.seen))
            if not wide:
                # The right edge of the frame, dragged 130 columns on: the new size when it ends.
                x, y, w, h = game.client
                drop = x + w + 130
                game.xdotool("mousemove", str(x + w + 1), str(y + h // 2), "mousedown", "1")
                for step in list(range(x + w + 11, drop, 10)) + [drop]:
                    game.xdotool("mousemove", str(step), str(y + h // 2), "sleep", "0.05")
                game.xdotool("mouseup", "1")
                self.assertIsNotNone(game.wait_placed(lambda x, y, w, h: abs(x + w - drop) <= 4),
                                     "the window ends as wide as the drag: %s" % (game.seen,))
            shot, scene = game.wait_shot(how, game.start_scene)
            # The ground line never comes lower than 20 rows above the bottom.
            self.assertTrue(scene and all(t <= game.height - 20 for t in scene[0] if t),
                            "%s: a new game fills the %dx%d client, the ground along its bottom "
                            "and the craft over its site" % (how, game.width, game.height))
            self.check_layout(shot, how)
            if not wide:
                game.key("space")
                self.assertEqual((game.wait_box() or {}).get("title"), "CRASH!",
                                 "a flight in the smaller window falls to the ground")
                game.probe("show", "minimize")
                restore(game.width)
                self.assertTrue(game.wait_shot("wreck", self.wreck, 10)[1],
                                "repainted behind the box, the wreck stays one")
                # Restored by another program's ShowWindow, not by the taskbar, the box is not
                # shown again under Wine: the probe presses its OK.
                game.probe("press", "1")
                self.assertTrue(game.wait_no_box(), "the box closes")

    # The scripted player: it sees only screenshots and presses only the flying keys.
    def fly_once(self, pilot, name, make_mission, title, messages, new_game=True):
        """One flight with the pilot: what went wrong, or None. Its log and last frame are kept
        as NAME.log and NNN-NAME-*.png; the last thirty frames when the box says otherwise (or
        TAVUNE_PILOT_RECORD is set)."""
        if new_game:
            self.game.key("F2")  # the pilot waits for the new start
        began = time.time()
        try:
            scene = pilot.wait_for_start_position()
            fields = pilot.fly(scene, make_mission(scene))
        except autopilot.PilotError as e:
            fields = None
            pilot.log.append("pilot error: %s" % e)
        good = fields and fields.get("title") == title and fields.get("message") in messages
        pilot.save(name, 1 if good and not os.environ.get("TAVUNE_PILOT_RECORD") else 30)
        if (fields is not None or self.game.box() is not None) and not self.game.close_box():
            return "%s: the box does not close" % name
        return None if good else "%s: the box says %s after %.1f s, not %s" % (
            name, fields, time.time() - began, title)

    def test_land(self):
        pilot = autopilot.Pilot(self.game)
        self.assertIsNone(self.fly_once(pilot, "landing", autopilot.site_mission, *LANDED,
                                        new_game=False))
        # The flames blink beside and below the craft: it must stay in sight all the same.
        self.assertGreaterEqual(pilot.seen, 0.95 * pilot.count, "the craft was seen in %d of %d "
                                "frames" % (pilot.seen, pilot.count))

    def test_land10(self):
        """Ten landings in ten attempts, each on a new terrain."""
        pilot = autopilot.Pilot(self.game)
        failed = [self.fly_once(pilot, "landing%02d" % attempt, autopilot.site_mission, *LANDED,
                                new_game=attempt > 1) for attempt in range(1, 11)]
        self.assertEqual([f for f in failed if f], [])

    def test_outcomes(self):
        """Three other ends of a flight (test_lost flies the fourth), on terrains of their own."""
        game = self.game
        pilot = autopilot.Pilot(game)
        # Free fall: nothing pressed from start to ground.
        game.key("space")
        fields = game.wait_box(60) or {}
        self.assertEqual(fields.get("title"), "CRASH!", "free fall: %s" % fields)
        self.assertIn(fields["message"], CRASH_VERTICAL, "free fall: a vertical-velocity crash")
        self.assertTrue(game.close_box(), "free fall: the box closes")
        self.assertIsNone(self.fly_once(pilot, "sideways", autopilot.sideways_mission, "CRASH!",
                                        (CRASH_SIDEWAYS,)))
        self.assertIsNone(self.fly_once(pilot, "off-site", autopilot.off_site_mission, "CRASH!",
                                        (CRASH_OFF_SITE,)))


if __name__ == "__main__":
    BUILD_DIR = sys.argv[1]
    unittest.main(argv=sys.argv[:1] + ["Scenarios.test_" + sys.argv[2]], verbosity=2)
