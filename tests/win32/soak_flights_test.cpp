// Three hundred flights in one process, in the real main window with real GDI and the real
// end-of-flight box: every flight is started, flown to its outcome, announced by the box that the
// tick opens, and the box closed from inside its own loop. The process's GDI objects and private
// memory are sampled every 25 flights and must stay flat once the first flights have warmed up
// the platform's caches.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "dialogs_driver.h"
#include "game/contact.h"
#include "game/host.h"
#include "game/random.h"
#include "game/state.h"
#include "game/terrain.h"
#include "game/tick.h"
#include "game_fixture.h"
#include "game_window.h"
#include "render/bitmap.h"
#include "resource.h"
#include "ui/thrust.h"
#include "win32_test_util.h"

namespace {

const int FLIGHTS = 300;
const int SAMPLE_EVERY = 25;
// The first samples' flights fill the platform's caches (fonts, the dialog class, cursors).
const int WARM_UP_FLIGHTS = 25;
const SIZE_T PRIVATE_TOLERANCE = 256 * 1024;
// A flight that has not ended after this many ticks is stuck.
const int MAX_TICKS = 3000;
// The time step of a 50 ms timer, so that flights take as many ticks as they do for a player.
const float PLAYER_TIME_STEP = 0.375f;

enum FlightKind {
    FREE_FALL,     // no input at all: a vertical crash
    BURNS,         // pulses of the main engine and taps of the side nozzles by key
    CLIMB_AWAY,    // the main thrust button held with the mouse until the craft is lost
    DRIFT_AWAY,    // a fast sideways start that leaves the range
    SOFT_ON_SITE,  // placed just above the landing site: a safe landing
    SOFT_OFF_SITE, // placed just above a slope: missed the site
    SLIDE_ON_SITE, // placed above the site with sideways speed: a horizontal crash
    FLIGHT_KINDS,
};

// Each kind's name and the outcome it must end in; 0 for BURNS, which may end in any crash.
const struct {
    const char* name;
    uint8_t outcome;
} KINDS[FLIGHT_KINDS] = {{"free fall", OUTCOME_VERTICAL_CRASH},
                         {"burns", 0},
                         {"climb away", OUTCOME_LOST},
                         {"drift away", OUTCOME_LOST},
                         {"soft on site", OUTCOME_LANDED},
                         {"soft off site", OUTCOME_MISSED_SITE},
                         {"slide on site", OUTCOME_HORIZONTAL_CRASH}};

void Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam = 0) {
    SendMessageA(window, message, wParam, lParam);
}

// While the box is open the game's timer runs, faster than in play; every box hands one of its
// ticks to the game, which must find nothing to do.
const UINT TIMER_IN_BOX_MS = 10;

// Waits for the main window's next timer message and dispatches it; whether one came.
bool DispatchTheNextTick() {
    const DWORD start = GetTickCount();
    MSG tick;
    while (!PeekMessageA(&tick, mainWindow, WM_TIMER, WM_TIMER, PM_REMOVE)) {
        if (GetTickCount() - start > 10000) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_TIMER);
    }
    DispatchMessageA(&tick);
    return true;
}

// The flight being flown, read by the tick loop inside RunDialog.
FlightKind currentKind = FREE_FALL;
int ticksFlown = 0;
int boxesOpened = 0;

void HoldKey(WPARAM key, bool down) {
    Send(mainWindow, down ? WM_KEYDOWN : WM_KEYUP, key);
}

// The input a player gives on this tick of a BURNS flight: the main engine in pulses of 8 ticks
// out of 20, a side nozzle now and then.
void BurnsInput(int tick) {
    if (tick % 20 == 0) {
        HoldKey(VK_DOWN, true);
    } else if (tick % 20 == 8) {
        HoldKey(VK_DOWN, false);
    }
    if (tick % 45 == 10) {
        HoldKey(tick % 90 == 10 ? VK_LEFT : VK_RIGHT, true);
    } else if (tick % 45 == 13) {
        HoldKey(VK_LEFT, false);
        HoldKey(VK_RIGHT, false);
    }
}

