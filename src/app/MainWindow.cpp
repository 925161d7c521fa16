#include "app/MainWindow.h"

#include "app/ObjectNames.h"
#include "app/QuestionAccess.h"
#include "definition/Cp1251.h"
#include "run/TestSession.h"
#include "screen/PictureLoader.h"
#include "screen/QuestionScreen.h"
#include "screen/ScreenBitmap.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QStringListModel>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace qd {

namespace {

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

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);
const QColor kAqua(0, 255, 255);

// Liberation Sans and Serif share their widths with the common office faces,
// so the texts fit the positions of the layout tables.
QFont pixelFont(int px, bool bold, bool italic = false,
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

QFont serif(int px, bool italic = false)
{
    return pixelFont(px, true, italic, QStringLiteral("Liberation Serif"));
}

void setTextColour(QWidget* w, QPalette::ColorRole role, const QColor& c)
{
    QPalette p = w->palette();
    p.setColor(role, c);
    w->setPalette(p);
}

// An auto-sized label at its place in the layout.
QLabel* label(QWidget* parent, const char* name, const QString& text, int left, int top,
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
void reserveWidth(QLabel* l, const QString& widest)
{
    l->setMinimumWidth(l->fontMetrics().horizontalAdvance(widest));
    l->adjustSize();
}

bool sharesRows(const QWidget* a, const QWidget* b)
{
    return a->y() < b->y() + b->height() && b->y() < a->y() + a->height();
}

int rightOf(const QWidget* w)
{
    return w->x() + w->width();
}

void setPointSize(QWidget* w, int points)
{
    QFont f = w->font();
    f.setPointSize(points);
    w->setFont(f);
    if (auto* l = qobject_cast<QLabel*>(w)) {
        l->adjustSize();
    }
}

// Changes of the narrow-screen layout are relative to the current bounds.
void moveBy(QWidget* w, int dx, int dy)
{
    w->move(w->x() + dx, w->y() + dy);
}

QImage titlePicture()
{
    QFile file(QStringLiteral(":/images/Zast.jpg"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return decodeJpeg(file.readAll());
}

// Mouse events over the window's own controls stay with them: only the
// question screen itself answers the mouse.
void keepMouse(QWidget* w)
{
    w->setAttribute(Qt::WA_NoMousePropagation);
}

} // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent)
{
    setObjectName(QLatin1String(mainWindowNames::window));
    setWindowTitle(QStringLiteral("Програма QUIZDESK"));
    setFont(pixelFont(14, false));
    setTextColour(this, QPalette::WindowText, Qt::white);
    setMouseTracking(true);
    resize(kLayoutWidth, kLayoutHeight);
    m_headerHeight = kHeaderHeight;
    m_statusHeight = kStatusHeight;

    buildTitlePage();
    buildQuestionControls();

    m_questionTimer = new QTimer(this);
    m_questionTimer->setObjectName(QLatin1String(mainWindowNames::questionTimer));
    m_questionTimer->setInterval(50);
    connect(m_questionTimer, &QTimer::timeout, this, &MainWindow::questionTimerTicked);
    m_serverWaitTimer = new QTimer(this);
    m_serverWaitTimer->setObjectName(QLatin1String(mainWindowNames::serverWaitTimer));
    m_serverWaitTimer->setInterval(100);
    connect(m_serverWaitTimer, &QTimer::timeout, this, &MainWindow::waitTimerTicked);

    // The keys, for a student without a mouse: over the top of the window,
    // on the title page and on the question screen alike.
    m_keyHelp = new QLabel(this);
    m_keyHelp->setObjectName(QLatin1String(mainWindowNames::keyHelp));
    m_keyHelp->setText(
        QStringLiteral("Tab — до наступного поля; ↑ ↓ — варіанти; ← → — стовпці (у впорядкуванні: "
                       "← маркер, → текст); Пробіл — обрати/зняти; Enter — наступне питання; "
                       "Esc — закрити результати; F1 — сховати підказку"));
    m_keyHelp->setWordWrap(true);
    m_keyHelp->setFont(pixelFont(15, true));
    m_keyHelp->setAutoFillBackground(true);
    setTextColour(m_keyHelp, QPalette::Window, QColor(255, 255, 192));
    setTextColour(m_keyHelp, QPalette::WindowText, kBlack);
    m_keyHelp->setMargin(4);
    m_keyHelp->hide();
    keepMouse(m_keyHelp);

    // The question screen takes the keys itself: the arrows and Space
    // answer; "Наст. питання" is Enter from anywhere, so the button needs no
    // focus of its own (a focused button would take Space as its click).
    setFocusPolicy(Qt::StrongFocus);
    m_nextButton->setFocusPolicy(Qt::NoFocus);

    alignControls();
    placeStatusStrip();
}

void MainWindow::buildTitlePage()
{
    m_titlePicture = new QLabel(this);
    m_titlePicture->setObjectName(QLatin1String(mainWindowNames::titlePicture));
    m_titlePicture->setAlignment(Qt::AlignCenter);
    m_titlePicture->setPixmap(QPixmap::fromImage(titlePicture()));
    keepMouse(m_titlePicture);

    m_cornerImage = new QLabel(this);
    m_cornerImage->setObjectName(QLatin1String(mainWindowNames::cornerImage));
    m_cornerImage->setGeometry(453, 10, 129, 129);
    m_cornerImage->setEnabled(false);
    m_cornerImage->hide();
    keepMouse(m_cornerImage);

    // The panels are opaque: on a low screen the title picture lies behind
    // them, not over the texts.
    m_headerPanel = new QGroupBox(this);
    m_headerPanel->setObjectName(QLatin1String(mainWindowNames::headerPanel));
    m_headerPanel->setAutoFillBackground(true);
    keepMouse(m_headerPanel);
    m_centreLabel =
        label(m_headerPanel, mainWindowNames::centreLabel,
              QStringLiteral("Центр комп'ютерного тестування знань"), 0, 8, serif(28), kBlack);
    m_centreLabel->setAlignment(Qt::AlignCenter);
    m_programNameLabel = label(m_headerPanel, mainWindowNames::programNameLabel,
                               QStringLiteral("QUIZDESK — програма тестування студентів"), 0, 46,
                               serif(27, true), kBlue);
    m_programNameLabel->setAlignment(Qt::AlignCenter);

    m_titlePanel = new QGroupBox(this);
    m_titlePanel->setObjectName(QLatin1String(mainWindowNames::titlePanel));
    m_titlePanel->resize(kLayoutWidth, kTitlePanelHeight);
    m_titlePanel->setAutoFillBackground(true);
    keepMouse(m_titlePanel);
    const QFont caption = pixelFont(17, true);
    m_subjectCaption = label(m_titlePanel, mainWindowNames::subjectCaption,
                             QStringLiteral("Найменування дисципліни:"), 98, 10, caption, kBlack);
    m_testNameCaption = label(m_titlePanel, mainWindowNames::testNameCaption,
                              QStringLiteral("Назва тесту:"), 679, 10, caption, kBlack);
    m_enterNameCaption =
        label(m_titlePanel, mainWindowNames::enterNameCaption,
              QStringLiteral("Введіть Ваші прізвище та ім'я:"), 89, 128, caption, kBlack);

    auto memo = [this](const char* name, int left) {
        auto* m = new QTextEdit(m_titlePanel);
        m->setObjectName(QString::fromLatin1(name));
        m->setReadOnly(true);
        m->setFont(pixelFont(17, true));
        setTextColour(m, QPalette::Text, kBlue);
        m->setGeometry(left, 39, 468, 80);
        // Read only: Tab goes from the name box to the check box and the
        // button (a screen reader still reads them).
        m->setFocusPolicy(Qt::NoFocus);
        return m;
    };
    m_subjectBox = memo(mainWindowNames::subjectBox, 10);
    m_testNameBox = memo(mainWindowNames::testNameBox, 492);

    m_studentNameBox = new QComboBox(m_titlePanel);
    m_studentNameBox->setObjectName(QLatin1String(mainWindowNames::studentNameBox));
    m_studentNameBox->setEditable(true);
    m_studentNameBox->setInsertPolicy(QComboBox::NoInsert);
    m_studentNameBox->setFont(pixelFont(17, true));
    m_studentNameBox->setGeometry(39, 158, 425, 33);
    connect(m_studentNameBox, &QComboBox::editTextChanged, this, &MainWindow::nameEdited);

    m_examCheckBox = new QCheckBox(QStringLiteral("Екзаменаційне тестування"), m_titlePanel);
    m_examCheckBox->setObjectName(QLatin1String(mainWindowNames::examCheckBox));
    m_examCheckBox->setAutoFillBackground(true);
    m_examCheckBox->setBackgroundRole(QPalette::Window);
    setTextColour(m_examCheckBox, QPalette::Window, kAqua);
    setTextColour(m_examCheckBox, QPalette::WindowText, kBlack);
    m_examCheckBox->setGeometry(630, 128, 120, 21);
    connect(m_examCheckBox, &QCheckBox::clicked, this, &MainWindow::examClicked);

    m_beginButton = new QPushButton(QStringLiteral("Почати тестування"), m_titlePanel);
    m_beginButton->setObjectName(QLatin1String(mainWindowNames::beginButton));
    m_beginButton->setFont(serif(27));
    m_beginButton->setGeometry(610, 158, 282, 40);
    // Enter on the focused button presses it, as Space does.
    m_beginButton->setAutoDefault(true);
    connect(m_beginButton, &QPushButton::clicked, this, &MainWindow::beginClicked);

    m_authorLabel = label(m_titlePanel, mainWindowNames::authorLabel,
                          QStringLiteral("Розробка: команда QuizDesk, 2026"), 0, 0,
                          pixelFont(16, true, true), kBlue);
    m_authorLabel->setAlignment(Qt::AlignCenter);

    // Stands on the title picture right above the panel, across the window.
    m_resumeLine =
        label(this, mainWindowNames::resumeLine, QString(), 0, 0, pixelFont(17, true), kBlue);
    m_resumeLine->setAlignment(Qt::AlignCenter);
    m_resumeLine->setAutoFillBackground(true);
    m_resumeLine->hide();
}

void MainWindow::buildQuestionControls()
{
    const QFont strip = pixelFont(17, true);

    m_questionArea = new QuestionArea(this);
    m_questionArea->hide();

    m_answerStrip = new QGroupBox(this);
    m_answerStrip->setObjectName(QLatin1String(mainWindowNames::answerStrip));
    m_answerStrip->resize(kLayoutWidth, kAnswerStripHeight);
    // The strips are panels of the form: they cover the question screen
    // under them with the form's own background.
    m_answerStrip->setAutoFillBackground(true);
    m_answerStrip->hide();
    keepMouse(m_answerStrip);
    m_answerCaption = label(m_answerStrip, mainWindowNames::answerCaption,
                            QStringLiteral("Введіть відповідь:"), 5, 10, strip, kBlack);
    m_answerEdit = new QLineEdit(m_answerStrip);
    m_answerEdit->setObjectName(QLatin1String(mainWindowNames::answerEdit));
    m_answerEdit->setFont(strip);
    m_answerEdit->setMaxLength(kMaxAnswerLength);
    setTextColour(m_answerEdit, QPalette::Text, kRed);
    connect(m_answerEdit, &QLineEdit::textChanged, this, &MainWindow::answerTextChanged);
    // A screen reader names the box by its caption.
    m_answerCaption->setBuddy(m_answerEdit);

    m_statusStrip = new QGroupBox(this);
    m_statusStrip->setObjectName(QLatin1String(mainWindowNames::statusStrip));
    m_statusStrip->resize(kLayoutWidth, kStatusHeight);
    m_statusStrip->setAutoFillBackground(true);
    m_statusStrip->hide();
    keepMouse(m_statusStrip);
    m_questionCountCaption =
        label(m_statusStrip, mainWindowNames::questionCountCaption,
              QStringLiteral("Кількість питань у  тесті:"), 20, 10, strip, kBlack);
    m_questionNumberCaption =
        label(m_statusStrip, mainWindowNames::questionNumberCaption,
              QStringLiteral("Номер поточного питання:"), 20, 39, strip, kBlack);
    m_lastAnswerCaption =
        label(m_statusStrip, mainWindowNames::lastAnswerCaption,
              QStringLiteral("Відповідь на попереднє питання:"), 20, 69, strip, kBlack);
    m_questionTimeCaption = label(m_statusStrip, mainWindowNames::questionTimeCaption,
                                  QStringLiteral("Час на 1 питання:"), 394, 10, strip, kBlack);
    m_testEndCaption = label(m_statusStrip, mainWindowNames::testEndCaption,
                             QStringLiteral("Завершення тесту за"), 394, 39, strip, kBlack);
    m_scoreCaption = label(m_statusStrip, mainWindowNames::scoreCaption,
                           QStringLiteral("Набрано балів:"), 394, 69, strip, kBlack);
    m_scoreLabel = label(m_statusStrip, mainWindowNames::scoreLabel, QStringLiteral("0"), 551, 69,
                         strip, kBlue);
    reserveWidth(m_scoreLabel, QStringLiteral("000.00"));
    m_minutesLeftLabel = label(m_statusStrip, mainWindowNames::minutesLeftLabel,
                               QStringLiteral("000"), 610, 39, strip, kBlue);
    reserveWidth(m_minutesLeftLabel, QStringLiteral("000"));
    m_minutesCaption = label(m_statusStrip, mainWindowNames::minutesCaption, QStringLiteral("хв"),
                             650, 39, strip, kBlack);

    m_countersBox = new QGroupBox(m_statusStrip);
    m_countersBox->setObjectName(QLatin1String(mainWindowNames::countersBox));
    m_countersBox->setGeometry(325, 0, 50, 100);
    m_questionCountLabel =
        label(m_countersBox, mainWindowNames::questionCountLabel, QString(), 10, 10, strip, kBlue);
    m_questionNumberLabel = label(m_countersBox, mainWindowNames::questionNumberLabel,
                                  QStringLiteral("1"), 10, 39, strip, kBlue);
    m_answerShape = new QFrame(m_countersBox);
    m_answerShape->setObjectName(QLatin1String(mainWindowNames::answerShape));
    m_answerShape->setFrameShape(QFrame::Box);
    m_answerShape->setAutoFillBackground(true);
    setTextColour(m_answerShape, QPalette::Window, Qt::white);
    m_answerShape->setGeometry(10, 69, 31, 21);

    m_nextButton = new QPushButton(QStringLiteral("Наст. питання"), m_statusStrip);
    m_nextButton->setObjectName(QLatin1String(mainWindowNames::nextButton));
    m_nextButton->setFont(strip);
    m_nextButton->setGeometry(807, 20, 139, 60);
    connect(m_nextButton, &QPushButton::clicked, this, &MainWindow::readyClicked);

    m_questionTimeBar = new QProgressBar(m_statusStrip);
    m_questionTimeBar->setObjectName(QLatin1String(mainWindowNames::questionTimeBar));
    m_questionTimeBar->setRange(0, 100);
    m_questionTimeBar->setValue(0);
    m_questionTimeBar->setTextVisible(false);
    m_questionTimeBar->setGeometry(561, 10, 225, 20);
}

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

void MainWindow::setResumeLine(const std::string& text)
{
    m_resumeLine->setText(QString::fromStdString(fromCp1251(text)));
    placeResumeLine();
    m_resumeLine->setVisible(!text.empty() && !m_questionScreen);
    m_resumeLine->raise();
}

void MainWindow::setAccessSource(QuestionAccessSource* source)
{
    m_questionArea->setSource(source);
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

void MainWindow::showTitlePage(const std::string& discName, const std::string& testName)
{
    m_titlePicture->setGeometry(0, 0, width(), height());
    m_statusStrip->hide();
    m_titlePanel->resize(width(), m_titlePanel->height());
    alignControls();
    m_subjectBox->clear();
    m_testNameBox->clear();
    m_subjectBox->setPlainText(QString::fromStdString(fromCp1251(discName)));
    m_testNameBox->setPlainText(QString::fromStdString(fromCp1251(testName)));
    // The keyboard starts in the name box.
    m_studentNameBox->setFocus();
    for (QTextEdit* m : {m_subjectBox, m_testNameBox}) {
        QTextCursor all(m->document());
        all.select(QTextCursor::Document);
        QTextBlockFormat centred;
        centred.setAlignment(Qt::AlignHCenter);
        all.mergeBlockFormat(centred);
    }
}

void MainWindow::showQuestionScreen()
{
    m_titlePicture->hide();
    m_titlePanel->hide();
    m_headerPanel->hide();
    m_resumeLine->hide();
    m_statusStrip->show();
    m_questionScreen = true;
    m_questionArea->show();
    m_keyHelp->raise();
    // The keys go to the question screen (a typed question's box takes
    // the focus itself).
    setFocus();
    update();
}

void MainWindow::clearNameBox()
{
    m_studentNameBox->clear();
    m_studentNameBox->clearEditText();
}

void MainWindow::setWaitTimer(bool running)
{
    if (running) {
        m_serverWaitTimer->start();
    } else {
        m_serverWaitTimer->stop();
    }
}

void MainWindow::setQuestionTimer(bool running)
{
    if (running) {
        m_questionTimer->start();
    } else {
        m_questionTimer->stop();
    }
}

void MainWindow::showPicture(const QImage& picture, const QRect& where)
{
    const double s = m_screen != nullptr ? m_screen->bitmap().scale() : 1.0;
    if (s != 1.0) {
        // As the question screen will draw it once captured.
        const QSize size(int(std::lround(picture.width() * s)),
                         int(std::lround(picture.height() * s)));
        m_cornerImage->setPixmap(QPixmap::fromImage(picture.scaled(size)));
        m_cornerImage->setGeometry(
            QRect(QPoint(int(std::lround(where.x() * s)), int(std::lround(where.y() * s))), size));
        m_cornerImage->setEnabled(true);
        m_cornerImage->show();
        m_cornerImage->lower();
        return;
    }
    m_cornerImage->setPixmap(QPixmap::fromImage(picture));
    m_cornerImage->setGeometry(where);
    m_cornerImage->setEnabled(true);
    m_cornerImage->show();
    m_cornerImage->lower();
}

void MainWindow::hidePicture()
{
    m_cornerImage->setEnabled(false);
    m_cornerImage->hide();
    m_cornerImage->clear();
}

bool MainWindow::paintsScreen() const
{
    return m_screen != nullptr && m_questionScreen && !m_screen->paintHold();
}

void MainWindow::repaintScreen()
{
    if (!paintsScreen()) {
        return; // what was drawn stays marked until painting is allowed
    }
    const QRect changed = m_screen->bitmap().takeDirty();
    if (!changed.isEmpty()) {
        repaint(changed);
        m_questionArea->notifyChanged();
    }
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

int MainWindow::questionScreenHeight(bool typed) const
{
    return height() - m_statusHeight - (typed ? m_answerStrip->height() : 0);
}

void MainWindow::announceQuestion()
{
    // Each question has its own scale (larger text fits the window).
    if (m_screen != nullptr) {
        m_questionArea->setScale(m_screen->bitmap().scale());
    }
    // Queued: the session is still setting the new question up here.
    QMetaObject::invokeMethod(m_questionArea, &QuestionArea::notifyQuestionChanged,
                              Qt::QueuedConnection);
}

void MainWindow::paintEvent(QPaintEvent* event)
{
    if (!paintsScreen()) {
        return; // the title page, or a picture awaiting its capture
    }
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const QRect r = event->rect();
    painter.drawImage(r.topLeft(), m_screen->image(), r);
}

void MainWindow::setHandCursor(bool hand)
{
    if (hand) {
        setCursor(Qt::PointingHandCursor);
    } else {
        unsetCursor();
    }
}

void MainWindow::setQuestionCount(int n)
{
    m_questionCountLabel->setText(QString::number(n));
    m_questionCountLabel->adjustSize();
}

void MainWindow::setQuestionNumber(int n)
{
    m_questionNumberLabel->setText(QString::number(n));
    m_questionNumberLabel->adjustSize();
}

void MainWindow::setAnswerColour(uint32_t colour)
{
    setTextColour(m_answerShape, QPalette::Window, ScreenBitmap::toColor(colour));
    // The square says it by colour only: a screen reader gets it in words.
    m_answerShape->setAccessibleName(colour == colour::statusGreen ? QStringLiteral("правильно")
                                                                   : QStringLiteral("неправильно"));
}

void MainWindow::setScoreText(const std::string& text)
{
    m_scoreLabel->setText(QString::fromStdString(fromCp1251(text)));
    m_scoreLabel->adjustSize();
}

void MainWindow::setProgress(int value, int maximum)
{
    m_questionTimeBar->setMaximum(maximum);
    m_questionTimeBar->setValue(std::clamp(value, m_questionTimeBar->minimum(), maximum));
}

void MainWindow::setMinutesLeft(int minutes)
{
    m_minutesLeftLabel->setText(QString::number(minutes));
    m_minutesLeftLabel->adjustSize();
}

void MainWindow::setAnswerBox(bool shown, bool focus)
{
    if (!shown) {
        const bool hadFocus = m_answerStrip->isAncestorOf(focusWidget());
        m_answerStrip->hide();
        if (hadFocus && m_questionScreen) {
            setFocus(); // back to the question screen's keys
        }
        return;
    }
    m_answerEdit->clear();
    m_answerStrip->show();
    if (focus) {
        m_answerEdit->setFocus();
    }
}

void MainWindow::hideForResults()
{
    m_questionTimeBar->setValue(0);
    m_questionTimer->stop();
    m_questionArea->hide();
    hide();
}

std::string MainWindow::studentName() const
{
    return toCp1251(m_studentNameBox->currentText().toStdString());
}

bool MainWindow::examChecked() const
{
    return m_examCheckBox->isChecked();
}

void MainWindow::setStudentNames(const std::vector<std::string>& names)
{
    // Filling the list changes neither the choice nor what has been typed
    // (a first item would otherwise become the current text).
    const int chosen = m_studentNameBox->currentIndex();
    const QString typed = m_studentNameBox->currentText();
    QStringList items;
    items.reserve(qsizetype(names.size()));
    for (const std::string& name : names) {
        items.append(QString::fromStdString(fromCp1251(name)));
    }
    // A whole new model at once (the box deletes the one it owned): a big
    // table costs one pass, where adding the names one by one costs
    // seconds.
    m_studentNameBox->setModel(new QStringListModel(items, m_studentNameBox));
    m_studentNameBox->setCurrentIndex(chosen < m_studentNameBox->count() ? chosen : -1);
    m_studentNameBox->setEditText(typed);
}

void MainWindow::setTitleControlsEnabled(bool enabled)
{
    m_examCheckBox->setEnabled(enabled);
    m_beginButton->setEnabled(enabled);
}

void MainWindow::untickExamBox()
{
    m_examCheckBox->setChecked(false);
}

void MainWindow::showExamLinkUp()
{
    setTextColour(m_statusStrip, QPalette::Window, kAqua);
}

std::string MainWindow::answerText() const
{
    return toCp1251(m_answerEdit->text().toStdString());
}

// A point of the window in the question screen's own pixels (larger text
// draws the screen larger; the same option stays under the same point).
QPoint MainWindow::screenPoint(const QPointF& p) const
{
    const double s = m_screen != nullptr ? m_screen->bitmap().scale() : 1.0;
    return s == 1.0 ? p.toPoint() : QPoint(int(std::floor(p.x() / s)), int(std::floor(p.y() / s)));
}

void MainWindow::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = screenPoint(event->position());
    emit mouseMoved(p.x(), p.y());
}

void MainWindow::mousePressEvent(QMouseEvent* event)
{
    // Every button, with any modifier, chooses alike.
    const QPoint p = screenPoint(event->position());
    emit mousePressed(p.x(), p.y());
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

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click is a press like the first; the
    // double click itself means nothing.
    mousePressEvent(event);
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

void MainWindow::hideRunningResults()
{
    for (QWidget* w : std::initializer_list<QWidget*>{m_lastAnswerCaption, m_answerShape,
                                                      m_scoreCaption, m_scoreLabel}) {
        w->hide();
    }
}

void MainWindow::toggleKeyHelp()
{
    if (m_keyHelp->isVisible()) {
        m_keyHelp->hide();
        return;
    }
    m_keyHelp->setGeometry(0, 0, width(), m_keyHelp->heightForWidth(width()));
    m_keyHelp->raise();
    m_keyHelp->show();
}

bool MainWindow::keyHelpShown() const
{
    return m_keyHelp->isVisible();
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        toggleKeyHelp();
        return;
    }
    // The title page: Enter in the name box begins the test, as the button.
    const bool enterKey = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enterKey && m_titlePanel->isVisible() && m_beginButton->isEnabled()) {
        m_beginButton->click();
        return;
    }
    if (m_questionScreen && !m_answerStrip->isVisible()) {
        static const std::pair<int, TestSession::Key> keys[] = {
            {Qt::Key_Up, TestSession::Key::Up},      {Qt::Key_Down, TestSession::Key::Down},
            {Qt::Key_Left, TestSession::Key::Left},  {Qt::Key_Right, TestSession::Key::Right},
            {Qt::Key_Home, TestSession::Key::Home},  {Qt::Key_End, TestSession::Key::End},
            {Qt::Key_Space, TestSession::Key::Space}};
        for (const auto& [qtKey, key] : keys) {
            if (event->key() == qtKey) {
                bool answered = false;
                emit answerKeyPressed(int(key), &answered);
                if (answered) {
                    return;
                }
            }
        }
    }
    // "Наст. питання" is the default button: Enter presses it wherever the
    // focus is (the answer box passes Enter on), while it is on the screen.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && m_nextButton->isVisible() && m_nextButton->isEnabled()) {
        m_nextButton->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // The window never closes by itself: the session decides between ending
    // the program and ending the test early.
    event->ignore();
    emit closeRequested();
}

} // namespace qd
