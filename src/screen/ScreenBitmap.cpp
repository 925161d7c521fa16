#include "screen/ScreenBitmap.h"

#include "definition/TestModel.h"
#include "screen/TestFont.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cmath>

namespace qd {

namespace {

// Code page 1251 byte -> the character drawn for it, decoded once through
// the codec. Bytes that would not take a cell of their own on the grid are
// replaced: control bytes (a lone CR or LF among them) by a blank cell, the
// soft hyphen, which text layout would hide, by a hyphen.
const std::array<QChar, 256>& glyphTable()
{
    static const std::array<QChar, 256> table = [] {
        std::array<QChar, 256> t{};
        QStringDecoder decoder("windows-1251");
        for (int b = 0; b < 256; ++b) {
            const char c = char(b);
            const QString s = decoder.decode(QByteArrayView(&c, 1));
            QChar ch = s.size() == 1 ? s.at(0) : QChar(QChar::ReplacementCharacter);
            if (b < 0x20 || b == 0x7F) {
                ch = QLatin1Char(' ');
            } else if (ch == QChar(QChar::SoftHyphen)) {
                ch = QLatin1Char('-');
            }
            t[std::size_t(b)] = ch;
        }
        return t;
    }();
    return table;
}

// Every glyph the grid can show, for measuring how far the font's ink
// reaches.
QString codePageGlyphs()
{
    const auto& table = glyphTable();
    QString s;
    for (const QChar c : table) {
        if (c != QLatin1Char(' ')) {
            s.append(c);
        }
    }
    return s;
}

QString decodeLine(std::string_view bytes)
{
    const auto& table = glyphTable();
    QString s(qsizetype(bytes.size()), Qt::Uninitialized);
    QChar* out = s.data();
    for (const char c : bytes) {
        *out++ = table[static_cast<unsigned char>(c)];
    }
    return s;
}

} // namespace

ScreenBitmap::ScreenBitmap(int width, int height, double devicePixelRatio)
    : m_size(width > 0 ? width : 1, height > 0 ? height : 1),
      m_devicePixelRatio(devicePixelRatio > 0.0 ? devicePixelRatio : 1.0)
{
    setTestFont(16, false, 16);
    m_dirty = QRect();
}

// The picture and the font are made when first needed, not when the window
// is built: the title page shows sooner, and a screen several times the
// window's pixels is allocated only once a question is drawn.
QImage& ScreenBitmap::canvas() const
{
    if (m_image.isNull()) {
        const double dpr = m_devicePixelRatio;
        m_image = QImage(int(std::ceil(m_size.width() * dpr)),
                         int(std::ceil(m_size.height() * dpr)), QImage::Format_RGB32);
        m_image.setDevicePixelRatio(dpr);
        m_image.fill(Qt::black);
    }
    return m_image;
}

void ScreenBitmap::setTestFont(int fontSize, bool bold, int lineH)
{
    m_cellH = fontSize;
    m_bold = bold;
    m_lineH = lineH;
    m_fontReady = false;
}

void ScreenBitmap::prepareFont() const
{
    if (m_fontReady) {
        return;
    }
    m_fontReady = true;
    m_font = testFont(m_cellH, m_bold);
    // A glyph missing from the test font is drawn as the font's own empty
    // box, one cell wide, never borrowed from a font with another advance.
    m_font.setStyleStrategy(QFont::StyleStrategy(m_font.styleStrategy() | QFont::NoFontMerging));
    const QFontMetrics metrics(m_font);
    // Capitals with marks above (Й, Ї, Ґ, Ё, Ў) reach above the font's
    // ascent by a pixel or two: the baseline goes down by as much, so that
    // a line at the top edge of the screen keeps its marks.
    static const QString glyphs = codePageGlyphs();
    const int inkTop = metrics.ascent() + metrics.tightBoundingRect(glyphs).top();
    m_ascent = metrics.ascent() + std::max(0, -inkTop);
    if (m_devicePixelRatio != 1.0) {
        // On a scaled screen the glyphs come from the font at the device's
        // size, whose marks may reach a little higher.
        QFont device = m_font;
        device.setPixelSize(int(std::lround(m_font.pixelSize() * m_devicePixelRatio)));
        const double deviceTop =
            -QFontMetrics(device).tightBoundingRect(glyphs).top() / m_devicePixelRatio;
        m_ascent = std::max(m_ascent, int(std::ceil(deviceTop)));
    }
    m_charW = metrics.horizontalAdvance(QLatin1Char('0'));
}

int ScreenBitmap::charWidth() const
{
    prepareFont();
    return m_charW;
}

int ScreenBitmap::drawText(std::string_view text, uint32_t colour, int x, int y)
{
    const std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos) {
        text = text.substr(0, nul);
    }
    prepareFont();
    if (text.empty()) {
        return m_charW;
    }
    QPainter painter(&canvas());
    prepare(painter);
    painter.setFont(m_font);
    painter.setPen(drawn(colour));
    std::size_t pos = 0;
    for (;;) {
        const std::size_t crlf = text.find("\r\n", pos);
        const std::size_t end = crlf == std::string_view::npos ? text.size() : crlf;
        const std::string_view line = text.substr(pos, end - pos);
        if (!line.empty()) {
            painter.drawText(QPoint(x, y + m_ascent), decodeLine(line));
            // A cell's glyph may reach a little past it (bold, accents).
            markDirty(QRect(x - m_charW, y - 2, int(line.size() + 2) * m_charW, m_cellH + 4));
        }
        if (crlf == std::string_view::npos) {
            break;
        }
        pos = crlf + 2;
        y += m_lineH;
        x = 0;
    }
    return m_charW;
}

