#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "game/contact.h"
#include "game/state.h"
#include "game/terrain.h"
#include "game/tick.h"
#include "game_fixture.h"
#include "recording_host.h"

namespace {

using Calls = std::vector<std::string>;

// What every new game does first: the window shut to input, the play area black, a repaint.
const Calls SET_UP = {"enableInput 0",  "busyCursor 1", "getSurface", "fillBlack -1 -1 1025 731",
                      "releaseSurface", "repaint"};

// The calls of a tick that draws the craft and the instruments.
Calls Drawing(int eraseTrail, int phase, ScreenPoint at) {
    return {"getSurface",
            "drawCraft " + std::to_string(eraseTrail) + " phase " + std::to_string(phase) + " at " +
                std::to_string(at.x) + " " + std::to_string(at.y),
            "drawInstruments 0", "releaseSurface"};
}

// The end of every flight: the buttons released, then the box.
Calls Ending(int outcome) {
    return {"releaseButton 0", "releaseButton 1", "releaseButton 2",
            "endGameDialog " + std::to_string(outcome)};
}

class TickTest : public GameTest {
  protected:
    void SetUp() override {
        GameTest::SetUp();
        InstallRecorder();
        flight.phase = PHASE_NEW_GAME; // as the main window's creation leaves it
    }
    void TearDown() override {
        EXPECT_EQ(recorder.faults, Calls{});
        EXPECT_EQ(recorder.openSurfaces, 0);
        SetGameHost(nullptr);
    }

    // From a fresh process to a craft waiting for the player over a new terrain.
    void StartFirstGame() {
        Tick();
        ASSERT_EQ(flight.phase, PHASE_CALIBRATE);
        TickWhilePhase(PHASE_CALIBRATE);
        ASSERT_EQ(flight.phase, PHASE_READY);
        recorder.Clear();
    }

    // Puts the craft a little above the ground at column x and lets it come down at the given
    // speeds; returns the number of flying ticks until contact.
    int DescendAt(int x, float vx, float vy, float height = 3.0f) {
        flight.posX = PosXForColumn(x);
        flight.altitude = height;
        flight.vx = vx;
        flight.vy = vy;
        settings.gravity = 0.0f; // keep the speeds as given
        flight.phase = PHASE_FLYING;
        return TickWhilePhase(PHASE_FLYING, 1000);
    }

