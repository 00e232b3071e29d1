#!/usr/bin/env python3
"""launcher.py BUILD_DIR openbox|bare: the game by the players' launcher (both builds' programs
beside dist/tavune-wine, as the zip holds them) on an Xvfb of its own, with openbox or no manager.
The launcher must play BUILD_DIR's program: the tests play the build that this machine's Wine
runs, the 32-bit one wherever it can."""

import os
import re
import shutil
import struct
import subprocess
import sys
import unittest

from game import ROOT, WHITE, Game, poll, terrain_tops

SCREEN = (1280, 1024)  # not the tests' 1024x768: the game must take the size of this screen
QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
             start_new_session=True)
BUILD_DIR = KIND = BITS = None


def output(env, *command):
    return subprocess.run(command, env=env, capture_output=True, text=True).stdout


def stop(process):
    process.terminate()
    try:
        process.wait(5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


class Launcher(unittest.TestCase):
    def start_xvfb(self):
        # Without -noreset the server starts over whenever its last client leaves, and a client
        # that comes meanwhile cannot open the display.
        ready, write = os.pipe()
        server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0",
                                   "%dx%dx24" % SCREEN, "-nolisten", "tcp", "-noreset"],
                                  pass_fds=[write], **QUIET)
        self.addCleanup(stop, server)
        os.close(write)
        with os.fdopen(ready) as f:
            number = f.readline().strip()
        self.assertTrue(number, "Xvfb starts")
        return ":" + number

    def drag_corner(self, game):
        """Un-maximised, the window's corner dragged with Alt and the right button: sizes with no
        end message. The ground stays through the drag; after it a new game fits."""
        game.xdotool("mousemove", str(SCREEN[0] // 2), "5", "click", "--repeat", "2", "1")
        self.assertTrue(game.wait_placed(lambda x, y, w, h: w < SCREEN[0] - 200) and
                        game.wait_shot("normal", game.start_scene)[1], "un-maximised: a new game")
        x, y, w, h = game.client
        tops = terrain_tops(game.shot())[:w - 250]
        at, frames = x + w - 20, []
        game.xdotool("mousemove", str(at), str(y + h - 20), "keydown", "alt", "mousedown", "3")
        try:
            # Only screenshots between the steps: a pause of a quarter second would end the drag.
            for _ in range(6):
                steps = [("mousemove", str(at + 5 * i), str(y + h - 20), "sleep", "0.02")
                         for i in range(1, 7)]
                game.xdotool(*[arg for step in steps for arg in step])
                at += 30
                frames.append(game.screen.grab(game.client))
        finally:
            # Alt's release selects the menu bar, which Escape leaves.
            game.xdotool("mouseup", "3", "keyup", "alt", "key", "Escape")
        # A frame may catch the window erased for its repaint: columns not yet painted show none.
        seen = [terrain_tops(frame)[:w - 250] for frame in frames]
        for number, frame in enumerate(frames):
            game.save(frame, "drag")
            self.assertTrue(all(top in (None, old) for top, old in zip(seen[number], tops)),
                            "the ground stays through the drag (step %d)" % number)
        self.assertIn(tops, seen, "the whole ground shows during the drag")
        self.assertTrue(game.wait_placed(lambda x, y, width, h: width > w + 100) and
                        game.wait_shot("dragged", game.start_scene)[1],
                        "after the drag a new game fits the window: %s" % (game.seen,))

    def test_launcher(self):
        folder = os.path.join(os.path.abspath(BUILD_DIR), "launcher-" + KIND)
        os.makedirs(folder, exist_ok=True)
        launcher = shutil.copy(os.path.join(ROOT, "dist", "tavune-wine"), folder)
        # The zip's two programs: this build's under its name there, and the other build's.
        bits = "64" if BITS == 64 else ""
        own, other = ["tavune.exe", "tavune64.exe"][::-1 if bits else 1]
        sibling = os.path.join(os.path.dirname(BUILD_DIR), "win32" if bits else "win64")
        for name, build in ((own, BUILD_DIR), (other, sibling)):
            exe = os.path.join(build, "tavune.exe")
            self.assertTrue(os.path.exists(exe), "%s is built (make test builds both)" % exe)
            shutil.copy(exe, os.path.join(folder, name))
        prefix = os.path.join(folder, "wineprefix")
        # WINE*: the launcher's prefix and loader for this build, for the probe and the cleanup.
        env = dict(os.environ, DISPLAY=self.start_xvfb(), TAVUNE_WINEPREFIX=prefix,
                   WINEDEBUG="-all", WINEPREFIX=prefix + bits, WINEARCH="win%d" % BITS,
                   WINELOADER="/usr/lib/wine/wine" + bits)
        if KIND == "bare":
            env["TAVUNE_PROBE_DESKTOP"] = "Tavune"  # the launcher's virtual desktop
        self.addCleanup(subprocess.run, ["wineserver", "-k"], env=env, **QUIET)
        refused = subprocess.run([launcher], env={k: v for k, v in env.items() if k != "DISPLAY"},
                                 capture_output=True, text=True)
        self.assertTrue(refused.returncode != 0 and "DISPLAY is unset" in refused.stderr,
                        "without a display the launcher stops and says why: %r" % refused.stderr)
        announced = lambda: "window id" in output(env, "xprop", "-root", "_NET_SUPPORTING_WM_CHECK")
        if KIND == "openbox":
            self.addCleanup(stop, subprocess.Popen(["openbox"], env=env, **QUIET))
            poll(announced, 60, 0.1)  # a generous deadline: a busy machine may be slow to start it
        self.assertEqual(announced(), KIND == "openbox", "a window manager announces itself")

        game = Game(BUILD_DIR, "launcher-" + KIND, prefix=env["WINEPREFIX"], launcher=True, env=env)
        said = open(os.path.join(folder, "said"), "w+")
        self.addCleanup(said.close)
        game.process = subprocess.Popen([launcher], env=env, **dict(QUIET, stderr=said))
        self.addCleanup(stop, game.process)
        self.addCleanup(lambda: game.client and game.shot("last"))
        # Till the window shows, a first start is still making the prefix.
        shown = poll(lambda: output(env, "xdotool", "search", "--name", "^Tavune$").split(), 80)
        width, height = SCREEN
        # A window manager may maximise the window a while after it first shows.
        self.assertTrue(shown and game.wait_placed(lambda x, y, w, h: x == 0 and w == width and
                                                   y + h == height),
                        "the window's client area reaches every edge of the screen but the top: "
                        "last seen at %s" % (game.seen,))
        # Maximised and framed by the window manager itself, not in a Wine desktop that it frames.
        state = output(env, "xprop", "-id", shown[0], "_NET_WM_STATE", "_NET_FRAME_EXTENTS")
        title = re.search(r"EXTENTS\(CARDINAL\) = \d+, \d+, ([1-9]\d*),", state)
        self.assertTrue(KIND == "bare" or ("MAXIMIZED_VERT" in state and
                                           "MAXIMIZED_HORZ" in state and title),
                        "openbox keeps the game's window maximised, with a title bar: %r" % state)
        self.assertIsNotNone(game.wait_ready(), "the start, taking input: %s" % game.why)
        self.assertEqual(game.running(), [own], "the launcher plays %s, not %s" % (own, other))
        # Wine 10 shows a maximised window in its desktop its frame's width right of and below
        # its place.
        x, y, w, h = game.client
        self.assertTrue(x <= 4 and game.seen[1] <= y <= game.seen[1] + 4,
                        "the client area is shown where Wine places it, or by its frame's width "
                        "off: %s" % (game.client,))
        shot = game.shot("playing")
        self.assertNotIn(None, terrain_tops(shot)[:width - x], "the ground lies under every column")
        self.assertTrue(all(shot.at(c, height - 1 - y) == WHITE for c in range(width - x)),
                        "the ground fills the screen's bottom row")
        if KIND == "openbox":
            self.drag_corner(game)  # its keys, Alt's among them, went to the game
        else:
            # A window manager need not give the new window the keyboard: a click on its title.
            game.xdotool("mousemove", str(width // 2), "5", "click", "1")
        self.assertTrue(game.open_menu(), "Alt+G opens the Game menu")
        game.key("x")
        self.assertEqual(game.wait_exit(30), 0, "Exit from the menu ends the launcher with 0")
        said.seek(0)
        words = [line for line in said if not line.startswith("tavune-wine: first start:")]
        self.assertEqual(words, [], "the launcher says nothing but that it prepares its prefix")


if __name__ == "__main__":
    BUILD_DIR, KIND = os.path.abspath(sys.argv[1]), sys.argv[2]
    with open(os.path.join(BUILD_DIR, "tavune.exe"), "rb") as exe:  # PE32 or PE32+, by its machine
        header = exe.read(4096)
    BITS = 64 if header[struct.unpack_from("<I", header, 60)[0] + 4:][:2] == b"\x64\x86" else 32
    unittest.main(argv=sys.argv[:1], verbosity=2)
