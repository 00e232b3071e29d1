#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "game/state.h"
#include "game/terrain.h"
#include "game/tick.h"
#include "game_fixture.h"
#include "recording_host.h"

namespace {

using Calls = std::vector<std::string>;

// The recorded calls that start with any of the given texts, in order.
Calls Only(std::initializer_list<const char*> prefixes) {
    Calls found;
    for (const std::string& call : recorder.calls) {
        if (std::any_of(prefixes.begin(), prefixes.end(),
                        [&call](const char* prefix) { return call.rfind(prefix, 0) == 0; })) {
            found.push_back(call);
        }
    }
    return found;
}

// The window takes input again, and then the focus, which a disabled window cannot take.
void ExpectWaitingForThePlayer() {
    EXPECT_EQ(flight.phase, PHASE_READY);
    EXPECT_EQ(recorder.inputEnabled, 1);
    EXPECT_EQ(recorder.busyCursor, 0);
    EXPECT_EQ(Only({"enableInput 1", "focus"}), (Calls{"enableInput 1", "focus"}));
}

class TickTest : public GameTest {
  protected:
    void SetUp() override {
        GameTest::SetUp();
        InstallRecorder();
        flight.phase = PHASE_NEW_GAME; // as the main window's creation leaves it
        // The timer ticks on inside every box; the recorder notes any call those ticks make.
        recorder.whileDialogOpen = [] { TickWhilePhase(PHASE_DIALOG, 2); };
    }
    void TearDown() override {
        EXPECT_EQ(recorder.faults, Calls{});
        EXPECT_EQ(recorder.openSurfaces, 0);
    }

    // From a fresh process to a craft waiting for the player over a new terrain.
    void StartFirstGame() {
        TickWhilePhase(PHASE_NEW_GAME);
        TickWhilePhase(PHASE_CALIBRATE);
        ASSERT_EQ(flight.phase, PHASE_READY);
        recorder.calls.clear();
    }

    // Ticks until the end-of-flight box opens, every button held: the box finds them released.
    int TicksUntilDialog() {
        recorder.dialogs = 0;
        int ticks = 0;
        for (; recorder.dialogs == 0 && ticks < 200; ++ticks) {
            std::fill(std::begin(flight.thrusterOn), std::end(flight.thrusterOn), 1);
            Tick();
        }
        return ticks;
    }
};

// A new game blacks out the play area and its border before the repaint, and shuts the window to
// input until the time step is known. Away from the game during the calibration, the window takes
// input (or the player could never come back to it); back, the calibration starts over from that
// moment, shut to input again. A flying tick draws the craft where its step has put it.
TEST_F(TickTest, NewGamesCalibrateOnceThenTheCraftFlies) {
    InstallRecorder(0xFFFFFF00u); // the tick count wraps during the calibration
    Tick(55);
    EXPECT_EQ(recorder.inputEnabled, 0);
    EXPECT_EQ(recorder.busyCursor, 1);
    EXPECT_EQ(Only({"fillBlack", "repaint"}), (Calls{"fillBlack -1 -1 1025 731", "repaint"}));
    ASSERT_NE(terrainRegion, nullptr);
    FindLandingSite(terrainRegion); // fails unless the site is on the row that originY gives
    for (int i = 1; i <= 11; ++i) { // each drawing as a flight tick would
        if (i == 3) {
            GameStandStill(nullptr);
            EXPECT_EQ(recorder.inputEnabled, 1);
            recorder.clock += 5000;
            GameResume(nullptr);
            EXPECT_EQ(recorder.busyCursor, 1);
        }
        recorder.calls.clear();
        Tick(55);
        EXPECT_EQ(flight.phase, PHASE_CALIBRATE) << "tick " << i;
        EXPECT_EQ(recorder.inputEnabled, 0);
        EXPECT_EQ(Only({"draw"}), (Calls{"drawCraft 0 phase 2 at 512 107", "drawInstruments 0"}));
    }
    EXPECT_EQ(settings.timeStep, 0.5f);
    Tick(55);
    EXPECT_EQ(flight.calibrated, 1);
    EXPECT_EQ(settings.timeStep, static_cast<float>(0.4125)); // ten ticks of 55 ms
    ExpectWaitingForThePlayer();
    recorder.calls.clear();
    flight.phase = PHASE_FLYING;
    flight.vy = -100.0f;
    Tick();
    EXPECT_EQ(flight.altitude, 958.239501953125f);
    EXPECT_EQ(Only({"draw"}), (Calls{"drawCraft 1 phase 4 at 512 129", "drawInstruments 0"}));

    // The next new game keeps the time step and shows the waiting craft at once.
    recorder.calls.clear();
    flight.phase = PHASE_NEW_GAME;
    Tick(80);
    EXPECT_EQ(Only({"fillBlack", "repaint"}), (Calls{"fillBlack -1 -1 1025 731", "repaint"}));
    EXPECT_EQ(Only({"draw"}), (Calls{"drawCraft 0 phase 1 at 512 102", "drawInstruments 0"}));
    ExpectWaitingForThePlayer();
}

TEST_F(TickTest, WaitingAndUnknownPhasesDoNothing) {
    StartFirstGame();
    for (int phase : {0, int{PHASE_DIALOG}, int{PHASE_READY}, 14, 200, 255}) {
        flight.phase = static_cast<uint8_t>(phase);
        FlightState before;
        std::memcpy(&before, &flight, sizeof before);
        Tick();
        EXPECT_EQ(recorder.calls, Calls{}) << "phase " << phase;
        EXPECT_EQ(std::memcmp(&before, &flight, sizeof before), 0) << "phase " << phase;
    }
}

// The limits themselves are in range; the contact tick does not test the range. Beyond it the
// craft is lost on the next tick. Both bring the instruments up to date; the contact tick draws
// the craft once more, in the touchdown phase, which draws no flames.
TEST_F(TickTest, LeavingTheRangeIsLostOnTheNextTick) {
    const struct {
        float altitude, posX;
        int next;
    } cases[] = {
        {5000.0f, 0.0f, PHASE_FLYING},     {5000.001f, 0.0f, PHASE_LOST},
        {-500.0f, 0.0f, PHASE_FLYING},     {-500.001f, 0.0f, PHASE_LOST},
        {1000.0f, 1000.0f, PHASE_FLYING},  {1000.0f, -1000.0f, PHASE_FLYING},
        {1000.0f, 1000.001f, PHASE_LOST},  {1000.0f, -1000.001f, PHASE_LOST},
        {-1600.0f, 0.0f, PHASE_TOUCHDOWN}, {-1596.0f, 0.0f, PHASE_LOST},
    };
    // No terrain, and the site high enough that 500 m below it the craft is in the air; at -1600 m
    // its bottom row is on the bottom row of the play area, at -1596 m a row above.
    screen.originX = 512;
    screen.originY = 300;
    settings.gravity = 0.0f;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.altitude << " " << c.posX);
        flight.altitude = c.altitude;
        flight.posX = c.posX;
        flight.phase = PHASE_FLYING;
        recorder.calls.clear();
        Tick();
        EXPECT_EQ(flight.phase, c.next);
        EXPECT_EQ(Only({"drawInstruments 1"}).size(), c.next == PHASE_FLYING ? 0u : 1u);
        if (c.next == PHASE_TOUCHDOWN) {
            EXPECT_EQ(Only({"drawCraft"}).back().substr(0, 19), "drawCraft 1 phase 5");
        } else if (c.next == PHASE_LOST) {
            EXPECT_EQ(TicksUntilDialog(), 1);
            EXPECT_EQ(flight.outcome, OUTCOME_LOST);
        }
    }
}

