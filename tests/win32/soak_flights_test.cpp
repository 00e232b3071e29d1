// Three hundred flights in one process, in the real main window with real GDI and the real
// end-of-flight box, which the tick opens and the test closes from inside its loop. The GDI objects
// and private memory, sampled every 25 flights, stay flat once the first flights have warmed up
// the platform's caches. Every outcome comes up, so every path of the tick and the box is soaked.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "dialogs_driver.h"
#include "game/contact.h"
#include "game/random.h"
#include "game/state.h"
#include "game/terrain.h"
#include "game/tick.h"
#include "game_fixture.h"
#include "game_window.h"
#include "resource.h"
#include "ui/thrust.h"
#include "win32_test_util.h"

namespace {

const int FLIGHTS = 300;
const int SAMPLE_EVERY = 25; // the first sample's flights warm up fonts, the box class, cursors
const SIZE_T PRIVATE_TOLERANCE = 64 * 1024; // a heap's commit of 64 KB more may come
const int MAX_TICKS = 3000;                 // a flight not ended by then is stuck
const float PLAYER_TIME_STEP = 0.375f;      // a 50 ms timer's: flights as long as a player's
// The keys a BURNS flight holds in turn, each for 8 ticks in 20.
const WPARAM BURN_KEYS[] = {VK_DOWN, VK_DOWN, VK_LEFT, VK_DOWN, VK_DOWN, VK_RIGHT};

enum FlightKind {
    FREE_FALL,     // no input at all
    BURNS,         // pulses of the main engine and of the side nozzles by key
    CLIMB_AWAY,    // the main thrust button held with the mouse until the craft is lost
    SOFT_ON_SITE,  // placed just above the landing site
    SOFT_OFF_SITE, // placed just above a slope
    SLIDE_ON_SITE, // placed above the site with sideways speed
    FLIGHT_KINDS,
};

// The flight being flown, read by the tick loop inside RunDialog.
FlightKind currentKind = FREE_FALL;
int ticksFlown = 0;

// Ticks the game until the flight has been announced and the box has closed: the "show" of the
// dialog driver, since in the game it is the tick that opens the box.
int FlyToTheEnd(HWND window) {
    for (ticksFlown = 0; ticksFlown < MAX_TICKS && flight.phase != PHASE_DIALOG; ++ticksFlown) {
        const int tick = ticksFlown % 20;
        if (currentKind == BURNS && flight.phase == PHASE_FLYING && (tick == 0 || tick == 8)) {
            Send(tick == 0 ? WM_KEYDOWN : WM_KEYUP, BURN_KEYS[ticksFlown / 20 % 6]);
        }
        GameTick(reinterpret_cast<GameWindow>(window));
        PumpMessages();
    }
    return flight.phase == PHASE_DIALOG ? 1 : 0;
}

// A column off the site whose three probes meet ground at least 6 rows apart, and the highest of
// those rows: even a tick that sinks the craft a little past the first probe's ground cannot
// bring the other two in.
int SlopedColumn(const LandingSite& site, int* highest) {
    int x = 40;
    for (; x + craftWidth < screen.screenWidth - 200; x += 7) {
        const int tops[] = {TerrainColumnTop(terrainRegion, x),
                            TerrainColumnTop(terrainRegion, x + craftWidth / 2),
                            TerrainColumnTop(terrainRegion, x + craftWidth)};
        const auto range = std::minmax_element(tops, tops + 3);
        *highest = *range.first;
        if ((x + craftWidth < site.left - 2 || x > site.right + 2) &&
            *range.second - *range.first >= 6) {
            break;
        }
    }
    return x;
}

// Puts the craft where the kind of flight needs it, and starts it as a player would: a key
// pressed and released, a click in the sky, or the main thrust button pressed with the mouse.
void PlaceAndStart(FlightKind kind, int number) {
    const LandingSite site = FindLandingSite(terrainRegion); // the craft's bottom 3 rows above
    if (kind == SOFT_ON_SITE || kind == SLIDE_ON_SITE) {
        flight.vx = kind == SLIDE_ON_SITE ? 3.0f : 0.0f;
        flight.posX = PosXForColumn(site.left + (site.right - site.left - craftWidth) / 2);
        flight.altitude = AltitudeForRow(screen.originY + SITE_TO_ORIGIN_ROWS - 3 - craftHeight);
    } else if (kind == SOFT_OFF_SITE) {
        int highest = 0;
        flight.posX = PosXForColumn(SlopedColumn(site, &highest));
        flight.altitude = AltitudeForRow(highest - 3 - craftHeight);
    }
    if (kind == CLIMB_AWAY) {
        SendMessageA(thrustButtons[BUTTON_MAIN], WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(24, 24));
        SendMessageA(thrustButtons[BUTTON_MAIN], WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(20, 30));
        return;
    }
    const bool key = number % 2 == 0;
    const LPARAM at = key ? 0 : MAKELPARAM(200, 200);
    Send(key ? WM_KEYDOWN : WM_LBUTTONDOWN, key ? VK_SPACE : MK_LBUTTON, at);
    Send(key ? WM_KEYUP : WM_LBUTTONUP, key ? VK_SPACE : 0, at);
}

// Appends committed private memory (Wine 8 leaves PrivateUsage 0) and all heaps' bytes in use.
void SampleMemory(std::vector<SIZE_T>* committed, std::vector<SIZE_T>* inUse) {
    SIZE_T& regions = committed->emplace_back(0);
    MEMORY_BASIC_INFORMATION region = {};
    // The query fails past the last region of the user address space.
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        regions += region.State == MEM_COMMIT && region.Type == MEM_PRIVATE ? region.RegionSize : 0;
    }
    SIZE_T& blocks = inUse->emplace_back(0);
    HANDLE heaps[64];
    for (DWORD i = 0, count = std::min<DWORD>(GetProcessHeaps(64, heaps), 64); i < count; ++i) {
        PROCESS_HEAP_ENTRY entry = {};
        for (HeapLock(heaps[i]); HeapWalk(heaps[i], &entry);) {
            blocks += (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0 ? entry.cbData : 0;
        }
        HeapUnlock(heaps[i]);
    }
}

// One whole flight; returns the outcome the box announced, or 0.
uint8_t Fly(int number, FlightKind kind) {
    // Mostly new games; every fifth a restart over the same terrain.
    Send(WM_COMMAND, number % 5 == 4 ? CMD_RESTART : CMD_NEW);
    TickGame();
    PumpMessages();
    currentKind = kind;
    PlaceAndStart(kind, number);
    int boxes = 0;
    FlightState whenOpened = {};
    const int ended =
        RunDialog(FlyToTheEnd,
                  {[&](HWND) {
                       ++boxes;
                       whenOpened = flight;
                   },
                   [&](HWND dialog) {
                       EXPECT_TRUE(IsWindowVisible(dialog)) << "flight " << number;
                       // The game's timer ticks on under the box, which must find nothing to do.
                       Send(WM_TIMER, GAME_TIMER_ID);
                       EXPECT_EQ(std::memcmp(&flight, &whenOpened, sizeof flight), 0)
                           << "flight " << number << ": ticks in the box changed the flight";
                       PostClose(dialog, static_cast<CloseWay>(number % 4)); // each way in turn
                   }},
                  mainWindow);
    // The player lets go too, after the box.
    SendMessageA(thrustButtons[BUTTON_MAIN], WM_LBUTTONUP, 0, MAKELPARAM(24, 24));
    for (WPARAM key : {VK_DOWN, VK_LEFT, VK_RIGHT}) {
        Send(WM_KEYUP, key);
    }
    EXPECT_EQ(ended, 1) << "flight " << number << " (kind " << kind << ") still in phase "
                        << int{flight.phase} << " after " << ticksFlown << " ticks";
    EXPECT_EQ(boxes, 1) << "flight " << number << ": one box per flight";
    return whenOpened.outcome;
}

TEST(SoakTest, ThreeHundredFlightsLeaveGdiAndMemoryFlat) {
    ResetGameAndDrawing();
    ASSERT_NE(OpenGameWindow(), nullptr);
    SeedRandom(20261208); // terrains that are the same from run to run
    PumpMessages();
    ASSERT_TRUE(TickToReady()); // the first game calibrates the time step
    settings.timeStep = PLAYER_TIME_STEP;
    const DWORD started = GetTickCount();
    std::vector<int> gdiObjects;
    std::vector<SIZE_T> committed, heapBytes;
    int outcomes[OUTCOME_LOST + 1] = {};
    for (int number = 1; number <= FLIGHTS && !HasFailure(); ++number) {
        ++outcomes[std::min<int>(Fly(number, static_cast<FlightKind>((number - 1) % FLIGHT_KINDS)),
                                 OUTCOME_LOST)];
        if (number % SAMPLE_EVERY == 0) {
            PumpMessages();
            gdiObjects.push_back(CountGdiObjects());
            SampleMemory(&committed, &heapBytes);
            // scripts/bench reads the figures from here (--gtest_output=json).
            RecordProperty("after_" + std::to_string(number),
                           std::to_string(gdiObjects.back()) + " " +
                               std::to_string(committed.back() / 1024) + " " +
                               std::to_string(heapBytes.back()));
            EXPECT_EQ(gdiObjects.back(), gdiObjects[0]) << "after " << number << " flights";
            EXPECT_LE(committed.back(), committed[0] + PRIVATE_TOLERANCE) << "after " << number;
        }
    }
    RecordProperty("milliseconds", static_cast<int>(GetTickCount() - started));
    const char* const names[] = {"", "landed", "vertical", "horizontal", "missed", "lost"};
    std::string counts;
    for (int outcome = OUTCOME_LANDED; outcome <= OUTCOME_LOST; ++outcome) {
        counts += (counts.empty() ? "" : ", ") + std::string(names[outcome]) + " " +
                  std::to_string(outcomes[outcome]);
        EXPECT_GT(outcomes[outcome], 0) << names[outcome];
    }
    RecordProperty("outcomes", counts);
    // The heaps' bytes in use may not trend upward. Fitted by least squares, clean runs rise 129
    // bytes a sample, a 272-byte terrain left per new game 5569, half of one 2849, per flight 6929.
    double covariance = 0, variance = 0;
    for (size_t i = 0; i < heapBytes.size(); ++i) {
        const double x = static_cast<double>(i) - static_cast<double>(heapBytes.size() - 1) / 2;
        covariance += x * static_cast<double>(heapBytes[i]);
        variance += x * x;
    }
    EXPECT_LE(covariance / variance, 1024.0) << "bytes gained per " << SAMPLE_EVERY << " flights";
    CloseGameWindow();
}

} // namespace
