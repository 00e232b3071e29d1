#!/usr/bin/env python3
"""A monkey at the keyboard and the mouse plays tavune.exe in its real window under Wine:
random keys (arrows held and released, Space, letters, F2, F3, F4, Escape, Enter, Tab), clicks
(in the sky, on the thrust buttons, press-drag-release) and menu commands, whatever box opens.
Every ten seconds the game must still answer; at the end the monkey closes any open box, chooses
Exit from the menu, and the process must end with exit code 0.

    monkey.py BUILD_DIR

TAVUNE_MONKEY_SECONDS: how long to play (default 300). TAVUNE_MONKEY_SEED: the seed of the input
(default 1: every run sends the same input; the game's answers depend on timing as well).
Screenshots in BUILD_DIR/e2e-shots/monkey/, every 30 seconds and at the end."""

import collections
import os
import random
import sys
import time
import unittest

from game import Game

BUILD_DIR = None
# Letters without x: with the Game menu open, x would choose Exit, which is saved for the end.
LETTERS = [chr(c) for c in range(ord("a"), ord("z") + 1) if chr(c) != "x"]
ARROWS = ["Left", "Right", "Down", "Up"]
# Weighted: the keys that start and steer flights and close boxes come up most.
TAP_KEYS = (["space"] * 6 + LETTERS + ARROWS * 2 + ["Return"] * 5 + ["Escape"] * 5 +
            ["Tab"] * 3 + ["F2"] * 2 + ["F3"] * 2 + ["F4"])
COUNTED_KEYS = ("F2", "F3", "F4", "Escape", "Return", "Tab")
MENU_ITEMS = {"n": "New", "r": "Restart", "o": "Options", "b": "About"}
# The thrust buttons' top left corners in client pixels (48 x 48, at the top right).
BUTTONS = {"main": (-75, 150), "left": (-100, 100), "right": (-50, 100)}


