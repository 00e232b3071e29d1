// The buttons' four states and every message that moves between them, driven with real messages
// on real windows; each case is checked by its flags, the mouse capture and the pixels on screen.
#include "thrust_fixture.h"

namespace {

const char* const EVENT_NAMES[] = {"LeftDown", "MoveInside", "MoveOutside",
                                   "LeftUp",   "KeyPress",   "KeyRelease"};

using S = ButtonState;
constexpr Shown P = Shown::Pressed, R = Shown::Released, N = Shown::Scribble;

// What each event does to a button in each state: NEXT[from][event] is the state it moves to,
// and SHOWN[from][event] what it shows then (N: nothing is drawn, the scribble stays).
// Events: LeftDown, MoveInside, MoveOutside, LeftUp, KeyPress, KeyRelease.
const ButtonState NEXT[4][6] = {
    {S::MouseIn, S::Idle, S::Idle, S::Idle, S::KeyHeld, S::Idle},        // from Idle
    {S::MouseIn, S::KeyHeld, S::KeyHeld, S::Idle, S::KeyHeld, S::Idle},  // from KeyHeld
    {S::MouseIn, S::MouseIn, S::MouseOut, S::Idle, S::MouseIn, S::Idle}, // from MouseIn
    {S::MouseIn, S::MouseIn, S::MouseOut, S::Idle, S::MouseIn, S::Idle}, // from MouseOut
};
const Shown SHOWN[4][6] = {
    {P, N, N, R, P, R}, // from Idle
    {P, N, N, R, P, R}, // from KeyHeld
    {P, N, R, R, P, R}, // from MouseIn
    {P, P, N, R, P, R}, // from MouseOut
};

TEST_F(ThrustButtonsTest, EachMessageMovesEachButtonToItsNextStateAndShowsIt) {
    // The mouse events' messages and places, in the order of EVENT_NAMES. The button comes up
    // off the button: wherever it does, the press ends.
    const UINT messages[] = {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_MOUSEMOVE, WM_LBUTTONUP};
    const POINT places[] = {{5, 40}, {47, 47}, {48, 10}, {100, 100}};
    flight.phase = PHASE_FLYING;
    for (int from = 0; from < 4; ++from) {
        for (int e = 0; e < 6; ++e) {
            for (int id = 0; id < THRUST_BUTTON_COUNT; ++id) {
                SCOPED_TRACE(testing::Message()
                             << "button " << id << ": " << StateName(static_cast<S>(from)) << ", "
                             << EVENT_NAMES[e]);
                PutInState(id, static_cast<S>(from));
                ExpectState(id, static_cast<S>(from));
                Scribble(Button(id));
                if (e >= 4) {
                    SendPrivate(id, e == 4 ? WM_THRUST_PRESS : WM_THRUST_RELEASE);
                } else {
                    SendMouse(id, messages[e], places[e].x, places[e].y);
                }
                ExpectState(id, NEXT[from][e]);
                EXPECT_STREQ(ShownName(ShownImage(Button(id), id)), ShownName(SHOWN[from][e]));
                EXPECT_EQ(flight.phase, PHASE_FLYING);
                // The other two buttons and their thrusters are not touched.
                for (int other : {(id + 1) % 3, (id + 2) % 3}) {
                    EXPECT_EQ(buttonTracking[other], 0) << "button " << other;
                    EXPECT_EQ(flight.thrusterOn[THRUSTER_OF[other]], 0) << "button " << other;
                }
                SendPrivate(id, WM_THRUST_RELEASE);
                ExpectState(id, ButtonState::Idle);
            }
        }
    }
}

// The inside test counts 0 to 47 in both directions, on coordinates that are signed 16-bit.
TEST_F(ThrustButtonsTest, TheMouseHoldsTheThrusterOnlyWhileThePointerIsOnTheButton) {
    const struct {
        int x, y;
        bool inside;
    } points[] = {
        {0, 0, true},        {47, 47, true},     {47, 0, true},       {0, 47, true},
        {24, 24, true},      {48, 10, false},    {-1, 10, false},     {10, 48, false},
        {10, -1, false},     {48, 48, false},    {-1, -1, false},     {-300, 20, false},
        {20, -300, false},   {32767, 20, false}, {-32768, 20, false}, {20, -32768, false},
        {1000, 1000, false},
    };
    for (const auto& point : points) {
        for (ButtonState from : {ButtonState::MouseIn, ButtonState::MouseOut}) {
            SCOPED_TRACE(testing::Message() << "pointer at (" << point.x << ", " << point.y
                                            << ") from " << StateName(from));
            PutInState(BUTTON_RIGHT, from);
            SendMouse(BUTTON_RIGHT, WM_MOUSEMOVE, point.x, point.y);
            ExpectState(BUTTON_RIGHT, point.inside ? ButtonState::MouseIn : ButtonState::MouseOut);
            EXPECT_EQ(ShownImage(Button(BUTTON_RIGHT), BUTTON_RIGHT),
                      point.inside ? Shown::Pressed : Shown::Released);
            SendPrivate(BUTTON_RIGHT, WM_THRUST_RELEASE);
        }
    }
}

// Whoever holds the capture, a mouse release over a held button ends it (the mouse button went
// down in the main window); a key release leaves a capture that is not the button's alone.
TEST_F(ThrustButtonsTest, AMouseReleaseEndsAnyCaptureAKeyReleaseOnlyTheButtons) {
    for (int id : {BUTTON_MAIN, BUTTON_LEFT}) {
        SendPrivate(id, WM_THRUST_PRESS);
        SetCapture(parent);
        if (id == BUTTON_MAIN) {
            SendMouse(id, WM_LBUTTONUP, 10, 10);
        } else {
            SendPrivate(id, WM_THRUST_RELEASE);
        }
        EXPECT_EQ(GetCapture(), id == BUTTON_MAIN ? nullptr : parent) << "button " << id;
        EXPECT_EQ(flight.thrusterOn[THRUSTER_OF[id]], 0) << "button " << id;
        EXPECT_EQ(ShownImage(Button(id), id), Shown::Released) << "button " << id;
        ReleaseCapture();
    }
}

// The mouse button need not come up over a held button: another window takes the capture (a box
// opens, the player switches programs). The press ends as a release would, and the capture stays
// wherever it went.
TEST_F(ThrustButtonsTest, LosingTheCaptureEndsAMousePress) {
    for (bool toParent : {true, false}) {
        for (ButtonState from : {ButtonState::MouseIn, ButtonState::MouseOut}) {
            SCOPED_TRACE(testing::Message() << (toParent ? "another window captures" : "released")
                                            << ", " << StateName(from));
            PutInState(BUTTON_RIGHT, from);
            Scribble(Button(BUTTON_RIGHT));
            if (toParent) {
                SetCapture(parent);
            } else {
                ReleaseCapture();
            }
            ExpectState(BUTTON_RIGHT, ButtonState::Idle);
            EXPECT_EQ(ShownImage(Button(BUTTON_RIGHT), BUTTON_RIGHT), Shown::Released);
            EXPECT_EQ(GetCapture() == parent, toParent);
            ReleaseCapture();
        }
    }
}

TEST_F(ThrustButtonsTest, ARepaintShowsTheReleasedImageWhileTheThrusterKeepsFiring) {
    flight.phase = PHASE_FLYING;
    SendPrivate(BUTTON_LEFT, WM_THRUST_PRESS);
    SendMouse(BUTTON_RIGHT, WM_LBUTTONDOWN, 10, 10);
    for (int id : {BUTTON_LEFT, BUTTON_RIGHT}) {
        EXPECT_EQ(ShownImage(Button(id), id), Shown::Pressed) << "button " << id;
        InvalidateRect(Button(id), nullptr, TRUE);
        UpdateWindow(Button(id));
        EXPECT_EQ(ShownImage(Button(id), id), Shown::Released) << "button " << id;
    }
    ExpectState(BUTTON_LEFT, ButtonState::KeyHeld);
    ExpectState(BUTTON_RIGHT, ButtonState::MouseIn);
    // The next drawing transition puts the right image back.
    SendMouse(BUTTON_RIGHT, WM_MOUSEMOVE, 60, 10);
    SendMouse(BUTTON_RIGHT, WM_MOUSEMOVE, 10, 10);
    EXPECT_EQ(ShownImage(Button(BUTTON_RIGHT), BUTTON_RIGHT), Shown::Pressed);
}

// A left press starts a waiting flight, and no other phase is changed by any button message.
TEST_F(ThrustButtonsTest, OnlyALeftPressInTheReadyPhaseStartsTheFlight) {
    for (int phase = 0; phase <= PHASE_READY; ++phase) {
        for (int id = 0; id < THRUST_BUTTON_COUNT; ++id) {
            SCOPED_TRACE(testing::Message() << "phase " << phase << ", button " << id);
            flight.phase = static_cast<uint8_t>(phase);
            SendPrivate(id, WM_THRUST_PRESS);
            SendPrivate(id, WM_THRUST_RELEASE);
            SendMouse(id, WM_MOUSEMOVE, 10, 10);
            SendMouse(id, WM_LBUTTONUP, 10, 10);
            EXPECT_EQ(flight.phase, phase);
            SendMouse(id, WM_LBUTTONDOWN, 10, 10);
            EXPECT_EQ(flight.phase, phase == PHASE_READY ? PHASE_FLYING : phase);
            EXPECT_EQ(flight.thrusterOn[THRUSTER_OF[id]], 1)
                << "the flight starts with the thruster already firing";
            SendMouse(id, WM_LBUTTONUP, 10, 10);
        }
    }
}

} // namespace
