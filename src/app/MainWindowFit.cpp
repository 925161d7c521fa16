// Fitting the main window: its controls placed for the screen's size,
// moved where a narrow window has no room for them, grown for larger text,
// and recoloured for high contrast.

#include "app/MainWindow.h"
#include "app/QuestionAccess.h"
#include "app/WindowLayout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>

#include <algorithm>
#include <cmath>
#include <vector>

namespace qd {

using namespace windowLayout;

// The aligned controls follow the client area: the header on top, the title
// panel and the status strip at the bottom, the title picture behind all.
void MainWindow::alignControls()
{
    const int w = width();
    const int h = height();
    m_titlePicture->setGeometry(0, 0, w, h);
    m_titlePicture->lower();
    m_headerPanel->setGeometry(0, 0, w, m_headerHeight);
    m_centreLabel->setGeometry(0, m_centreLabel->y(), w, m_centreLabel->height());
    m_programNameLabel->setGeometry(0, m_programNameLabel->y(), w, m_programNameLabel->height());
    m_titlePanel->setGeometry(0, h - m_titlePanel->height(), w, m_titlePanel->height());
    const int avtorH = m_authorLabel->sizeHint().height();
    m_authorLabel->setGeometry(2, m_titlePanel->height() - avtorH - 2, m_titlePanel->width() - 4,
                               avtorH);
    m_statusStrip->setGeometry(0, h - m_statusHeight, m_statusStrip->width(), m_statusHeight);
    m_questionArea->setGeometry(0, 0, w, h - m_statusHeight);
    placeResumeLine();
}

void MainWindow::placeResumeLine()
{
    const int lineH = m_resumeLine->sizeHint().height();
    m_resumeLine->setGeometry(0, m_titlePanel->y() - lineH, width(), lineH);
}

void MainWindow::placeOnScreen(const QRect& area)
{
    const int w = area.width();
    const int h = area.height();
    // The client area itself: a window manager's frame goes around it.
    setGeometry(area);
    setFixedSize(w, h);
    alignControls();
    scaleTo(w);
    if (w < kNarrowWidth) {
        applyNarrowScreen();
    }
    placeStatusStrip();
    // The strip first: fitting it places the check box over the button
    // again, which the title panel's fitting then settles.
    fitStatusStrip();
    fitTitlePanel();
}

// Layout positions scaled to the width: the product first, then the
// truncated quotient.
void MainWindow::scaleTo(int w)
{
    auto s = [w](int layout) { return w * layout / kLayoutWidth; };
    m_statusStrip->resize(w, m_statusStrip->height());
    m_subjectBox->setGeometry(s(8), m_subjectBox->y(), s(380), m_subjectBox->height());
    m_subjectCaption->move(s(80), m_subjectCaption->y());
    m_studentNameBox->setGeometry(s(32), m_studentNameBox->y(), s(345), m_studentNameBox->height());
    m_enterNameCaption->move(s(72), m_enterNameCaption->y());
    m_testNameBox->setGeometry(s(400), m_testNameBox->y(), s(380), m_testNameBox->height());
    m_testNameCaption->move(s(552), m_testNameCaption->y());
    m_beginButton->setGeometry(s(496), m_beginButton->y(), s(225), m_beginButton->height());
}

void MainWindow::applyNarrowScreen()
{
    applyNarrowStrip();
    setPointSize(m_testNameBox, 8);
    m_titlePanel->resize(m_titlePanel->width(), m_titlePanel->height() - 40);
    m_testNameBox->resize(m_testNameBox->width(), m_testNameBox->height() - 20);
    setPointSize(m_subjectCaption, 8);
    setPointSize(m_subjectBox, 8);
    m_subjectBox->resize(m_subjectBox->width(), m_subjectBox->height() - 20);
    setPointSize(m_enterNameCaption, 8);
    moveBy(m_studentNameBox, 0, -30);
    moveBy(m_enterNameCaption, 0, -20);
    setPointSize(m_authorLabel, 8);
    setPointSize(m_testNameCaption, 8);
    setPointSize(m_beginButton, 14);
    moveBy(m_beginButton, 0, -30);
    alignControls(); // the title panel stays on the bottom edge
}

// The status strip's part of the narrow-screen layout: smaller captions,
// the values and the button moved left.
void MainWindow::applyNarrowStrip()
{
    for (QLabel* l : {m_questionCountCaption, m_questionNumberCaption, m_lastAnswerCaption,
                      m_scoreCaption, m_questionTimeCaption, m_testEndCaption, m_minutesCaption}) {
        setPointSize(l, 8);
    }
    moveBy(m_countersBox, -64, 0);
    moveBy(m_questionTimeBar, -60, 0);
    for (QLabel* l : {m_minutesCaption, m_minutesLeftLabel, m_scoreLabel}) {
        moveBy(l, -100, 0);
    }
    moveBy(m_nextButton, -200, 25);
    setPointSize(m_nextButton, 8);
    m_nextButton->resize(m_nextButton->width(), m_nextButton->height() - 15);
    m_narrowStrip = true;
}

// The layout positions suit a window of about 950 pixels or more. On a
// narrower one a control that would stand partly off the window, covered by
// another or too narrow for its caption is moved (or widened); all the others
// keep the places the layout tables give them.
void MainWindow::fitTitlePanel()
{
    const int panelW = m_titlePanel->width();
    // A button or check box as wide as its caption needs, inside the panel.
    auto fit = [panelW](QWidget* w) {
        const int need = std::min(w->sizeHint().width(), panelW - 2 * kEdgeGap);
        if (w->width() < need) {
            w->resize(need, w->height());
        }
        if (rightOf(w) > panelW - kEdgeGap) {
            w->move(std::max(kEdgeGap, panelW - kEdgeGap - w->width()), w->y());
        }
    };
    fit(m_beginButton);
    // The check box keeps standing over the button, as wide and as far left.
    m_examCheckBox->setGeometry(m_beginButton->x(), m_examCheckBox->y(), m_beginButton->width(),
                                m_examCheckBox->height());
    fit(m_examCheckBox);
    // The narrow layout lifts the button to the check box's row: the check
    // box goes just above it.
    if (m_examCheckBox->geometry().intersects(m_beginButton->geometry())) {
        m_examCheckBox->move(m_examCheckBox->x(),
                             m_beginButton->y() - kGap - m_examCheckBox->height());
    }
}

// "Наст. питання" at its layout left of 807 is off a window narrower than
// about 950 pixels. It goes to the strip's right edge; what it would cover
// there gives way: the time bar ends before it, the values follow their
// captions. Where even that leaves no room, the strip takes its narrow-screen
// layout (smaller captions) and is fitted again.
void MainWindow::fitStatusStrip()
{
    const std::vector<QWidget*> parts = {m_scoreCaption,    m_questionTimeCaption, m_testEndCaption,
                                         m_scoreLabel,      m_minutesLeftLabel,    m_minutesCaption,
                                         m_questionTimeBar, m_nextButton};
    std::vector<QRect> layoutPlaces;
    layoutPlaces.reserve(parts.size());
    for (QWidget* w : parts) {
        layoutPlaces.push_back(w->geometry());
    }
    if (settleStatusStrip() || m_narrowStrip) {
        return;
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        parts[i]->setGeometry(layoutPlaces[i]);
    }
    applyNarrowStrip();
    placeStatusStrip();
    settleStatusStrip();
}

bool MainWindow::settleStatusStrip()
{
    const int right = m_statusStrip->width() - kEdgeGap;
    const std::vector<QWidget*> others = {
        m_questionCountCaption, m_questionNumberCaption, m_lastAnswerCaption, m_countersBox,
        m_scoreCaption,         m_questionTimeCaption,   m_testEndCaption,    m_scoreLabel,
        m_minutesLeftLabel,     m_minutesCaption,        m_questionTimeBar};
    auto covered = [this](const QWidget* w) {
        return w->geometry().intersects(m_nextButton->geometry().adjusted(-kGap, 0, kGap, 0));
    };
    auto clear = [&] {
        return rightOf(m_nextButton) <= right && rightOf(m_questionTimeBar) <= right &&
               std::none_of(others.begin(), others.end(), covered);
    };
    if (clear()) {
        return true;
    }
    if (rightOf(m_nextButton) > right) {
        m_nextButton->move(right - m_nextButton->width(), m_nextButton->y());
    }
    int barRight = right;
    if (sharesRows(m_questionTimeBar, m_nextButton)) {
        barRight = std::min(barRight, m_nextButton->x() - kGap);
    }
    if (rightOf(m_questionTimeBar) > barRight) {
        m_questionTimeBar->resize(std::max(0, barRight - m_questionTimeBar->x()),
                                  m_questionTimeBar->height());
    }
    if (covered(m_minutesLeftLabel) || covered(m_minutesCaption)) {
        m_minutesLeftLabel->move(rightOf(m_testEndCaption) + 2 * kGap, m_minutesLeftLabel->y());
        m_minutesCaption->move(rightOf(m_minutesLeftLabel) + kGap, m_minutesCaption->y());
    }
    if (covered(m_scoreLabel)) {
        m_scoreLabel->move(rightOf(m_scoreCaption) + 2 * kGap, m_scoreLabel->y());
    }
    return clear() && m_questionTimeBar->width() >= kMinBarWidth;
}

void MainWindow::placeStatusStrip()
{
    m_examCheckBox->setGeometry(m_beginButton->x(), m_examCheckBox->y(), m_beginButton->width(),
                                m_examCheckBox->height());
    const int right = m_countersBox->x() + m_countersBox->width() + 10;
    for (QLabel* l : {m_scoreCaption, m_questionTimeCaption, m_testEndCaption}) {
        l->move(right, l->y());
    }
    m_answerStrip->setGeometry(m_statusStrip->x(), m_statusStrip->y() - m_answerStrip->height(),
                               m_statusStrip->width(), m_answerStrip->height());
    m_answerCaption->move(5, 10);
    m_answerEdit->setGeometry(
        m_answerCaption->x() + m_answerCaption->width() + 5, m_answerCaption->y(),
        m_answerStrip->width() - m_answerCaption->width() - 20, m_answerEdit->sizeHint().height());
}

bool MainWindow::controlsFit() const
{
    for (const QWidget* panel :
         std::initializer_list<const QWidget*>{m_statusStrip, m_titlePanel, m_headerPanel}) {
        const QList<QWidget*> parts = panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (qsizetype i = 0; i < parts.size(); ++i) {
            const QRect r = parts[i]->geometry();
            if (r.right() >= panel->width() || r.left() < 0) {
                return false;
            }
            for (qsizetype k = i + 1; k < parts.size(); ++k) {
                if (r.intersects(parts[k]->geometry())) {
                    return false;
                }
            }
        }
    }
    return true;
}

void MainWindow::setDisplay(double scale, bool highContrast)
{
    if (scale > 0.0 && scale != m_requestedScale) {
        m_requestedScale = scale;
        applyScale(fittingControlsScale(scale));
    }
    if (highContrast && !m_highContrast) {
        applyHighContrast();
    }
}

// The controls' layout needs room that grows with the scale: on a narrow
// window the strip and the title page would run off its right edge or over
// one another. They take the largest scale, in steps of a quarter, that a
// window of this size holds (tried on a window of their own, laid out from
// scratch); the question screen fits each question by itself.
double MainWindow::fittingControlsScale(double scale) const
{
    for (double s = scale; s > 1.0; s = std::max(1.0, s - 0.25)) {
        MainWindow trial;
        trial.placeOnScreen(QRect(QPoint(0, 0), size()));
        trial.applyScale(s);
        if (trial.controlsFit()) {
            return s;
        }
    }
    return 1.0;
}

void MainWindow::applyScale(double scale)
{
    if (scale != m_displayScale) {
        const double f = scale / m_displayScale;
        m_displayScale = scale;
        // Every control of the title page and the strips, with its panel:
        // text and places grow together.
        for (QWidget* panel : std::initializer_list<QWidget*>{m_headerPanel, m_titlePanel,
                                                              m_statusStrip, m_answerStrip}) {
            const QList<QWidget*> children = panel->findChildren<QWidget*>();
            for (QWidget* w : children) {
                QFont font = w->font();
                if (font.pixelSize() > 0) {
                    font.setPixelSize(int(std::lround(font.pixelSize() * f)));
                } else if (font.pointSizeF() > 0) {
                    font.setPointSizeF(font.pointSizeF() * f);
                }
                w->setFont(font);
                // The title page keeps its columns across the width (they
                // are scaled to it again below); the strips grow.
                const QRect g = w->geometry();
                const bool across = panel == m_titlePanel || panel == m_headerPanel;
                w->setGeometry(across ? g.x() : int(std::lround(g.x() * f)),
                               int(std::lround(g.y() * f)),
                               across ? g.width() : int(std::lround(g.width() * f)),
                               int(std::lround(g.height() * f)));
                if (auto* l = qobject_cast<QLabel*>(w); l != nullptr) {
                    if (l->minimumWidth() > 0) {
                        l->setMinimumWidth(int(std::lround(l->minimumWidth() * f)));
                    }
                    if (!across || l->alignment() != Qt::AlignCenter) {
                        l->adjustSize();
                    }
                }
            }
        }
        m_headerHeight = int(std::lround(m_headerHeight * f));
        m_statusHeight = int(std::lround(m_statusHeight * f));
        m_titlePanel->resize(m_titlePanel->width(), int(std::lround(m_titlePanel->height() * f)));
        m_answerStrip->resize(m_answerStrip->width(),
                              int(std::lround(m_answerStrip->height() * f)));
        m_headerPanel->resize(m_headerPanel->width(), m_headerHeight);
        m_statusStrip->resize(m_statusStrip->width(), m_statusHeight);
        alignControls();
        scaleTo(width());
        placeStatusStrip();
        layOutLargeStrip();
        fitTitlePanel();
        for (QLabel* l : {m_centreLabel, m_programNameLabel}) {
            l->setGeometry(0, l->y(), width(), l->sizeHint().height());
        }
        m_keyHelp->setFont(pixelFont(int(std::lround(15 * scale)), true));
        m_questionArea->setScale(scale);
    }
}

void MainWindow::applyHighContrast()
{
    m_highContrast = true;
    // The documented scheme (see ScreenBitmap::highContrastColour): a
    // black ground, yellow text, cyan values, white captions of the boxes.
    const QColor yellow(255, 255, 0);
    const QColor cyan(0, 255, 255);
    for (QWidget* w : findChildren<QWidget*>()) {
        if (w == m_answerShape || w == m_titlePicture || w == m_cornerImage) {
            continue;
        }
        QPalette p = w->palette();
        const bool value = p.color(QPalette::WindowText) == kBlue ||
                           p.color(QPalette::Text) == kBlue || p.color(QPalette::Text) == kRed;
        for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button}) {
            p.setColor(role, Qt::black);
        }
        for (QPalette::ColorRole role :
             {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
            p.setColor(role, value ? cyan : yellow);
        }
        p.setColor(QPalette::Highlight, cyan);
        p.setColor(QPalette::HighlightedText, Qt::black);
        w->setPalette(p);
    }
    setTextColour(this, QPalette::Window, Qt::black);
    // The question's time bar would be black on black while little of
    // the time has gone: a yellow frame shows it even when empty, its
    // filled part is cyan.
    m_questionTimeBar->setStyleSheet(
        QStringLiteral("QProgressBar { border: 2px solid #ffff00; background: #000000; }"
                       " QProgressBar::chunk { background: #00ffff; }"));
}

