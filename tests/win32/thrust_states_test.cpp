// The buttons' four states and every message that moves between them, driven with real messages
// on real windows; each case is checked by its flags, the mouse capture and the pixels on screen.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "game/state.h"
#include "thrust_fixture.h"
#include "ui/thrust.h"
#include "win32_test_util.h"

namespace {

enum class Event { LeftDown, MoveInside, MoveOutside, LeftUp, KeyPress, KeyRelease };

const char* EventName(Event event) {
    const char* const names[] = {"LeftDown", "MoveInside", "MoveOutside",
                                 "LeftUp",   "KeyPress",   "KeyRelease"};
    return names[static_cast<int>(event)];
}

struct Transition {
    ButtonState from;
    Event event;
    ButtonState to;
    Shown drawn; // Scribble: the message draws nothing
};

using S = ButtonState;
using E = Event;

const Transition TRANSITIONS[] = {
    {S::Idle, E::LeftDown, S::MouseIn, Shown::Pressed},
    {S::Idle, E::MoveInside, S::Idle, Shown::Scribble},
    {S::Idle, E::MoveOutside, S::Idle, Shown::Scribble},
    {S::Idle, E::LeftUp, S::Idle, Shown::Released},
    {S::Idle, E::KeyPress, S::KeyHeld, Shown::Pressed},
    {S::Idle, E::KeyRelease, S::Idle, Shown::Released},

    {S::KeyHeld, E::LeftDown, S::MouseIn, Shown::Pressed},
    {S::KeyHeld, E::MoveInside, S::KeyHeld, Shown::Scribble},
    {S::KeyHeld, E::MoveOutside, S::KeyHeld, Shown::Scribble},
    {S::KeyHeld, E::LeftUp, S::Idle, Shown::Released},
    {S::KeyHeld, E::KeyPress, S::KeyHeld, Shown::Pressed},
    {S::KeyHeld, E::KeyRelease, S::Idle, Shown::Released},

    {S::MouseIn, E::LeftDown, S::MouseIn, Shown::Pressed},
    {S::MouseIn, E::MoveInside, S::MouseIn, Shown::Scribble},
    {S::MouseIn, E::MoveOutside, S::MouseOut, Shown::Released},
    {S::MouseIn, E::LeftUp, S::Idle, Shown::Released},
    {S::MouseIn, E::KeyPress, S::MouseIn, Shown::Pressed},
    {S::MouseIn, E::KeyRelease, S::Idle, Shown::Released},

    {S::MouseOut, E::LeftDown, S::MouseIn, Shown::Pressed},
    {S::MouseOut, E::MoveInside, S::MouseIn, Shown::Pressed},
    {S::MouseOut, E::MoveOutside, S::MouseOut, Shown::Scribble},
    {S::MouseOut, E::LeftUp, S::Idle, Shown::Released},
    {S::MouseOut, E::KeyPress, S::MouseIn, Shown::Pressed},
    {S::MouseOut, E::KeyRelease, S::Idle, Shown::Released},
};

void PrintTo(const Transition& row, std::ostream* out) {
    *out << StateName(row.from) << ", " << EventName(row.event) << " -> " << StateName(row.to);
}

class ThrustTransitionTest : public ThrustButtonsTest,
                             public ::testing::WithParamInterface<Transition> {
  protected:
    void Deliver(int id, Event event) {
        // The mouse events' messages and places, in the order of Event. The button comes up off
        // the button: wherever it does, the press ends.
        const UINT messages[] = {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_MOUSEMOVE, WM_LBUTTONUP};
        const POINT places[] = {{5, 40}, {47, 47}, {48, 10}, {100, 100}};
        const int e = static_cast<int>(event);
        if (event == Event::KeyPress || event == Event::KeyRelease) {
            SendPrivate(id, event == Event::KeyPress ? WM_THRUST_PRESS : WM_THRUST_RELEASE);
        } else {
            SendMouse(id, messages[e], places[e].x, places[e].y);
        }
    }
};

TEST_P(ThrustTransitionTest, EachButtonMovesToItsNextStateAndShowsIt) {
    const Transition& row = GetParam();
    flight.phase = PHASE_FLYING;
    for (int id = 0; id < THRUST_BUTTON_COUNT; ++id) {
        SCOPED_TRACE(testing::Message() << "button " << id << ": " << StateName(row.from) << ", "
                                        << EventName(row.event));
        PutInState(id, row.from);
        ExpectState(id, row.from);
        Scribble(Button(id));
        Deliver(id, row.event);
        ExpectState(id, row.to);
        EXPECT_STREQ(ShownName(ShownImage(Button(id), id)), ShownName(row.drawn));
        EXPECT_EQ(flight.phase, PHASE_FLYING);
        // The other two buttons and their thrusters are not touched.
        for (int other = 0; other < THRUST_BUTTON_COUNT; ++other) {
            if (other != id) {
                EXPECT_EQ(buttonTracking[other], 0) << "button " << other;
                EXPECT_EQ(flight.thrusterOn[ButtonToThruster(other)], 0) << "button " << other;
            }
        }
        SendPrivate(id, WM_THRUST_RELEASE);
        ExpectState(id, ButtonState::Idle);
    }
}

// Case names such as "MouseOutThenKeyRelease".
std::string TransitionName(const ::testing::TestParamInfo<Transition>& info) {
    return std::string(StateName(info.param.from)) + "Then" + EventName(info.param.event);
}

INSTANTIATE_TEST_SUITE_P(AllStatesAndMessages, ThrustTransitionTest,
                         ::testing::ValuesIn(TRANSITIONS), TransitionName);

// The inside test counts 0 to 47 in both directions, on coordinates that are signed 16-bit.
struct PointerCase {
    int x;
    int y;
    bool inside;
};

const PointerCase POINTER_CASES[] = {
    {0, 0, true},        {47, 47, true},     {47, 0, true},       {0, 47, true},
    {24, 24, true},      {48, 10, false},    {-1, 10, false},     {10, 48, false},
    {10, -1, false},     {48, 48, false},    {-1, -1, false},     {-300, 20, false},
    {20, -300, false},   {32767, 20, false}, {-32768, 20, false}, {20, -32768, false},
    {1000, 1000, false},
};

TEST_F(ThrustButtonsTest, TheMouseHoldsTheThrusterOnlyWhileThePointerIsOnTheButton) {
    for (const PointerCase& point : POINTER_CASES) {
        SCOPED_TRACE(testing::Message() << "pointer at (" << point.x << ", " << point.y << ")");
        for (ButtonState from : {ButtonState::MouseIn, ButtonState::MouseOut}) {
            PutInState(BUTTON_RIGHT, from);
            SendMouse(BUTTON_RIGHT, WM_MOUSEMOVE, point.x, point.y);
            ExpectState(BUTTON_RIGHT, point.inside ? ButtonState::MouseIn : ButtonState::MouseOut);
            EXPECT_EQ(ShownImage(Button(BUTTON_RIGHT), BUTTON_RIGHT),
                      point.inside ? Shown::Pressed : Shown::Released);
            SendPrivate(BUTTON_RIGHT, WM_THRUST_RELEASE);
        }
    }
}

TEST_F(ThrustButtonsTest, AMouseReleaseEndsWhateverCaptureThereIs) {
    // The mouse button went down in the main window and comes up over a held button.
    SendPrivate(BUTTON_MAIN, WM_THRUST_PRESS);
    SetCapture(parent);
    SendMouse(BUTTON_MAIN, WM_LBUTTONUP, 10, 10);
    EXPECT_EQ(GetCapture(), nullptr);
    ExpectState(BUTTON_MAIN, ButtonState::Idle);
    EXPECT_EQ(ShownImage(Button(BUTTON_MAIN), BUTTON_MAIN), Shown::Released);
}

TEST_F(ThrustButtonsTest, AKeyReleaseLeavesAForeignCaptureAlone) {
    SendPrivate(BUTTON_LEFT, WM_THRUST_PRESS);
    SetCapture(parent);
    SendPrivate(BUTTON_LEFT, WM_THRUST_RELEASE);
    EXPECT_EQ(GetCapture(), parent);
    EXPECT_EQ(flight.thrusterOn[THRUSTER_LEFT], 0);
    ReleaseCapture();
}

// The mouse button need not come up over a held button: another window takes the capture (a box
// opens, the player switches programs). The press ends as a release would, and the capture stays
// wherever it went.
TEST_F(ThrustButtonsTest, LosingTheCaptureEndsAMousePress) {
    struct Loss {
        const char* name;
        void (*take)(HWND parent);
        bool parentKeepsCapture;
    };
    const Loss losses[] = {
        {"another window captures", [](HWND other) { SetCapture(other); }, true},
        {"the capture is released", [](HWND) { ReleaseCapture(); }, false},
    };
    for (const Loss& loss : losses) {
        for (ButtonState from : {ButtonState::MouseIn, ButtonState::MouseOut}) {
            SCOPED_TRACE(testing::Message() << loss.name << ", " << StateName(from));
            PutInState(BUTTON_RIGHT, from);
            Scribble(Button(BUTTON_RIGHT));
            loss.take(parent);
            ExpectState(BUTTON_RIGHT, ButtonState::Idle);
            EXPECT_EQ(ShownImage(Button(BUTTON_RIGHT), BUTTON_RIGHT), Shown::Released);
            EXPECT_EQ(GetCapture() == parent, loss.parentKeepsCapture);
            ReleaseCapture();
        }
    }
}

TEST_F(ThrustButtonsTest, TheReleasesAtTheEndOfAFlightClearEverything) {
    flight.phase = PHASE_FLYING;
    SendPrivate(BUTTON_LEFT, WM_THRUST_PRESS);
    SendMouse(BUTTON_RIGHT, WM_LBUTTONDOWN, 10, 10);
    SendMouse(BUTTON_RIGHT, WM_MOUSEMOVE, 100, 10);
    SendMouse(BUTTON_MAIN, WM_LBUTTONDOWN, 10, 10);
    ASSERT_EQ(GetCapture(), Button(BUTTON_MAIN));
    EXPECT_EQ(flight.thrusterOn[THRUSTER_MAIN], 1);
    EXPECT_EQ(flight.thrusterOn[THRUSTER_LEFT], 1);
    EXPECT_EQ(flight.thrusterOn[THRUSTER_RIGHT], 0);

    for (int id = 0; id < THRUST_BUTTON_COUNT; ++id) {
        SendPrivate(id, WM_THRUST_RELEASE);
    }
    for (int id = 0; id < THRUST_BUTTON_COUNT; ++id) {
        ExpectState(id, ButtonState::Idle);
        EXPECT_EQ(flight.thrusterOn[id], 0) << "thruster " << id;
        EXPECT_EQ(ShownImage(Button(id), id), Shown::Released) << "button " << id;
    }
    EXPECT_EQ(GetCapture(), nullptr);
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
            EXPECT_EQ(flight.thrusterOn[ButtonToThruster(id)], 1)
                << "the flight starts with the thruster already firing";
            SendMouse(id, WM_LBUTTONUP, 10, 10);
        }
    }
}

} // namespace
