// The button class, the three buttons' creation, places and lifetime, which thruster each button
// fires, and a real click through the platform's input.
#include <utility>

#include "thrust_fixture.h"

namespace {

// Over a button the pointer is the arrow, and what lies behind its picture is erased black.
TEST_F(ThrustButtonsTest, ShowTheArrowOverABlackBackground) {
    EXPECT_EQ(RegisterThrustClass(appInstance), 0) << "a second registration says it failed";
    SetCursor(nullptr);
    SendMessageA(Button(BUTTON_MAIN), WM_SETCURSOR, reinterpret_cast<WPARAM>(Button(BUTTON_MAIN)),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));
    PixelCanvas canvas{48, 48};
    PatBlt(canvas.dc, 0, 0, 48, 48, WHITENESS);
    SendMessageA(Button(BUTTON_MAIN), WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.dc), 0);
    EXPECT_EQ(canvas.pixels[48 * 48 - 1] & 0xFFFFFFu, 0u) << "the background is not black";
}

// A release after the setting changed clears the newly mapped thruster; a slide fires it.
TEST_F(ThrustButtonsTest, EachMessageFollowsTheSettingAsItStandsThen) {
    settings.reverseSideThrust = 0;
    SendPrivate(BUTTON_LEFT, WM_THRUST_PRESS);
    ASSERT_EQ(flight.thrusterOn[THRUSTER_LEFT], 1);
    settings.reverseSideThrust = 1;
    SendPrivate(BUTTON_LEFT, WM_THRUST_RELEASE);
    EXPECT_EQ(flight.thrusterOn[THRUSTER_RIGHT], 0);
    EXPECT_EQ(flight.thrusterOn[THRUSTER_LEFT], 1) << "the old flag stays until its release";
    EXPECT_EQ(ShownImage(Button(BUTTON_LEFT), BUTTON_LEFT), RELEASED);
    // The right button now maps to the left thruster, and its release clears it.
    SendPrivate(BUTTON_RIGHT, WM_THRUST_RELEASE);
    EXPECT_EQ(flight.thrusterOn[THRUSTER_LEFT], 0);

    settings.reverseSideThrust = 0;
    SendMouse(BUTTON_RIGHT, WM_LBUTTONDOWN, 10, 10);
    ASSERT_EQ(flight.thrusterOn[THRUSTER_RIGHT], 1);
    settings.reverseSideThrust = 1;
    // Now mapped to the left thruster, which is off: sliding on fires it as well.
    SendMouse(BUTTON_RIGHT, WM_MOUSEMOVE, 20, 20);
    EXPECT_EQ(flight.thrusterOn[THRUSTER_LEFT], 1);
    EXPECT_EQ(flight.thrusterOn[THRUSTER_RIGHT], 1);
    SendMouse(BUTTON_RIGHT, WM_LBUTTONUP, 20, 20);
    EXPECT_EQ(flight.thrusterOn[THRUSTER_LEFT], 0);
    EXPECT_EQ(flight.thrusterOn[THRUSTER_RIGHT], 1);
    EXPECT_EQ(GetCapture(), nullptr);
}

// Visible 48 x 48 children with the button ids, at the top right of the screen width: a signed
// 16-bit value, so that a narrow enough screen puts them at negative columns. Their creation
// clears every thruster and tracking flag.
TEST(ThrustButtons, StandAtTheTopRightOfTheScreenWidthAndStartReleased) {
    ASSERT_EQ(RegisterThrustClassOnce(), 1);
    const struct {
        int16_t screenWidth;
        POINT topLeft[THRUST_BUTTON_COUNT];
    } placements[] = {
        {1024, {{949, 150}, {924, 100}, {974, 100}}},
        {800, {{725, 150}, {700, 100}, {750, 100}}},
        {60, {{-15, 150}, {-40, 100}, {10, 100}}},
        {-20, {{-95, 150}, {-120, 100}, {-70, 100}}},
    };
    for (const auto& row : placements) {
        ResetWholeGame();
        screen.screenWidth = row.screenWidth;
        flight.thrusterOn[0] = flight.thrusterOn[1] = flight.thrusterOn[2] = 1;
        buttonTracking[0] = buttonTracking[1] = buttonTracking[2] = 1;
        HWND parent = OpenButtons();
        for (int id = 0; id < THRUST_BUTTON_COUNT; ++id) {
            SCOPED_TRACE(testing::Message()
                         << "screen width " << row.screenWidth << ", button " << id);
            RECT box = {};
            GetWindowRect(thrustButtons[id], &box);
            MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&box), 2);
            EXPECT_EQ(box.left, row.topLeft[id].x);
            EXPECT_EQ(box.top, row.topLeft[id].y);
            EXPECT_EQ(box.right - box.left, 48);
            EXPECT_EQ(box.bottom - box.top, 48);
            EXPECT_EQ(GetParent(thrustButtons[id]), parent);
            EXPECT_EQ(GetWindowLongA(thrustButtons[id], GWL_ID), id);
            EXPECT_TRUE(IsWindowVisible(thrustButtons[id]));
            EXPECT_EQ(flight.thrusterOn[id], 0);
            EXPECT_EQ(buttonTracking[id], 0);
        }
        DestroyWindow(parent);
        PumpMessages();
    }
}

