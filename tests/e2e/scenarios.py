#!/usr/bin/env python3
"""End-to-end scenarios: each starts tavune.exe under Wine in its virtual desktop, plays it with
real keys and clicks and checks what the screen shows.

    scenarios.py BUILD_DIR SCENARIO

Screenshots of every run are kept in BUILD_DIR/e2e-shots/SCENARIO/."""

import collections
import os
import sys
import time

import autopilot
from game import (LIGHT_GREY, WHITE, BoxWatch, Game, craft_box, is_flame_colour, landing_site,
                  poll, terrain_tops, vertex_columns)

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAILED: " + message)
    else:
        print("ok: " + message)


def wait_until_ready(game):
    # The first game calibrates for ten ticks with the window shut to input.
    check(game.wait_ready() is not None, "the game shows its start and takes input")


def check_layout(game, shot, what):
    """The instruments and the three thrust buttons stand at the client's top right."""
    w = game.width
    labels = shot.count(w - 200, 25, w - 100, 95, lambda p: p == WHITE)
    values = shot.count(w - 75, 25, w, 95, lambda p: p == WHITE)
    check(labels > 50 and values > 50, "%s: the instruments are drawn" % what)
    for name, x, y in (("main", w - 75, 150), ("left", w - 100, 100), ("right", w - 50, 100)):
        face = shot.count(x, y, x + 48, y + 48, lambda p: p == LIGHT_GREY)
        check(face > 48 * 48 // 2, "%s: the %s thrust button is shown" % (what, name))


def startup(game):
    shot = game.shot("start")
    w, h = game.width, game.height
    tops = terrain_tops(shot, w, h)
    check(None not in tops[:shot.width - shot.ox], "white ground spans every column on the screen")
    check(shot.count(0, 0, w - 210, 20, lambda p: p != (0, 0, 0)) == 0, "the sky is black")
    box = craft_box(shot, w, tops)
    check(box is not None, "the craft is drawn")
    if box:
        # The picture's first column and its first two rows hold only black and white.
        check(box[0] - 1 == w // 2, "the craft's left edge is on the centre column")
        check(0.08 * h < box[1] < 0.25 * h, "the craft is about a sixth of the way down")
        # Other flat runs may lie anywhere: the site is the one the craft's height points to.
        site = landing_site(tops, box[1] - 2)
        columns = [x for x in vertex_columns(w) if site and site[0] <= x < site[0] + site[1]]
        check(site is not None,
              "the craft starts 1000 m over a flat run of four whole segments or more: %s, "
              "vertex columns %s" % (site, columns))
    check_layout(game, shot, "at the start")


def craft_top(game, label, band=None):
    shot = game.shot(label)
    return shot, game.craft(shot, band)


def wait_craft(game, label, condition, timeout=20, band=None):
    """Screenshots until the craft's box meets the condition: (shot, box), or (last shot, None)."""
    def met(shot):
        box = game.craft(shot, band)
        return box if box and condition(box) else None
    return game.wait_shot(label, met, timeout)


def fall_band(game):
    """The columns of a craft falling straight down from its start, its flames and its debris:
    the boxes open left of them."""
    return game.width // 2 - 40, game.width // 2 + 72


def thrust(game):
    _, start = craft_top(game, "ready")
    game.key("space")  # the release of a key starts the flight
    game.keydown("Down")
    # Held until the craft has climbed and the flame, shown every other tick, has been seen.
    flame_seen = False
    climbed = None
    deadline = time.time() + 20
    try:
        while start and not (flame_seen and climbed) and time.time() < deadline:
            shot = game.shot("thrust")
            box = game.craft(shot)
            if box:
                # The main flame hangs below the craft.
                flames = shot.count(box[0] + 2, box[1] + 24, box[0] + 30, box[1] + 60,
                                    is_flame_colour)
                flame_seen = flame_seen or flames > 10
                if box[1] < start[1] - 5:
                    climbed = box
    finally:
        game.keyup("Down")
    check(flame_seen, "holding Down shows the main flame")
    check(climbed is not None, "holding Down makes the craft climb (%s -> %s)" % (start, climbed))
    if climbed:
        _, later = wait_craft(game, "falling", lambda box: box[1] > climbed[1])
        check(later is not None, "released, the craft falls back (%s -> %s)" % (climbed, later))


def crash(game):
    game.key("space")
    # A free fall from 1000 m takes about 3.5 s, the crash animation about 2 s more; the box
    # follows it. The probe looks for the box beside the screenshots, of which the last hundred
    # hold the animation.
    shots = collections.deque(maxlen=100)
    watch = BoxWatch(game)
    deadline = time.time() + 60
    fields = None
    while fields is None and time.time() < deadline:
        shots.append(game.shot("fall"))
        fields = watch.fields()
    watch.close()
    red_frames = 0
    tall_frames = 0
    band = fall_band(game)
    for shot in shots:
        red = shot.count(band[0], 0, band[1], game.height, lambda p: p == (255, 0, 0))
        if red > 5:
            red_frames += 1
            # Debris frames reach above the craft's own 30 rows.
            box = game.craft(shot, band)
            if box and box[3] - box[1] > 32:
                tall_frames += 1
    check(red_frames >= 3, "the crash plays fiery pictures (%d frames seen)" % red_frames)
    check(tall_frames >= 1, "debris frames rise above the craft")
    check(fields is not None and fields.get("title") == "CRASH!",
          "the end-of-flight box says CRASH!: %s" % (fields,))


def restart_and_new(game):
    shot, start = craft_top(game, "ready")
    tops = terrain_tops(shot, game.width, game.height)
    game.key("space")
    game.keydown("Left")
    try:
        # The flames beside and below the craft never reach above its top row.
        _, moved = wait_craft(game, "moved", lambda box: start and box[1] > start[1])
    finally:
        game.keyup("Left")
    check(moved is not None, "the craft moved")
    game.key("F3")
    shot, again = wait_craft(game, "restarted", lambda box: box == start)
    check(again is not None, "F3 puts the craft back at its start")
    check(terrain_tops(shot, game.width, game.height) == tops, "F3 keeps the terrain")
    def new_start(shot):
        scene = game.start_scene(shot)
        return scene if scene and scene[0] != tops else None

    # Two terrains in a row could show the same ground line, and then the screen cannot tell
    # F2 from nothing: another F2 then, and the chance of that fades with each.
    for attempt in range(3):
        game.key("F2")
        shot, fresh = game.wait_shot("new", new_start, 10)
        if fresh:
            break
    check(terrain_tops(shot, game.width, game.height) != tops, "F2 brings a new terrain")
    check(game.start_scene(shot) is not None,
          "F2 puts the craft at its start, over the new landing site")


def exit_from_menu(game):
    check(game.open_menu(), "Alt+G opens the Game menu")
    game.key("x")
    code = game.wait_exit(30)
    check(code == 0, "Exit from the menu ends the process with exit code 0 (got %s)" % code)


def options_fuel(game):
    check(game.panel_shows(3, "1000.00  "), "the panel shows the default fuel 1000.00")
    game.key("F4")
    fields = game.wait_box()
    check(fields is not None and fields.get("caption") == "Tavune Options",
          "F4 opens the options: %s" % (fields,))
    # The focus starts on OK; Cancel, the gravity bar and then the fuel bar follow.
    for _ in range(3):
        game.key("Tab")
    game.key("End")
    game.shot("fuel-right")
    game.key("Return")
    check(game.wait_no_box(), "OK closes the options")
    check(game.wait_panel(3, "3000.00  "), "the restarted craft shows fuel 3000.00")


def about_pauses(game):
    _, start = craft_top(game, "ready")
    game.key("space")
    # About as soon as the craft falls: far from the ground, and above where the box shows.
    _, falling = wait_craft(game, "falling", lambda box: start and box[1] > start[1])
    check(falling is not None, "the flight starts")
    game.key("alt+g")
    game.key("b")
    fields = game.wait_box()
    check(fields is not None and fields.get("caption") == "About Tavune",
          "the menu opens the About box: %s" % (fields,))
    # The last tick's picture may reach the screen after the box: two looks that agree first.
    band = fall_band(game)
    first = None
    deadline = time.time() + 10
    while time.time() < deadline:
        _, box = craft_top(game, "about1", band)
        if box and box == first:
            break
        first = box
        time.sleep(0.2)
    time.sleep(0.6)  # how long the craft is watched
    _, second = craft_top(game, "about2", band)
    check(first is not None and first == second,
          "the craft stands still while About is open (%s -> %s)" % (first, second))
    game.key("Return")
    check(game.wait_no_box(), "OK closes the About box")
    _, third = wait_craft(game, "after", lambda box: second and box[1] > second[1], band=band)
    check(third is not None, "the flight goes on after OK (%s -> %s)" % (second, third))


def lost(game):
    game.key("space")
    game.keydown("Down")
    try:
        fields = game.wait_box(60)
    finally:
        game.keyup("Down")
    check(fields is not None and fields.get("title") == "Tavune Lost!",
          "flying straight up ends in Tavune Lost!: %s" % (fields,))
    check(fields is not None and fields.get("message", "").startswith("You are out of range"),
          "the box explains the loss")


def fuel_line(game):
    """The fuel on the instrument panel as a screenshot shows it."""
    shot, w = game.shot("fuel"), game.width
    return [shot.at(x, y) for y in range(25 + 3 * 16, 25 + 4 * 16) for x in range(w - 75, w)]


def desktop_habits(game):
    """Whatever the player does on the desktop, the game stands still while it cannot be flown,
    carries on where it was, and lays itself out for any client area."""
    screen_width = game.screen_size()[0]
    _, start = craft_top(game, "ready")

    def stood_still(what, leave, come_back):
        # A free fall from the start reaches the ground in about 3.5 s: one while the game was
        # away would have brought the craft down, where a few ticks move it a little.
        game.key("F3")
        wait_craft(game, "restarted", lambda box: box == start)
        game.key("space")
        _, before = wait_craft(game, "before " + what, lambda box: start and box[1] != start[1])
        leave()
        time.sleep(4.0)
        come_back()
        _, back = wait_craft(game, "after " + what, lambda box: True, timeout=5)
        check(game.box() is None and before is not None and back is not None and
              before[1] <= back[1] < (before[1] + game.height - 20) // 2,
              "the craft has not fallen %s (%s -> %s)" % (what, before, back))

    def close_menu():
        game.key("Escape")  # the drop-down, then the menu bar
        game.key("Escape")
        check(poll(lambda: game.probe("menu") != "open", 10), "Escape closes the menu")

    def burning(shot):
        box = game.craft(shot)
        return box and shot.count(box[0] + 2, box[1] + 24, box[0] + 30, box[1] + 60,
                                  is_flame_colour) > 10

    def restore(width):
        game.probe("show", "restore")
        check(game.wait_placed(lambda x, y, w, h: w == width) is not None,
              "restored, the window is as it was: %s" % (game.seen,))

    def fuel_stays():
        first = fuel_line(game)
        time.sleep(0.5)  # the panel shows the fuel every sixth tick
        return fuel_line(game) == first

    stood_still("behind the Game menu", lambda: check(game.open_menu(), "Alt+G opens the menu"),
                close_menu)
    game.keydown("Down")
    try:
        check(game.wait_shot("burning", burning, 10)[1], "holding Down shows the main flame")
        game.keydown("alt")
    finally:
        game.keyup("Down")
        game.keyup("alt")
    check(poll(fuel_stays, 5, 0), "Down released while Alt is held stops the engine")
    stood_still("while minimised", lambda: game.probe("show", "minimize"),
                lambda: restore(screen_width))

    for how, wide in (("normal", False), ("maximize", True)):
        game.probe("show", how)
        check(game.wait_placed(lambda x, y, w, h: (w == screen_width) == wide) is not None,
              "%s: the window takes its new size %s" % (how, game.seen))
        if not wide:
            # The right edge of the frame, dragged 130 columns on: the new size when it ends.
            x, y, w, h = game.client
            drop = x + w + 130
            game.xdotool("mousemove", str(x + w + 1), str(y + h // 2), "mousedown", "1")
            for step in list(range(x + w + 11, drop, 10)) + [drop]:
                game.xdotool("mousemove", str(step), str(y + h // 2), "sleep", "0.05")
            game.xdotool("mouseup", "1")
            check(game.wait_placed(lambda x, y, w, h: abs(x + w - drop) <= 4) is not None,
                  "the window ends as wide as the drag of its edge: %s" % (game.seen,))
        shot, scene = game.wait_shot(how, game.start_scene)
        # The ground line never comes lower than 20 rows above the bottom.
        check(scene is not None and all(t <= game.height - 20 for t in scene[0] if t),
              "%s: a new game fills the %dx%d client, the ground along its bottom and the craft "
              "over its site" % (how, game.width, game.height))
        check_layout(game, shot, how)
        if not wide:
            game.key("space")
            fields = game.wait_box(20)
            check(fields is not None and fields.get("title") == "CRASH!",
                  "a flight in the smaller window falls to the ground: %s" % (fields,))
            game.probe("show", "minimize")
            restore(game.width)
            band = fall_band(game)
            check(game.wait_shot("wreck", lambda shot: shot.count(
                band[0], 0, band[1], game.height, lambda p: p == (255, 0, 0)) > 5, 10)[1],
                  "repainted behind the box, the wreck stays one")
            check(autopilot.close_box(game), "the box closes")


# The scripted player: it sees only screenshots and presses only the flying keys.
VERTICAL_MESSAGES = (
    "Too much vertical velocity. Your landing speed must be under 10 m/sec.",
    "Nice crater! All that training really payed off.",
    "You just dug a hole half way to Clavius.",
)
HORIZONTAL_MESSAGE = ("Too much horizontal velocity. Your horizontal motion must be less than "
                      "1 m/sec.")
MISSED_MESSAGE = "Missed the landing site. You must land on flat terrain."


def fly_once(game, pilot, name, make_mission, expect_title, expect_messages, new_game):
    """One flight with the pilot. Its log and last frame are kept as NAME.log and NAME-*.png;
    when the box says otherwise (or TAVUNE_PILOT_RECORD is set), also every eighth frame and
    the last thirty."""
    pilot.forget()
    if new_game:
        game.key("F2")  # the pilot waits for the new start
    began = time.time()
    try:
        scene = pilot.wait_for_start_position()
        fields = pilot.fly(scene, make_mission(scene))
    except autopilot.PilotError as e:
        fields = None
        pilot.log.append("pilot error: %s" % e)
        print("pilot error: %s" % e)
    took = time.time() - began
    good = (fields is not None and fields.get("title") == expect_title and
            fields.get("message") in expect_messages)
    check(good, "%s: the box says %s (%s) after %.1f s" % (name, expect_title, fields, took))
    if not good or os.environ.get("TAVUNE_PILOT_RECORD"):
        pilot.save_record(name)
    else:
        pilot.save_log(name)
        pilot.save_last_frame(name)
    if fields is not None or game.box() is not None:
        check(autopilot.close_box(game), "%s: the box closes" % name)
    return good


def land(game):
    """One landing; first the pilot's reading of the scene is held against this file's own."""
    pilot = autopilot.Pilot(game)
    try:
        scene = pilot.wait_for_start_position()
    except autopilot.PilotError as e:
        check(False, str(e))
        pilot.save_record("start")
        return
    shot = game.shot("pilot-scene")
    w, h = game.width, game.height
    tops = terrain_tops(shot, w, h)
    check(scene.tops == tops, "the pilot reads the same ground line")
    box = craft_box(shot, w, tops)
    # The picture's first column and its first two rows hold only black and white.
    check(box is not None and (box[0] - 1, box[1] - 2) == scene.craft,
          "the pilot finds the craft at %s (%s)" % (scene.craft, box))
    site = landing_site(tops, box[1] - 2) if box else None
    check(site == (scene.site_x, scene.site_w, scene.site_row),
          "the pilot finds the site %s" % (site,))
    if fly_once(game, pilot, "landing", autopilot.site_mission, "Congratulations!",
                ("You have landed safely.",), new_game=False):
        # The flames blink beside and below the craft: it must stay in sight all the same.
        check(pilot.seen >= 0.95 * pilot.count,
              "the craft was seen in %d of %d frames" % (pilot.seen, pilot.count))
    pilot.close()


def outcomes(game):
    """The four other ends of a flight, each flown on a terrain of its own."""
    pilot = autopilot.Pilot(game)
    # Free fall: nothing pressed from start to ground.
    game.key("space")
    fields = game.wait_box(60)
    check(fields is not None and fields.get("title") == "CRASH!" and
          fields.get("message") in VERTICAL_MESSAGES,
          "free fall ends in a vertical-velocity crash: %s" % (fields,))
    if fields is not None:
        check(autopilot.close_box(game), "free fall: the box closes")
    fly_once(game, pilot, "sideways", autopilot.sideways_mission, "CRASH!",
             (HORIZONTAL_MESSAGE,), new_game=True)
    fly_once(game, pilot, "off-site", autopilot.off_site_mission, "CRASH!", (MISSED_MESSAGE,),
             new_game=True)
    # Out of range: up with the main engine until the craft is gone from the sky and beyond.
    game.key("F2")
    scene = pilot.wait_for_start_position()
    game.key("space")
    game.keydown("Down")
    try:
        highest = scene.craft[1]
        unseen = 0
        deadline = time.time() + 60
        fields = None
        while fields is None and time.time() < deadline:
            found = pilot.finder.find(pilot.grab(), (0, 0, game.width, scene.site_row))
            if found:
                highest = min(highest, found[1])
                unseen = 0
            else:
                unseen += 1
            fields = game.box()
    finally:
        game.keyup("Down")
    check(highest < scene.craft[1] - 20 and unseen >= 5,
          "the climbing craft leaves through the top of the screen (last seen at row %d)" %
          highest)
    check(fields is not None and fields.get("title") == "Tavune Lost!" and
          fields.get("message", "").startswith("You are out of range"),
          "climbing out of range ends in Tavune Lost!: %s" % (fields,))
    if fields is not None:
        check(autopilot.close_box(game), "out of range: the box closes")
    pilot.close()


def land10(game):
    """Ten landings in ten attempts, each on a new terrain."""
    pilot = autopilot.Pilot(game)
    began = time.time()
    landed = 0
    for attempt in range(1, 11):
        landed += fly_once(game, pilot, "landing%02d" % attempt, autopilot.site_mission,
                           "Congratulations!", ("You have landed safely.",),
                           new_game=attempt > 1)
    print("landed %d of 10 in %.0f s" % (landed, time.time() - began))
    pilot.close()


SCENARIOS = {
    "startup": startup,
    "thrust": thrust,
    "crash": crash,
    "restart": restart_and_new,
    "exit": exit_from_menu,
    "options": options_fuel,
    "about": about_pauses,
    "lost": lost,
    "land": land,
    "outcomes": outcomes,
    "land10": land10,
    "window": desktop_habits,
}


def main():
    build_dir, name = sys.argv[1], sys.argv[2]
    game = Game(build_dir, name)
    try:
        # In the window's scenario the player switches to another program while the first game
        # sets up, and clicks on the game's caption to come back.
        away = game.background_probe("away") if name == "window" else None
        game.start()
        if away:
            check(away.wait(30) == 0, "another program took the activation during the set-up")
            game.click(game.width // 3, -29)
        wait_until_ready(game)
        SCENARIOS[name](game)
    finally:
        game.shot("last")
        game.kill()
        game.finish_saving()
    if failures:
        print("%d checks failed; screenshots in %s" % (len(failures), game.shots_dir))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
