// The instrument readout printed into a memory canvas: the nine-character numbers and the labels,
// read back from the canvas's pixels, the lines and columns they land on, how often they are
// refreshed, and the context left behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "game/state.h"
#include "game_window.h"
#include "render/instruments.h"
#include "win32_test_util.h"

namespace {

constexpr DWORD GREY = 0x404040; // neither the text's white nor its background's black
constexpr DWORD WHITE = 0xFFFFFF;
const char VALUE_CHARACTERS[] = "0123456789.- ";
const char LABEL_CHARACTERS[] = "AVFXYacdeilotuy ";
const char* const LABELS[INSTRUMENT_LINES] = {"Altitude", "Velocity X", "Velocity Y", "Fuel"};

bool AnyPixelOtherThan(const PixelCanvas& canvas, DWORD colour) {
    const std::vector<DWORD> pixels = canvas.Snapshot();
    return std::any_of(pixels.begin(), pixels.end(), [colour](DWORD p) { return p != colour; });
}

class InstrumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        gdiObjectsAtStart = CountGdiObjects();
        ResetGameAndDrawing();
        SelectObject(canvas.dc, GetStockObject(SYSTEM_FONT));
        canvas.Clear(GREY);
    }
    void TearDown() override { EXPECT_EQ(CountGdiObjects(), gdiObjectsAtStart); }

    int LineStep() {
        TEXTMETRICA metrics = {};
        GetTextMetricsA(canvas.dc, &metrics);
        return metrics.tmHeight + metrics.tmExternalLeading;
    }

    // The four lines read back white on black from the column x (the labels, transparent, ending
    // at x), one line step apart from the top row, and nothing else on the canvas: what is read
    // is painted over with grey.
    void ExpectLines(int x, const char* const (&lines)[INSTRUMENT_LINES], bool labels = false) {
        const HBRUSH grey = CreateSolidBrush(GREY);
        for (int k = 0; k < INSTRUMENT_LINES; ++k) {
            SIZE size = {};
            GetTextExtentPoint32A(canvas.dc, lines[k], static_cast<int>(std::strlen(lines[k])),
                                  &size);
            EXPECT_EQ(ReadText(canvas.dc, labels ? x - size.cx : x, 25 + k * LineStep(),
                               canvas.width, canvas.height,
                               labels ? LABEL_CHARACTERS : VALUE_CHARACTERS, labels ? GREY : 0,
                               std::strlen(lines[k]), grey),
                      lines[k])
                << "line " << k;
        }
        DeleteObject(grey);
        EXPECT_FALSE(AnyPixelOtherThan(canvas, GREY)) << "something besides the four lines";
    }

    // Canvas room for the numbers right of a 1024-pixel screen's edge.
    PixelCanvas canvas{1100, 160};
    int gdiObjectsAtStart = 0;
};

