#pragma once

#include <QFont>

namespace qd {

// The test font: Liberation Mono (any monospaced Cyrillic font if it is
// missing, never a proportional one), bold when asked, at the pixel size
// whose cell height (ascent + descent) is `cellHeight` pixels, drawn without
// anti-aliasing so that redrawing a text in another colour covers it
// exactly. Needs a QGuiApplication.
QFont testFont(int cellHeight, bool bold);

// The font's character advance in pixels (charWidth).
int testFontCharWidth(int cellHeight, bool bold);

} // namespace qd