    // Ticks from the contact tick until the end-of-flight box opens; returns that count.
    int TicksUntilDialog() {
        int ticks = 0;
        while (recorder.dialogs == 0 && ticks < 200) {
            Tick();
            ++ticks;
        }
        return ticks;
    }
};

TEST_F(TickTest, FirstNewGameSetsUpAndCalibratesWithTheWindowDisabled) {
    Tick();
    EXPECT_EQ(recorder.calls, SET_UP);
    EXPECT_EQ(flight.phase, PHASE_CALIBRATE);
    EXPECT_EQ(flight.altitude, 1000.0f);
    EXPECT_EQ(flight.fuel, 1000.0f);
    EXPECT_EQ(screen.originX, 512);
    ASSERT_NE(terrainRegion, nullptr);
    FindLandingSite(terrainRegion); // fails unless the site is on the row that originY gives
    EXPECT_EQ(flight.calibrationStartTick, 50u);

    for (int i = 1; i <= 9; ++i) {
        recorder.Clear();
        Tick();
        EXPECT_EQ(flight.phase, PHASE_CALIBRATE) << "tick " << i;
        EXPECT_EQ(recorder.inputEnabled, 0);
        EXPECT_EQ(recorder.calls, Drawing(0, PHASE_CALIBRATE, WorldToScreen(0.0f, 1000.0f)));
    }
    EXPECT_EQ(settings.timeStep, 0.5f);
    Tick();
    EXPECT_EQ(flight.phase, PHASE_READY);
    EXPECT_EQ(flight.calibrated, 1);
    EXPECT_EQ(settings.timeStep, 0.375f); // ten ticks of 50 ms
    EXPECT_EQ(recorder.inputEnabled, 1);
    EXPECT_EQ(recorder.busyCursor, 0);
    EXPECT_EQ(recorder.calls.back(), "focus");
}

TEST_F(TickTest, CalibrationMeasuresTheRealTickRateAcrossAClockWrap) {
    InstallRecorder(0xFFFFFF00u);
    flight.phase = PHASE_NEW_GAME;
    Tick(55);
    while (flight.phase == PHASE_CALIBRATE) {
        Tick(55);
    }
    EXPECT_EQ(flight.calibrationStartTick, 0xFFFFFF37u);
    EXPECT_EQ(recorder.clock, 0xFFFFFF37u + 550u);
    EXPECT_LT(recorder.clock, 0x1000u);
    EXPECT_EQ(settings.timeStep, static_cast<float>(0.4125));
}

TEST_F(TickTest, SecondNewGameGoesStraightToReady) {
    StartFirstGame();
    const float calibrated = settings.timeStep;
    flight.phase = PHASE_NEW_GAME;
    Tick(80);
    Calls expected = SET_UP;
    const Calls drawing = Drawing(0, PHASE_NEW_GAME, WorldToScreen(0.0f, 1000.0f));
    expected.insert(expected.end(), drawing.begin(), drawing.end());
    expected.insert(expected.end(), {"enableInput 1", "busyCursor 0", "focus"});
    EXPECT_EQ(recorder.calls, expected);
    EXPECT_EQ(flight.phase, PHASE_READY);
    EXPECT_EQ(settings.timeStep, calibrated);
}

TEST_F(TickTest, RestartKeepsTheTerrainAndNewReplacesIt) {
    StartFirstGame();
    const Terrain first = *terrainRegion;
    const int16_t firstOriginY = screen.originY;
    flight.altitude = 300.0f;
    flight.fuel = 12.0f;
    flight.phase = PHASE_RESTART;
    Tick();
    EXPECT_EQ(recorder.calls, (Calls{"repaint"}));
    EXPECT_EQ(flight.phase, PHASE_READY);
    EXPECT_EQ(flight.altitude, 1000.0f);
    EXPECT_EQ(flight.fuel, 1000.0f);
    EXPECT_EQ(screen.originY, firstOriginY);
    EXPECT_EQ(std::memcmp(terrainRegion->vertices, first.vertices, sizeof first.vertices), 0);

    flight.phase = PHASE_NEW_GAME;
    Tick();
    EXPECT_NE(std::memcmp(terrainRegion->vertices, first.vertices, sizeof first.vertices), 0);
}

TEST_F(TickTest, WaitingAndUnknownPhasesDoNothing) {
    StartFirstGame();
    const int idle[] = {0, PHASE_DIALOG, PHASE_READY, 14, 200, 255};
    for (int phase : idle) {
        flight.phase = static_cast<uint8_t>(phase);
        const FlightState before = flight;
        Tick();
        EXPECT_TRUE(recorder.calls.empty()) << "phase " << phase;
        EXPECT_EQ(flight.phase, phase);
        EXPECT_EQ(FloatBits(flight.altitude), FloatBits(before.altitude));
    }
}

TEST_F(TickTest, FlyingTickMovesDrawsAndCountsOnTheInstruments) {
    StartFirstGame();
    flight.phase = PHASE_FLYING;
    flight.thrusterOn[THRUSTER_MAIN] = 1;
    Tick();
    EXPECT_EQ(flight.altitude, 1000.28125f);
    EXPECT_EQ(recorder.calls, Drawing(1, PHASE_FLYING, WorldToScreen(0.0f, 1000.28125f)));
    EXPECT_EQ(flight.phase, PHASE_FLYING);
}

TEST_F(TickTest, SafeLandingOnTheSiteOpensTheBoxOnTheSecondTickAfterContact) {
    StartFirstGame();
    flight.thrusterOn[THRUSTER_LEFT] = 1;
    settings.initialFuel = 0.0f; // thrusters held but nothing to burn
    flight.fuel = 0.0f;
    const LandingSite site = FindLandingSite(terrainRegion);
    DescendAt((site.left + site.right - 32) / 2, 0.0f, -4.0f);
    ASSERT_EQ(flight.phase, PHASE_TOUCHDOWN);
    // The contact tick forces the instruments and redraws without flames, in that order.
    const ScreenPoint at = WorldToScreen(flight.posX, flight.altitude);
    Calls contact = Drawing(1, PHASE_FLYING, at);
    contact.insert(contact.end() - 1, {"drawInstruments 1", Drawing(1, PHASE_TOUCHDOWN, at)[1]});
    ASSERT_GE(recorder.calls.size(), contact.size());
    EXPECT_EQ(Calls(recorder.calls.end() - static_cast<long>(contact.size()), recorder.calls.end()),
              contact);

    recorder.Clear();
    EXPECT_EQ(TicksUntilDialog(), 2);
    EXPECT_EQ(flight.outcome, OUTCOME_LANDED);
    EXPECT_EQ(recorder.dialogs, 1);
    EXPECT_EQ(recorder.calls, Ending(OUTCOME_LANDED));
    EXPECT_EQ(flight.thrusterOn[THRUSTER_LEFT], 0);
    EXPECT_EQ(flight.phase, PHASE_DIALOG);
}

TEST_F(TickTest, FreeFallEndsInAVerticalCrashOnThe37thTickAfterContact) {
    StartFirstGame();
    flight.phase = PHASE_FLYING;
    TickWhilePhase(PHASE_FLYING);
    ASSERT_EQ(flight.phase, PHASE_TOUCHDOWN);
    EXPECT_LT(flight.vy, -10.0f);
    EXPECT_EQ(TicksUntilDialog(), 37);
    EXPECT_EQ(flight.outcome, OUTCOME_VERTICAL_CRASH);
    EXPECT_EQ(recorder.Count("releaseButton"), 3);
}

TEST_F(TickTest, GentleTouchdownOffTheSiteMissesIt) {
    StartFirstGame();
    // Over the slope right beside the site, the probes cannot all be in the ground.
    const LandingSite site = FindLandingSite(terrainRegion);
    const int x = site.left >= 60 ? site.left - 40 : site.right + 10;
    DescendAt(x, 0.0f, -1.0f, 200.0f);
    ASSERT_EQ(flight.phase, PHASE_TOUCHDOWN);
    Tick();
    EXPECT_EQ(flight.phase, PHASE_CRASH_SINK);
    TicksUntilDialog();
    EXPECT_EQ(flight.outcome, OUTCOME_MISSED_SITE);
}

TEST_F(TickTest, LeavingTheRangeIsLostOnTheNextTick) {
    StartFirstGame();
    flight.phase = PHASE_FLYING;
    flight.vy = 400.0f;
    const int ticks = TickWhilePhase(PHASE_FLYING);
    EXPECT_EQ(flight.phase, PHASE_LOST);
    EXPECT_GT(flight.altitude, 5000.0f);
    EXPECT_GT(ticks, 1);
    EXPECT_EQ(recorder.calls[recorder.calls.size() - 2], "drawInstruments 1");
    recorder.Clear();
    EXPECT_EQ(TicksUntilDialog(), 1);
    EXPECT_EQ(flight.outcome, OUTCOME_LOST);
    EXPECT_EQ(recorder.calls, Ending(OUTCOME_LOST));
}

// The limits themselves are in range; the contact tick does not test the range at all.
TEST_F(TickTest, RangeLimitsThemselvesAreInRange) {
    struct Case {
        float altitude, posX;
        int next;
    };
    const Case cases[] = {
        {5000.0f, 0.0f, PHASE_FLYING},        {5000.001f, 0.0f, PHASE_LOST},
        {-500.0f, 0.0f, PHASE_FLYING},        {-500.001f, 0.0f, PHASE_LOST},
        {1000.0f, 1000.0f, PHASE_FLYING},     {1000.0f, -1000.0f, PHASE_FLYING},
        {1000.0f, 1000.001f, PHASE_LOST},     {1000.0f, -1000.001f, PHASE_LOST},
        {-1700.0f, 1200.0f, PHASE_TOUCHDOWN}, // on the bottom of the play area
    };
    // No terrain, and the site high enough that 500 m below it the craft is still in the air.
    screen.originX = 512;
    screen.originY = 300;
    settings.gravity = 0.0f;
    for (const Case& c : cases) {
        flight.altitude = c.altitude;
        flight.posX = c.posX;
        flight.phase = PHASE_FLYING;
        Tick();
        EXPECT_EQ(flight.phase, c.next) << c.altitude << " " << c.posX;
    }
}

// A speed equal to its limit is safe; ground under all three probes is a landing whatever the
// speed. Notch 0: over the landing site. Else level ground, the craft at column 300, whose probes
// at altitude 0 are columns 316, 300 and 332 (just right of the picture) on the ground line's own
// row (a row higher is sky); a notch under one of them leaves it in the air.
TEST_F(TickTest, TouchdownJudgeWantsTheGroundUnderAllProbesAndSpeedsWithinTheLimits) {
    StartFirstGame();
    struct Case {
        int notch;
        float vx, vy;
        int outcome;
    };
    const Case cases[] = {
        {0, 1.0f, -10.0f, OUTCOME_LANDED},           {0, -1.0f, 10.0f, OUTCOME_LANDED},
        {0, 0.0f, -10.001f, OUTCOME_VERTICAL_CRASH}, {0, -1.001f, -3.0f, OUTCOME_HORIZONTAL_CRASH},
        {0, 1.5f, -2.0f, OUTCOME_HORIZONTAL_CRASH},  {0, 5.0f, -30.0f, OUTCOME_VERTICAL_CRASH},
        {316, 0.0f, 0.0f, OUTCOME_MISSED_SITE},      {300, 0.0f, 0.0f, OUTCOME_MISSED_SITE},
        {332, 0.0f, 0.0f, OUTCOME_MISSED_SITE},      {308, 0.0f, 0.0f, OUTCOME_LANDED},
    };
    const int onSite = FindLandingSite(terrainRegion).left + 2;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.notch << " " << c.vx << " " << c.vy);
        if (c.notch != 0) {
            DeleteTerrain(terrainRegion);
            terrainRegion =
                LevelGroundWithOneColumn(TEST_SCREEN_WIDTH, TEST_GROUND_HEIGHT, screen.originY + 30,
                                         c.notch, screen.originY + 40);
        }
        const int column = c.notch == 0 ? onSite : 300;
        recorder.dialogs = 0;
        flight.posX = PosXForColumn(column);
        flight.altitude = 0.0f;
        flight.vx = c.vx;
        flight.vy = c.vy;
        flight.phase = PHASE_TOUCHDOWN;
        recorder.Clear();
        Tick();
        EXPECT_TRUE(recorder.calls.empty()) << "the judge draws nothing";
        EXPECT_EQ(flight.phase, c.outcome == OUTCOME_LANDED ? PHASE_LANDED : PHASE_CRASH_SINK);
        EXPECT_EQ(flight.crashX, column);
        EXPECT_EQ(flight.crashY, screen.originY);
        TicksUntilDialog();
        EXPECT_EQ(flight.outcome, c.outcome);
    }
}

