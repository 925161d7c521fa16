#include "screen/TestFont.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHash>
#include <QPair>

namespace qd {

namespace {

QFont baseFont(bool bold)
{
    QFont f;
    if (QFontDatabase::families().contains(QStringLiteral("Liberation Mono"))) {
        f.setFamily(QStringLiteral("Liberation Mono"));
    } else {
        f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    }
    f.setStyleHint(QFont::Monospace,
                   QFont::StyleStrategy(QFont::NoAntialias | QFont::NoSubpixelAntialias));
    f.setFixedPitch(true);
    f.setKerning(false);
    f.setHintingPreference(QFont::PreferFullHinting);
    f.setWeight(bold ? QFont::Bold : QFont::Normal);
    return f;
}

} // namespace

QFont testFont(int cellHeight, bool bold)
{
    // Font metrics are asked once per (height, weight): a test uses one.
    static QHash<QPair<int, bool>, int> pixelSizes;
    QFont f = baseFont(bold);
    const auto key = qMakePair(cellHeight, bold);
    auto it = pixelSizes.constFind(key);
    if (it == pixelSizes.constEnd()) {
        // The largest pixel size whose cell is no taller than asked.
        int best = 1;
        for (int px = cellHeight; px >= 1; --px) {
            f.setPixelSize(px);
            if (QFontMetrics(f).height() <= cellHeight) {
                best = px;
                break;
            }
        }
        it = pixelSizes.insert(key, best);
    }
    f.setPixelSize(*it);
    return f;
}

int testFontCharWidth(int cellHeight, bool bold)
{
    return QFontMetrics(testFont(cellHeight, bold)).horizontalAdvance(QLatin1Char('0'));
}

} // namespace qd