// At 96 dpi, Wine's system font has the metrics of Windows' own, 16 rows a line; at another dpi
// (144 gives 24 px) the rows move, and every picture of the panel with them. Neither routine picks
// a font: the last case's taller one spaces the lines by its own height. Whatever colours, mode
// and alignment the context holds, the numbers come out nine characters wide (the last digits
// cut off) 75 pixels left of the screen's edge, and the context is given back but for its
// alignment; the labels end 100 pixels left of the edge and leave the context set for them.
TEST_F(InstrumentTest, TheFourValuesAndLabelsReadBackOnTheirLines) {
    ASSERT_EQ(LineStep(), 16);
    HFONT tall =
        CreateFontA(-22, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH, "Tahoma");
    const struct {
        float values[INSTRUMENT_LINES];
        const char* numbers[INSTRUMENT_LINES];
        struct {
            COLORREF text, background;
            int mode;
            UINT align;
        } context;
        HFONT font = nullptr; // the system font on a 1024-pixel screen, else a 640-pixel one
    } cases[] = {
        {{1000.0f, -3.5f, -1234.5f, 0.0f},
         {"1000.00  ", "  -3.50  ", "-1234.50 ", "   0.00  "},
         {RGB(10, 20, 30), RGB(40, 50, 60), TRANSPARENT, TA_CENTER | TA_BASELINE}},
        {{123456.78f, 12.345f, -0.004f, 99999.99f},
         {"123456.78", "  12.35  ", "  -0.00  ", "99999.99 "},
         {RGB(255, 0, 0), RGB(0, 0, 255), OPAQUE, TA_RIGHT | TA_BOTTOM}},
        {{3.0e38f, -3.0e38f, 0.5f, -500.0f},
         {"300000000", "-30000000", "   0.50  ", "-500.00  "},
         {RGB(255, 255, 255), RGB(0, 0, 0), OPAQUE, TA_LEFT | TA_TOP}},
        {{1.0f, 20.25f, 812.5f, 1000.0f},
         {"   1.00  ", "  20.25  ", " 812.50  ", "1000.00  "},
         {RGB(0, 0, 0), RGB(255, 255, 255), TRANSPARENT, TA_LEFT | TA_TOP}},
        {{250.25f, 7.0f, -12.0f, 3000.0f},
         {" 250.25  ", "   7.00  ", " -12.00  ", "3000.00  "},
         {RGB(0, 0, 0), RGB(0, 0, 0), OPAQUE, TA_LEFT | TA_TOP},
         tall},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.numbers[0]);
        canvas.Clear(GREY);
        SelectObject(canvas.dc, c.font != nullptr ? c.font : GetStockObject(SYSTEM_FONT));
        screen.screenWidth = c.font != nullptr ? 640 : 1024;
        flight.altitude = c.values[0];
        flight.vx = c.values[1];
        flight.vy = c.values[2];
        flight.fuel = c.values[3];
        SetTextColor(canvas.dc, c.context.text);
        SetBkColor(canvas.dc, c.context.background);
        SetBkMode(canvas.dc, c.context.mode);
        SetTextAlign(canvas.dc, c.context.align);
        DrawInstruments(canvas.dc, 1);
        ExpectLines(screen.screenWidth - 75, c.numbers);
        EXPECT_EQ(GetTextColor(canvas.dc), c.context.text);
        EXPECT_EQ(GetBkColor(canvas.dc), c.context.background);
        EXPECT_EQ(GetBkMode(canvas.dc), c.context.mode);
        EXPECT_EQ(GetTextAlign(canvas.dc), static_cast<UINT>(TA_LEFT | TA_TOP));
        DrawInstrumentLabels(canvas.dc);
        ExpectLines(screen.screenWidth - 100, LABELS, true);
        EXPECT_EQ(GetTextAlign(canvas.dc), static_cast<UINT>(TA_RIGHT | TA_TOP));
        EXPECT_EQ(GetBkMode(canvas.dc), TRANSPARENT);
        EXPECT_EQ(GetTextColor(canvas.dc), RGB(255, 255, 255));
        EXPECT_EQ(GetBkColor(canvas.dc), RGB(0, 0, 0));
    }
    SelectObject(canvas.dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(tall);
}

TEST_F(InstrumentTest, RefreshDependsOnCountAndForce) {
    const struct {
        int countBefore, force;
        bool draws;
        int countAfter;
    } cases[] = {
        {0, 0, false, 1}, {1, 0, false, 2}, {2, 0, false, 3}, {3, 0, false, 4},
        {4, 0, false, 5}, {5, 0, true, 0},  {7, 0, true, 0},  {2, 1, true, 0},
        {0, 1, true, 0},  {5, 1, true, 0},  {3, -1, true, 0},
    };
    flight.fuel = 812.5f;
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.countBefore << " forced " << c.force);
        canvas.Clear(GREY);
        instrumentRefreshCount = c.countBefore;
        SetTextAlign(canvas.dc, TA_RIGHT | TA_BOTTOM);
        SetBkMode(canvas.dc, TRANSPARENT);
        DrawInstruments(canvas.dc, c.force);
        EXPECT_EQ(AnyPixelOtherThan(canvas, GREY), c.draws);
        EXPECT_EQ(instrumentRefreshCount, c.countAfter);
        // A skipped call leaves the context alone; a drawing one resets only the alignment.
        EXPECT_EQ(GetTextAlign(canvas.dc),
                  static_cast<UINT>(c.draws ? TA_LEFT | TA_TOP : TA_RIGHT | TA_BOTTOM));
        EXPECT_EQ(GetBkMode(canvas.dc), TRANSPARENT);
    }
}

} // namespace
