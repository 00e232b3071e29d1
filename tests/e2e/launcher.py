#!/usr/bin/env python3
"""The game started by the players' launcher (dist/tavune-wine, tavune.exe beside it, as the zip
holds them), on an X screen of the test's own with a window manager (openbox) or none (bare):

    launcher.py BUILD_DIR openbox|bare

Starts an Xvfb of 1280x1024, and openbox on it when asked; checks that the launcher refuses to
start without a display; runs it in a Wine prefix of its own; checks that the game fills the
screen, the ground along its bottom, and that Exit from the Game menu ends the launcher with
status 0. Screenshots in BUILD_DIR/e2e-shots/launcher-KIND/."""

import os
import re
import shutil
import subprocess
import sys

from game import ROOT, WHITE, Game, poll, terrain_tops
from scenarios import check, exit_from_menu, failures

SCREEN = (1280, 1024)  # not the tests' 1024x768: the game must take the size of this screen
QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
             start_new_session=True)


def start_xvfb():
    """An Xvfb on a free display, which it names once it takes clients. Without -noreset the
    server starts over whenever its last client leaves, and a client that comes meanwhile cannot
    open the display."""
    ready, write = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0",
                               "%dx%dx24" % SCREEN, "-nolisten", "tcp", "-noreset"],
                              pass_fds=[write], **QUIET)
    os.close(write)
    with os.fdopen(ready) as f:
        number = f.readline().strip()
    if not number:
        raise RuntimeError("Xvfb did not start")
    return server, ":" + number


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
    manager = game = None
    # A folder as the zip unpacks, the game beside the launcher, with a Wine prefix of its own.
    folder = os.path.join(os.path.abspath(build_dir), "launcher-" + kind)
    os.makedirs(folder, exist_ok=True)
    launcher = shutil.copy(os.path.join(ROOT, "dist", "tavune-wine"), folder)
    shutil.copy(os.path.join(build_dir, "tavune.exe"), folder)
    prefix = os.path.join(folder, "wineprefix")
    env = dict(os.environ, DISPLAY=display, TAVUNE_WINEPREFIX=prefix, WINEPREFIX=prefix,
               WINEDEBUG="-all")
    if kind == "bare":
        env["TAVUNE_PROBE_DESKTOP"] = "Tavune"  # the launcher's virtual desktop
    try:
        unset = {k: v for k, v in env.items() if k != "DISPLAY"}
        refused = subprocess.run([launcher], env=unset, capture_output=True, text=True)
        check(refused.returncode != 0 and "DISPLAY is unset" in refused.stderr,
              "without a display the launcher stops and says why: %r" % refused.stderr)
        if kind == "openbox":
            manager = subprocess.Popen(["openbox"], env=env, **QUIET)
            # A generous deadline: a busy machine may be slow to start it.
            poll(lambda: window_manager_announced(env), 60, 0.1)
        check(window_manager_announced(env) == (kind == "openbox"),
              "%s: a window manager announces itself only with openbox" % display)
        game = Game(build_dir, "launcher-" + kind, prefix=prefix, launcher=True, env=env)
        game.process = subprocess.Popen([launcher], env=env, **QUIET)
        # The probe waits for the window: a first start is still making the prefix till then.
        shown = poll(lambda: subprocess.run(["xdotool", "search", "--name", "^Tavune$"], env=env,
                                            capture_output=True, text=True).stdout.split(), 80)
        width, height = SCREEN
        # A window manager may maximise the window a while after it first shows.
        check(shown and game.wait_placed(lambda x, y, w, h: x == 0 and w == width and
                                         y + h == height),
              "the window's client area reaches every edge of the screen but the top: "
              "last seen at %s" % (getattr(game, "seen", None),))
        if game.client is None:
            return
        # Maximised and framed by the window manager itself, not in a Wine desktop that it frames.
        state = subprocess.run(["xprop", "-id", shown[0], "_NET_WM_STATE", "_NET_FRAME_EXTENTS"],
                               env=env, capture_output=True, text=True).stdout
        title = re.search(r"EXTENTS\(CARDINAL\) = \d+, \d+, ([1-9]\d*),", state)
        check(kind == "bare" or ("MAXIMIZED_VERT" in state and "MAXIMIZED_HORZ" in state and title),
              "openbox keeps the game's window maximised, with a title bar: %r" % state)
        check(game.wait_ready() is not None, "the game shows its start and takes input")
        # Wine 10 shows a maximised window in its desktop as many pixels right of and below its
        # place as its frame is wide, and cuts off as many at the right and bottom.
        x, y, w, h = game.client
        check(x <= 4 and game.seen[1] <= y <= game.seen[1] + 4,
              "the client area is shown where Wine places it, or by its frame's width off: %s"
              % (game.client,))
        shot = game.shot("playing")
        tops = terrain_tops(shot, w, h)[:width - x]
        check(None not in tops, "the ground lies under every column")
        bottom = [shot.at(column, height - 1 - y) for column in range(width - x)]
        check(all(p == WHITE for p in bottom), "the ground fills the screen's bottom row")
        # A window manager need not give the new window the keyboard: click its title first,
        # as a person would (the menu is opened again should the keys come first).
        game.xdotool("mousemove", str(width // 2), "5", "click", "1")
        exit_from_menu(game)
    finally:
        if game is not None and game.client:
            game.shot("last")
            game.finish_saving()
        stop(game and game.process)
        subprocess.run(["wineserver", "-k"], env=env, **QUIET)
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
