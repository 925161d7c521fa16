#include "app/MainWindow.h"

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
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Програма QUIZDESK"));
    setFont(pixelFont(14, false));
    setTextColour(this, QPalette::WindowText, Qt::white);
    setMouseTracking(true);
    resize(kLayoutWidth, kLayoutHeight);
    headerHeight_ = kHeaderHeight;
    statusHeight_ = kStatusHeight;

    buildTitlePage();
    buildQuestionControls();

    questionTimer_ = new QTimer(this);
    questionTimer_->setObjectName(QStringLiteral("Timer"));
    questionTimer_->setInterval(50);
    connect(questionTimer_, &QTimer::timeout, this, &MainWindow::questionTimerTicked);
    serverWaitTimer_ = new QTimer(this);
    serverWaitTimer_->setObjectName(QStringLiteral("TimerWaitServer"));
    serverWaitTimer_->setInterval(100);
    connect(serverWaitTimer_, &QTimer::timeout, this, &MainWindow::waitTimerTicked);

    // The keys, for a student without a mouse: over the top of the window,
    // on the title page and on the question screen alike.
    keyHelp_ = new QLabel(this);
    keyHelp_->setObjectName(QStringLiteral("KeyHelp"));
    keyHelp_->setText(
        QStringLiteral("Tab — до наступного поля; ↑ ↓ — варіанти; ← → — стовпці (у впорядкуванні: "
                       "← маркер, → текст); Пробіл — обрати/зняти; Enter — наступне питання; "
                       "Esc — закрити результати; F1 — сховати підказку"));
    keyHelp_->setWordWrap(true);
    keyHelp_->setFont(pixelFont(15, true));
    keyHelp_->setAutoFillBackground(true);
    setTextColour(keyHelp_, QPalette::Window, QColor(255, 255, 192));
    setTextColour(keyHelp_, QPalette::WindowText, kBlack);
    keyHelp_->setMargin(4);
    keyHelp_->hide();
    keepMouse(keyHelp_);

    // The question screen takes the keys itself: the arrows and Space
    // answer; "Наст. питання" is Enter from anywhere, so the button needs no
    // focus of its own (a focused button would take Space as its click).
    setFocusPolicy(Qt::StrongFocus);
    nextButton_->setFocusPolicy(Qt::NoFocus);

    alignControls();
    placeStatusStrip();
}