TEST_F(TickTest, CrashSinksIntoTheGroundThenPlaysExplosionAndDebris) {
    StartFirstGame();
    flight.crashX = 200;
    flight.crashY = 100;
    flight.vy = -40.0f;
    flight.phase = PHASE_CRASH_SINK;
    const int groundTop = TerrainColumnTop(terrainRegion, 216);
    Tick();
    // It drops row by row until the pixel below its bottom centre is ground (as the next test).
    EXPECT_EQ(recorder.Count("copyCraft 200"), groundTop - 30 - 100);
    EXPECT_EQ(recorder.calls[recorder.calls.size() - 2],
              "picture 0 at 200 " + std::to_string(groundTop - 30));
    EXPECT_EQ(flight.phase, PHASE_EXPLODE_2);

    recorder.Clear();
    Tick();
    Tick();
    EXPECT_EQ(flight.phase, PHASE_DEBRIS);
    EXPECT_EQ(flight.debrisFrame, 0);
    const std::string at = " at 200 " + std::to_string(groundTop - 30);
    EXPECT_EQ(recorder.calls, (Calls{"getSurface", "picture 1" + at, "releaseSurface", "getSurface",
                                     "picture 2" + at, "releaseSurface"}));

    recorder.Clear();
    std::vector<int> frames;
    for (int i = 0; i < 32; ++i) {
        Tick();
        const std::string& call = recorder.calls[recorder.calls.size() - 2];
        ASSERT_EQ(call.substr(call.find(" at")), " at 200 " + std::to_string(groundTop - 64));
        frames.push_back(std::stoi(call.substr(8)) - PICTURE_DEBRIS_1);
    }
    const std::vector<int> expected = {0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7,
                                       8, 8, 9, 9, 8, 8, 9, 9, 8, 8, 9, 9, 8, 8, 9, 9};
    EXPECT_EQ(frames, expected);
    EXPECT_TRUE(recorder.dialogs == 0);
    EXPECT_EQ(flight.phase, PHASE_DEBRIS);

    recorder.Clear();
    Tick();
    // The wreck at the craft's own place, then the box; the context is released after it.
    Calls wreckAndBox = Ending(OUTCOME_VERTICAL_CRASH);
    wreckAndBox.insert(wreckAndBox.begin(), {"getSurface", "picture 2" + at});
    wreckAndBox.push_back("releaseSurface");
    EXPECT_EQ(recorder.calls, wreckAndBox);
    // A repaint behind the box shows the wreck, never the craft.
    RedrawCraft(nullptr);
    EXPECT_EQ(recorder.calls.back(), "picture 2" + at);
}