// Ticks the game until the flight has been announced and the box has closed: the "show" of the
// dialog driver, since in the game it is the tick that opens the box.
int FlyToTheEnd(HWND window) {
    for (ticksFlown = 0; ticksFlown < MAX_TICKS && flight.phase != PHASE_DIALOG; ++ticksFlown) {
        if (currentKind == BURNS && flight.phase == PHASE_FLYING) {
            BurnsInput(ticksFlown);
        }
        GameTick(reinterpret_cast<GameWindow>(window));
        PumpMessages();
    }
    return flight.phase == PHASE_DIALOG ? 1 : 0;
}

// The altitude that puts the craft's lowest probe row `gap` rows above the given ground row.
float AltitudeAboveRow(int groundRow, int gap) {
    const int top = groundRow - gap - craftHeight;
    return static_cast<float>(static_cast<double>(screen.originY - top) * 1200.0 /
                              static_cast<double>(screen.originY)) +
           1.0f;
}

// A column whose three probes meet ground rows apart: the craft comes down on a slope, and even
// a tick that sinks it a little past the first probe's ground cannot bring the other two in.
int SlopedColumn() {
    const LandingSite site = FindLandingSite(terrainRegion);
    for (int x = 40; x + craftWidth < screen.screenWidth - 200; x += 7) {
        const bool nearSite = x + craftWidth >= site.left - 2 && x <= site.right + 2;
        const int a = TerrainColumnTop(terrainRegion, x);
        const int b = TerrainColumnTop(terrainRegion, x + craftWidth / 2);
        const int c = TerrainColumnTop(terrainRegion, x + craftWidth);
        const int spread = std::max(a, std::max(b, c)) - std::min(a, std::min(b, c));
        if (!nearSite && spread >= 6) {
            return x;
        }
    }
    return 40;
}

// Puts the craft where the kind of flight needs it; the flight itself is the game's.
void PlaceCraft(FlightKind kind, int flightNumber) {
    const LandingSite site = FindLandingSite(terrainRegion);
    const int overSite = site.left + (site.right - site.left - craftWidth) / 2;
    switch (kind) {
        case DRIFT_AWAY:
            flight.vx = flightNumber % 2 == 0 ? 60.0f : -60.0f;
            break;
        case SLIDE_ON_SITE:
            flight.vx = 3.0f;
            [[fallthrough]];
        case SOFT_ON_SITE:
            flight.posX = PosXForColumn(overSite);
            flight.altitude = AltitudeAboveRow(screen.originY + SITE_TO_ORIGIN_ROWS, 3);
            break;
        case SOFT_OFF_SITE: {
            const int x = SlopedColumn();
            const int highest = std::min(TerrainColumnTop(terrainRegion, x),
                                         std::min(TerrainColumnTop(terrainRegion, x + 16),
                                                  TerrainColumnTop(terrainRegion, x + 32)));
            flight.posX = PosXForColumn(x);
            flight.altitude = AltitudeAboveRow(highest, 3);
            break;
        }
        default:
            break;
    }
}

// Starts the waiting flight as a player would: a key released, a click in the sky, or (for the
// climb) the main thrust button pressed with the mouse.
void StartFlight(FlightKind kind, int flightNumber) {
    if (kind == CLIMB_AWAY) {
        Send(thrustButtons[BUTTON_MAIN], WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(24, 24));
        Send(thrustButtons[BUTTON_MAIN], WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(20, 30));
        return;
    }
    if (flightNumber % 2 == 0) {
        Send(mainWindow, WM_KEYUP, VK_SPACE);
    } else {
        Send(mainWindow, WM_LBUTTONUP, 0, MAKELPARAM(200, 200));
    }
}

