// The main window as the game creates it: a real maximised window with its menu, buttons and
// timer, driven with real messages.
#include <gtest/gtest.h>

#include <windows.h>
#include <tpcshrd.h>
#include <wtsapi32.h>

#include <cstring>
#include <vector>

#include "app/instance.h"
#include "app/main_window.h"
#include "dialogs_driver.h"
#include "game/contact.h"
#include "game/random.h"
#include "game/state.h"
#include "game/terrain.h"
#include "game_window.h"
#include "render/craft.h"
#include "render/ground.h"
#include "resource.h"
#include "ui/thrust.h"
#include "win32_test_util.h"

namespace {

// Opens a box by a command to the main window, as RunDialog does, and closes it with its button
// closer; the phase the game was in while the box was open.
int RunBoxCommand(WPARAM command, int closer = IDOK) {
    static WPARAM pending;
    pending = command;
    int phaseInBox = -1;
    RunDialog(
        [](HWND) { return static_cast<int>(SendMessageA(mainWindow, WM_COMMAND, pending, 0)); },
        {[&phaseInBox, closer](HWND box) {
            phaseInBox = flight.phase;
            PostCommand(box, closer);
        }},
        mainWindow);
    return phaseInBox;
}

int ThrustersOn() {
    return flight.thrusterOn[THRUSTER_MAIN] + flight.thrusterOn[THRUSTER_LEFT] +
           flight.thrusterOn[THRUSTER_RIGHT];
}

// A window of the test's own, to take the activation or the focus from the game's.
HWND OtherWindow() {
    return CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                           nullptr, appInstance, nullptr);
}

// Another program's window, made by a thread of its own, takes the activation while it lives.
DWORD WINAPI RunOtherProgram(LPVOID) {
    HWND other = OtherWindow();
    SetForegroundWindow(other);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        DispatchMessageA(&message);
    }
    DestroyWindow(other);
    return 0;
}

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetGameAndDrawing();
        PumpMessages();
        ASSERT_NE(OpenGameWindow(), nullptr);
        PumpMessages();
    }

    void TearDown() override { CloseGameWindow(); }
};

// Set-up and calibration keep the busy cursor over the window, wherever the pointer moves in it.
// Each start of the game seeds its terrains from the clock: two starts, moments apart, begin on
// two different terrains, whatever the generator held before them.
TEST_F(MainWindowTest, CreationMeasuresTheScreenLoadsEverythingAndSeedsItsTerrains) {
    RECT client;
    GetClientRect(mainWindow, &client);
    EXPECT_EQ(screen.groundHeight, client.bottom);
    EXPECT_EQ(screen.screenWidth, client.right);
    EXPECT_EQ(craftWidth, 32);
    EXPECT_EQ(craftHeight, 30);
    EXPECT_EQ(flight.phase, PHASE_NEW_GAME);
    EXPECT_NE(graphics.craftDC, nullptr);
    EXPECT_TRUE(IsZoomed(mainWindow));
    EXPECT_NE(GetMenu(mainWindow), nullptr);
    char title[32] = {};
    GetWindowTextA(mainWindow, title, sizeof title);
    EXPECT_STREQ(title, "Tavune");
    for (HWND button : thrustButtons) {
        EXPECT_EQ(GetParent(button), mainWindow);
        // A finger held on a button is no press-and-hold gesture.
        EXPECT_EQ(SendMessageA(button, WM_TABLET_QUERYSYSTEMGESTURESTATUS, 0, 0),
                  TABLET_DISABLE_PRESSANDHOLD);
    }
    TickGame();
    ASSERT_NE(terrainRegion, nullptr);
    const Terrain first = *terrainRegion;
    for (bool ready : {false, true}) {
        ASSERT_TRUE(!ready || TickToReady());
        for (int x : {100, 300, 500}) {
            SetCursor(LoadCursorA(nullptr, ready ? IDC_WAIT : IDC_ARROW));
            POINT inside = {x, screen.groundHeight / 2};
            ClientToScreen(mainWindow, &inside);
            SetCursorPos(inside.x, inside.y);
            EXPECT_TRUE(PumpUntil(
                [&] { return GetCursor() == LoadCursorA(nullptr, ready ? IDC_ARROW : IDC_WAIT); },
                2000))
                << (ready ? "ready" : "calibrating") << ", x " << x;
        }
    }
    CloseGameWindow();
    ResetGameAndDrawing();
    Sleep(20);
    ASSERT_NE(OpenGameWindow(), nullptr);
    TickGame();
    ASSERT_NE(terrainRegion, nullptr);
    EXPECT_NE(std::memcmp(terrainRegion->vertices, first.vertices, sizeof first.vertices), 0);
}

