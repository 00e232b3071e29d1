// A real top-level window with the three real thrust buttons in it, and the helpers that drive
// them with real messages and read back what each button shows on the screen.
#ifndef TAVUNE_TESTS_WIN32_THRUST_FIXTURE_H
#define TAVUNE_TESTS_WIN32_THRUST_FIXTURE_H

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>

// The button class is registered once per process; this is what that first registration gave.
int RegisterThrustClassOnce();

// A visible black popup covering the top of the desktop, clipping its children as the main
// window does, so that nothing else draws over the buttons.
HWND CreateTestParent();

// Mouse coordinates as the platform packs them: two signed 16-bit values.
LPARAM PointerAt(int x, int y);

// What a button has on the screen right now.
enum class Shown { Released, Pressed, Scribble, Other };
const char* ShownName(Shown shown);
Shown ShownImage(HWND button, int id);

// Paints over the button, so a test can tell whether a message drew it again.
void Scribble(HWND button);

// The four states a button can be in, made of its tracking flag and its thruster's flag.
enum class ButtonState { Idle, KeyHeld, MouseIn, MouseOut };
const char* StateName(ButtonState state);

class ThrustButtonsTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    HWND Button(int id) const;
    // Posts a mouse message to the button and handles the queue, as the platform delivers it.
    void SendMouse(int id, UINT message, int x, int y);
    // Sends a private message, as the main window and the game tick do.
    void SendPrivate(int id, UINT message);
    void PutInState(int id, ButtonState state);
    void ExpectState(int id, ButtonState state);

    HWND parent = nullptr;
};

#endif