class Monkey:
    def __init__(self, game, rng):
        self.game, self.rng = game, rng
        self.sent = collections.Counter()
        self.held = {}  # key name -> time to release it
        self.checks = 0

    def at(self, x, y):
        """Screen coordinates of a client point, for xdotool."""
        return str(self.game.client[0] + x), str(self.game.client[1] + y)

    def sky_point(self):
        # Anywhere in the client area but the thrust buttons' corner.
        while True:
            x, y = self.rng.randrange(self.game.width), self.rng.randrange(self.game.height)
            if not (x > self.game.width - 110 and y < 205):
                return x, y

    def release_due(self, everything=False):
        for name, when in list(self.held.items()):
            if everything or when <= time.time():
                self.game.key(name, "keyup")
                del self.held[name]

    def step(self):
        """One input of a random kind, and the release of the held keys that are due."""
        game, rng = self.game, self.rng
        kind = rng.choices(("key", "arrow hold", "click", "thrust button", "drag", "menu"),
                           (40, 20, 12, 10, 5, 5))[0]
        name = rng.choice(TAP_KEYS if kind == "key" else ARROWS[:3])
        if kind == "key" and name not in self.held:
            game.key(name)
            kind += " " + (name if name in COUNTED_KEYS else "other")
        elif kind == "arrow hold" and name not in self.held:
            game.key(name, "keydown")
            self.held[name] = time.time() + rng.uniform(0.05, 2.0)
        elif kind == "click":
            game.xdotool("mousemove", *self.at(*self.sky_point()), "click", "1")
        elif kind == "thrust button":
            dx, y = BUTTONS[rng.choice(list(BUTTONS))]
            args = ["mousemove", *self.at(game.width + dx + rng.randrange(2, 46),
                                          y + rng.randrange(2, 46)),
                    "mousedown", "1", "sleep", "%.2f" % rng.uniform(0.05, 1.5)]
            if rng.random() < 0.3:
                # Slide off the button before letting go: the thruster stops at the edge.
                args += ["mousemove", *self.at(*self.sky_point()), "sleep", "0.2"]
            game.xdotool(*args, "mouseup", "1")
        elif kind == "drag":
            (x0, y0), (x1, y1) = self.sky_point(), self.sky_point()
            game.xdotool("mousemove", *self.at(x0, y0), "mousedown", "1", "sleep", "0.1",
                         "mousemove", *self.at((x0 + x1) // 2, (y0 + y1) // 2),
                         "sleep", "0.1", "mousemove", *self.at(x1, y1), "mouseup", "1")
        elif kind == "menu":
            letter = rng.choice(list(MENU_ITEMS))
            game.key("alt+g")
            time.sleep(0.15)
            game.key(letter)
            kind += " " + MENU_ITEMS[letter]
        self.sent[kind] += 1
        time.sleep(rng.uniform(0.02, 0.25))
        self.release_due()

    def answers(self):
        """Whether the game still runs, has its window and takes a message; a second try after a
        second, so that one slow probe start does not count as a hang."""
        if self.game.process.poll() is not None:
            return "the game ended with exit code %s" % self.game.process.returncode
        for attempt in range(2):
            if self.game.probe("alive") == "answered" and self.game.probe("window"):
                self.checks += 1
                return None
            time.sleep(1.0)
        return "the game's window does not answer"


def close_boxes(game, tries=10):
    """Closes whatever box is open: Escape first (every box takes it), then its buttons."""
    for attempt in range(tries):
        if game.box() is None:
            return True
        if attempt < 3:
            game.key("Escape")
        else:
            game.probe("press", "2")
            game.probe("press", "1")
        time.sleep(0.5)
    return game.box() is None


def exit_from_menu(game):
    """Exit from the Game menu, with no box in the way; its exit code. A restart first, so that
    no flight ends (and opens its box) between the last look and the menu."""
    for attempt in range(3):
        if not close_boxes(game):
            continue
        game.key("F3")
        # Once the craft stands at its start, no flight can end. A box that opened meanwhile
        # hides that and is closed in the next round.
        if not game.wait_shot("restarted", game.start_scene, 10)[1] or game.box() is not None:
            continue
        if game.open_menu():
            game.key("x")
            code = game.wait_exit(15)
            if code is not None:
                return code
    return None


class Play(unittest.TestCase):
    def test_monkey(self):
        seconds = float(os.environ.get("TAVUNE_MONKEY_SECONDS", "300"))
        seed = int(os.environ.get("TAVUNE_MONKEY_SEED", "1"))
        game = Game(BUILD_DIR, "monkey")
        monkey = Monkey(game, random.Random(seed))
        self.addCleanup(game.kill)
        self.addCleanup(lambda: game.shot("last"))
        self.addCleanup(lambda: print("monkey: seed %d; %d checks answered; events sent: %s" % (
            seed, monkey.checks, sorted(monkey.sent.items()))))
        game.start()
        # The first game calibrates with the window shut to input.
        self.assertIsNotNone(game.wait_ready(), "the game shows its start and takes input")
        began = time.time()
        next_check, next_shot = began + 10, began + 30
        while time.time() - began < seconds:
            monkey.step()
            now = time.time()
            if now >= next_check:
                self.assertIsNone(monkey.answers(), "after %.0f s" % (now - began))
                print("monkey: %3.0f s, %4d events, the game answers" % (
                    now - began, sum(monkey.sent.values())), flush=True)
                next_check = now + 10
            if now >= next_shot:
                game.shot("play")
                next_shot = now + 30
        monkey.release_due(everything=True)
        game.xdotool("mouseup", "1")
        game.shot("before-exit")
        self.assertEqual(exit_from_menu(game), 0, "Exit from the menu ends with exit code 0")


if __name__ == "__main__":
    BUILD_DIR = sys.argv[1]
    unittest.main(argv=sys.argv[:1], verbosity=2)