void MainWindow::buildTitlePage()
{
    titlePicture_ = new QLabel(this);
    titlePicture_->setObjectName(QStringLiteral("Zast"));
    titlePicture_->setAlignment(Qt::AlignCenter);
    titlePicture_->setPixmap(QPixmap::fromImage(titlePicture()));
    keepMouse(titlePicture_);

    cornerImage_ = new QLabel(this);
    cornerImage_->setObjectName(QStringLiteral("ImageJPG"));
    cornerImage_->setGeometry(453, 10, 129, 129);
    cornerImage_->setEnabled(false);
    cornerImage_->hide();
    keepMouse(cornerImage_);

    // The panels are opaque: on a low screen the title picture lies behind
    // them, not over the texts.
    headerPanel_ = new QGroupBox(this);
    headerPanel_->setObjectName(QStringLiteral("GroupBoxA"));
    headerPanel_->setAutoFillBackground(true);
    keepMouse(headerPanel_);
    centreLabel_ =
        label(headerPanel_, "LAcad", QStringLiteral("Центр комп'ютерного тестування знань"), 0, 8,
              serif(28), kBlack);
    centreLabel_->setAlignment(Qt::AlignCenter);
    programNameLabel_ =
        label(headerPanel_, "PrName", QStringLiteral("QUIZDESK — програма тестування студентів"), 0,
              46, serif(27, true), kBlue);
    programNameLabel_->setAlignment(Qt::AlignCenter);

    titlePanel_ = new QGroupBox(this);
    titlePanel_->setObjectName(QStringLiteral("GroupBoxZ"));
    titlePanel_->resize(kLayoutWidth, kTitlePanelHeight);
    titlePanel_->setAutoFillBackground(true);
    keepMouse(titlePanel_);
    const QFont caption = pixelFont(17, true);
    subjectCaption_ = label(titlePanel_, "LNameD", QStringLiteral("Найменування дисципліни:"), 98,
                            10, caption, kBlack);
    testNameCaption_ =
        label(titlePanel_, "LTestName", QStringLiteral("Назва тесту:"), 679, 10, caption, kBlack);
    enterNameCaption_ =
        label(titlePanel_, "LEnterName", QStringLiteral("Введіть Ваші прізвище та ім'я:"), 89, 128,
              caption, kBlack);

    auto memo = [this](const char* name, int left) {
        auto* m = new QTextEdit(titlePanel_);
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
    subjectBox_ = memo("MDiscipline", 10);
    testNameBox_ = memo("MTestName", 492);

    studentNameBox_ = new QComboBox(titlePanel_);
    studentNameBox_->setObjectName(QStringLiteral("EditStName"));
    studentNameBox_->setEditable(true);
    studentNameBox_->setInsertPolicy(QComboBox::NoInsert);
    studentNameBox_->setFont(pixelFont(17, true));
    studentNameBox_->setGeometry(39, 158, 425, 33);

    examCheckBox_ = new QCheckBox(QStringLiteral("Екзаменаційне тестування"), titlePanel_);
    examCheckBox_->setObjectName(QStringLiteral("CB_ExamTest"));
    examCheckBox_->setAutoFillBackground(true);
    examCheckBox_->setBackgroundRole(QPalette::Window);
    setTextColour(examCheckBox_, QPalette::Window, kAqua);
    setTextColour(examCheckBox_, QPalette::WindowText, kBlack);
    examCheckBox_->setGeometry(630, 128, 120, 21);
    connect(examCheckBox_, &QCheckBox::clicked, this, &MainWindow::examClicked);

    beginButton_ = new QPushButton(QStringLiteral("Почати тестування"), titlePanel_);
    beginButton_->setObjectName(QStringLiteral("BeginTest"));
    beginButton_->setFont(serif(27));
    beginButton_->setGeometry(610, 158, 282, 40);
    // Enter on the focused button presses it, as Space does.
    beginButton_->setAutoDefault(true);
    connect(beginButton_, &QPushButton::clicked, this, &MainWindow::beginClicked);

    authorLabel_ = label(titlePanel_, "LAvtor", QStringLiteral("Розробка: команда QuizDesk, 2026"),
                         0, 0, pixelFont(16, true, true), kBlue);
    authorLabel_->setAlignment(Qt::AlignCenter);
}

void MainWindow::buildQuestionControls()
{
    const QFont strip = pixelFont(17, true);

    questionArea_ = new QuestionArea(this);
    questionArea_->hide();

    answerStrip_ = new QGroupBox(this);
    answerStrip_->setObjectName(QStringLiteral("GroupBox3"));
    answerStrip_->resize(kLayoutWidth, kAnswerStripHeight);
    // The strips are panels of the form: they cover the question screen
    // under them with the form's own background.
    answerStrip_->setAutoFillBackground(true);
    answerStrip_->hide();
    keepMouse(answerStrip_);
    answerCaption_ =
        label(answerStrip_, "Label5", QStringLiteral("Введіть відповідь:"), 5, 10, strip, kBlack);
    answerEdit_ = new QLineEdit(answerStrip_);
    answerEdit_->setObjectName(QStringLiteral("Edit"));
    answerEdit_->setFont(strip);
    answerEdit_->setMaxLength(kMaxAnswerLength);
    setTextColour(answerEdit_, QPalette::Text, kRed);
    connect(answerEdit_, &QLineEdit::textChanged, this, &MainWindow::answerTextChanged);

    statusStrip_ = new QGroupBox(this);
    statusStrip_->setObjectName(QStringLiteral("GroupBox1"));
    statusStrip_->resize(kLayoutWidth, kStatusHeight);
    statusStrip_->setAutoFillBackground(true);
    statusStrip_->hide();
    keepMouse(statusStrip_);
    questionCountCaption_ =
        label(statusStrip_, "Label1", QStringLiteral("Кількість питань у  тесті:"), 20, 10, strip,
              kBlack);
    questionNumberCaption_ = label(
        statusStrip_, "Label2", QStringLiteral("Номер поточного питання:"), 20, 39, strip, kBlack);
    lastAnswerCaption_ =
        label(statusStrip_, "Label3", QStringLiteral("Відповідь на попереднє питання:"), 20, 69,
              strip, kBlack);
    questionTimeCaption_ =
        label(statusStrip_, "Label6", QStringLiteral("Час на 1 питання:"), 394, 10, strip, kBlack);
    testEndCaption_ = label(statusStrip_, "Label7", QStringLiteral("Завершення тесту за"), 394, 39,
                            strip, kBlack);
    scoreCaption_ =
        label(statusStrip_, "Label4", QStringLiteral("Набрано балів:"), 394, 69, strip, kBlack);
    scoreLabel_ = label(statusStrip_, "Smarks", QStringLiteral("0"), 551, 69, strip, kBlue);
    reserveWidth(scoreLabel_, QStringLiteral("000.00"));
    minutesLeftLabel_ = label(statusStrip_, "L_tend", QStringLiteral("000"), 610, 39, strip, kBlue);
    reserveWidth(minutesLeftLabel_, QStringLiteral("000"));
    minutesCaption_ = label(statusStrip_, "Label8", QStringLiteral("хв"), 650, 39, strip, kBlack);

    countersBox_ = new QGroupBox(statusStrip_);
    countersBox_->setObjectName(QStringLiteral("GroupBox2"));
    countersBox_->setGeometry(325, 0, 50, 100);
    questionCountLabel_ = label(countersBox_, "N_quest", QString(), 10, 10, strip, kBlue);
    questionNumberLabel_ =
        label(countersBox_, "I_quest", QStringLiteral("1"), 10, 39, strip, kBlue);
    answerShape_ = new QFrame(countersBox_);
    answerShape_->setObjectName(QStringLiteral("Answer"));
    answerShape_->setFrameShape(QFrame::Box);
    answerShape_->setAutoFillBackground(true);
    setTextColour(answerShape_, QPalette::Window, Qt::white);
    answerShape_->setGeometry(10, 69, 31, 21);

    nextButton_ = new QPushButton(QStringLiteral("Наст. питання"), statusStrip_);
    nextButton_->setObjectName(QStringLiteral("Ready"));
    nextButton_->setFont(strip);
    nextButton_->setGeometry(807, 20, 139, 60);
    connect(nextButton_, &QPushButton::clicked, this, &MainWindow::readyClicked);

    questionTimeBar_ = new QProgressBar(statusStrip_);
    questionTimeBar_->setObjectName(QStringLiteral("ProgressBar"));
    questionTimeBar_->setRange(0, 100);
    questionTimeBar_->setValue(0);
    questionTimeBar_->setTextVisible(false);
    questionTimeBar_->setGeometry(561, 10, 225, 20);
}

// The aligned controls follow the client area: the header on top, the title
// panel and the status strip at the bottom, the title picture behind all.
void MainWindow::alignControls()
{
    const int w = width();
    const int h = height();
    titlePicture_->setGeometry(0, 0, w, h);
    titlePicture_->lower();
    headerPanel_->setGeometry(0, 0, w, headerHeight_);
    centreLabel_->setGeometry(0, centreLabel_->y(), w, centreLabel_->height());
    programNameLabel_->setGeometry(0, programNameLabel_->y(), w, programNameLabel_->height());
    titlePanel_->setGeometry(0, h - titlePanel_->height(), w, titlePanel_->height());
    const int avtorH = authorLabel_->sizeHint().height();
    authorLabel_->setGeometry(2, titlePanel_->height() - avtorH - 2, titlePanel_->width() - 4,
                              avtorH);
    statusStrip_->setGeometry(0, h - statusHeight_, statusStrip_->width(), statusHeight_);
    questionArea_->setGeometry(0, 0, w, h - statusHeight_);
}

void MainWindow::setAccessSource(QuestionAccessSource* source)
{
    questionArea_->setSource(source);
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
    statusStrip_->resize(w, statusStrip_->height());
    subjectBox_->setGeometry(s(8), subjectBox_->y(), s(380), subjectBox_->height());
    subjectCaption_->move(s(80), subjectCaption_->y());
    studentNameBox_->setGeometry(s(32), studentNameBox_->y(), s(345), studentNameBox_->height());
    enterNameCaption_->move(s(72), enterNameCaption_->y());
    testNameBox_->setGeometry(s(400), testNameBox_->y(), s(380), testNameBox_->height());
    testNameCaption_->move(s(552), testNameCaption_->y());
    beginButton_->setGeometry(s(496), beginButton_->y(), s(225), beginButton_->height());
}

void MainWindow::applyNarrowScreen()
{
    applyNarrowStrip();
    setPointSize(testNameBox_, 8);
    titlePanel_->resize(titlePanel_->width(), titlePanel_->height() - 40);
    testNameBox_->resize(testNameBox_->width(), testNameBox_->height() - 20);
    setPointSize(subjectCaption_, 8);
    setPointSize(subjectBox_, 8);
    subjectBox_->resize(subjectBox_->width(), subjectBox_->height() - 20);
    setPointSize(enterNameCaption_, 8);
    moveBy(studentNameBox_, 0, -30);
    moveBy(enterNameCaption_, 0, -20);
    setPointSize(authorLabel_, 8);
    setPointSize(testNameCaption_, 8);
    setPointSize(beginButton_, 14);
    moveBy(beginButton_, 0, -30);
    alignControls(); // the title panel stays on the bottom edge
}

// The status strip's part of the narrow-screen layout: smaller captions,
// the values and the button moved left.
void MainWindow::applyNarrowStrip()
{
    for (QLabel* l : {questionCountCaption_, questionNumberCaption_, lastAnswerCaption_,
                      scoreCaption_, questionTimeCaption_, testEndCaption_, minutesCaption_}) {
        setPointSize(l, 8);
    }
    moveBy(countersBox_, -64, 0);
    moveBy(questionTimeBar_, -60, 0);
    for (QLabel* l : {minutesCaption_, minutesLeftLabel_, scoreLabel_}) {
        moveBy(l, -100, 0);
    }
    moveBy(nextButton_, -200, 25);
    setPointSize(nextButton_, 8);
    nextButton_->resize(nextButton_->width(), nextButton_->height() - 15);
    narrowStrip_ = true;
}

// The layout positions suit a window of about 950 pixels or more. On a
// narrower one a control that would stand partly off the window, covered by
// another or too narrow for its caption is moved (or widened); all the others
// keep the places the layout tables give them.
void MainWindow::fitTitlePanel()
{
    const int panelW = titlePanel_->width();
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
    fit(beginButton_);
    // The check box keeps standing over the button, as wide and as far left.
    examCheckBox_->setGeometry(beginButton_->x(), examCheckBox_->y(), beginButton_->width(),
                               examCheckBox_->height());
    fit(examCheckBox_);
    // The narrow layout lifts the button to the check box's row: the check
    // box goes just above it.
    if (examCheckBox_->geometry().intersects(beginButton_->geometry())) {
        examCheckBox_->move(examCheckBox_->x(), beginButton_->y() - kGap - examCheckBox_->height());
    }
}

// "Наст. питання" at its layout left of 807 is off a window narrower than
// about 950 pixels. It goes to the strip's right edge; what it would cover
// there gives way: the time bar ends before it, the values follow their
// captions. Where even that leaves no room, the strip takes its narrow-screen
// layout (smaller captions) and is fitted again.
void MainWindow::fitStatusStrip()
{
    const std::vector<QWidget*> parts = {scoreCaption_,    questionTimeCaption_, testEndCaption_,
                                         scoreLabel_,      minutesLeftLabel_,    minutesCaption_,
                                         questionTimeBar_, nextButton_};
    std::vector<QRect> layoutPlaces;
    layoutPlaces.reserve(parts.size());
    for (QWidget* w : parts) {
        layoutPlaces.push_back(w->geometry());
    }
    if (settleStatusStrip() || narrowStrip_) {
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
    const int right = statusStrip_->width() - kEdgeGap;
    const std::vector<QWidget*> others = {
        questionCountCaption_, questionNumberCaption_, lastAnswerCaption_, countersBox_,
        scoreCaption_,         questionTimeCaption_,   testEndCaption_,    scoreLabel_,
        minutesLeftLabel_,     minutesCaption_,        questionTimeBar_};
    auto covered = [this](const QWidget* w) {
        return w->geometry().intersects(nextButton_->geometry().adjusted(-kGap, 0, kGap, 0));
    };
    auto clear = [&] {
        return rightOf(nextButton_) <= right && rightOf(questionTimeBar_) <= right &&
               std::none_of(others.begin(), others.end(), covered);
    };
    if (clear()) {
        return true;
    }
    if (rightOf(nextButton_) > right) {
        nextButton_->move(right - nextButton_->width(), nextButton_->y());
    }
    int barRight = right;
    if (sharesRows(questionTimeBar_, nextButton_)) {
        barRight = std::min(barRight, nextButton_->x() - kGap);
    }
    if (rightOf(questionTimeBar_) > barRight) {
        questionTimeBar_->resize(std::max(0, barRight - questionTimeBar_->x()),
                                 questionTimeBar_->height());
    }
    if (covered(minutesLeftLabel_) || covered(minutesCaption_)) {
        minutesLeftLabel_->move(rightOf(testEndCaption_) + 2 * kGap, minutesLeftLabel_->y());
        minutesCaption_->move(rightOf(minutesLeftLabel_) + kGap, minutesCaption_->y());
    }
    if (covered(scoreLabel_)) {
        scoreLabel_->move(rightOf(scoreCaption_) + 2 * kGap, scoreLabel_->y());
    }
    return clear() && questionTimeBar_->width() >= kMinBarWidth;
}

void MainWindow::placeStatusStrip()
{
    examCheckBox_->setGeometry(beginButton_->x(), examCheckBox_->y(), beginButton_->width(),
                               examCheckBox_->height());
    const int right = countersBox_->x() + countersBox_->width() + 10;
    for (QLabel* l : {scoreCaption_, questionTimeCaption_, testEndCaption_}) {
        l->move(right, l->y());
    }
    answerStrip_->setGeometry(statusStrip_->x(), statusStrip_->y() - answerStrip_->height(),
                              statusStrip_->width(), answerStrip_->height());
    answerCaption_->move(5, 10);
    answerEdit_->setGeometry(answerCaption_->x() + answerCaption_->width() + 5, answerCaption_->y(),
                             answerStrip_->width() - answerCaption_->width() - 20,
                             answerEdit_->sizeHint().height());
}

void MainWindow::showTitlePage(const std::string& discName, const std::string& testName)
{
    titlePicture_->setGeometry(0, 0, width(), height());
    statusStrip_->hide();
    titlePanel_->resize(width(), titlePanel_->height());
    alignControls();
    subjectBox_->clear();
    testNameBox_->clear();
    subjectBox_->setPlainText(QString::fromStdString(fromCp1251(discName)));
    testNameBox_->setPlainText(QString::fromStdString(fromCp1251(testName)));
    // The keyboard starts in the name box.
    studentNameBox_->setFocus();
    for (QTextEdit* m : {subjectBox_, testNameBox_}) {
        QTextCursor all(m->document());
        all.select(QTextCursor::Document);
        QTextBlockFormat centred;
        centred.setAlignment(Qt::AlignHCenter);
        all.mergeBlockFormat(centred);
    }
}

void MainWindow::showQuestionScreen()
{
    titlePicture_->hide();
    titlePanel_->hide();
    headerPanel_->hide();
    statusStrip_->show();
    questionScreen_ = true;
    questionArea_->show();
    keyHelp_->raise();
    // The keys go to the question screen (a typed question's box takes
    // the focus itself).
    setFocus();
    update();
}

void MainWindow::clearNameBox()
{
    studentNameBox_->clear();
    studentNameBox_->clearEditText();
}

void MainWindow::setWaitTimer(bool running)
{
    if (running) {
        serverWaitTimer_->start();
    } else {
        serverWaitTimer_->stop();
    }
}

void MainWindow::setQuestionTimer(bool running)
{
    if (running) {
        questionTimer_->start();
    } else {
        questionTimer_->stop();
    }
}

void MainWindow::showPicture(const QImage& picture, const QRect& where)
{
    const double s = screen_ != nullptr ? screen_->bitmap().scale() : 1.0;
    if (s != 1.0) {
        // As the question screen will draw it once captured.
        const QSize size(int(std::lround(picture.width() * s)),
                         int(std::lround(picture.height() * s)));
        cornerImage_->setPixmap(QPixmap::fromImage(picture.scaled(size)));
        cornerImage_->setGeometry(
            QRect(QPoint(int(std::lround(where.x() * s)), int(std::lround(where.y() * s))), size));
        cornerImage_->setEnabled(true);
        cornerImage_->show();
        cornerImage_->lower();
        return;
    }
    cornerImage_->setPixmap(QPixmap::fromImage(picture));
    cornerImage_->setGeometry(where);
    cornerImage_->setEnabled(true);
    cornerImage_->show();
    cornerImage_->lower();
}

void MainWindow::hidePicture()
{
    cornerImage_->setEnabled(false);
    cornerImage_->hide();
    cornerImage_->clear();
}

bool MainWindow::paintsScreen() const
{
    return screen_ != nullptr && questionScreen_ && !screen_->paintHold();
}

void MainWindow::repaintScreen()
{
    if (!paintsScreen()) {
        return; // what was drawn stays marked until painting is allowed
    }
    const QRect changed = screen_->bitmap().takeDirty();
    if (!changed.isEmpty()) {
        repaint(changed);
        questionArea_->notifyChanged();
    }
}

void MainWindow::paintEvent(QPaintEvent* event)
{
    if (!paintsScreen()) {
        return; // the title page, or a picture awaiting its capture
    }
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const QRect r = event->rect();
    painter.drawImage(r.topLeft(), screen_->image(), r);
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
    questionCountLabel_->setText(QString::number(n));
    questionCountLabel_->adjustSize();
}

void MainWindow::setQuestionNumber(int n)
{
    questionNumberLabel_->setText(QString::number(n));
    questionNumberLabel_->adjustSize();
}

void MainWindow::setAnswerColour(uint32_t colour)
{
    setTextColour(answerShape_, QPalette::Window, ScreenBitmap::toColor(colour));
    // The square says it by colour only: a screen reader gets it in words.
    answerShape_->setAccessibleName(colour == colour::statusGreen ? QStringLiteral("правильно")
                                                                  : QStringLiteral("неправильно"));
}

void MainWindow::setScoreText(const std::string& text)
{
    scoreLabel_->setText(QString::fromStdString(fromCp1251(text)));
    scoreLabel_->adjustSize();
}

void MainWindow::setProgress(int value, int maximum)
{
    questionTimeBar_->setMaximum(maximum);
    questionTimeBar_->setValue(std::clamp(value, questionTimeBar_->minimum(), maximum));
}

void MainWindow::setMinutesLeft(int minutes)
{
    minutesLeftLabel_->setText(QString::number(minutes));
    minutesLeftLabel_->adjustSize();
}

void MainWindow::setAnswerBox(bool shown, bool focus)
{
    if (!shown) {
        const bool hadFocus = answerStrip_->isAncestorOf(focusWidget());
        answerStrip_->hide();
        if (hadFocus && questionScreen_) {
            setFocus(); // back to the question screen's keys
        }
        return;
    }
    answerEdit_->clear();
    answerStrip_->show();
    if (focus) {
        answerEdit_->setFocus();
    }
}

void MainWindow::hideForResults()
{
    questionTimeBar_->setValue(0);
    questionTimer_->stop();
    questionArea_->hide();
    hide();
}

std::string MainWindow::studentName() const
{
    return toCp1251(studentNameBox_->currentText().toStdString());
}

bool MainWindow::examChecked() const
{
    return examCheckBox_->isChecked();
}

void MainWindow::setStudentNames(const std::vector<std::string>& names)
{
    // Filling the list changes neither the choice nor what has been typed
    // (a first item would otherwise become the current text).
    const int chosen = studentNameBox_->currentIndex();
    const QString typed = studentNameBox_->currentText();
    QStringList items;
    items.reserve(qsizetype(names.size()));
    for (const std::string& name : names) {
        items.append(QString::fromStdString(fromCp1251(name)));
    }
    // A whole new model at once (the box deletes the one it owned): a big
    // table costs one pass, where adding the names one by one costs
    // seconds.
    studentNameBox_->setModel(new QStringListModel(items, studentNameBox_));
    studentNameBox_->setCurrentIndex(chosen < studentNameBox_->count() ? chosen : -1);
    studentNameBox_->setEditText(typed);
}

void MainWindow::setTitleControlsEnabled(bool enabled)
{
    examCheckBox_->setEnabled(enabled);
    beginButton_->setEnabled(enabled);
}

void MainWindow::untickExamBox()
{
    examCheckBox_->setChecked(false);
}

void MainWindow::showExamLinkUp()
{
    setTextColour(statusStrip_, QPalette::Window, kAqua);
}

std::string MainWindow::answerText() const
{
    return toCp1251(answerEdit_->text().toStdString());
}

// A point of the window in the question screen's own pixels (larger text
// draws the screen larger; the same option stays under the same point).
QPoint MainWindow::screenPoint(const QPointF& p) const
{
    const double s = screen_ != nullptr ? screen_->bitmap().scale() : 1.0;
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
    if (scale != displayScale_ && scale > 0.0) {
        const double f = scale / displayScale_;
        displayScale_ = scale;
        // Every control of the title page and the strips, with its panel:
        // text and places grow together.
        for (QWidget* panel : std::initializer_list<QWidget*>{headerPanel_, titlePanel_,
                                                              statusStrip_, answerStrip_}) {
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
                const bool across = panel == titlePanel_ || panel == headerPanel_;
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
        headerHeight_ = int(std::lround(headerHeight_ * f));
        statusHeight_ = int(std::lround(statusHeight_ * f));
        titlePanel_->resize(titlePanel_->width(), int(std::lround(titlePanel_->height() * f)));
        answerStrip_->resize(answerStrip_->width(), int(std::lround(answerStrip_->height() * f)));
        headerPanel_->resize(headerPanel_->width(), headerHeight_);
        statusStrip_->resize(statusStrip_->width(), statusHeight_);
        alignControls();
        scaleTo(width());
        placeStatusStrip();
        layOutLargeStrip();
        fitTitlePanel();
        for (QLabel* l : {centreLabel_, programNameLabel_}) {
            l->setGeometry(0, l->y(), width(), l->sizeHint().height());
        }
        keyHelp_->setFont(pixelFont(int(std::lround(15 * scale)), true));
        questionArea_->setScale(scale);
    }
    if (highContrast && !highContrast_) {
        highContrast_ = true;
        // The documented scheme (see ScreenBitmap::highContrastColour): a
        // black ground, yellow text, cyan values, white captions of the boxes.
        const QColor yellow(255, 255, 0);
        const QColor cyan(0, 255, 255);
        for (QWidget* w : findChildren<QWidget*>()) {
            if (w == answerShape_ || w == titlePicture_ || w == cornerImage_) {
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
    }
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
    const double s = displayScale_;
    const int gap = int(std::lround(10 * s));
    const int rows[3] = {int(std::lround(10 * s)), int(std::lround(39 * s)),
                         int(std::lround(69 * s))};
    QLabel* left[3] = {questionCountCaption_, questionNumberCaption_, lastAnswerCaption_};
    int leftEnd = 0;
    for (int r = 0; r < 3; ++r) {
        left[r]->adjustSize();
        left[r]->move(int(std::lround(20 * s)), rows[r]);
        leftEnd = std::max(leftEnd, rightOf(left[r]));
    }
    countersBox_->move(leftEnd + gap, 0);
    const int x = rightOf(countersBox_) + gap;
    QLabel* right[3] = {questionTimeCaption_, testEndCaption_, scoreCaption_};
    for (int r = 0; r < 3; ++r) {
        right[r]->adjustSize();
        right[r]->move(x, rows[r]);
    }
    questionTimeBar_->move(rightOf(questionTimeCaption_) + gap, rows[0]);
    minutesLeftLabel_->move(rightOf(testEndCaption_) + gap, rows[1]);
    minutesCaption_->move(rightOf(minutesLeftLabel_) + gap / 2, rows[1]);
    scoreLabel_->move(rightOf(scoreCaption_) + gap, rows[2]);
    int used = std::max(
        {rightOf(minutesCaption_), rightOf(scoreLabel_), questionTimeBar_->x() + kMinBarWidth});
    const int w = statusStrip_->width();
    nextButton_->resize(std::max(nextButton_->sizeHint().width(), nextButton_->width() / 2),
                        nextButton_->height());
    int height = statusHeight_;
    if (used + gap + nextButton_->width() + kEdgeGap <= w) {
        nextButton_->move(w - kEdgeGap - nextButton_->width(),
                          (statusHeight_ - nextButton_->height()) / 2);
    } else {
        nextButton_->move(w - kEdgeGap - nextButton_->width(), statusHeight_);
        height = statusHeight_ + nextButton_->height() + gap;
    }
    const int barRight = nextButton_->y() < statusHeight_ ? nextButton_->x() - gap : w - kEdgeGap;
    questionTimeBar_->resize(std::max(kMinBarWidth, barRight - questionTimeBar_->x()),
                             questionTimeBar_->height());
    countersBox_->resize(countersBox_->width(), statusHeight_);
    if (height != statusHeight_) {
        statusHeight_ = height;
        statusStrip_->resize(w, height);
        alignControls();
        placeStatusStrip();
    }
}

void MainWindow::hideRunningResults()
{
    for (QWidget* w : std::initializer_list<QWidget*>{lastAnswerCaption_, answerShape_,
                                                      scoreCaption_, scoreLabel_}) {
        w->hide();
    }
}

void MainWindow::toggleKeyHelp()
{
    if (keyHelp_->isVisible()) {
        keyHelp_->hide();
        return;
    }
    keyHelp_->setGeometry(0, 0, width(), keyHelp_->heightForWidth(width()));
    keyHelp_->raise();
    keyHelp_->show();
}

bool MainWindow::keyHelpShown() const
{
    return keyHelp_->isVisible();
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        toggleKeyHelp();
        return;
    }
    // The title page: Enter in the name box begins the test, as the button.
    const bool enterKey = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enterKey && titlePanel_->isVisible() && beginButton_->isEnabled()) {
        beginButton_->click();
        return;
    }
    if (questionScreen_ && !answerStrip_->isVisible()) {
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
    if (enter && nextButton_->isVisible() && nextButton_->isEnabled()) {
        nextButton_->click();
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
