#include "screen/ScreenBitmap.h"

#include "definition/Cp1251.h"
#include "definition/TestModel.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using qd::ScreenBitmap;
namespace colour = qd::colour;

constexpr int kFont = 16;
constexpr int kLineH = 22;

ScreenBitmap whiteBitmap(int fontSize = kFont, bool bold = false)
{
    ScreenBitmap b(320, 120);
    b.setTestFont(fontSize, bold, kLineH);
    b.fillRect(colour::white, 0, 0, 320, 120);
    return b;
}

std::string cp(const char* utf8)
{
    return qd::toCp1251(utf8);
}

int countPixels(const QImage& image, QRgb rgb)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += image.pixel(x, y) == rgb;
        }
    }
    return n;
}

TEST(ScreenBitmap, LinesBreakOnlyAtCrLfAndLaterLinesStartAtTheLeftEdge)
{
    struct Case
    {
        const char* text;
        int x, y;
        // The same picture drawn line by line: text, x, y.
        std::vector<std::tuple<const char*, int, int>> lines;
    } cases[] = {
        {"ab\r\ncd", 40, 10, {{"ab", 40, 10}, {"cd", 0, 10 + kLineH}}},
        {"ab\r\n", 40, 10, {{"ab", 40, 10}}},
        {"ab\r\n\r\ncd", 40, 10, {{"ab", 40, 10}, {"cd", 0, 10 + 2 * kLineH}}},
        // A lone LF or CR is one cell on the grid, not a line break.
        {"a\nb", 40, 10, {{"a b", 40, 10}}},
        {"a\rb\n\rc", 8, 4, {{"a b  c", 8, 4}}},
        {"\r\nab", 40, 10, {{"ab", 0, 10 + kLineH}}},
    };
    for (const auto& c : cases) {
        ScreenBitmap drawn = whiteBitmap();
        drawn.drawText(c.text, colour::black, c.x, c.y);
        ScreenBitmap expected = whiteBitmap();
        for (const auto& [text, x, y] : c.lines) {
            expected.drawText(text, colour::black, x, y);
        }
        EXPECT_EQ(drawn.image(), expected.image()) << c.text;
        EXPECT_LT(countPixels(drawn.image(), qRgb(255, 255, 255)), 320 * 120) << c.text;
    }
}

TEST(ScreenBitmap, EmptyTextDrawsNothingAndStillGivesCharWidth)
{
    for (const std::string& text : {std::string(), std::string("\0ab", 3)}) {
        ScreenBitmap b = whiteBitmap();
        b.takeDirty();
        EXPECT_EQ(b.drawText(text, colour::black, 5, 5), b.charWidth());
        EXPECT_GT(b.charWidth(), 0);
        EXPECT_EQ(countPixels(b.image(), qRgb(255, 255, 255)), 320 * 120);
        EXPECT_TRUE(b.takeDirty().isEmpty());
    }
}

TEST(ScreenBitmap, TextSitsInItsCellAndPaintsOnlyGlyphPixels)
{
    // Over a background of two colours: every pixel is either untouched or
    // exactly the text colour, and all of them lie in the text's cells.
    ScreenBitmap b(320, 120);
    b.setTestFont(kFont, false, kLineH);
    b.fillRect(colour::silver, 0, 0, 160, 120);
    b.fillRect(colour::white, 160, 0, 320, 120);
    const std::string text = cp("ЖжЁёЇїІіЄєҐґ Wm_|");
    const int x = 70, y = 30;
    b.drawText(text, colour::red, x, y);
    const int cw = b.charWidth();
    int glyph = 0;
    for (int py = 0; py < 120; ++py) {
        for (int px = 0; px < 320; ++px) {
            const QRgb p = b.image().pixel(px, py);
            const QRgb back = px < 160 ? qRgb(192, 192, 192) : qRgb(255, 255, 255);
            if (p == back) {
                continue;
            }
            ASSERT_EQ(p, qRgb(255, 0, 0)) << px << "," << py;
            EXPECT_GE(px, x);
            EXPECT_LT(px, x + int(text.size()) * cw);
            EXPECT_GE(py, y);
            EXPECT_LT(py, y + kFont);
            ++glyph;
        }
    }
    EXPECT_GT(glyph, 100);
}

// The marks above Й, Ї, Ґ, Ё and Ў reach above the font's ascent: at every
// size of a test's font the ink still starts inside the text's cell, so a
// line at the screen's top edge keeps them.
TEST(ScreenBitmap, MarksAboveCapitalsStayInsideTheCell)
{
    const std::string text = cp("ЙЇҐЁЎЃЌ йїґёўщу");
    for (int size = 6; size <= 28; ++size) {
        for (bool bold : {false, true}) {
            ScreenBitmap b = whiteBitmap(size, bold);
            b.drawText(text, colour::black, 4, 40);
            int top = 120;
            for (int py = 0; py < 120 && top == 120; ++py) {
                for (int px = 0; px < 320; ++px) {
                    if (b.image().pixel(px, py) == qRgb(0, 0, 0)) {
                        top = py;
                        break;
                    }
                }
            }
            EXPECT_GE(top, 40) << size << bold;
            EXPECT_LE(top, 41 + size / 4) << size << bold; // still at the cell's top
        }
    }
}