// A speed equal to its limit is safe; ground under all three probes is a landing whatever the
// speed. On level ground (its notch at column 9, well away) the craft at column 300 probes columns
// 316, 300 and 332 (just right of the picture) on the ground line's own row at altitude 0 (a row
// higher is sky); a notch under one of them leaves it in the air.
TEST_F(TickTest, TouchdownJudgeWantsTheGroundUnderAllProbesAndSpeedsWithinTheLimits) {
    StartFirstGame();
    const struct {
        int notch;
        float vx, vy;
        int outcome;
    } cases[] = {
        {9, 1.0f, -10.0f, OUTCOME_LANDED},           {9, -1.0f, 10.0f, OUTCOME_LANDED},
        {9, 0.0f, -10.001f, OUTCOME_VERTICAL_CRASH}, {9, 0.0f, 10.001f, OUTCOME_VERTICAL_CRASH},
        {9, 5.0f, -30.0f, OUTCOME_VERTICAL_CRASH},   {9, -1.001f, -3.0f, OUTCOME_HORIZONTAL_CRASH},
        {9, 1.5f, -2.0f, OUTCOME_HORIZONTAL_CRASH},  {316, 0.0f, 0.0f, OUTCOME_MISSED_SITE},
        {300, 0.0f, 0.0f, OUTCOME_MISSED_SITE},      {332, 0.0f, 0.0f, OUTCOME_MISSED_SITE},
        {308, 0.0f, 0.0f, OUTCOME_LANDED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.notch << " " << c.vx << " " << c.vy);
        DeleteTerrain(terrainRegion);
        terrainRegion = LevelGroundWithOneColumn(TEST_SCREEN_WIDTH, TEST_GROUND_HEIGHT,
                                                 screen.originY + 30, c.notch, screen.originY + 40);
        flight.posX = PosXForColumn(300);
        flight.altitude = 0.0f;
        flight.vx = c.vx;
        flight.vy = c.vy;
        flight.phase = PHASE_TOUCHDOWN;
        recorder.calls.clear();
        Tick();
        EXPECT_EQ(recorder.calls, Calls{}) << "the judge draws nothing";
        EXPECT_EQ(flight.phase, c.outcome == OUTCOME_LANDED ? PHASE_LANDED : PHASE_CRASH_SINK);
        EXPECT_EQ(flight.crashX, 300);
        EXPECT_EQ(flight.crashY, screen.originY);
        EXPECT_EQ(TicksUntilDialog(), c.outcome == OUTCOME_LANDED ? 1 : 36);
        EXPECT_EQ(flight.outcome, c.outcome);
    }
}

