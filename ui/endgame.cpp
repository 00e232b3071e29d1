// The end-of-flight box: a picture on the left, a large title and a smaller message on the right,
// all chosen by flight.outcome. It owns its two pictures and two fonts for as long as it is open.
#include "ui/dialogs.h"

#include "game/random.h"
#include "game/state.h"
#include "render/bitmap.h"
#include "resource.h"

struct OutcomeText {
    const char* title;
    const char* message; // null: a crash remark drawn at random
};

// Indexed by Outcome. Entry 0 stands for an outcome the box does not know; flight.outcome is
// only 0 before a flight has ended.
static const OutcomeText OUTCOME_TEXTS[] = {
    {"Flight over", "The flight has ended."},
    {"Congratulations!", "You have landed safely."},
    {"CRASH!", nullptr},
    {"CRASH!", "Too much horizontal velocity. Your horizontal motion must be less than 1 m/sec."},
    {"CRASH!", "Missed the landing site. You must land on flat terrain."},
    {"Tavune Lost!", "You are out of range of the command module and presumed lost."},
};
static const int OUTCOME_TEXT_COUNT = sizeof OUTCOME_TEXTS / sizeof OUTCOME_TEXTS[0];

static const char* const CRASH_REMARKS[] = {
    "Too much vertical velocity. Your landing speed must be under 10 m/sec.",
    "Nice crater! All that training really payed off.",
    "You just dug a hole half way to Clavius.",
};
static const int CRASH_REMARK_COUNT = sizeof CRASH_REMARKS / sizeof CRASH_REMARKS[0];

// Where the picture goes, in client pixels (not dialog units).
static const int16_t PICTURE_LEFT = 20;
static const int16_t PICTURE_TOP = 20;

// One box is open at a time, so its handles live here from WM_INITDIALOG to WM_DESTROY.
static HWND titleControl;
static HWND messageControl;
static HBITMAP landedBitmap;
static HBITMAP crashBitmap;
static HFONT titleFont;
static HFONT messageFont;

static HFONT CreateBoxFont(int height) {
    return CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY,
                       VARIABLE_PITCH | FF_DONTCARE, "Helv");
}

static void SetOutcomeTexts() {
    const int outcome = flight.outcome < OUTCOME_TEXT_COUNT ? flight.outcome : 0;
    const OutcomeText& text = OUTCOME_TEXTS[outcome];
    SendMessageA(titleControl, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.title));
    // The title goes first, then the one draw from the shared sequence.
    const char* message = text.message;
    if (message == nullptr) {
        message = CRASH_REMARKS[NextRandom() % CRASH_REMARK_COUNT];
    }
    SendMessageA(messageControl, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(message));
}

static BOOL InitEndGame(HWND dialog) {
    titleControl = GetDlgItem(dialog, IDC_ENDGAME_TITLE);
    messageControl = GetDlgItem(dialog, IDC_ENDGAME_MESSAGE);
    SetOutcomeTexts();
    // The box's own module is the one whose template it was made from.
    const HINSTANCE instance =
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
    landedBitmap = LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_LANDED_SCENE));
    crashBitmap = LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_CRASH_SCENE));
    RECT client;
    GetClientRect(dialog, &client);
    const int height = client.bottom - client.top;
    titleFont = CreateBoxFont(height / 7);
    SendMessageA(titleControl, WM_SETFONT, reinterpret_cast<WPARAM>(titleFont), 0);
    messageFont = CreateBoxFont(height / 10);
    SendMessageA(messageControl, WM_SETFONT, reinterpret_cast<WPARAM>(messageFont), 0);
    return TRUE;
}

static void PaintPicture(HWND dialog) {
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(dialog, &paint);
    const HBITMAP picture = flight.outcome == OUTCOME_LANDED ? landedBitmap : crashBitmap;
    if (picture != nullptr) {
        DrawBitmapAt(dc, PICTURE_LEFT, PICTURE_TOP, picture);
    }
    EndPaint(dialog, &paint);
}

static void ReleaseEndGameObjects() {
    DeleteObject(landedBitmap);
    DeleteObject(crashBitmap);
    DeleteObject(titleFont);
    DeleteObject(messageFont);
    landedBitmap = nullptr;
    crashBitmap = nullptr;
    titleFont = nullptr;
    messageFont = nullptr;
}

INT_PTR CALLBACK EndGameDlgProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return InitEndGame(dialog);
        case WM_PAINT:
            PaintPicture(dialog);
            return FALSE;
        case WM_COMMAND: // OK, Enter, Escape and the close box alike
            EndDialog(dialog, 1);
            return TRUE;
        case WM_DESTROY:
            ReleaseEndGameObjects();
            return FALSE;
        default:
            return FALSE;
    }
}

int ShowEndGameDialog(HWND owner) {
    const HINSTANCE instance =
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE));
    return static_cast<int>(DialogBoxParamA(instance, "TAVUNE_EndGame", owner, EndGameDlgProc, 0));
}