TEST(ScreenBitmap, RedrawInAnotherColourCoversTheTextExactly)
{
    const std::string text = cp("<Південний Буг> <Київ>\r\n  <Дніпро>");
    for (int size : {10, 16, 28}) {
        for (bool bold : {false, true}) {
            ScreenBitmap b = whiteBitmap(size, bold);
            b.drawText(text, colour::black, 12, 8);
            const int black = countPixels(b.image(), qRgb(0, 0, 0));
            b.drawText(text, colour::blue, 12, 8);
            EXPECT_EQ(countPixels(b.image(), qRgb(0, 0, 0)), 0) << size << bold;
            EXPECT_EQ(countPixels(b.image(), qRgb(0, 0, 255)), black) << size << bold;
            b.drawText(text, colour::black, 12, 8);
            ScreenBitmap once = whiteBitmap(size, bold);
            once.drawText(text, colour::black, 12, 8);
            EXPECT_EQ(b.image(), once.image()) << size << bold;
        }
    }
}

TEST(ScreenBitmap, EveryByteTakesOneCellOfTheGrid)
{
    // A byte followed by "I": the "I" lands where it does after a blank.
    ScreenBitmap reference = whiteBitmap();
    reference.drawText(" I", colour::black, 0, 0);
    const int cw = reference.charWidth();
    const QImage cell = reference.image().copy(cw + 1, 0, cw - 2, kFont);
    for (int byte = 1; byte < 256; ++byte) {
        const std::string text{char(byte), 'I'};
        ScreenBitmap b = whiteBitmap();
        b.drawText(text, colour::black, 0, 0);
        EXPECT_EQ(b.image().copy(cw + 1, 0, cw - 2, kFont), cell) << "byte " << byte;
    }
}

TEST(ScreenBitmap, DispRectFillsLeftAndTopEdgesOnly)
{
    ScreenBitmap b = whiteBitmap();
    b.fillRect(colour::red, 3, 4, 10, 8);
    const QImage& img = b.image();
    const QRgb red = qRgb(255, 0, 0);
    EXPECT_EQ(img.pixel(3, 4), red);
    EXPECT_EQ(img.pixel(9, 7), red);
    EXPECT_NE(img.pixel(10, 7), red);
    EXPECT_NE(img.pixel(9, 8), red);
    EXPECT_NE(img.pixel(2, 4), red);
    EXPECT_NE(img.pixel(3, 3), red);
    EXPECT_EQ(countPixels(img, red), 7 * 4);

    // Empty and inverted rectangles change nothing; the edges of the
    // bitmap cut the rest.
    for (auto [l, t, r, bo] : {std::tuple{5, 5, 5, 9}, {5, 5, 9, 5}, {9, 5, 5, 9}, {5, 9, 9, 5}}) {
        ScreenBitmap e = whiteBitmap();
        e.fillRect(colour::blue, l, t, r, bo);
        EXPECT_EQ(countPixels(e.image(), qRgb(0, 0, 255)), 0);
    }
    ScreenBitmap cut = whiteBitmap();
    cut.fillRect(colour::blue, -5, -5, 2, 3);
    EXPECT_EQ(countPixels(cut.image(), qRgb(0, 0, 255)), 2 * 3);
}

TEST(ScreenBitmap, PackedColoursAreBlueGreenRed)
{
    EXPECT_EQ(ScreenBitmap::toColor(colour::blue), QColor(0, 0, 255));
    EXPECT_EQ(ScreenBitmap::toColor(colour::red), QColor(255, 0, 0));
    EXPECT_EQ(ScreenBitmap::toColor(colour::silver), QColor(192, 192, 192));
    EXPECT_EQ(ScreenBitmap::toColor(0x123456), QColor(0x56, 0x34, 0x12));
}

TEST(ScreenBitmap, DirtyAreaCoversWhatWasDrawn)
{
    ScreenBitmap b = whiteBitmap();
    b.takeDirty();
    b.fillRect(colour::red, 10, 10, 20, 20);
    b.drawText("ab", colour::black, 100, 50);
    const QRect dirty = b.takeDirty();
    EXPECT_TRUE(dirty.contains(QRect(10, 10, 10, 10)));
    EXPECT_TRUE(dirty.contains(QRect(100, 50, 2 * b.charWidth(), kFont)));
    EXPECT_TRUE(b.takeDirty().isEmpty());
}

} // namespace
