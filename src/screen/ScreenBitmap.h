#pragma once

#include <QFont>
#include <QImage>
#include <QRect>

#include <cstdint>
#include <string_view>

namespace qd {

// The off-screen picture of the question screen, as large as the
// window. Everything the question screen shows apart from the window's own
// controls is drawn here and copied to the window by its paint handler.
// Colours are packed 0x00BBGGRR.
//
// Every position is in the window's own (logical) pixels, which the layout,
// the hit test and the session use; on a scaled screen (a device pixel
// ratio above 1) the picture holds that many device pixels per logical
// one, and text is drawn at the device's resolution, not blown up.
class ScreenBitmap
{
public:
    ScreenBitmap(int width, int height, double devicePixelRatio = 1.0);

    // The test font and the line step. Until this is called texts are drawn
    // in a 16-pixel cell with a 16-pixel line step.
    void setTestFont(int fontSize, bool bold, int lineH);

    // Draws a code page 1251 text whose lines are separated by CR LF; (x, y)
    // is the top-left corner of the first line's first character cell.
    // Every later line starts at x = 0, lineHeight further down. A CR or LF that
    // is not part of a pair takes one cell like any other byte. Only glyph
    // pixels are painted; the text ends at its first NUL byte. Returns
    // charWidth.
    int drawText(std::string_view text, uint32_t colour, int x, int y);

    // Fills left <= x < right, top <= y < bottom.
    void fillRect(uint32_t colour, int left, int top, int right, int bottom);

    // Copies an image unchanged to (left, top); what falls outside is cut.
    void copyImage(const QImage& picture, int left, int top);

    // A student's larger text and stronger contrast. Every position stays
    // in the test's own pixels (the layout, the hit test and the session
    // never know): the picture is drawn `scale` times larger, so a point
    // of the window is (x / scale, y / scale) of the question screen. With
    // `highContrast` the screen's colours are drawn in the high-contrast
    // scheme (highContrastColour).
    void setDisplay(double scale, bool highContrast);
    double scale() const { return m_scale; }
    bool highContrast() const { return m_highContrast; }
    // The high-contrast scheme: black ground (the grey screen and the white
    // answer area), the question text and the option under the pointer or
    // the keyboard's focus in cyan, options at rest in yellow, chosen ones
    // (and the target bar of a move) in bright green.
    static uint32_t highContrastColour(uint32_t packed);

    int charWidth() const;
    int lineHeight() const { return m_lineH; }
    // In device pixels, with its device pixel ratio set.
    const QImage& image() const { return canvas(); }
    // In logical pixels.
    QSize size() const { return m_size; }
    double devicePixelRatio() const { return m_devicePixelRatio; }

    // The area changed since the last call (empty when nothing was drawn),
    // so that a repaint can copy only what changed.
    QRect takeDirty();

    static QColor toColor(uint32_t packed);

private:
    QImage& canvas() const;
    void prepareFont() const;
    void markDirty(const QRect& r);
    void prepare(QPainter& painter) const;
    QColor drawn(uint32_t packed) const;

    mutable QImage m_image;
    QSize m_size;
    double m_devicePixelRatio = 1.0;
    mutable QFont m_font;
    mutable bool m_fontReady = false;
    mutable int m_ascent = 0;
    mutable int m_charW = 0;
    int m_cellH = 16;
    bool m_bold = false;
    int m_lineH = 16;
    QRect m_dirty;
    double m_scale = 1.0;
    bool m_highContrast = false;
};

} // namespace qd