// The status strip in larger text: its captions and values no longer fit
// the layout's places, so they follow one another in three rows (the
// captions of the first column, the counters, the captions of the second
// column with their values), "Наст. питання" at the right edge or, when the
// rows leave it no room, in a row of its own under them.
void MainWindow::layOutLargeStrip()
{
    const double s = m_displayScale;
    const int gap = int(std::lround(10 * s));
    const int rows[3] = {int(std::lround(10 * s)), int(std::lround(39 * s)),
                         int(std::lround(69 * s))};
    QLabel* left[3] = {m_questionCountCaption, m_questionNumberCaption, m_lastAnswerCaption};
    int leftEnd = 0;
    for (int r = 0; r < 3; ++r) {
        left[r]->adjustSize();
        left[r]->move(int(std::lround(20 * s)), rows[r]);
        leftEnd = std::max(leftEnd, rightOf(left[r]));
    }
    m_countersBox->move(leftEnd + gap, 0);
    const int x = rightOf(m_countersBox) + gap;
    QLabel* right[3] = {m_questionTimeCaption, m_testEndCaption, m_scoreCaption};
    for (int r = 0; r < 3; ++r) {
        right[r]->adjustSize();
        right[r]->move(x, rows[r]);
    }
    m_questionTimeBar->move(rightOf(m_questionTimeCaption) + gap, rows[0]);
    m_minutesLeftLabel->move(rightOf(m_testEndCaption) + gap, rows[1]);
    m_minutesCaption->move(rightOf(m_minutesLeftLabel) + gap / 2, rows[1]);
    m_scoreLabel->move(rightOf(m_scoreCaption) + gap, rows[2]);
    int used = std::max(
        {rightOf(m_minutesCaption), rightOf(m_scoreLabel), m_questionTimeBar->x() + kMinBarWidth});
    const int w = m_statusStrip->width();
    m_nextButton->resize(std::max(m_nextButton->sizeHint().width(), m_nextButton->width() / 2),
                         m_nextButton->height());
    int height = m_statusHeight;
    if (used + gap + m_nextButton->width() + kEdgeGap <= w) {
        m_nextButton->move(w - kEdgeGap - m_nextButton->width(),
                           (m_statusHeight - m_nextButton->height()) / 2);
    } else {
        m_nextButton->move(w - kEdgeGap - m_nextButton->width(), m_statusHeight);
        height = m_statusHeight + m_nextButton->height() + gap;
    }
    const int barRight =
        m_nextButton->y() < m_statusHeight ? m_nextButton->x() - gap : w - kEdgeGap;
    m_questionTimeBar->resize(std::max(kMinBarWidth, barRight - m_questionTimeBar->x()),
                              m_questionTimeBar->height());
    m_countersBox->resize(m_countersBox->width(), m_statusHeight);
    if (height != m_statusHeight) {
        m_statusHeight = height;
        m_statusStrip->resize(w, height);
        alignControls();
        placeStatusStrip();
    }
}

} // namespace qd