// The timer drives a new game through its calibration to the waiting craft. While the player
// cannot play, no tick advances the game; coming back, a calibration under way starts over, so
// the time step never counts the time nobody played.
TEST_F(MainWindowTest, TheTimerDrivesTheGameOnlyWhileThePlayerCanPlay) {
    const struct {
        const char* name;
        void (*leave)(HANDLE* other);
        void (*comeBack)(HANDLE other);
    } absences[] = {
        {"the window is minimised", [](HANDLE*) { ShowWindow(mainWindow, SW_MINIMIZE); },
         [](HANDLE) { ShowWindow(mainWindow, SW_RESTORE); }},
        {"the frame is dragged", [](HANDLE*) { SendMessageA(mainWindow, WM_ENTERSIZEMOVE, 0, 0); },
         [](HANDLE) { SendMessageA(mainWindow, WM_EXITSIZEMOVE, 0, 0); }},
        {"the session is locked",
         [](HANDLE*) { SendMessageA(mainWindow, WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0); },
         [](HANDLE) { SendMessageA(mainWindow, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0); }},
        {"another program is active",
         [](HANDLE* other) {
             *other = CreateThread(nullptr, 0, RunOtherProgram, nullptr, 0, nullptr);
             // The other window takes the activation in its own thread's time.
             EXPECT_TRUE(PumpUntil([] { return GetActiveWindow() == nullptr; }, 30000));
         },
         [](HANDLE other) {
             PostThreadMessageA(GetThreadId(other), WM_QUIT, 0, 0);
             WaitForSingleObject(other, 5000);
             CloseHandle(other);
             SetForegroundWindow(mainWindow);
         }},
    };
    for (const auto& absence : absences) {
        SCOPED_TRACE(absence.name);
        flight.calibrated = 0;
        flight.phase = PHASE_NEW_GAME;
        SetTimer(mainWindow, GAME_TIMER_ID, GAME_TIMER_PERIOD_MS, nullptr);
        ASSERT_TRUE(PumpUntil([] { return flight.calibrationFrames == 3; }, 30000));
        HANDLE other = nullptr;
        Send(WM_KEYDOWN, VK_DOWN);
        SendMessageA(thrustButtons[BUTTON_LEFT], WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        absence.leave(&other);
        PumpMessages();
        // Away, the window takes input, or the player could never bring it back; nothing fires.
        EXPECT_TRUE(IsWindowEnabled(mainWindow));
        EXPECT_EQ(ThrustersOn(), 0);
        EXPECT_EQ(GetCapture(), nullptr);
        const int framesLeft = flight.calibrationFrames;
        PumpFor(600);
        EXPECT_EQ(static_cast<int>(flight.phase), PHASE_CALIBRATE);
        EXPECT_EQ(flight.calibrationFrames, framesLeft);
        const DWORD back = GetTickCount();
        absence.comeBack(other);
        EXPECT_TRUE(PumpUntil([] { return flight.phase == PHASE_READY; }, 30000));
        EXPECT_EQ(flight.calibrated, 1);
        EXPECT_TRUE(IsWindowEnabled(mainWindow) && terrainRegion != nullptr);
        // Ten ticks of at least 50 ms, 7.5 simulated seconds to the real one, not counting the
        // 600 ms away: a busy machine may stretch them, but not beyond what the test saw go by.
        EXPECT_GT(settings.timeStep, 0.3f);
        EXPECT_LE(settings.timeStep, static_cast<float>((GetTickCount() - back) / 10000.0 * 7.5));
        KillTimer(mainWindow, GAME_TIMER_ID);
    }
}

// The play area is the client area, whatever size the window is given, down to a minimum.
TEST_F(MainWindowTest, TheGameLaysItselfOutForTheClientArea) {
    ASSERT_TRUE(TickToReady());
    // A change of resolution that leaves the window covering the screen moves nothing, and the
    // activation stays where it is.
    HWND other = OtherWindow();
    SetActiveWindow(other);
    flight.phase = PHASE_FLYING;
    Send(WM_DISPLAYCHANGE, 32,
         MAKELPARAM(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)));
    PumpMessages();
    EXPECT_EQ(GetActiveWindow(), other);
    EXPECT_EQ(flight.phase, PHASE_FLYING);
    DestroyWindow(other);

    // The minimised size is no new size.
    flight.phase = PHASE_FLYING;
    ShowWindow(mainWindow, SW_MINIMIZE);
    ShowWindow(mainWindow, SW_RESTORE);
    Send(WM_TIMER, LAYOUT_TIMER_ID);
    EXPECT_EQ(flight.phase, PHASE_FLYING);
    KillTimer(mainWindow, GAME_TIMER_ID); // restarted by the restore: this test ticks itself

    const struct {
        const char* name;
        void (*give)();
        int minWidth, minHeight;
    } sizes[] = {
        // A window manager's drag gives a stream of sizes: the flight goes on while it flows.
        {"a stream of sizes",
         [] {
             const int16_t widthBefore = screen.screenWidth;
             for (int width : {700, 720, 740}) {
                 SetWindowPos(mainWindow, nullptr, 0, 0, width, 500, SWP_NOZORDER);
                 EXPECT_EQ(flight.phase, PHASE_FLYING);
                 EXPECT_EQ(screen.screenWidth, widthBefore);
             }
         },
         0, 0},
        // A size just before a drag of the frame begins is laid out when the drag ends.
        {"a size, then a drag of the frame",
         [] {
             const int16_t widthBefore = screen.screenWidth;
             SetWindowPos(mainWindow, nullptr, 0, 0, 760, 500, SWP_NOZORDER);
             SendMessageA(mainWindow, WM_ENTERSIZEMOVE, 0, 0);
             PumpFor(2 * LAYOUT_SETTLE_MS);
             EXPECT_EQ(screen.screenWidth, widthBefore);
             SendMessageA(mainWindow, WM_EXITSIZEMOVE, 0, 0);
             KillTimer(mainWindow, GAME_TIMER_ID); // restarted as the drag ends
         },
         0, 0},
        {"un-maximised", [] { ShowWindow(mainWindow, SW_SHOWNORMAL); }, 0, 0},
        {"made too small", [] { SetWindowPos(mainWindow, nullptr, 0, 0, 100, 100, SWP_NOZORDER); },
         512, 384},
        // Wine leaves a maximised window at its old size when the screen's resolution changes.
        {"maximised again, then left at another size by a change of resolution",
         [] {
             ShowWindow(mainWindow, SW_SHOWMAXIMIZED);
             SetWindowPos(mainWindow, nullptr, 0, 0, 800, 600, SWP_NOZORDER);
             SendMessageA(mainWindow, WM_DISPLAYCHANGE, 32,
                          MAKELPARAM(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)));
         },
         1024, 0},
    };
    for (const auto& size : sizes) {
        SCOPED_TRACE(size.name);
        flight.phase = PHASE_FLYING;
        const float vy = flight.vy;
        size.give();
        // Laid out once the size has settled, by a timer of its own, well within a second.
        EXPECT_TRUE(PumpUntil([] { return flight.phase == PHASE_NEW_GAME; }, 1000));
        EXPECT_EQ(flight.vy, vy) << "the layout's timer is no game tick";
        RECT client;
        GetClientRect(mainWindow, &client);
        EXPECT_GE(client.right, size.minWidth);
        EXPECT_GE(client.bottom, size.minHeight);
        EXPECT_LE(client.right, GetSystemMetrics(SM_CXSCREEN));
        EXPECT_EQ(screen.screenWidth, client.right);
        EXPECT_EQ(screen.groundHeight, client.bottom);
        for (int id : {BUTTON_MAIN, BUTTON_LEFT, BUTTON_RIGHT}) {
            RECT button;
            GetWindowRect(thrustButtons[id], &button);
            MapWindowPoints(nullptr, mainWindow, reinterpret_cast<POINT*>(&button), 2);
            EXPECT_LE(button.right, client.right - 2) << id;
            EXPECT_GE(button.left, client.right - 100) << id;
        }
        // A flight under way ends, and a new game starts on a terrain of the new size.
        TickGame();
        ASSERT_NE(terrainRegion, nullptr);
        EXPECT_EQ(terrainRegion->width, client.right);
        EXPECT_EQ(terrainRegion->groundHeight, client.bottom);
        EXPECT_EQ(WorldToScreen(flight.posX, flight.altitude).x, client.right / 2)
            << "the craft starts over the middle of the new width";
    }

    // The new game a new size is owed is never lost: a box, a restart or the options while the
    // game stands still (here behind a menu) give it on the new size.
    const struct {
        const char* name;
        void (*meanwhile)();
    } owed[] = {
        {"About", [] { RunBoxCommand(CMD_ABOUT); }},
        {"Restart", [] { SendMessageA(mainWindow, WM_COMMAND, CMD_RESTART, 0); }},
        {"Options", [] { RunBoxCommand(CMD_OPTIONS); }},
    };
    int width = 600;
    RECT client;
    for (const auto& o : owed) {
        SCOPED_TRACE(o.name);
        ASSERT_TRUE(TickToReady());
        Send(WM_ENTERMENULOOP, FALSE);
        SetWindowPos(mainWindow, nullptr, 0, 0, width += 40, 500, SWP_NOZORDER);
        EXPECT_TRUE(PumpUntil([] { return flight.phase == PHASE_NEW_GAME; }, 1000));
        o.meanwhile();
        Send(WM_EXITMENULOOP, FALSE);
        KillTimer(mainWindow, GAME_TIMER_ID);
        EXPECT_EQ(flight.phase, PHASE_NEW_GAME);
        Send(WM_TIMER, GAME_TIMER_ID);
        GetClientRect(mainWindow, &client);
        ASSERT_NE(terrainRegion, nullptr);
        EXPECT_EQ(terrainRegion->width, client.right);
    }
    // Once a new game has started on it, a restart is a restart again.
    Send(WM_COMMAND, CMD_RESTART);
    EXPECT_EQ(flight.phase, PHASE_RESTART);
}

