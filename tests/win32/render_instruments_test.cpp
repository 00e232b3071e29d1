// The instrument readout printed into a memory canvas with the system font: the nine-character
// numbers, where they land, how often they are refreshed, and the context left behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "game/state.h"
#include "game_fixture.h"
#include "game_window.h"
#include "render/craft.h"
#include "render/instruments.h"
#include "win32_test_util.h"

namespace {

constexpr int CANVAS_WIDTH = 1100; // room for the numbers right of a 1024-pixel screen's edge
constexpr int CANVAS_HEIGHT = 160;
constexpr DWORD GREY = 0x404040; // neither the text's white nor its background's black
constexpr DWORD WHITE = 0xFFFFFF;

struct Box {
    int left = -1; // -1: no pixel found
    int top = -1;
    int right = -1; // exclusive
    int bottom = -1;
};

// The smallest box around the pixels of rows [top, bottom) for which wanted(pixel) holds.
template <typename Wanted>
Box BoxOfPixels(const PixelCanvas& canvas, int top, int bottom, Wanted wanted) {
    Box box;
    for (int y = top; y < bottom; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            if (!wanted(canvas.At(x, y))) {
                continue;
            }
            if (box.left < 0) {
                box = {x, y, x + 1, y + 1};
            }
            box.left = x < box.left ? x : box.left;
            box.right = x + 1 > box.right ? x + 1 : box.right;
            box.top = y < box.top ? y : box.top;
            box.bottom = y + 1 > box.bottom ? y + 1 : box.bottom;
        }
    }
    return box;
}

Box BoxOfPixelsOtherThan(const PixelCanvas& canvas, DWORD colour, int top, int bottom) {
    return BoxOfPixels(canvas, top, bottom, [colour](DWORD pixel) { return pixel != colour; });
}

Box BoxOfWhitePixels(const PixelCanvas& canvas, int top, int bottom) {
    return BoxOfPixels(canvas, top, bottom, [](DWORD pixel) { return pixel == WHITE; });
}

bool AnyPixelOtherThan(const PixelCanvas& canvas, DWORD colour) {
    for (DWORD pixel : canvas.Snapshot()) {
        if (pixel != colour) {
            return true;
        }
    }
    return false;
}

class InstrumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        gdiObjectsAtStart = CountGdiObjects();
        ResetGameAndDrawing();
        oldFont = SelectObject(canvas.dc, GetStockObject(SYSTEM_FONT));
        oldExpectedFont = SelectObject(expected.dc, GetStockObject(SYSTEM_FONT));
        canvas.Clear(GREY);
        expected.Clear(GREY);
    }
    void TearDown() override {
        SelectObject(expected.dc, oldExpectedFont);
        SelectObject(canvas.dc, oldFont);
        EXPECT_EQ(CountGdiObjects(), gdiObjectsAtStart);
    }

    int LineStep() {
        TEXTMETRICA metrics = {};
        GetTextMetricsA(canvas.dc, &metrics);
        return metrics.tmHeight + metrics.tmExternalLeading;
    }
    int LineHeight() {
        TEXTMETRICA metrics = {};
        GetTextMetricsA(canvas.dc, &metrics);
        return metrics.tmHeight;
    }
    int TextWidth(const char* text) {
        SIZE size = {};
        GetTextExtentPoint32A(canvas.dc, text, static_cast<int>(std::strlen(text)), &size);
        return size.cx;
    }

    // The expected canvas with the four numbers printed as the panel should: white on opaque
    // black, top-left at (screenWidth - 75, 25 + k * step).
    void PrintExpectedNumbers(const char* const (&numbers)[INSTRUMENT_LINES]) {
        SetTextColor(expected.dc, RGB(255, 255, 255));
        SetBkColor(expected.dc, RGB(0, 0, 0));
        SetBkMode(expected.dc, OPAQUE);
        SetTextAlign(expected.dc, TA_LEFT | TA_TOP);
        for (int k = 0; k < INSTRUMENT_LINES; ++k) {
            TextOutA(expected.dc, screen.screenWidth - 75, 25 + k * LineStep(), numbers[k], 9);
        }
    }

    PixelCanvas canvas{CANVAS_WIDTH, CANVAS_HEIGHT};
    PixelCanvas expected{CANVAS_WIDTH, CANVAS_HEIGHT};
    HGDIOBJ oldFont = nullptr;
    HGDIOBJ oldExpectedFont = nullptr;
    int gdiObjectsAtStart = 0;
};

