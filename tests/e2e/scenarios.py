#!/usr/bin/env python3
"""scenarios.py BUILD_DIR SCENARIO: tavune.exe under Wine in its virtual desktop, played with
real keys and clicks, judged by the screen. Screenshots in BUILD_DIR/e2e-shots/SCENARIO/."""

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
LANDED = ("Congratulations!", "You have landed safely.")


class Scenarios(unittest.TestCase):
    def setUp(self):
        game = self.game = Game(BUILD_DIR, self._testMethodName[len("test_"):])
        self.addCleanup(game.kill)
        self.addCleanup(lambda: game.shot("last"))
        # The window's player switches away while the first game sets up, and clicks back.
        away = game.background_probe("away") if self._testMethodName == "test_window" else None
        game.start()
        if away:
            away.communicate(timeout=30)
            self.assertEqual(away.returncode, 0, "another program took the activation")
            game.click(game.width // 3, -29)
        self.assertIsNotNone(game.wait_ready(), "the game shows its start and takes input: %s" %
                             game.why)
        shot = game.shot("ready")
        self.start, self.tops = game.craft(shot), terrain_tops(shot)

    def check_layout(self, shot, what):
        """A black sky; the instruments and the three thrust buttons at the client's top right."""
        w = self.game.width
        self.assertEqual(shot.count(0, 0, w - 210, 20, (BLACK,)), (w - 210) * 20, "black sky")
        for name, x, y, width, height, colour, least in (
                ("labels", w - 200, 25, 100, 70, WHITE, 50),
                ("values", w - 75, 25, 75, 70, WHITE, 50),
                ("main button", w - 75, 150, 48, 48, LIGHT_GREY, 48 * 48 // 2),
                ("left button", w - 100, 100, 48, 48, LIGHT_GREY, 48 * 48 // 2),
                ("right button", w - 50, 100, 48, 48, LIGHT_GREY, 48 * 48 // 2)):
            self.assertGreater(shot.count(x, y, x + width, y + height, (colour,)), least,
                               "%s: the instruments' %s are drawn" % (what, name))

    def fall_band(self):  # a straight fall from the start, its flames and debris
        return self.game.width // 2 - 40, self.game.width // 2 + 72

    def burning(self, shot):  # the main flame below the whole picture, whose legs have its colours
        box = self.game.craft(shot)
        return box and box[1] > 0 and shot.count(box[0] + 2, box[1] + 28, box[0] + 30, box[1] + 60,
                                                 FLAME_COLOURS) > 10

    def wreck(self, shot):
        band = self.fall_band()
        return shot.count(band[0], 0, band[1], self.game.height, (RED,)) > 5

    def open_about(self):
        self.game.key("alt+g")
        self.game.key("b")
        self.assertEqual(self.game.wait_box().get("caption"), "About Tavune", "the About box")

    def test_crash(self):
        """A free fall: fiery pictures, debris above the craft, and the vertical crash's box."""
        game = self.game
        game.key("space")

        def tall(shot):
            # Debris reaches above the craft's 30 rows; looked for below where the box opens.
            tops, (x0, x1) = terrain_tops(shot), self.fall_band()
            box = craft_box(shot, tops, x0, x1, min(t for t in tops[x0:x1] if t) - 80)
            return bool(box) and box[3] - box[1] > 32

        watch = BoxWatch(game)
        fields, fiery, debris, deadline = None, 0, 0, time.time() + 60
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
        self.assertIn(fields["message"], CRASH_VERTICAL, "a free fall: a vertical-velocity crash")

    def test_startup(self):
        """The first screen laid out; F2 brings a new terrain (test_window restarts with F3)."""
        game, tops = self.game, self.tops
        self.check_layout(game.shot(), "at the start")
        # Two terrains in a row may show the same ground line: then another F2.
        for attempt in range(3):
            game.key("F2")
            shot, fresh = game.wait_shot(
                "new", lambda shot: game.start_scene(shot) and terrain_tops(shot) != tops, 10)
            if fresh:
                break
        self.assertTrue(fresh, "F2 brings a new terrain and puts the craft at its new start")

    def test_boxes(self):
        """The keys that close the Game menu and the boxes come up in the window and start no
        flight; About stops a flight, and it goes on after the box."""
        game, start = self.game, self.start
        self.assertTrue(game.open_menu(), "Alt+G opens the Game menu")
        game.key("Escape")  # the drop-down; then the menu bar
        game.hold("Escape")
        self.assertTrue(game.menu_closed(), "Escape closes it")
        self.assertTrue(game.stays(start), "the craft still waits after Escape closed the menu")
        game.key("F4")
        self.assertEqual(game.wait_box().get("caption"), "Tavune Options", "F4 opens")
        # The focus starts on OK; Cancel, the gravity bar and then the fuel bar follow.
        for _ in range(3):
            game.key("Tab")
        game.key("End")
        self.assertTrue(game.close_box(), "Enter closes the options")
        self.assertTrue(poll(lambda: game.probe("panel", "3", "3000.00  "), 20),
                        "restarted: fuel 3000 (%s)" % game.said)
        self.assertTrue(game.stays(start), "the craft still waits after Enter closed the options")
        self.open_about()
        self.assertTrue(game.close_box(), "Enter closes the About box")
        self.assertTrue(game.stays(start), "the craft still waits after Enter closed the box")
        game.key("space")
        # About as soon as the craft falls: far from the ground, and above where the box shows.
        self.assertTrue(game.wait_craft("falling", lambda box: box[1] > start[1]), "it falls")
        self.open_about()
        # The last tick's picture may reach the screen after the box: two looks that agree first.
        band = self.fall_band()

        def settled():
            box = game.craft(game.shot(), band)
            time.sleep(0.2)
            return box if box and box == game.craft(game.shot(), band) else None
        first = poll(settled, 10, 0)
        time.sleep(0.6)  # how long the craft is watched
        second = game.craft(game.shot("about"), band)
        self.assertTrue(first and first == second, "the craft stands still while About is open "
                        "(%s -> %s)" % (first, second))
        game.key("Return")
        self.assertTrue(game.wait_no_box(), "Enter closes the About box")
        self.assertTrue(game.wait_craft("after", lambda box: box[1] > second[1], band=band),
                        "the flight goes on after OK")

    def test_lost(self):
        """Up with the main engine until the craft is gone from the sky, and beyond."""
        game, finder = self.game, autopilot.CraftFinder()
        start = finder.find(game.shot(), (0, 0, game.width, game.height))
        game.key("space")  # the release of a key starts the flight
        highest, unseen, fields, deadline = start[1], 0, None, time.time() + 60
        game.key("Down", "keydown")
        try:
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
        """Still while it cannot be flown, on where it was after; laid out for any client area."""
        game, start = self.game, self.start
        screen_width = game.screen.size[0]

        def stood_still(what, leave, come_back, seen_away=False):
            # Only the ticks while leaving and coming back may pass in the 4 s away: from just
            # before leaving to just after coming back, the craft falls no further than that time
            # at the speed it has right after, faster than at any time before. Away in sight, it
            # does not move.
            game.key("F3")
            self.assertTrue(game.wait_craft("restarted", lambda box: box == start), "F3")
            self.assertEqual(terrain_tops(game.shot()), self.tops, "F3 keeps the terrain")
            game.key("space")
            game.wait_craft("falling " + what, lambda box: box[1] != start[1])
            before = game.shot("before " + what)
            leave()
            flown = time.time() - before.t
            away = game.craft(game.shot("away " + what)) if seen_away else None
            time.sleep(4.0)
            if seen_away:
                self.assertEqual(game.craft(game.shot()), away, "still " + what)
            coming = time.time()
            come_back()
            back = game.wait_shot("after " + what, game.craft, 5)[0]  # once the craft shows
            flown, shut = flown + back.t - coming, game.box()
            time.sleep(0.3)
            shots = (before, back, game.shot())
            rows = [(game.craft(shot) or (0, -1000))[1] for shot in shots]
            speed = (rows[2] - rows[1]) / (shots[2].t - back.t)  # rows a second
            self.assertTrue(shut is None and 0 <= rows[1] - rows[0] <= speed * flown + 2,
                            "the craft stood still %s: rows %s, %.2f s of flight allowed" % (
                                what, rows, flown))

        def close_menu():
            game.key("Escape")  # the drop-down, then the menu bar
            game.key("Escape")
            self.assertTrue(game.menu_closed(), "Escape closes it")

        def restored(width):
            self.assertIsNotNone(game.wait_placed(lambda x, y, w, h: w == width),
                                 "restored, the window is as it was: %s" % (game.seen,))

        def fuel_line():
            shot, w = game.shot(), game.width
            return [shot.row(y, w - 75, w) for y in range(25 + 3 * 16, 25 + 4 * 16)]

        def fuel_stays():  # in flight: the panel shows the fuel every sixth tick
            first, box = fuel_line(), game.craft(game.shot())
            time.sleep(0.5)
            return fuel_line() == first and game.craft(game.shot()) != box

        stood_still("behind the Game menu", lambda: self.assertTrue(game.open_menu()), close_menu,
                    seen_away=True)
        game.key("Down", "keydown")
        try:
            self.assertTrue(game.wait_shot("burning", self.burning, 10)[1], "Down: the flame")
            game.key("alt", "keydown")
        finally:
            game.key("Down", "keyup")
            game.key("alt", "keyup")
        game.key("Escape")  # Alt's release selected the menu bar, where the game stands still
        self.assertTrue(poll(fuel_stays, 5, 0), "Down released while Alt is held stops the engine")
        stood_still("while minimised", lambda: game.show("minimize"), lambda: game.show("restore"))
        restored(screen_width)

        for how, wide in (("normal", False), ("maximize", True)):
            game.show(how)
            self.assertIsNotNone(game.wait_placed(lambda x, y, w, h: (w == screen_width) == wide),
                                 "%s: the window takes its new size %s" % (how, game.seen))
            if not wide:
                # The frame's right edge dragged 130 columns on: the new size when it ends.
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
                self.assertEqual(game.wait_box().get("title"), "CRASH!",
                                 "a flight in the smaller window falls to the ground")
                game.show("minimize")
                game.show("restore")
                restored(game.width)
                self.assertTrue(game.wait_shot("wreck", self.wreck, 10)[1],
                                "repainted behind the box, the wreck stays one")
                # Under Wine a box restored by ShowWindow stays hidden: the probe presses OK.
                game.probe("press", "1")
                self.assertTrue(game.wait_no_box(), "the box closes")

    def fly_once(self, pilot, name, new_game=True):
        """What went wrong in a landing, or None; keeps its log and last frame (thirty when it
        went wrong or with TAVUNE_PILOT_RECORD)."""
        if new_game:
            self.game.key("F2")  # the pilot waits for the new start
        began = time.time()
        try:
            fields = pilot.fly(pilot.wait_for_start_position())
        except autopilot.PilotError as e:
            fields = None
            pilot.log.append("pilot error: %s" % e)
        good = fields and (fields.get("title"), fields.get("message")) == LANDED
        pilot.save(name, 1 if good and not os.environ.get("TAVUNE_PILOT_RECORD") else 30)
        if (fields is not None or self.game.box() is not None) and not self.game.close_box():
            return "%s: the box does not close" % name
        return None if good else "%s: the box says %s after %.1f s, not %s" % (
            name, fields, time.time() - began, LANDED)

    def test_land(self, flights=1):
        """Landings in as many attempts, each on a new terrain."""
        pilot = autopilot.Pilot(self.game)
        failed = [self.fly_once(pilot, "landing%02d" % n, n > 1) for n in range(1, flights + 1)]
        self.assertEqual([f for f in failed if f], [])
        # The flames blink beside and below the craft: it must stay in sight all the same.
        self.assertGreaterEqual(pilot.seen, 0.95 * pilot.count, "the craft was seen in %d of %d "
                                "frames" % (pilot.seen, pilot.count))

    def test_land10(self):
        self.test_land(10)


if __name__ == "__main__":
    BUILD_DIR = sys.argv[1]
    unittest.main(argv=sys.argv[:1] + ["Scenarios.test_" + sys.argv[2]], verbosity=2)