// Input as the window gets it, from a phase: a key's or the mouse button's release starts a
// waiting flight only when its press went down here (the key that closes a box or the menu went
// down there; a held key's repeats are no press), and the mouse button's in no other phase. F2,
// F3 and F4 reaching the window whole (without the key table, or inside a box's loop) start
// nothing; through the game's loop they act at their press and not at its repeats. New and
// Restart take effect at the next tick from any phase, unknown ids do nothing; About pauses the
// game and goes back to where it was, Options to a restart whichever button closes it. No key or
// click presses a thrust button on the way.
TEST_F(MainWindowTest, InputSetsThePhase) {
    ASSERT_TRUE(TickToReady());
    const HACCEL keys = LoadAcceleratorsA(appInstance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    const LPARAM REPEAT = 1 << 30, PRESS = 1, UP = static_cast<LPARAM>(0xC0000001u);
    // Besides messages: a box opened by a command and closed by a button, and a key through the
    // game's loop with its key table.
    const UINT BOX = WM_APP, LOOP = WM_APP + 1;
    const int R = PHASE_READY, F = PHASE_FLYING, D = PHASE_DEBRIS;
    const struct {
        int phase;
        std::vector<std::vector<LPARAM>> steps; // message, wParam, lParam
        int after;
    } rows[] = {
        {R, {{WM_KEYDOWN, VK_DOWN, PRESS}, {WM_KEYUP, VK_DOWN, UP}}, F},
        {R, {{WM_KEYDOWN, VK_SPACE, PRESS}, {WM_KEYUP, VK_SPACE, UP}}, F},
        {R, {{WM_KEYDOWN, 'A', PRESS}, {WM_KEYUP, 'A', UP}}, F},
        {R, {{WM_KEYDOWN, VK_UP, PRESS}, {WM_KEYUP, VK_UP, UP}}, F},
        {R, {{WM_KEYDOWN, VK_LEFT, PRESS}, {WM_KEYUP, VK_LEFT, UP}}, F},
        {R, {{WM_KEYUP, VK_RETURN, UP}}, R},
        {R, {{WM_KEYUP, VK_ESCAPE, UP}}, R},
        {R, {{WM_KEYDOWN, VK_RETURN, PRESS | REPEAT}, {WM_KEYUP, VK_RETURN, UP}}, R},
        {R, {{WM_KEYDOWN, VK_F2, PRESS}, {WM_KEYUP, VK_F2, UP}}, R},
        {R, {{WM_KEYDOWN, VK_F3, PRESS}, {WM_KEYUP, VK_F3, UP}}, R},
        {R, {{WM_KEYDOWN, VK_F4, PRESS}, {WM_KEYUP, VK_F4, UP}}, R},
        {R, {{WM_KEYDOWN, VK_RETURN, PRESS}, {BOX, CMD_ABOUT, IDOK}, {WM_KEYUP, VK_RETURN, UP}}, R},
        {R,
         {{WM_KEYDOWN, VK_RETURN, PRESS},
          {WM_ENTERMENULOOP, FALSE, 0},
          {WM_EXITMENULOOP, FALSE, 0},
          {WM_KEYUP, VK_RETURN, UP}},
         R},
        {R, {{LOOP, VK_F2, PRESS}}, PHASE_NEW_GAME},
        {F, {{LOOP, VK_F2, PRESS | REPEAT}}, F},
        {F, {{LOOP, VK_F3, PRESS}}, PHASE_RESTART},
        {F, {{LOOP, VK_F3, PRESS | REPEAT}}, F},
        {R, {{WM_LBUTTONUP, 0, MAKELPARAM(300, 300)}}, R},
        {R, {{WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 300)}, {WM_LBUTTONUP, 0, 0}}, F},
        {F, {{WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 300)}, {WM_LBUTTONUP, 0, 0}}, F},
        {D, {{WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 300)}, {WM_LBUTTONUP, 0, 0}}, D},
        {PHASE_DIALOG, {{WM_LBUTTONDOWN, MK_LBUTTON, 0}, {WM_LBUTTONUP, 0, 0}}, PHASE_DIALOG},
        {PHASE_CALIBRATE, {{WM_LBUTTONDOWN, MK_LBUTTON, 0}, {WM_LBUTTONUP, 0, 0}}, PHASE_CALIBRATE},
        {D, {{WM_COMMAND, MAKEWPARAM(CMD_NEW, 1), 0}}, PHASE_NEW_GAME},
        {D, {{WM_COMMAND, CMD_RESTART, 0}}, PHASE_RESTART},
        {D, {{WM_COMMAND, 0, 0}, {WM_COMMAND, 6, 0}, {WM_COMMAND, 106, 0}}, D},
        {D, {{WM_COMMAND, 0xFFFF, 0}}, D},
        {D, {{BOX, CMD_ABOUT, IDOK}}, D},
        {D, {{BOX, CMD_OPTIONS, IDOK}}, PHASE_RESTART},
        {D, {{BOX, CMD_OPTIONS, IDCANCEL}}, PHASE_RESTART},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "row " << &row - rows);
        flight.phase = static_cast<uint8_t>(row.phase);
        for (const auto& step : row.steps) {
            const UINT message = static_cast<UINT>(step[0]);
            MSG key = {mainWindow, WM_KEYDOWN, static_cast<WPARAM>(step[1]), step[2], 0, {}};
            if (message == BOX) {
                EXPECT_EQ(RunBoxCommand(step[1], static_cast<int>(step[2])), PHASE_DIALOG);
            } else if (message != LOOP) {
                Send(message, static_cast<WPARAM>(step[1]), step[2]);
            } else if (!TranslateGameKeys(keys, &key)) {
                DispatchMessageA(&key);
            }
            EXPECT_EQ(ThrustersOn(), 0) << "message " << message;
            KillTimer(mainWindow, GAME_TIMER_ID); // started again by a stand-still's end
        }
        EXPECT_EQ(flight.phase, row.after);
        EXPECT_TRUE(IsWindow(mainWindow));
    }
}