// Only the pixel below the craft's bottom centre (column 216 for a craft at 200) stops the
// sinking: a notch or a spike in that one column moves the stop, ground under the edges does not.
TEST_F(TickTest, SinkingStopsWhereTheGroundUnderTheCentreStarts) {
    StartFirstGame();
    struct Case {
        const char* name;
        int centreTop; // column 216's first ground row, in level ground on row 500; 0: no terrain
        int startY;
        int stopY;
    };
    const Case cases[] = {
        {"bottom centre already in the ground", 500, 480, 480},
        {"notch under the centre", 520, 400, 490},
        {"spike under the centre", 470, 400, 440},
        {"no terrain: the bottom of the play area", 0, 650, TEST_GROUND_HEIGHT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteTerrain(terrainRegion);
        terrainRegion = c.centreTop == 0
                            ? nullptr
                            : LevelGroundWithOneColumn(TEST_SCREEN_WIDTH, TEST_GROUND_HEIGHT, 500,
                                                       216, c.centreTop);
        recorder.Clear();
        flight.crashX = 200;
        flight.crashY = static_cast<int16_t>(c.startY);
        flight.phase = PHASE_CRASH_SINK;
        Tick();
        EXPECT_EQ(flight.crashY, c.stopY);
        EXPECT_EQ(recorder.Count("copyCraft 200"), c.stopY - c.startY);
    }
}

// The recorder notes any drawing or window call that a tick makes inside the box.
TEST_F(TickTest, TicksInsideTheEndOfFlightBoxDoNothing) {
    StartFirstGame();
    int nested = 0;
    recorder.whileDialogOpen = [&nested]() {
        for (; nested < 5; ++nested) {
            Tick();
        }
    };
    flight.phase = PHASE_LOST;
    Tick();
    EXPECT_EQ(nested, 5);
    EXPECT_EQ(recorder.dialogs, 1);
    EXPECT_EQ(flight.phase, PHASE_DIALOG);
}

TEST_F(TickTest, NewAndRestartTakeOverACrashAtTheNextTick) {
    StartFirstGame();
    flight.phase = PHASE_FLYING;
    TickWhilePhase(PHASE_FLYING);
    Tick(); // judge
    Tick(); // sink
    Tick();
    Tick();
    Tick(); // debris frame 0
    ASSERT_EQ(flight.phase, PHASE_DEBRIS);
    flight.phase = PHASE_RESTART;
    recorder.Clear();
    Tick();
    EXPECT_EQ(flight.phase, PHASE_READY);
    EXPECT_EQ(flight.altitude, 1000.0f);
    EXPECT_EQ(recorder.calls, (Calls{"repaint"}));
    RedrawCraft(nullptr); // the craft is whole again
    EXPECT_EQ(recorder.calls.back().substr(0, 11), "drawCraft 0");

    flight.phase = PHASE_FLYING;
    TickWhilePhase(PHASE_FLYING);
    Tick();
    Tick();
    ASSERT_EQ(flight.phase, PHASE_EXPLODE_2);
    flight.phase = PHASE_NEW_GAME;
    Tick();
    EXPECT_EQ(flight.phase, PHASE_READY);
    EXPECT_TRUE(recorder.dialogs == 0);
}

} // namespace
