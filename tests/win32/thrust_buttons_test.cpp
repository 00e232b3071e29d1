// The button class, the three buttons' creation, placement, images and their lifetime, and which
// thruster each button fires.
#include <gtest/gtest.h>

#include "app/instance.h"
#include "game/state.h"
#include "game_fixture.h"
#include "render/bitmap.h"
#include "resource.h"
#include "thrust_fixture.h"
#include "ui/thrust.h"
#include "win32_test_util.h"

namespace {

TEST(ThrustClass, IsRegisteredOnceWithArrowCursorAndBlackBackground) {
    ASSERT_EQ(RegisterThrustClassOnce(), 1);
    WNDCLASSA found = {};
    ASSERT_TRUE(GetClassInfoA(appInstance, "TVNThrust", &found));
    EXPECT_EQ(found.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(found.lpfnWndProc, ThrustWndProc);
    EXPECT_EQ(found.cbClsExtra, 0);
    EXPECT_EQ(found.cbWndExtra, 0);
    EXPECT_EQ(found.hIcon, nullptr);
    EXPECT_EQ(found.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(found.hbrBackground, GetStockObject(BLACK_BRUSH));
    EXPECT_EQ(found.lpszMenuName, nullptr);
    // A second registration fails, and says so.
    EXPECT_EQ(RegisterThrustClass(appInstance), 0);
}

struct Mapping {
    int32_t reverse;
    int buttonId;
    int thruster;
};

// clang-format off
const Mapping MAPPINGS[] = {
    {0, BUTTON_MAIN, THRUSTER_MAIN},   {0, BUTTON_LEFT, THRUSTER_LEFT},
    {0, BUTTON_RIGHT, THRUSTER_RIGHT}, {1, BUTTON_MAIN, THRUSTER_MAIN},
    {1, BUTTON_LEFT, THRUSTER_RIGHT},  {1, BUTTON_RIGHT, THRUSTER_LEFT},
    {-1, BUTTON_LEFT, THRUSTER_RIGHT}, {7, BUTTON_RIGHT, THRUSTER_LEFT},
    {7, BUTTON_MAIN, THRUSTER_MAIN},
    // Ids of no button fire the main engine, never an index past the thruster flags.
    {0, -1, THRUSTER_MAIN}, {0, 3, THRUSTER_MAIN}, {1, -1, THRUSTER_MAIN}, {1, 3, THRUSTER_MAIN},
    {1, 1000, THRUSTER_MAIN},
};
// clang-format on

// A button's own thruster, both from the mapping and from a press by key and by mouse.
TEST_F(ThrustButtonsTest, EachButtonFiresItsMappedThrusterAndNoOther) {
    for (const Mapping& row : MAPPINGS) {
        SCOPED_TRACE(testing::Message()
                     << "reverse " << row.reverse << ", button " << row.buttonId);
        settings.reverseSideThrust = row.reverse;
        EXPECT_EQ(ButtonToThruster(row.buttonId), row.thruster);
        if (row.buttonId < 0 || row.buttonId >= THRUST_BUTTON_COUNT) {
            continue;
        }
        for (UINT press : {WM_THRUST_PRESS, static_cast<UINT>(WM_LBUTTONDOWN)}) {
            if (press == WM_LBUTTONDOWN) {
                SendMouse(row.buttonId, WM_LBUTTONDOWN, 10, 10);
            } else {
                SendPrivate(row.buttonId, press);
            }
            for (int thruster = 0; thruster < THRUSTER_COUNT; ++thruster) {
                EXPECT_EQ(flight.thrusterOn[thruster], thruster == row.thruster ? 1 : 0)
                    << "thruster " << thruster;
            }
            SendPrivate(row.buttonId, WM_THRUST_RELEASE);
            EXPECT_EQ(flight.thrusterOn[row.thruster], 0);
        }
    }
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
    EXPECT_EQ(ShownImage(Button(BUTTON_LEFT), BUTTON_LEFT), Shown::Released);

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

TEST_F(ThrustButtonsTest, ButtonsAreChildrenWithTheirIdsAndStyleShownReleased) {
    for (int id = 0; id < THRUST_BUTTON_COUNT; ++id) {
        SCOPED_TRACE(testing::Message() << "button " << id);
        HWND button = Button(id);
        char className[32] = {};
        GetClassNameA(button, className, sizeof className);
        EXPECT_STREQ(className, "TVNThrust");
        EXPECT_EQ(GetParent(button), parent);
        EXPECT_EQ(GetWindowLongA(button, GWL_ID), id);
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(button, GWL_STYLE)),
                  static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
        EXPECT_EQ(GetWindowLongA(button, GWL_EXSTYLE), 0);
        EXPECT_EQ(GetWindowTextLengthA(button), 0);
        EXPECT_TRUE(IsWindowVisible(button));
        ExpectState(id, ButtonState::Idle);
        EXPECT_EQ(ShownImage(button, id), Shown::Released);
    }
    EXPECT_NE(Button(0), Button(1));
    EXPECT_NE(Button(1), Button(2));
}

// Positions follow the screen width, a signed 16-bit value: a narrow enough screen puts buttons
// at negative columns.
struct Placement {
    int16_t screenWidth;
    POINT topLeft[THRUST_BUTTON_COUNT];
};

const Placement PLACEMENTS[] = {
    {1024, {{949, 150}, {924, 100}, {974, 100}}},
    {800, {{725, 150}, {700, 100}, {750, 100}}},
    {60, {{-15, 150}, {-40, 100}, {10, 100}}},
    {-20, {{-95, 150}, {-120, 100}, {-70, 100}}},
};

TEST(ThrustPlacement, ButtonsStandAtTheTopRightOfTheScreenWidth) {
    ASSERT_EQ(RegisterThrustClassOnce(), 1);
    for (const Placement& row : PLACEMENTS) {
        SCOPED_TRACE(testing::Message() << "screen width " << row.screenWidth);
        ResetWholeGame();
        screen.screenWidth = row.screenWidth;
        HWND parent = CreateTestParent();
        CreateThrustButtons(appInstance, parent);
        for (int id = 0; id < THRUST_BUTTON_COUNT; ++id) {
            RECT box = {};
            GetWindowRect(thrustButtons[id], &box);
            MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&box), 2);
            EXPECT_EQ(box.left, row.topLeft[id].x) << "button " << id;
            EXPECT_EQ(box.top, row.topLeft[id].y) << "button " << id;
            // The size of the buttons' pictures.
            EXPECT_EQ(box.right - box.left, 48) << "button " << id;
            EXPECT_EQ(box.bottom - box.top, 48) << "button " << id;
        }
        DestroyWindow(parent);
        PumpMessages();
    }
}

TEST(ThrustLifetime, CreationClearsTheFlagsOfTheButtonIds) {
    ASSERT_EQ(RegisterThrustClassOnce(), 1);
    ResetWholeGame();
    HWND parent = CreateTestParent();
    for (int32_t& flag : flight.thrusterOn) {
        flag = 1;
    }
    for (int32_t& flag : buttonTracking) {
        flag = 1;
    }
    // Button 2 alone fires thruster 1, but its creation clears flag 2: the index is the id.
    HWND right =
        CreateWindowExA(0, "TVNThrust", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 48, 48, parent,
                        reinterpret_cast<HMENU>(BUTTON_RIGHT), appInstance, nullptr);
    ASSERT_NE(right, nullptr);
    EXPECT_EQ(flight.thrusterOn[THRUSTER_MAIN], 1);
    EXPECT_EQ(flight.thrusterOn[THRUSTER_RIGHT], 1);
    EXPECT_EQ(flight.thrusterOn[THRUSTER_LEFT], 0);
    EXPECT_EQ(buttonTracking[BUTTON_RIGHT], 0);
    EXPECT_EQ(buttonTracking[BUTTON_LEFT], 1);
    DestroyWindow(right);

    // Once all three exist, every flag is clear.
    CreateThrustButtons(appInstance, parent);
    for (int i = 0; i < THRUST_BUTTON_COUNT; ++i) {
        EXPECT_EQ(flight.thrusterOn[i], 0) << "thruster " << i;
        EXPECT_EQ(buttonTracking[i], 0) << "button " << i;
    }
    DestroyWindow(parent);
    PumpMessages();
}

TEST(ThrustLifetime, AWindowOfTheClassWithAForeignIdTouchesNoButtonState) {
    ASSERT_EQ(RegisterThrustClassOnce(), 1);
    ResetWholeGame();
    HWND parent = CreateTestParent();
    flight.thrusterOn[THRUSTER_MAIN] = 1;
    flight.phase = PHASE_READY;
    HWND stray = CreateWindowExA(0, "TVNThrust", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 48, 48,
                                 parent, reinterpret_cast<HMENU>(7), appInstance, nullptr);
    ASSERT_NE(stray, nullptr);
    EXPECT_EQ(buttonUpBitmaps[0], nullptr);
    SendMessageA(stray, WM_LBUTTONDOWN, MK_LBUTTON, PointerAt(5, 5));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(flight.phase, PHASE_READY);
    SendMessageA(stray, WM_THRUST_RELEASE, 0, 0);
    EXPECT_EQ(flight.thrusterOn[THRUSTER_MAIN], 1);
    DestroyWindow(parent);
    PumpMessages();
}

TEST(ThrustLifetime, DestroyingTheParentDeletesEveryImage) {
    ASSERT_EQ(RegisterThrustClassOnce(), 1);
    ResetWholeGame();
    // One full round first, so that the platform's own caches are warm before counting.
    for (int round = 0; round < 2; ++round) {
        HWND parent = CreateTestParent();
        CreateThrustButtons(appInstance, parent);
        UpdateWindow(parent);
        SendMessageA(thrustButtons[BUTTON_LEFT], WM_THRUST_PRESS, 0, 0);
        SendMessageA(thrustButtons[BUTTON_LEFT], WM_THRUST_RELEASE, 0, 0);
        DestroyWindow(parent);
        PumpMessages();
    }
    const int baseline = CountGdiObjects();

    HWND parent = CreateTestParent();
    CreateThrustButtons(appInstance, parent);
    UpdateWindow(parent);
    PumpMessages();
    HBITMAP images[2 * THRUST_BUTTON_COUNT];
    for (int id = 0; id < THRUST_BUTTON_COUNT; ++id) {
        images[2 * id] = buttonUpBitmaps[id];
        images[2 * id + 1] = buttonDownBitmaps[id];
        SendMessageA(thrustButtons[id], WM_LBUTTONDOWN, MK_LBUTTON, PointerAt(5, 5));
        SendMessageA(thrustButtons[id], WM_LBUTTONUP, 0, PointerAt(5, 5));
    }
    EXPECT_EQ(CountGdiObjects(), baseline + 2 * THRUST_BUTTON_COUNT);

    DestroyWindow(parent);
    PumpMessages();
    EXPECT_EQ(CountGdiObjects(), baseline);
    for (HBITMAP image : images) {
        EXPECT_EQ(GetObjectType(image), 0u);
    }
    for (int id = 0; id < THRUST_BUTTON_COUNT; ++id) {
        EXPECT_EQ(buttonUpBitmaps[id], nullptr) << "button " << id;
        EXPECT_EQ(buttonDownBitmaps[id], nullptr) << "button " << id;
        EXPECT_EQ(thrustButtons[id], nullptr) << "button " << id;
    }
}

// A real click through the platform's input: the press, the slide and the release come from the
// mouse itself, through the queue, in their own time.
void SendMouseInput(DWORD flags, int x, int y) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = (x * 65536 + 65535) / GetSystemMetrics(SM_CXSCREEN);
    input.mi.dy = (y * 65536 + 65535) / GetSystemMetrics(SM_CYSCREEN);
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

// Sends the input and handles messages until the condition holds, for at most ten seconds (a
// busy machine may hold the input back that long). The move is sent again now and then: Wine may
// fold a synthetic move into a late pointer event of the X server that still carries the
// previous position.
template <typename Condition> bool InputUntil(DWORD flags, int x, int y, Condition condition) {
    const DWORD start = GetTickCount();
    DWORD lastSent = start;
    SendMouseInput(flags, x, y);
    while (!condition()) {
        const DWORD now = GetTickCount();
        if (now - start > 10000) {
            return false;
        }
        if (now - lastSent > 200) {
            SendMouseInput(0, x, y); // the move only, never a second click
            lastSent = now;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        PumpMessages();
    }
    return true;
}

TEST_F(ThrustButtonsTest, ARealClickFiresTheThrusterWithoutTakingTheFocus) {
    SetFocus(parent);
    ASSERT_EQ(GetFocus(), parent);
    flight.phase = PHASE_READY;
    RECT box = {};
    GetWindowRect(Button(BUTTON_LEFT), &box);
    const int x = box.left + 24;
    const int y = box.top + 24;

    EXPECT_TRUE(
        InputUntil(MOUSEEVENTF_LEFTDOWN, x, y, [] { return buttonTracking[BUTTON_LEFT] == 1; }));
    EXPECT_EQ(flight.phase, PHASE_FLYING);
    ExpectState(BUTTON_LEFT, ButtonState::MouseIn);
    EXPECT_EQ(ShownImage(Button(BUTTON_LEFT), BUTTON_LEFT), Shown::Pressed);
    EXPECT_EQ(GetFocus(), parent);

    EXPECT_TRUE(InputUntil(0, x - 100, y, [] { return flight.thrusterOn[THRUSTER_LEFT] == 0; }));
    ExpectState(BUTTON_LEFT, ButtonState::MouseOut);
    EXPECT_EQ(ShownImage(Button(BUTTON_LEFT), BUTTON_LEFT), Shown::Released);

    EXPECT_TRUE(
        InputUntil(0, x + 10, y - 10, [] { return flight.thrusterOn[THRUSTER_LEFT] == 1; }));
    ExpectState(BUTTON_LEFT, ButtonState::MouseIn);

    EXPECT_TRUE(InputUntil(MOUSEEVENTF_LEFTUP, x + 10, y - 10,
                           [] { return buttonTracking[BUTTON_LEFT] == 0; }));
    ExpectState(BUTTON_LEFT, ButtonState::Idle);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(GetFocus(), parent);
    SendMouseInput(0, 10, 700);
    PumpMessages();
}

} // namespace