// The click that brings the game back from another program only brings it back (one that a busy
// Wine loses is sent again), on the sky as on a thrust button; then a click starts the flight.
TEST_F(MainWindowTest, TheClickThatBringsTheGameBackStartsNothing) {
    ASSERT_TRUE(TickToReady());
    POINT sky = {300, 300};
    ClientToScreen(mainWindow, &sky);
    RECT button;
    GetWindowRect(thrustButtons[BUTTON_MAIN], &button);
    for (const POINT at : {sky, POINT{button.left + 24, button.top + 24}}) {
        SCOPED_TRACE(at.x);
        flight.phase = PHASE_READY;
        const HANDLE other = CreateThread(nullptr, 0, RunOtherProgram, nullptr, 0, nullptr);
        ASSERT_TRUE(PumpUntil([] { return GetActiveWindow() == nullptr; }, 30000));
        for (bool active : {false, true}) {
            for (int click = 0; click < 3 && (!click || GetActiveWindow() != mainWindow); ++click) {
                MouseInput(MOUSEEVENTF_LEFTDOWN, at.x, at.y);
                MouseInput(MOUSEEVENTF_LEFTUP, at.x, at.y);
                PumpUntil([] { return GetActiveWindow() == mainWindow; }, 5000);
            }
            EXPECT_EQ(PumpUntil([] { return flight.phase != PHASE_READY; }, active ? 10000 : 500),
                      active);
            EXPECT_EQ(ThrustersOn(), 0);
        }
        PostThreadMessageA(GetThreadId(other), WM_QUIT, 0, 0);
        WaitForSingleObject(other, 5000);
        CloseHandle(other);
    }
    MouseInput(0, 10, 700);
}

