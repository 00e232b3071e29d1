#!/usr/bin/env python3
"""monkey.py BUILD_DIR: random input in the real window for TAVUNE_MONKEY_SECONDS (300) from
TAVUNE_MONKEY_SEED (1); the game answers every ten seconds, and Exit ends it with 0 at last."""

import collections
import os
import random
import sys
import time
import unittest

from game import Game, poll

ARROWS = ["Left", "Right", "Down", "Up"]
# No x: with the Game menu open it would choose Exit, which is saved for the end.
TAP_KEYS = (["space"] * 6 + list("abcdefghijklmnopqrstuvwyz") + ARROWS * 2 + ["Return"] * 5 +
            ["Escape"] * 5 + ["Tab"] * 3 + ["F2"] * 2 + ["F3"] * 2 + ["F4"])
MENU_ITEMS = {"n": "New", "r": "Restart", "o": "Options", "b": "About"}
BUTTONS = [(-75, 150), (-100, 100), (-50, 100)]  # main, left, right: 48x48, client top left


class Play(unittest.TestCase):
    def at(self, x, y):  # xdotool's screen coordinates of a client point
        return str(self.game.client[0] + x), str(self.game.client[1] + y)

    def sky(self):  # anywhere in the client area but the thrust buttons' corner
        x, y = self.rng.randrange(self.game.width), self.rng.randrange(self.game.height)
        return self.sky() if x > self.game.width - 110 and y < 205 else (x, y)

    def let_go(self, everything=False):
        for name in [name for name, when in self.held.items() if everything or when <= time.time()]:
            self.game.key(name, "keyup")
            del self.held[name]

    def step(self):
        game, rng = self.game, self.rng
        kind = rng.choices(("key", "arrow hold", "click", "thrust button", "drag", "menu"),
                           (40, 20, 12, 10, 5, 5))[0]
        name = rng.choice(TAP_KEYS if kind == "key" else ARROWS[:3])
        if kind == "key" and name not in self.held:
            game.key(name)
            kind += " " + (name if len(name) > 1 else "letter")
        elif kind == "arrow hold" and name not in self.held:
            game.key(name, "keydown")
            self.held[name] = time.time() + rng.uniform(0.05, 2.0)
        elif kind == "click":
            game.xdotool("mousemove", *self.at(*self.sky()), "click", "1")
        elif kind == "thrust button":
            dx, y = rng.choice(BUTTONS)
            on = self.at(game.width + dx + rng.randrange(2, 46), y + rng.randrange(2, 46))
            hold = "%.2f" % rng.uniform(0.05, 1.5)
            # Now and then off the button before letting go: the thruster stops at the edge.
            off = ["mousemove", *self.at(*self.sky()), "sleep", "0.2"] if rng.random() < 0.3 else []
            game.xdotool("mousemove", *on, "mousedown", "1", "sleep", hold, *off, "mouseup", "1")
        elif kind == "drag":
            (x0, y0), (x1, y1) = self.sky(), self.sky()
            game.xdotool("mousemove", *self.at(x0, y0), "mousedown", "1", "sleep", "0.1",
                         "mousemove", *self.at((x0 + x1) // 2, (y0 + y1) // 2),
                         "sleep", "0.1", "mousemove", *self.at(x1, y1), "mouseup", "1")
        elif kind == "menu":
            letter = rng.choice(list(MENU_ITEMS))
            game.xdotool("key", "alt+g", "sleep", "0.15", "key", letter)
            kind += " " + MENU_ITEMS[letter]
        self.sent[kind] += 1
        time.sleep(rng.uniform(0.02, 0.25))
        self.let_go()

    def exit_from_menu(self):
        """Exit's code, from the menu after a restart with no box in the way."""
        game = self.game
        for attempt in range(3):
            for tries in range(10):
                if game.box() is None:
                    break
                if tries < 3:
                    game.key("Escape")
                else:
                    game.probe("press", "2")
                    game.probe("press", "1")
                time.sleep(0.5)
            game.key("F3")
            if (game.wait_shot("restarted", game.start_scene, 10)[1] and game.box() is None and
                    game.open_menu()):
                game.key("x")
                if game.wait_exit(15) is not None:
                    return game.process.returncode
        return None

    def test_monkey(self):
        seconds = float(os.environ.get("TAVUNE_MONKEY_SECONDS", "300"))
        seed = int(os.environ.get("TAVUNE_MONKEY_SEED", "1"))
        game = self.game = Game(sys.argv[1], "monkey")
        self.rng, self.sent, self.held, checks = random.Random(seed), collections.Counter(), {}, 0
        self.addCleanup(game.kill)
        self.addCleanup(lambda: game.shot("last"))
        self.addCleanup(lambda: print("monkey: seed %d; %d checks answered; events sent: %s" % (
            seed, checks, sorted(self.sent.items()))))
        game.start()
        self.assertIsNotNone(game.wait_ready(), "the start, taking input: %s" % game.why)
        began = time.time()
        while time.time() - began < seconds:
            self.step()
            now = time.time() - began
            if now >= 10 * (checks + 1):
                self.assertIsNone(game.process.poll(), "the game has ended after %.0f s" % now)
                # Asked again after a second: one slow probe start is no hang.
                self.assertTrue(poll(lambda: game.probe("alive") == "answered" and
                                     game.probe("window"), 2.5, 1.0),
                                "the game's window does not answer after %.0f s" % now)
                checks += 1
                print("monkey: %3.0f s, %4d events, the game answers" % (
                    now, sum(self.sent.values())), flush=True)
                if checks % 3 == 0:
                    game.shot("play")
        self.let_go(everything=True)
        game.xdotool("mouseup", "1")
        game.shot("before-exit")
        self.assertEqual(self.exit_from_menu(), 0, "Exit from the menu ends with exit code 0")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