TEST_F(InstrumentTest, ValuesAreNineCharactersWide) {
    struct Case {
        float value;
        const char* text;
    };
    const Case cases[] = {
        {1000.0f, "1000.00  "}, {-3.5f, "  -3.50  "},    {0.0f, "   0.00  "},
        {-500.0f, "-500.00  "}, {-1234.5f, "-1234.50 "}, {123456.78f, "123456.78"},
        {12.345f, "  12.35  "}, {-0.004f, "  -0.00  "},  {99999.99f, "99999.99 "},
        {3.0e38f, "300000000"}, {-3.0e38f, "-30000000"}, {0.5f, "   0.50  "},
    };
    for (const Case& c : cases) {
        char text[INSTRUMENT_VALUE_CHARS + 1];
        std::memset(text, 'x', sizeof text);
        FormatInstrumentValue(c.value, text);
        EXPECT_STREQ(text, c.text) << c.value;
    }
}

TEST_F(InstrumentTest, NumbersStartAtTheirColumnOnFourLines) {
    flight.altitude = 1000.0f;
    flight.vx = -3.5f;
    flight.vy = -1234.5f;
    flight.fuel = 0.0f;
    const char* const numbers[INSTRUMENT_LINES] = {"1000.00  ", "  -3.50  ", "-1234.50 ",
                                                   "   0.00  "};

    DrawInstruments(canvas.dc, 1);

    PrintExpectedNumbers(numbers);
    EXPECT_EQ(CanvasDifference(canvas, expected), "");
    // The opaque cells of each line sit exactly at the line's place.
    const int step = LineStep();
    for (int k = 0; k < INSTRUMENT_LINES; ++k) {
        SCOPED_TRACE(k);
        const int top = 25 + k * step;
        const Box box = BoxOfPixelsOtherThan(canvas, GREY, top, top + step);
        EXPECT_EQ(box.left, 949);
        EXPECT_EQ(box.top, top);
        EXPECT_EQ(box.right, 949 + TextWidth(numbers[k]));
        EXPECT_EQ(box.bottom, top + LineHeight());
        // The glyphs begin just after the number's leading spaces.
        const std::string spaces(std::strspn(numbers[k], " "), ' ');
        const Box ink = BoxOfWhitePixels(canvas, top, top + step);
        EXPECT_GE(ink.left, 949 + TextWidth(spaces.c_str()));
        EXPECT_LE(ink.left, 949 + TextWidth(spaces.c_str()) + 3);
        EXPECT_GE(ink.top, top);
    }
    EXPECT_EQ(BoxOfPixelsOtherThan(canvas, GREY, 0, 25).left, -1);
    EXPECT_EQ(BoxOfPixelsOtherThan(canvas, GREY, 25 + 4 * step, CANVAS_HEIGHT).left, -1);
}

// At 96 dpi, Wine's system font has the metrics of Windows' own; at another dpi (144 gives 24 px)
// the rows move, and every picture of the panel with them.
TEST_F(InstrumentTest, SystemFontGivesTheUsualRows) {
    TEXTMETRICA metrics = {};
    GetTextMetricsA(canvas.dc, &metrics);
    ASSERT_EQ(metrics.tmHeight, 16);
    ASSERT_EQ(metrics.tmExternalLeading, 0);
    flight.altitude = 1.0f;
    DrawInstruments(canvas.dc, 1);
    const int tops[] = {25, 41, 57, 73};
    for (int top : tops) {
        const Box box = BoxOfPixelsOtherThan(canvas, GREY, top, top + 16);
        EXPECT_EQ(box.left, 949);
        EXPECT_EQ(box.top, top);
        EXPECT_EQ(box.bottom, top + 16);
    }
}

