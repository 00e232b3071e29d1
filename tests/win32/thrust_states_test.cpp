// The buttons' four states and every message that moves between them, driven with real messages
// on real windows; each case is checked by its flags, the mouse capture and the pixels on screen.
#include "thrust_fixture.h"

namespace {

const char* const EVENT_NAMES[] = {"LeftDown",    "MoveInside",   "MoveOutside",
                                   "LeftUp",      "KeyPress",     "KeyRelease",
                                   "CaptureGone", "CaptureTaken", "Repaint"};

constexpr ButtonState I = ButtonState::Idle, K = ButtonState::KeyHeld, In = ButtonState::MouseIn,
                      Out = ButtonState::MouseOut;
constexpr const char *P = PRESSED, *R = RELEASED, *N = SCRIBBLED;

// What each event does to a button in each state: NEXT[from][event] is the state it moves to,
// SHOWN[from][event] what it shows then (N: nothing is drawn, the scribble stays), HOLDER who
// holds the capture then: the Button, the Parent (as the main window does when the mouse button
// went down there; so in Idle and KeyHeld) or nobody (0). The capture goes when a box opens or the
// player switches programs. A repaint shows the released image, the thruster still firing.
const ButtonState NEXT[4][9] = {
    {In, I, I, I, K, I, I, I, I},       // from Idle
    {In, K, K, I, K, I, K, K, K},       // from KeyHeld
    {In, In, Out, I, In, I, I, I, In},  // from MouseIn
    {In, In, Out, I, In, I, I, I, Out}, // from MouseOut
};
const char* const SHOWN[4][9] = {
    {P, N, N, R, P, R, N, N, R}, // from Idle
    {P, N, N, R, P, R, N, N, R}, // from KeyHeld
    {P, N, R, R, P, R, R, R, R}, // from MouseIn
    {P, P, N, R, P, R, R, R, R}, // from MouseOut
};
const char* const HOLDER[4] = {"BPP0PP0PP", "BPP0PP0PP", "BBB0B00PB", "BBB0B00PB"};

// With the side thrust as it is and reversed, each button fires its own thruster and no other.
TEST_F(ThrustButtonsTest, EachMessageMovesEachButtonToItsNextStateAndShowsIt) {
    // The mouse events' messages and places, in the order of EVENT_NAMES. The button comes up
    // off the button: wherever it does, the press ends.
    const UINT messages[] = {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_MOUSEMOVE, WM_LBUTTONUP};
    const POINT places[] = {{5, 40}, {47, 47}, {48, 10}, {100, 100}};
    flight.phase = PHASE_FLYING;
    for (int i = 0; i < 4 * 9 * THRUST_BUTTON_COUNT * 3; ++i) {
        const int from = i / 81, e = i / 9 % 9, id = i / 3 % 3;
        const int32_t reversals[] = {0, -1, 7};
        settings.reverseSideThrust = reversals[i % 3];
        SCOPED_TRACE(testing::Message()
                     << "button " << id << ": " << StateName(static_cast<ButtonState>(from)) << ", "
                     << EVENT_NAMES[e] << ", reverse " << reversals[i % 3]);
        PutInState(id, static_cast<ButtonState>(from));
        ExpectState(id, static_cast<ButtonState>(from));
        if (from < 2) {
            SetCapture(parent);
        }
        Scribble(Button(id));
        if (e < 4) {
            SendMouse(id, messages[e], places[e].x, places[e].y);
        } else if (e < 6) {
            SendPrivate(id, e == 4 ? WM_THRUST_PRESS : WM_THRUST_RELEASE);
        } else if (e == 6) {
            ReleaseCapture();
        } else if (e == 7) {
            SetCapture(parent);
        } else {
            InvalidateRect(Button(id), nullptr, TRUE);
            UpdateWindow(Button(id));
        }
        ExpectState(id, NEXT[from][e]);
        EXPECT_EQ(ShownImage(Button(id), id), SHOWN[from][e]);
        const char holder = HOLDER[from][e];
        EXPECT_EQ(GetCapture(), holder == 'B' ? Button(id) : holder == 'P' ? parent : nullptr);
        EXPECT_EQ(flight.phase, PHASE_FLYING);
        // The other two buttons and their thrusters are not touched.
        for (int other : {(id + 1) % 3, (id + 2) % 3}) {
            EXPECT_EQ(buttonTracking[other], 0) << "button " << other;
            EXPECT_EQ(flight.thrusterOn[FiredBy(other)], 0) << "button " << other;
        }
        SendPrivate(id, WM_THRUST_RELEASE);
        ReleaseCapture();
        ExpectState(id, ButtonState::Idle);
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
        for (ButtonState from : {In, Out}) {
            SCOPED_TRACE(testing::Message() << "pointer at (" << point.x << ", " << point.y
                                            << ") from " << StateName(from));
            PutInState(BUTTON_RIGHT, from);
            SendMouse(BUTTON_RIGHT, WM_MOUSEMOVE, point.x, point.y);
            ExpectState(BUTTON_RIGHT, point.inside ? In : Out);
            EXPECT_EQ(ShownImage(Button(BUTTON_RIGHT), BUTTON_RIGHT),
                      point.inside ? PRESSED : RELEASED);
            SendPrivate(BUTTON_RIGHT, WM_THRUST_RELEASE);
        }
    }
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