// Only the pixel below the craft's bottom centre (column 216 for a craft at 200) stops the
// sinking: a notch or a spike in that one column moves the stop, ground under the edges does not.
// The craft is copied a row lower each time, the last copy where it stops. There the three crash
// pictures stand, and ten debris pictures of 64 rows end on its bottom row, two ticks each, the
// last two then alternating. A repaint behind the box shows the wreck.
TEST_F(TickTest, CrashSinksToTheGroundUnderTheCentreAndExplodesThere) {
    const struct {
        int centreTop; // column 216's first ground row, in level ground on row 500; 0: no terrain
        int startY, stopY;
    } cases[] = {
        {500, 480, 480}, // the bottom centre already in the ground
        {520, 400, 490}, // a notch under the centre
        {470, 100, 440}, // a spike under the centre
        {0, 650, TEST_GROUND_HEIGHT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.centreTop);
        DeleteTerrain(terrainRegion);
        terrainRegion = c.centreTop == 0
                            ? nullptr
                            : LevelGroundWithOneColumn(TEST_SCREEN_WIDTH, TEST_GROUND_HEIGHT, 500,
                                                       216, c.centreTop);
        recorder.calls.clear();
        flight.crashX = 200;
        flight.crashY = static_cast<int16_t>(c.startY);
        flight.vy = -40.0f;
        flight.debrisFrame = DEBRIS_TICKS; // as the last crash left it
        flight.phase = PHASE_CRASH_SINK;
        Tick();
        const Calls copies = Only({"copyCraft 200 "});
        ASSERT_EQ(copies.size(), static_cast<size_t>(c.stopY - c.startY));
        EXPECT_TRUE(copies.empty() || copies.back() == "copyCraft 200 " + std::to_string(c.stopY));
        const std::string there = " at 200 " + std::to_string(c.stopY);
        Calls pictures = {"picture 0" + there, "picture 1" + there, "picture 2" + there};
        for (int picture : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 8, 9, 8, 9, 8, 9}) {
            const std::string call = "picture " + std::to_string(PICTURE_DEBRIS_1 + picture) +
                                     " at 200 " + std::to_string(c.stopY - 34);
            pictures.insert(pictures.end(), {call, call});
        }
        pictures.push_back("picture 2" + there);
        EXPECT_EQ(TicksUntilDialog(), 2 + DEBRIS_TICKS + 1);
        EXPECT_EQ(Only({"picture"}), pictures);
        EXPECT_EQ(flight.outcome, OUTCOME_VERTICAL_CRASH);
        RedrawCraft(nullptr);
        EXPECT_EQ(recorder.calls.back(), "picture 2" + there);
    }
}

// A free fall crashes; Restart puts the whole craft back over the same terrain, and New makes a
// new one even in the middle of a crash.
TEST_F(TickTest, FreeFallCrashesThenRestartKeepsTheTerrainAndNewReplacesIt) {
    StartFirstGame();
    const Terrain first = *terrainRegion;
    flight.phase = PHASE_FLYING;
    TickWhilePhase(PHASE_FLYING);
    EXPECT_EQ(TicksUntilDialog(), 37);
    EXPECT_EQ(flight.outcome, OUTCOME_VERTICAL_CRASH);
    flight.phase = PHASE_RESTART;
    recorder.calls.clear();
    Tick();
    EXPECT_EQ(recorder.calls, (Calls{"repaint"}));
    EXPECT_EQ(flight.phase, PHASE_READY);
    EXPECT_EQ(flight.altitude, 1000.0f);
    EXPECT_EQ(std::memcmp(terrainRegion->vertices, first.vertices, sizeof first.vertices), 0);
    RedrawCraft(nullptr);
    EXPECT_EQ(recorder.calls.back().substr(0, 11), "drawCraft 0");
    flight.phase = PHASE_FLYING;
    TickWhilePhase(PHASE_FLYING);
    Tick(); // the judge
    Tick(); // the sinking
    ASSERT_EQ(flight.phase, PHASE_EXPLODE_2);
    flight.phase = PHASE_NEW_GAME;
    Tick();
    EXPECT_EQ(flight.phase, PHASE_READY);
    EXPECT_NE(std::memcmp(terrainRegion->vertices, first.vertices, sizeof first.vertices), 0);
}

} // namespace