// Any id but a button's maps to the main engine, never to an index past the thruster flags.
TEST_F(ThrustButtonsTest, AWindowOfTheClassWithAForeignIdTouchesNoButtonState) {
    for (const int id : {-1, 3, 1000}) {
        settings.reverseSideThrust = id & 1;
        EXPECT_EQ(ButtonToThruster(id), THRUSTER_MAIN) << "id " << id;
    }
    flight.thrusterOn[THRUSTER_MAIN] = 1;
    flight.phase = PHASE_READY;
    HWND stray = CreateWindowExA(0, "TVNThrust", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 48, 48,
                                 parent, reinterpret_cast<HMENU>(7), appInstance, nullptr);
    ASSERT_NE(stray, nullptr);
    SendMessageA(stray, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(flight.phase, PHASE_READY);
    SendMessageA(stray, WM_THRUST_RELEASE, 0, 0);
    EXPECT_EQ(flight.thrusterOn[THRUSTER_MAIN], 1);
    DestroyWindow(stray);
    EXPECT_NE(GetObjectType(buttonUpBitmaps[0]), 0u) << "the stray deleted a button's picture";
}

// Each button holds its two pictures while it lives, and deletes them with itself; pressing and
// painting it makes nothing more. The fixture's buttons, used and destroyed first, warm the
// platform's caches before the count.
TEST_F(ThrustButtonsTest, DestroyingTheParentDeletesEveryImage) {
    HBITMAP images[2][THRUST_BUTTON_COUNT];
    for (int round = 0, before = 0; round < 2; ++round) {
        for (int id = 0; id < THRUST_BUTTON_COUNT; ++id) {
            images[0][id] = buttonUpBitmaps[id];
            images[1][id] = buttonDownBitmaps[id];
            SendMouse(id, WM_LBUTTONDOWN, 5, 5);
            SendMouse(id, WM_LBUTTONUP, 5, 5);
        }
        const int alive = CountGdiObjects();
        DestroyWindow(parent);
        PumpMessages();
        if (round == 0) {
            before = CountGdiObjects();
            parent = OpenButtons();
            continue;
        }
        EXPECT_EQ(alive, before + 2 * THRUST_BUTTON_COUNT) << "two pictures a button";
        EXPECT_EQ(CountGdiObjects(), before);
        for (int id = 0; id < THRUST_BUTTON_COUNT; ++id) {
            EXPECT_EQ(GetObjectType(images[0][id]), 0u) << "button " << id;
            EXPECT_EQ(GetObjectType(images[1][id]), 0u) << "button " << id;
            EXPECT_EQ(thrustButtons[id], nullptr) << "button " << id;
        }
    }
}

// Moves the real pointer, pressing or releasing, and handles messages until the left button is in
// that state, for at most ten seconds (a busy machine may hold input back so long). The move is
// sent again now and then: Wine may fold it into a late X pointer event with the old position.
bool InputUntil(DWORD flags, int x, int y, ButtonState state) {
    DWORD sent = 0;
    return PumpUntil(
        [&] {
            if (sent == 0 || GetTickCount() - sent > 200) {
                MouseInput(std::exchange(flags, 0), x, y); // never a second click
                sent = GetTickCount();
            }
            return buttonTracking[BUTTON_LEFT] == (state != ButtonState::Idle) &&
                   flight.thrusterOn[THRUSTER_LEFT] == (state == ButtonState::MouseIn);
        },
        10000);
}

// The press, the slide off and back and the release come from the mouse, through the queue.
TEST_F(ThrustButtonsTest, ARealClickFiresTheThrusterWithoutTakingTheFocus) {
    SetFocus(parent);
    ASSERT_EQ(GetFocus(), parent);
    flight.phase = PHASE_READY;
    RECT box = {};
    GetWindowRect(Button(BUTTON_LEFT), &box);
    const struct {
        DWORD flags;
        int x, y;
        ButtonState state;
    } steps[] = {{MOUSEEVENTF_LEFTDOWN, 24, 24, ButtonState::MouseIn},
                 {0, -76, 24, ButtonState::MouseOut},
                 {0, 34, 14, ButtonState::MouseIn},
                 {MOUSEEVENTF_LEFTUP, 34, 14, ButtonState::Idle}};
    for (const auto& step : steps) {
        SCOPED_TRACE(StateName(step.state));
        EXPECT_TRUE(InputUntil(step.flags, box.left + step.x, box.top + step.y, step.state));
        ExpectState(BUTTON_LEFT, step.state);
        EXPECT_EQ(ShownImage(Button(BUTTON_LEFT), BUTTON_LEFT),
                  step.state == ButtonState::MouseIn ? PRESSED : RELEASED);
        EXPECT_EQ(flight.phase, PHASE_FLYING);
        EXPECT_EQ(GetFocus(), parent);
    }
    InputUntil(0, 10, 700, ButtonState::Idle);
}

} // namespace
