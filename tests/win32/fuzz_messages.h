// Random window messages for the fuzz tests: a seeded generator, the messages the game handles
// drawn with the parameters that matter to it, and any other message number with random
// parameters, except the few that no sender may fill with random values (UnfuzzableReason).
#ifndef TAVUNE_TESTS_WIN32_FUZZ_MESSAGES_H
#define TAVUNE_TESTS_WIN32_FUZZ_MESSAGES_H

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// splitmix64: small, fast, and the same sequence wherever it runs.
struct FuzzRandom {
    uint64_t state;

    explicit FuzzRandom(uint64_t seed) : state(seed) {}
    uint64_t Next64();
    uint32_t Next() { return static_cast<uint32_t>(Next64() >> 32); }
    // 0 to count - 1.
    uint32_t Below(uint32_t count) { return Next() % count; }
    // low to high, both included.
    int Between(int low, int high) { return low + static_cast<int>(Below(high - low + 1)); }
    bool Percent(uint32_t percent) { return Below(100) < percent; }
};

// Hands out 0 to count - 1 in a shuffled order, reshuffled every round, so that each value comes
// up once a round whatever else is drawn.
struct FuzzCycle {
    std::vector<int> order;
    size_t next = 0;

    explicit FuzzCycle(int count);
    int Next(FuzzRandom& random);
};

struct FuzzMessage {
    HWND target;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool post;            // posted and left to the running message loop, else sent
    bool invalidateFirst; // a WM_PAINT that has something to paint
};

std::string DescribeMessage(const FuzzMessage& message);

// Why a message number is never given random parameters, or null when it may be. Message numbers
// above 0xFFFF are never drawn at all: the system reserves them (Wine's own window-manager
// messages live there).
const char* UnfuzzableReason(UINT message);

// Any message number that may carry random parameters, most of them from the system's range.
UINT RandomMessageNumber(FuzzRandom& random);

// A random wParam or lParam: edge values, small numbers, packed coordinates or any 32 bits.
LPARAM RandomParameter(FuzzRandom& random);

// Packs signed client coordinates as mouse messages carry them.
LPARAM PackPoint(int x, int y);

// The boxes the game opens, told apart by their controls.
enum BoxKind {
    BOX_ABOUT,
    BOX_OPTIONS,
    BOX_ENDGAME,
    BOX_OTHER, // none of ours: closed at once
    BOX_KIND_COUNT,
};
const char* BoxKindName(int kind);

// How often each kind of message is drawn while no box is open, in parts of the sum.
struct FuzzMix {
    int timer, keys, mainMouse, buttons, command, paint, scroll, sysCommand, random;
};

// What the generators may aim at.
struct FuzzTargets {
    HWND main;
    HWND buttons[3];
    RECT buttonRects[3]; // in the main window's client coordinates
    RECT client;         // the main window's client area
    HWND box;            // the innermost open box, or null
    int boxKind;
    std::vector<HWND> controls; // the box's controls
};

// What has been drawn so far, to show that every key, command and scroll code came up.
struct FuzzCoverage {
    bool keyDown[256] = {};
    bool keyUp[256] = {};
    bool command[11] = {};    // ids 0 to 10 sent to the main window
    bool boxScroll[11] = {};  // scroll codes 0 to 10 sent to the Options box
    bool boxCommand[11] = {}; // ids 0 to 10 sent to a box
};

// The generators' state: the random sequence and the rounds that guarantee coverage.
struct FuzzGenerator {
    FuzzRandom random;
    FuzzCycle keyDownCodes{256};
    FuzzCycle keyUpCodes{256};
    FuzzCycle commandIds{11};
    FuzzCycle boxCommandIds{11};
    FuzzCycle scrollCodes{11};
    FuzzCoverage coverage;

    explicit FuzzGenerator(uint64_t seed) : random(seed) {}
};

// One message for the main window or a thrust button, while no box is open.
FuzzMessage GameMessage(FuzzGenerator& generator, const FuzzMix& mix, const FuzzTargets& targets);

// One message for the open box, its controls, or (rarely) the windows behind it.
FuzzMessage BoxMessage(FuzzGenerator& generator, const FuzzTargets& targets);

#endif
