#include "render/instruments.h"

#include <cstdio>
#include <cstring>

#include "game/state.h"

int16_t instrumentRefreshCount = 0;

namespace {

constexpr int16_t SKIPS_BETWEEN_REFRESHES = 5; // so every sixth unforced call refreshes
constexpr int VALUE_INDENT = 75;               // numbers start this far left of the right edge
constexpr int LABEL_INDENT = 100;              // labels end this far left of it
constexpr COLORREF TEXT_WHITE = RGB(255, 255, 255);
constexpr COLORREF BACKGROUND_BLACK = RGB(0, 0, 0);

const char* const LABELS[INSTRUMENT_LINES] = {"Altitude", "Velocity X", "Velocity Y", "Fuel"};

int LineStep(HDC dc) {
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    return metrics.tmHeight + metrics.tmExternalLeading;
}

} // namespace

void FormatInstrumentValue(float value, char text[INSTRUMENT_VALUE_CHARS + 1]) {
    // Wide enough for any float in this format (at most 39 digits, sign, point, two decimals).
    char formatted[80];
    std::snprintf(formatted, sizeof formatted, "%7.2f  ", static_cast<double>(value));
    // The format is never shorter than nine characters: seven wide, then two spaces.
    std::memcpy(text, formatted, INSTRUMENT_VALUE_CHARS);
    text[INSTRUMENT_VALUE_CHARS] = '\0';
}

void DrawInstruments(HDC dc, int force) {
    if (instrumentRefreshCount < SKIPS_BETWEEN_REFRESHES && force == 0) {
        ++instrumentRefreshCount;
        return;
    }
    const int step = LineStep(dc);
    const COLORREF oldTextColour = SetTextColor(dc, TEXT_WHITE);
    const COLORREF oldBackgroundColour = SetBkColor(dc, BACKGROUND_BLACK);
    // Opaque, so the black cells of the new number cover the old one.
    const int oldBackgroundMode = SetBkMode(dc, OPAQUE);
    SetTextAlign(dc, TA_LEFT | TA_TOP);

    const float values[INSTRUMENT_LINES] = {flight.altitude, flight.vx, flight.vy, flight.fuel};
    const int16_t x = static_cast<int16_t>(screen.screenWidth - VALUE_INDENT);
    for (int k = 0; k < INSTRUMENT_LINES; ++k) {
        char text[INSTRUMENT_VALUE_CHARS + 1];
        FormatInstrumentValue(values[k], text);
        TextOutA(dc, x, INSTRUMENT_TOP + k * step, text, INSTRUMENT_VALUE_CHARS);
    }

    SetBkMode(dc, oldBackgroundMode);
    SetBkColor(dc, oldBackgroundColour);
    SetTextColor(dc, oldTextColour);
    instrumentRefreshCount = 0;
}

void DrawInstrumentLabels(HDC dc) {
    const int step = LineStep(dc);
    SetTextColor(dc, TEXT_WHITE);
    SetBkColor(dc, BACKGROUND_BLACK);
    SetBkMode(dc, TRANSPARENT);
    SetTextAlign(dc, TA_RIGHT | TA_TOP);
    const int16_t x = static_cast<int16_t>(screen.screenWidth - LABEL_INDENT);
    for (int k = 0; k < INSTRUMENT_LINES; ++k) {
        TextOutA(dc, x, INSTRUMENT_TOP + k * step, LABELS[k],
                 static_cast<int>(std::strlen(LABELS[k])));
    }
}