void ScreenBitmap::fillRect(uint32_t colour, int left, int top, int right, int bottom)
{
    if (right <= left || bottom <= top) {
        return;
    }
    const QRect r(QPoint(left, top), QPoint(right - 1, bottom - 1));
    QPainter painter(&canvas());
    prepare(painter);
    painter.fillRect(r, drawn(colour));
    markDirty(r);
}

void ScreenBitmap::copyImage(const QImage& picture, int left, int top)
{
    if (picture.isNull()) {
        return;
    }
    QPainter painter(&canvas());
    prepare(painter);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(left, top), picture);
    markDirty(QRect(QPoint(left, top), picture.size()));
}

QRect ScreenBitmap::takeDirty()
{
    const QRect r = m_dirty;
    m_dirty = QRect();
    return r;
}

void ScreenBitmap::markDirty(const QRect& r)
{
    if (m_scale != 1.0) {
        // In the picture's pixels, a pixel more each side for the rounding.
        const QRectF f(r.x() * m_scale, r.y() * m_scale, r.width() * m_scale, r.height() * m_scale);
        m_dirty |= f.toAlignedRect().adjusted(-1, -1, 1, 1).intersected(QRect(QPoint(), m_size));
        return;
    }
    m_dirty |= r.intersected(QRect(QPoint(), m_size));
}

void ScreenBitmap::setDisplay(double scale, bool highContrast)
{
    m_scale = scale > 0.0 ? scale : 1.0;
    m_highContrast = highContrast;
}

void ScreenBitmap::prepare(QPainter& painter) const
{
    if (m_scale != 1.0) {
        painter.scale(m_scale, m_scale);
    }
}

QColor ScreenBitmap::drawn(uint32_t packed) const
{
    return toColor(m_highContrast ? highContrastColour(packed) : packed);
}

uint32_t ScreenBitmap::highContrastColour(uint32_t packed)
{
    switch (packed) {
    case colour::silver:
    case colour::white:
        return colour::black;
    case colour::black:
        return 0x00FFFF; // yellow
    case colour::blue:
        return 0xFFFF00; // cyan
    case colour::red:
        return 0x00FF00; // bright green
    default:
        return packed;
    }
}

QColor ScreenBitmap::toColor(uint32_t packed)
{
    return QColor(int(packed & 0xFF), int((packed >> 8) & 0xFF), int((packed >> 16) & 0xFF));
}

} // namespace qd