// An arrow holds its thrust button during a flight, and across a Restart while the craft waits;
// its release then starts the flight with the engine off. The key-ups of keys held while another
// window has the focus never come here: losing it releases them, as a new game's set-up does.
TEST_F(MainWindowTest, ArrowKeysHoldTheThrustButtonsUntilReleasedOrTheFocusIsLost) {
    ASSERT_TRUE(TickToReady());
    static HWND otherWindow; // for the cases below
    otherWindow = OtherWindow();
    ASSERT_NE(otherWindow, nullptr);
    const struct {
        WPARAM key;
        int32_t reverse;
        int thruster;
    } arrows[] = {{VK_DOWN, 0, THRUSTER_MAIN},
                  {VK_LEFT, 0, THRUSTER_LEFT},
                  {VK_RIGHT, 0, THRUSTER_RIGHT},
                  {VK_LEFT, 1, THRUSTER_RIGHT}};
    const struct {
        const char* name;
        void (*meanwhile)();
        int phase, held; // then: the phase, and whether the thruster still fires
    } meanwhiles[] = {
        {"nothing", [] {}, PHASE_FLYING, 1},
        {"New", [] { SendMessageA(mainWindow, WM_COMMAND, CMD_NEW, 0); }, PHASE_READY, 0},
        {"Restart", [] { SendMessageA(mainWindow, WM_COMMAND, CMD_RESTART, 0); }, PHASE_READY, 1},
        {"another window is made active", [] { SetActiveWindow(otherWindow); }, PHASE_FLYING, 0},
        {"the window is disabled", [] { EnableWindow(mainWindow, FALSE); }, PHASE_FLYING, 0},
    };
    for (const auto& meanwhile : meanwhiles) {
        for (const auto& arrow : arrows) {
            SCOPED_TRACE(testing::Message() << meanwhile.name << ", key " << arrow.key
                                            << ", reverse " << arrow.reverse);
            SetActiveWindow(mainWindow);
            SetFocus(mainWindow);
            ASSERT_EQ(GetFocus(), mainWindow);
            settings.reverseSideThrust = arrow.reverse;
            Send(WM_COMMAND, CMD_RESTART); // every case flies from the start
            TickGame();
            flight.phase = PHASE_FLYING;
            Send(WM_KEYDOWN, arrow.key);
            Send(WM_KEYDOWN, arrow.key, 1 << 30); // a repeat changes nothing
            EXPECT_EQ(flight.thrusterOn[arrow.thruster], 1);
            EXPECT_EQ(ThrustersOn(), 1);
            meanwhile.meanwhile();
            PumpMessages();
            TickGame();
            ASSERT_EQ(flight.phase, meanwhile.phase);
            EXPECT_EQ(flight.thrusterOn[arrow.thruster], meanwhile.held);
            EnableWindow(mainWindow, TRUE);
            Send(WM_KEYUP, arrow.key);
            EXPECT_EQ(flight.phase, PHASE_FLYING);
            const float fuel = flight.fuel;
            TickGame(4);
            EXPECT_EQ(ThrustersOn(), 0);
            EXPECT_EQ(flight.fuel, fuel);
        }
    }
    DestroyWindow(otherWindow);
    // Other keys do nothing outside the waiting phase.
    Send(WM_KEYDOWN, VK_UP);
    Send(WM_KEYUP, VK_SPACE);
    EXPECT_EQ(flight.phase, PHASE_FLYING);
    EXPECT_EQ(ThrustersOn(), 0);
}

