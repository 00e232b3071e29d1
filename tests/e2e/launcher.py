#!/usr/bin/env python3
"""The way `make play` starts the game, on an X screen of the test's own, with a window manager
(openbox) or with none (bare):

    launcher.py BUILD_DIR openbox|bare

Starts an Xvfb of 1280x1024 on the first free display from :140 up, and openbox on it when asked;
runs the game with the command that `make play` runs, in a Wine prefix of its own; checks that
the window fills the screen with the ground along its bottom, and that Exit from the Game menu
ends the launcher with status 0. Screenshots in BUILD_DIR/e2e-shots/launcher-KIND/."""

import os
import subprocess
import sys
import time

from game import WHITE, Game, terrain_tops
from scenarios import check, exit_from_menu, failures

SCREEN = (1280, 1024)  # not the tests' 1024x768: the game must take the size of this screen
QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
             start_new_session=True)


def start_xvfb():
    """An Xvfb on the first free display from :140 up. Two tests that pick the same number at
    once are sorted out by the server's own lock file: the one that loses exits at once, and
    tries the next number."""
    for number in range(140, 240):
        lock = "/tmp/.X%d-lock" % number
        if os.path.exists(lock):
            continue
        # Without -noreset the server starts over whenever its last client leaves, and a client
        # that comes meanwhile cannot open the display.
        server = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", "%dx%dx24" % SCREEN,
                                   "-nolisten", "tcp", "-noreset"], **QUIET)
        deadline = time.time() + 10
        while time.time() < deadline and server.poll() is None:
            try:
                with open(lock) as f:
                    ours = int(f.read().strip() or 0) == server.pid
            except (OSError, ValueError):
                ours = False
            # The socket of the last server on this number may outlive its lock: ready once the
            # server answers a client.
            if ours and subprocess.run(["xprop", "-display", ":%d" % number, "-root"],
                                       **QUIET).returncode == 0:
                return server, ":%d" % number
            time.sleep(0.05)
        if server.poll() is None:
            server.kill()
        server.wait()
    raise RuntimeError("no free X display from :140 to :239")


def window_manager_announced(env):
    out = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=env,
                         capture_output=True, text=True).stdout
    return "window id #" in out


def stop(process):
    if process is not None and process.poll() is None:
        process.terminate()
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def play(build_dir, kind):
    xvfb, display = start_xvfb()
    manager = None
    game = None
    prefix = os.path.join(os.path.abspath(build_dir), "launcher-prefix-" + kind)
    env = dict(os.environ, DISPLAY=display)
    try:
        if kind == "openbox":
            manager = subprocess.Popen(["openbox"], env=env, **QUIET)
            # A generous deadline: a busy machine may be slow to start it.
            deadline = time.time() + 60
            while not window_manager_announced(env) and time.time() < deadline:
                time.sleep(0.1)
        check(window_manager_announced(env) == (kind == "openbox"),
              "%s: a window manager announces itself only with openbox" % display)
        game = Game(build_dir, "launcher-" + kind, prefix=prefix, play=True, env=env)
        width, height = SCREEN
        # A window manager may maximise the window a while after it first shows.
        game.start(placed=lambda x, y, w, h: x == 0 and w == width and y + h == height)
        check(game.wait_ready() is not None, "the game shows its start and takes input")
        x, y, w, h = game.client
        check(x == 0 and w == width and y + h == height,
              "the window's client area reaches every edge of the screen but the top: "
              "at (%d, %d), %d x %d" % (x, y, w, h))
        shot = game.shot("playing")
        tops = terrain_tops(shot, w, h)
        check(all(t is not None for t in tops), "the ground lies under every column")
        bottom = [shot.at(column, height - 1 - y) for column in range(w)]
        check(all(p == WHITE for p in bottom), "the ground fills the screen's bottom row")
        # A window manager need not give the new window the keyboard: click its title first,
        # as a person would (the menu is opened again should the keys come first).
        game.xdotool("mousemove", str(width // 2), "5", "click", "1")
        exit_from_menu(game)
    finally:
        if game is not None:
            try:
                game.shot("last")
            except subprocess.CalledProcessError:
                pass
            game.kill()
            game.finish_saving()
        subprocess.run([os.path.join(os.path.dirname(__file__), "..", "..", "scripts",
                                     "wine-run"), "--prefix", prefix, "--shutdown"],
                       env=env, capture_output=True)
        stop(manager)
        stop(xvfb)


def main():
    build_dir, kind = sys.argv[1], sys.argv[2]
    if kind not in ("openbox", "bare"):
        print("usage: launcher.py BUILD_DIR openbox|bare")
        return 2
    play(build_dir, kind)
    if failures:
        print("%d checks failed" % len(failures))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