// Committed private memory, summed over the address space. GetProcessMemoryInfo's PrivateUsage
// means the same on Windows, but Wine 8 leaves it 0.
SIZE_T CommittedPrivateBytes() {
    SIZE_T total = 0;
    const char* address = nullptr;
    MEMORY_BASIC_INFORMATION region = {};
    while (VirtualQuery(address, &region, sizeof region) == sizeof region) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) {
            total += region.RegionSize;
        }
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= address) {
            break;
        }
        address = next;
    }
    return total;
}

struct Sample {
    int flights;
    int gdiObjects;
    SIZE_T privateBytes; // committed private memory
};

Sample TakeSample(int flights) {
    PumpMessages();
    return Sample{flights, CountGdiObjects(), CommittedPrivateBytes()};
}

class SoakTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetGameAndDrawing();
        ASSERT_NE(OpenGameWindow(), nullptr);
        // Terrains that are the same from run to run.
        SeedRandom(20261208);
        PumpMessages();
        // The first game calibrates the time step from ten ticks.
        ASSERT_TRUE(TickToReady());
        settings.timeStep = PLAYER_TIME_STEP;
    }

    void TearDown() override { CloseGameWindow(); }

    // One whole flight; returns the outcome the box announced, or 0.
    uint8_t Fly(int number, FlightKind kind) {
        // Mostly new games; every fifth a restart over the same terrain.
        Send(mainWindow, WM_COMMAND, number % 5 == 4 ? CMD_RESTART : CMD_NEW);
        TickGame();
        PumpMessages();
        EXPECT_EQ(flight.phase, PHASE_READY) << "flight " << number;
        PlaceCraft(kind, number);
        currentKind = kind;
        StartFlight(kind, number);
        EXPECT_EQ(flight.phase, PHASE_FLYING) << "flight " << number;

        static const CloseWay CLOSE_WAYS[] = {CLOSE_BY_ENTER, CLOSE_BY_ESCAPE, CLOSE_BY_WM_CLOSE,
                                              CLOSE_BY_CLOSE_BOX};
        const CloseWay way = CLOSE_WAYS[number % 4];
        std::string title;
        uint8_t outcomeInBox = 0;
        const int opened = boxesOpened;
        FlightState whenOpened = {};
        const int ended =
            RunDialog(FlyToTheEnd,
                      {[&](HWND dialog) {
                           ++boxesOpened;
                           outcomeInBox = flight.outcome;
                           whenOpened = flight;
                           title = ControlText(dialog, IDC_ENDGAME_TITLE);
                           SetTimer(mainWindow, GAME_TIMER_ID, TIMER_IN_BOX_MS, nullptr);
                       },
                       [&](HWND dialog) {
                           EXPECT_TRUE(IsWindowVisible(dialog)) << "flight " << number;
                           EXPECT_TRUE(DispatchTheNextTick()) << "flight " << number;
                       },
                       [&](HWND dialog) {
                           EXPECT_EQ(std::memcmp(&flight, &whenOpened, sizeof flight), 0)
                               << "flight " << number << ": ticks in the box changed the flight";
                           PostClose(dialog, way);
                       }},
                      mainWindow);
        KillTimer(mainWindow, GAME_TIMER_ID);

        // The end of every flight lets go of all thrusters, whatever the player still holds.
        for (int on : flight.thrusterOn) {
            EXPECT_EQ(on, 0) << "flight " << number << ": thrusters released at the end";
        }
        // The player lets go too, after the box.
        if (kind == CLIMB_AWAY) {
            Send(thrustButtons[BUTTON_MAIN], WM_LBUTTONUP, 0, MAKELPARAM(24, 24));
        }
        HoldKey(VK_DOWN, false);
        EXPECT_EQ(ended, 1) << "flight " << number << " (" << KINDS[kind].name
                            << ") still in phase " << int{flight.phase} << " after " << ticksFlown
                            << " ticks";
        EXPECT_EQ(boxesOpened, opened + 1) << "flight " << number << ": one box per flight";
        EXPECT_EQ(title, outcomeInBox == OUTCOME_LANDED ? "Congratulations!"
                         : outcomeInBox == OUTCOME_LOST ? "Tavune Lost!"
                                                        : "CRASH!")
            << "flight " << number;
        return outcomeInBox;
    }
};