// Flames come and go by exclusive-or: a repaint of a part of the window away from the craft must
// leave what the flame flags describe, so the ticks after it remove exactly what is there.
TEST_F(MainWindowTest, APartialRepaintLeavesNoFlameBehind) {
    ASSERT_TRUE(TickToReady());
    const int width = screen.screenWidth - 200; // left of the instruments and the buttons
    for (int thruster : {THRUSTER_MAIN, THRUSTER_RIGHT, THRUSTER_LEFT}) {
        for (int blink : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "thruster " << thruster << ", blink " << blink);
            Send(WM_COMMAND, CMD_RESTART);
            TickGame();
            flight.phase = PHASE_FLYING;
            flight.thrusterOn[thruster] = 1;
            // The repaint comes with the flame on the screen, or just after the tick took it off.
            craftDrawing.flameBlink = 0;
            TickGame(1 + blink);
            const RECT sky = {10, 10, 200, 200};
            InvalidateRect(mainWindow, &sky, TRUE);
            UpdateWindow(mainWindow);
            flight.thrusterOn[thruster] = 0;
            TickGame(3);
            const std::vector<DWORD> ticked =
                WindowPixels(mainWindow, 0, 0, width, screen.groundHeight);
            InvalidateRect(mainWindow, nullptr, TRUE);
            UpdateWindow(mainWindow);
            EXPECT_TRUE(ticked == WindowPixels(mainWindow, 0, 0, width, screen.groundHeight));
        }
    }
}

