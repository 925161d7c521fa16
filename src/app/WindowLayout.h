#pragma once

// What the files of the main window share: the reference size its layout
// tables are written for, the panels' heights, its colours and fonts, and
// the small steps that place a control. MainWindow.cpp runs the window,
// MainWindowControls.cpp makes its controls, MainWindowFit.cpp fits them to
// the screen, to larger text and to high contrast.

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QString>
#include <QWidget>

namespace qd::windowLayout {

// The reference size of the client area, for which the layout tables give
// the positions, and the heights of the aligned panels.
constexpr int kLayoutWidth = 800;
constexpr int kLayoutHeight = 572;
constexpr int kHeaderHeight = 90;
constexpr int kTitlePanelHeight = 228;
constexpr int kStatusHeight = 100;
constexpr int kAnswerStripHeight = 50;
// The typed answer is kept in a 128-byte buffer: 127 characters and its NUL.
constexpr int kMaxAnswerLength = 127;
// Below this width the narrow-screen layout applies.
constexpr int kNarrowWidth = 650;
// Room kept between a moved control and a panel's edge, and between
// neighbours.
constexpr int kEdgeGap = 8;
constexpr int kGap = 4;
// The question time bar is not shortened below this.
constexpr int kMinBarWidth = 60;

inline const QColor kBlue(0, 0, 255);
inline const QColor kRed(255, 0, 0);
inline const QColor kBlack(0, 0, 0);
inline const QColor kAqua(0, 255, 255);

// Liberation Sans and Serif share their widths with the common office faces,
// so the texts fit the positions of the layout tables.
inline QFont pixelFont(int px, bool bold, bool italic = false,
                       const QString& family = QStringLiteral("Liberation Sans"))
{
    QFont f;
    f.setFamilies({family});
    f.setStyleHint(family.contains(QLatin1String("Serif")) ? QFont::Serif : QFont::SansSerif);
    f.setPixelSize(px);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

inline QFont serif(int px, bool italic = false)
{
    return pixelFont(px, true, italic, QStringLiteral("Liberation Serif"));
}

inline void setTextColour(QWidget* w, QPalette::ColorRole role, const QColor& c)
{
    QPalette p = w->palette();
    p.setColor(role, c);
    w->setPalette(p);
}

// An auto-sized label at its place in the layout.
inline QLabel* label(QWidget* parent, const char* name, const QString& text, int left, int top,
                     const QFont& font, const QColor& colour)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFont(font);
    setTextColour(l, QPalette::WindowText, colour);
    l->move(left, top);
    l->adjustSize();
    return l;
}

// Keeps room for the widest text a label of changing contents shows, so
// that a longer text does not run into its neighbour.
inline void reserveWidth(QLabel* l, const QString& widest)
{
    l->setMinimumWidth(l->fontMetrics().horizontalAdvance(widest));
    l->adjustSize();
}

inline bool sharesRows(const QWidget* a, const QWidget* b)
{
    return a->y() < b->y() + b->height() && b->y() < a->y() + a->height();
}

inline int rightOf(const QWidget* w)
{
    return w->x() + w->width();
}

inline void setPointSize(QWidget* w, int points)
{
    QFont f = w->font();
    f.setPointSize(points);
    w->setFont(f);
    if (auto* l = qobject_cast<QLabel*>(w)) {
        l->adjustSize();
    }
}

// Changes of the narrow-screen layout are relative to the current bounds.
inline void moveBy(QWidget* w, int dx, int dy)
{
    w->move(w->x() + dx, w->y() + dy);
}

// Mouse events over the window's own controls stay with them: only the
// question screen itself answers the mouse.
inline void keepMouse(QWidget* w)
{
    w->setAttribute(Qt::WA_NoMousePropagation);
}

} // namespace qd::windowLayout
