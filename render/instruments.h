// The four-line readout in the top-right corner: altitude, both velocities and fuel. Values are
// refreshed on every sixth unforced call; callers force a refresh when the last values of a
// flight must be on the screen. Both routines use whatever font the context holds.
#ifndef TAVUNE_RENDER_INSTRUMENTS_H
#define TAVUNE_RENDER_INSTRUMENTS_H

#include <windows.h>

#include <cstdint>

// Unforced calls skipped since the last refresh; process-wide, 0 at start.
extern int16_t instrumentRefreshCount;

constexpr int INSTRUMENT_LINES = 4;
constexpr int INSTRUMENT_TOP = 25;
constexpr int INSTRUMENT_VALUE_CHARS = 9;

void DrawInstruments(HDC dc, int force);
void DrawInstrumentLabels(HDC dc);

// The nine characters drawn for a value ("%7.2f  " cut to nine), for tests and the painter alike.
void FormatInstrumentValue(float value, char text[INSTRUMENT_VALUE_CHARS + 1]);

#endif