// Neither routine picks a font: a taller one in the context spaces the lines by its own height.
TEST_F(InstrumentTest, LinesFollowTheContextsFont) {
    HFONT tall =
        CreateFontA(-22, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH, "Tahoma");
    SelectObject(canvas.dc, tall);
    SelectObject(expected.dc, tall);
    screen.screenWidth = 640;
    flight.altitude = 250.25f;
    flight.vx = 7.0f;
    flight.vy = -12.0f;
    flight.fuel = 3000.0f;
    const char* const numbers[INSTRUMENT_LINES] = {" 250.25  ", "   7.00  ", " -12.00  ",
                                                   "3000.00  "};
    ASSERT_GT(LineStep(), 16);

    DrawInstruments(canvas.dc, 1);
    PrintExpectedNumbers(numbers);
    EXPECT_EQ(CanvasDifference(canvas, expected), "");
    for (int k = 0; k < INSTRUMENT_LINES; ++k) {
        const int top = 25 + k * LineStep();
        const Box box = BoxOfPixelsOtherThan(canvas, GREY, top, top + LineStep());
        EXPECT_EQ(box.left, 565) << k;
        EXPECT_EQ(box.top, top) << k;
    }

    canvas.Clear(GREY);
    DrawInstrumentLabels(canvas.dc);
    const Box firstLabel = BoxOfPixelsOtherThan(canvas, GREY, 25, 25 + LineStep());
    EXPECT_LE(firstLabel.right, 540);
    EXPECT_GE(firstLabel.right, 537);

    SelectObject(expected.dc, GetStockObject(SYSTEM_FONT));
    SelectObject(canvas.dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(tall);
}

TEST_F(InstrumentTest, TwelveUnforcedCallsDrawOnTheSixthAndTwelfth) {
    flight.altitude = 640.0f;
    DrawInstruments(canvas.dc, 1);
    ASSERT_EQ(instrumentRefreshCount, 0);
    std::vector<bool> drew;
    std::vector<int> counts;
    for (int call = 1; call <= 12; ++call) {
        canvas.Clear(GREY);
        DrawInstruments(canvas.dc, 0);
        drew.push_back(AnyPixelOtherThan(canvas, GREY));
        counts.push_back(instrumentRefreshCount);
    }
    const std::vector<bool> expectDrew = {false, false, false, false, false, true,
                                          false, false, false, false, false, true};
    const std::vector<int> expectCounts = {1, 2, 3, 4, 5, 0, 1, 2, 3, 4, 5, 0};
    EXPECT_EQ(drew, expectDrew);
    EXPECT_EQ(counts, expectCounts);
}

TEST_F(InstrumentTest, RefreshDependsOnCountAndForce) {
    struct Case {
        int16_t countBefore;
        int force;
        bool draws;
        int16_t countAfter;
    };
    const Case cases[] = {
        {0, 0, false, 1}, {4, 0, false, 5}, {5, 0, true, 0}, {7, 0, true, 0},
        {2, 1, true, 0},  {0, 1, true, 0},  {5, 1, true, 0}, {3, -1, true, 0},
    };
    flight.fuel = 812.5f;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.countBefore);
        SCOPED_TRACE(c.force);
        canvas.Clear(GREY);
        instrumentRefreshCount = c.countBefore;
        DrawInstruments(canvas.dc, c.force);
        EXPECT_EQ(AnyPixelOtherThan(canvas, GREY), c.draws);
        EXPECT_EQ(instrumentRefreshCount, c.countAfter);
    }
}