TEST_F(SoakTest, ThreeHundredFlightsLeaveGdiAndMemoryFlat) {
    const DWORD started = GetTickCount();
    std::vector<Sample> samples;
    int outcomes[OUTCOME_LOST + 1] = {};
    int wrongOutcomes = 0;
    for (int number = 1; number <= FLIGHTS; ++number) {
        const FlightKind kind = static_cast<FlightKind>((number - 1) % FLIGHT_KINDS);
        const uint8_t outcome = Fly(number, kind);
        if (outcome <= OUTCOME_LOST) {
            ++outcomes[outcome];
        }
        const uint8_t expected = KINDS[kind].outcome;
        const bool right = expected != 0 ? outcome == expected
                                         : outcome >= OUTCOME_LANDED && outcome < OUTCOME_LOST;
        if (!right) {
            ++wrongOutcomes;
            ADD_FAILURE() << "flight " << number << " (" << KINDS[kind].name
                          << ") ended in outcome " << int{outcome};
        }
        if (wrongOutcomes > 5 || HasFatalFailure()) {
            break;
        }
        if (number % SAMPLE_EVERY == 0) {
            samples.push_back(TakeSample(number));
            const Sample& s = samples.back();
            RecordProperty("after_" + std::to_string(s.flights),
                           std::to_string(s.gdiObjects) + " " +
                               std::to_string(s.privateBytes / 1024));
        }
    }
    const double seconds = (GetTickCount() - started) / 1000.0;
    // scripts/bench reads the figures from here (--gtest_output=json).
    RecordProperty("milliseconds", static_cast<int>(seconds * 1000 + 0.5));
    RecordProperty("outcomes",
                   "landed " + std::to_string(outcomes[OUTCOME_LANDED]) + ", vertical " +
                       std::to_string(outcomes[OUTCOME_VERTICAL_CRASH]) + ", horizontal " +
                       std::to_string(outcomes[OUTCOME_HORIZONTAL_CRASH]) + ", missed " +
                       std::to_string(outcomes[OUTCOME_MISSED_SITE]) + ", lost " +
                       std::to_string(outcomes[OUTCOME_LOST]));
    ASSERT_EQ(samples.size(), static_cast<size_t>(FLIGHTS / SAMPLE_EVERY));
    // Every outcome came up, so every path of the tick and the box was soaked.
    for (int outcome = OUTCOME_LANDED; outcome <= OUTCOME_LOST; ++outcome) {
        EXPECT_GT(outcomes[outcome], 0) << "outcome " << outcome;
    }

    const Sample& base = samples[WARM_UP_FLIGHTS / SAMPLE_EVERY - 1];
    for (const Sample& s : samples) {
        if (s.flights <= base.flights) {
            continue;
        }
        EXPECT_EQ(s.gdiObjects, base.gdiObjects) << "after " << s.flights << " flights";
        EXPECT_LE(s.privateBytes, base.privateBytes + PRIVATE_TOLERANCE)
            << "after " << s.flights << " flights";
    }
    // No upward trend: the later half of the samples does not sit above the earlier half.
    const size_t first = WARM_UP_FLIGHTS / SAMPLE_EVERY - 1;
    const size_t middle = first + (samples.size() - first) / 2;
    auto mean = [&samples](size_t from, size_t to) {
        double sum = 0;
        for (size_t i = from; i < to; ++i) {
            sum += static_cast<double>(samples[i].privateBytes);
        }
        return sum / static_cast<double>(to - from);
    };
    const double early = mean(first, middle);
    const double late = mean(middle, samples.size());
    EXPECT_LE(late - early, 64.0 * 1024)
        << "private memory creeps up: early mean " << early << " bytes, late mean " << late;
}

} // namespace