// Asking to be told of session locks fails while the session's services are not yet up (a game
// started from the Startup folder): it is asked again on the game's ticks until it is granted.
int sessionAsks = 0;
BOOL WINAPI GrantTheThirdAsk(HWND, DWORD) {
    return ++sessionAsks >= 3;
}

// The first game of a process makes lasting objects of the system's (fonts, caption and menu
// pictures, the busy cursor): the count is taken from a second one.
TEST_F(MainWindowTest, SessionLocksAreAskedForUntilGrantedAndExitDestroysEverything) {
    ASSERT_TRUE(TickToReady());
    CloseGameWindow();
    const int gdiBefore = CountGdiObjects();
    struct RealAskBack {
        ~RealAskBack() { registerSessionNotification = WTSRegisterSessionNotification; }
    } realAskBack;
    registerSessionNotification = GrantTheThirdAsk;
    sessionAsks = 0;
    ASSERT_NE(OpenGameWindow(), nullptr);
    for (int tick = 0; tick < 60; ++tick) {
        Send(WM_TIMER, GAME_TIMER_ID);
    }
    EXPECT_EQ(sessionAsks, 3);
    ASSERT_TRUE(TickToReady());
    flight.phase = PHASE_FLYING;
    TickGame();
    Send(WM_COMMAND, CMD_EXIT);
    EXPECT_FALSE(IsWindow(mainWindow));
    EXPECT_EQ(terrainRegion, nullptr);
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 0u);
    PumpMessages();
    EXPECT_EQ(CountGdiObjects(), gdiBefore);
}

// Painting and the containment test agree on every pixel of the play area.
TEST(TerrainPaintingTest, PaintedPixelsAreExactlyTheGround) {
    const int sizes[][2] = {{1024, 730}, {800, 560}, {333, 250}};
    for (const auto& size : sizes) {
        PixelCanvas canvas(size[0], size[1] + 2);
        for (uint32_t seed : {1u, 77u, 4242u}) {
            SeedRandom(seed);
            Terrain* terrain =
                MakeTerrain(static_cast<int16_t>(size[0]), static_cast<int16_t>(size[1]), 120, 4);
            ASSERT_NE(terrain, nullptr);
            canvas.Clear();
            PaintTerrain(canvas.dc, terrain);
            int mismatches = 0;
            for (int y = 0; y < canvas.height; ++y) {
                for (int x = 0; x < canvas.width; ++x) {
                    const bool white = canvas.At(x, y) == 0xFFFFFFu;
                    mismatches += white != (TerrainContains(terrain, x, y) != 0);
                }
            }
            EXPECT_EQ(mismatches, 0) << size[0] << "x" << size[1] << " seed " << seed;
            DeleteTerrain(terrain);
        }
    }
}

} // namespace