TEST_F(InstrumentTest, ContextIsGivenBackAsItWasButForTheAlignment) {
    struct Case {
        COLORREF text;
        COLORREF background;
        int mode;
        UINT align;
    };
    const Case cases[] = {
        {RGB(10, 20, 30), RGB(40, 50, 60), TRANSPARENT, TA_CENTER | TA_BASELINE},
        {RGB(255, 0, 0), RGB(0, 0, 255), OPAQUE, TA_RIGHT | TA_BOTTOM},
        {RGB(255, 255, 255), RGB(0, 0, 0), OPAQUE, TA_LEFT | TA_TOP},
    };
    flight.altitude = -500.0f;
    flight.vx = 1.0f;
    flight.vy = 2.0f;
    flight.fuel = 3.0f;
    const char* const numbers[INSTRUMENT_LINES] = {"-500.00  ", "   1.00  ", "   2.00  ",
                                                   "   3.00  "};
    PrintExpectedNumbers(numbers);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.align);
        canvas.Clear(GREY);
        SetTextColor(canvas.dc, c.text);
        SetBkColor(canvas.dc, c.background);
        SetBkMode(canvas.dc, c.mode);
        SetTextAlign(canvas.dc, c.align);

        DrawInstruments(canvas.dc, 1);

        EXPECT_EQ(CanvasDifference(canvas, expected), "");
        EXPECT_EQ(GetTextColor(canvas.dc), c.text);
        EXPECT_EQ(GetBkColor(canvas.dc), c.background);
        EXPECT_EQ(GetBkMode(canvas.dc), c.mode);
        EXPECT_EQ(GetTextAlign(canvas.dc), static_cast<UINT>(TA_LEFT | TA_TOP));
    }
}

TEST_F(InstrumentTest, SkippedCallLeavesTheContextAlone) {
    SetTextAlign(canvas.dc, TA_RIGHT | TA_BOTTOM);
    SetBkMode(canvas.dc, TRANSPARENT);
    DrawInstruments(canvas.dc, 0);
    EXPECT_EQ(GetTextAlign(canvas.dc), static_cast<UINT>(TA_RIGHT | TA_BOTTOM));
    EXPECT_EQ(GetBkMode(canvas.dc), TRANSPARENT);
    EXPECT_FALSE(AnyPixelOtherThan(canvas, GREY));
}

TEST_F(InstrumentTest, LabelsEndWhereTheNumbersLeaveRoom) {
    const char* const labels[INSTRUMENT_LINES] = {"Altitude", "Velocity X", "Velocity Y", "Fuel"};
    DrawInstrumentLabels(canvas.dc);

    SetTextColor(expected.dc, RGB(255, 255, 255));
    SetBkMode(expected.dc, TRANSPARENT);
    SetTextAlign(expected.dc, TA_RIGHT | TA_TOP);
    const int step = LineStep();
    for (int k = 0; k < INSTRUMENT_LINES; ++k) {
        TextOutA(expected.dc, 924, 25 + k * step, labels[k],
                 static_cast<int>(std::strlen(labels[k])));
    }
    EXPECT_EQ(CanvasDifference(canvas, expected), "");
    for (int k = 0; k < INSTRUMENT_LINES; ++k) {
        SCOPED_TRACE(labels[k]);
        const int top = 25 + k * step;
        // Transparent: only the glyphs change the grey, and they end at or just before 924.
        const Box ink = BoxOfWhitePixels(canvas, top, top + step);
        EXPECT_EQ(BoxOfPixelsOtherThan(canvas, GREY, top, top + step).left, ink.left);
        EXPECT_LE(ink.right, 924);
        EXPECT_GE(ink.right, 921);
        EXPECT_GE(ink.left, 924 - TextWidth(labels[k]));
        EXPECT_LE(ink.left, 924 - TextWidth(labels[k]) + 3);
        EXPECT_GE(ink.top, top);
        EXPECT_LE(ink.bottom, top + LineHeight());
    }
    EXPECT_EQ(GetTextAlign(canvas.dc), static_cast<UINT>(TA_RIGHT | TA_TOP));
    EXPECT_EQ(GetBkMode(canvas.dc), TRANSPARENT);
    EXPECT_EQ(GetTextColor(canvas.dc), RGB(255, 255, 255));
    EXPECT_EQ(GetBkColor(canvas.dc), RGB(0, 0, 0));
}

} // namespace
