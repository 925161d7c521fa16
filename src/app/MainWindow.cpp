#include "app/MainWindow.h"

#include "definition/Cp1251.h"
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

namespace qd {

namespace {

// Design-time sizes of the form's client area and of the aligned groups.
constexpr int kDesignWidth = 800;
constexpr int kDesignHeight = 572;
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
// so the texts fit the design positions of the layout.
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

// An auto-sized label at its design position.
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
    resize(kDesignWidth, kDesignHeight);

    buildTitlePage();
    buildQuestionControls();

    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setInterval(50);
    connect(Timer, &QTimer::timeout, this, &MainWindow::questionTimerTicked);
    TimerWaitServer = new QTimer(this);
    TimerWaitServer->setObjectName(QStringLiteral("TimerWaitServer"));
    TimerWaitServer->setInterval(100);
    connect(TimerWaitServer, &QTimer::timeout, this, &MainWindow::waitTimerTicked);

    alignControls();
    placeStatusStrip();
}

void MainWindow::buildTitlePage()
{
    Zast = new QLabel(this);
    Zast->setObjectName(QStringLiteral("Zast"));
    Zast->setAlignment(Qt::AlignCenter);
    Zast->setPixmap(QPixmap::fromImage(titlePicture()));
    keepMouse(Zast);

    ImageJPG = new QLabel(this);
    ImageJPG->setObjectName(QStringLiteral("ImageJPG"));
    ImageJPG->setGeometry(453, 10, 129, 129);
    ImageJPG->setEnabled(false);
    ImageJPG->hide();
    keepMouse(ImageJPG);

    // The panels are opaque: on a low screen the title picture lies behind
    // them, not over the texts.
    GroupBoxA = new QGroupBox(this);
    GroupBoxA->setObjectName(QStringLiteral("GroupBoxA"));
    GroupBoxA->setAutoFillBackground(true);
    keepMouse(GroupBoxA);
    LAcad = label(GroupBoxA, "LAcad", QStringLiteral("Центр комп'ютерного тестування знань"), 0, 8,
                  serif(28), kBlack);
    LAcad->setAlignment(Qt::AlignCenter);
    PrName = label(GroupBoxA, "PrName",
                   QStringLiteral("QUIZDESK — програма тестування студентів"), 0, 46,
                   serif(27, true), kBlue);
    PrName->setAlignment(Qt::AlignCenter);

    GroupBoxZ = new QGroupBox(this);
    GroupBoxZ->setObjectName(QStringLiteral("GroupBoxZ"));
    GroupBoxZ->resize(kDesignWidth, kTitlePanelHeight);
    GroupBoxZ->setAutoFillBackground(true);
    keepMouse(GroupBoxZ);
    const QFont caption = pixelFont(17, true);
    LNameD = label(GroupBoxZ, "LNameD", QStringLiteral("Найменування дисципліни:"), 98, 10,
                   caption, kBlack);
    LTestName = label(GroupBoxZ, "LTestName", QStringLiteral("Назва тесту:"), 679, 10, caption,
                      kBlack);
    LEnterName = label(GroupBoxZ, "LEnterName", QStringLiteral("Введіть Ваші прізвище та ім'я:"),
                       89, 128, caption, kBlack);

    auto memo = [this](const char* name, int left) {
        auto* m = new QTextEdit(GroupBoxZ);
        m->setObjectName(QString::fromLatin1(name));
        m->setReadOnly(true);
        m->setFont(pixelFont(17, true));
        setTextColour(m, QPalette::Text, kBlue);
        m->setGeometry(left, 39, 468, 80);
        return m;
    };
    MDiscipline = memo("MDiscipline", 10);
    MTestName = memo("MTestName", 492);

    EditStName = new QComboBox(GroupBoxZ);
    EditStName->setObjectName(QStringLiteral("EditStName"));
    EditStName->setEditable(true);
    EditStName->setInsertPolicy(QComboBox::NoInsert);
    EditStName->setFont(pixelFont(17, true));
    EditStName->setGeometry(39, 158, 425, 33);

    CB_ExamTest = new QCheckBox(QStringLiteral("Екзаменаційне тестування"), GroupBoxZ);
    CB_ExamTest->setObjectName(QStringLiteral("CB_ExamTest"));
    CB_ExamTest->setAutoFillBackground(true);
    CB_ExamTest->setBackgroundRole(QPalette::Window);
    setTextColour(CB_ExamTest, QPalette::Window, kAqua);
    setTextColour(CB_ExamTest, QPalette::WindowText, kBlack);
    CB_ExamTest->setGeometry(630, 128, 120, 21);
    connect(CB_ExamTest, &QCheckBox::clicked, this, &MainWindow::examClicked);

    BeginTest = new QPushButton(QStringLiteral("Почати тестування"), GroupBoxZ);
    BeginTest->setObjectName(QStringLiteral("BeginTest"));
    BeginTest->setFont(serif(27));
    BeginTest->setGeometry(610, 158, 282, 40);
    // Enter on the focused button presses it, as Space does.
    BeginTest->setAutoDefault(true);
    connect(BeginTest, &QPushButton::clicked, this, &MainWindow::beginClicked);

    LAvtor = label(GroupBoxZ, "LAvtor", QStringLiteral("Розробка: команда QuizDesk, 2026"), 0, 0,
                   pixelFont(16, true, true), kBlue);
    LAvtor->setAlignment(Qt::AlignCenter);
}

void MainWindow::buildQuestionControls()
{
    const QFont strip = pixelFont(17, true);

    GroupBox3 = new QGroupBox(this);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    GroupBox3->resize(kDesignWidth, kAnswerStripHeight);
    // The strips are panels of the form: they cover the question screen
    // under them with the form's own background.
    GroupBox3->setAutoFillBackground(true);
    GroupBox3->hide();
    keepMouse(GroupBox3);
    Label5 = label(GroupBox3, "Label5", QStringLiteral("Введіть відповідь:"), 5, 10, strip, kBlack);
    Edit = new QLineEdit(GroupBox3);
    Edit->setObjectName(QStringLiteral("Edit"));
    Edit->setFont(strip);
    Edit->setMaxLength(kMaxAnswerLength);
    setTextColour(Edit, QPalette::Text, kRed);
    connect(Edit, &QLineEdit::textChanged, this, &MainWindow::answerTextChanged);

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->resize(kDesignWidth, kStatusHeight);
    GroupBox1->setAutoFillBackground(true);
    GroupBox1->hide();
    keepMouse(GroupBox1);
    Label1 = label(GroupBox1, "Label1", QStringLiteral("Кількість питань у  тесті:"), 20, 10, strip,
                   kBlack);
    Label2 = label(GroupBox1, "Label2", QStringLiteral("Номер поточного питання:"), 20, 39, strip,
                   kBlack);
    Label3 = label(GroupBox1, "Label3", QStringLiteral("Відповідь на попереднє питання:"), 20, 69,
                   strip, kBlack);
    Label6 = label(GroupBox1, "Label6", QStringLiteral("Час на 1 питання:"), 394, 10, strip, kBlack);
    Label7 = label(GroupBox1, "Label7", QStringLiteral("Завершення тесту за"), 394, 39, strip,
                   kBlack);
    Label4 = label(GroupBox1, "Label4", QStringLiteral("Набрано балів:"), 394, 69, strip, kBlack);
    Smarks = label(GroupBox1, "Smarks", QStringLiteral("0"), 551, 69, strip, kBlue);
    reserveWidth(Smarks, QStringLiteral("000.00"));
    L_tend = label(GroupBox1, "L_tend", QStringLiteral("000"), 610, 39, strip, kBlue);
    reserveWidth(L_tend, QStringLiteral("000"));
    Label8 = label(GroupBox1, "Label8", QStringLiteral("хв"), 650, 39, strip, kBlack);

    GroupBox2 = new QGroupBox(GroupBox1);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setGeometry(325, 0, 50, 100);
    N_quest = label(GroupBox2, "N_quest", QString(), 10, 10, strip, kBlue);
    I_quest = label(GroupBox2, "I_quest", QStringLiteral("1"), 10, 39, strip, kBlue);
    Answer = new QFrame(GroupBox2);
    Answer->setObjectName(QStringLiteral("Answer"));
    Answer->setFrameShape(QFrame::Box);
    Answer->setAutoFillBackground(true);
    setTextColour(Answer, QPalette::Window, Qt::white);
    Answer->setGeometry(10, 69, 31, 21);

    Ready = new QPushButton(QStringLiteral("Наст. питання"), GroupBox1);
    Ready->setObjectName(QStringLiteral("Ready"));
    Ready->setFont(strip);
    Ready->setGeometry(807, 20, 139, 60);
    connect(Ready, &QPushButton::clicked, this, &MainWindow::readyClicked);

    ProgressBar = new QProgressBar(GroupBox1);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);
    ProgressBar->setGeometry(561, 10, 225, 20);
}

// The aligned controls follow the client area: the header on top, the title
// panel and the status strip at the bottom, the title picture behind all.
void MainWindow::alignControls()
{
    const int w = width();
    const int h = height();
    Zast->setGeometry(0, 0, w, h);
    Zast->lower();
    GroupBoxA->setGeometry(0, 0, w, kHeaderHeight);
    LAcad->setGeometry(0, LAcad->y(), w, LAcad->height());
    PrName->setGeometry(0, PrName->y(), w, PrName->height());
    GroupBoxZ->setGeometry(0, h - GroupBoxZ->height(), w, GroupBoxZ->height());
    const int avtorH = LAvtor->sizeHint().height();
    LAvtor->setGeometry(2, GroupBoxZ->height() - avtorH - 2, GroupBoxZ->width() - 4, avtorH);
    GroupBox1->setGeometry(0, h - kStatusHeight, GroupBox1->width(), kStatusHeight);
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

// Design positions scaled to the width: the product first, then the
// truncated quotient.
void MainWindow::scaleTo(int w)
{
    auto s = [w](int design) { return w * design / kDesignWidth; };
    GroupBox1->resize(w, GroupBox1->height());
    MDiscipline->setGeometry(s(8), MDiscipline->y(), s(380), MDiscipline->height());
    LNameD->move(s(80), LNameD->y());
    EditStName->setGeometry(s(32), EditStName->y(), s(345), EditStName->height());
    LEnterName->move(s(72), LEnterName->y());
    MTestName->setGeometry(s(400), MTestName->y(), s(380), MTestName->height());
    LTestName->move(s(552), LTestName->y());
    BeginTest->setGeometry(s(496), BeginTest->y(), s(225), BeginTest->height());
}

void MainWindow::applyNarrowScreen()
{
    applyNarrowStrip();
    setPointSize(MTestName, 8);
    GroupBoxZ->resize(GroupBoxZ->width(), GroupBoxZ->height() - 40);
    MTestName->resize(MTestName->width(), MTestName->height() - 20);
    setPointSize(LNameD, 8);
    setPointSize(MDiscipline, 8);
    MDiscipline->resize(MDiscipline->width(), MDiscipline->height() - 20);
    setPointSize(LEnterName, 8);
    moveBy(EditStName, 0, -30);
    moveBy(LEnterName, 0, -20);
    setPointSize(LAvtor, 8);
    setPointSize(LTestName, 8);
    setPointSize(BeginTest, 14);
    moveBy(BeginTest, 0, -30);
    alignControls(); // the title panel stays on the bottom edge
}

// The status strip's part of the narrow-screen layout: smaller captions,
// the values and the button moved left.
void MainWindow::applyNarrowStrip()
{
    for (QLabel* l : {Label1, Label2, Label3, Label4, Label6, Label7, Label8}) {
        setPointSize(l, 8);
    }
    moveBy(GroupBox2, -64, 0);
    moveBy(ProgressBar, -60, 0);
    for (QLabel* l : {Label8, L_tend, Smarks}) {
        moveBy(l, -100, 0);
    }
    moveBy(Ready, -200, 25);
    setPointSize(Ready, 8);
    Ready->resize(Ready->width(), Ready->height() - 15);
    narrowStrip_ = true;
}

// The design positions suit a window of about 950 pixels or more. On a
// narrower one a control that would stand partly off the window, covered by
// another or too narrow for its caption is moved (or widened); all the others
// keep the places the layout tables give them.
void MainWindow::fitTitlePanel()
{
    const int panelW = GroupBoxZ->width();
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
    fit(BeginTest);
    // The check box keeps standing over the button, as wide and as far left.
    CB_ExamTest->setGeometry(BeginTest->x(), CB_ExamTest->y(), BeginTest->width(),
                             CB_ExamTest->height());
    fit(CB_ExamTest);
    // The narrow layout lifts the button to the check box's row: the check
    // box goes just above it.
    if (CB_ExamTest->geometry().intersects(BeginTest->geometry())) {
        CB_ExamTest->move(CB_ExamTest->x(), BeginTest->y() - kGap - CB_ExamTest->height());
    }
}

// "Наст. питання" at its design left of 807 is off a window narrower than
// about 950 pixels. It goes to the strip's right edge; what it would cover
// there gives way: the time bar ends before it, the values follow their
// captions. Where even that leaves no room, the strip takes its narrow-screen
// layout (smaller captions) and is fitted again.
void MainWindow::fitStatusStrip()
{
    const std::vector<QWidget*> parts = {Label4, Label6, Label7, Smarks,
                                         L_tend, Label8, ProgressBar, Ready};
    std::vector<QRect> design;
    for (QWidget* w : parts) {
        design.push_back(w->geometry());
    }
    if (settleStatusStrip() || narrowStrip_) {
        return;
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        parts[i]->setGeometry(design[i]);
    }
    applyNarrowStrip();
    placeStatusStrip();
    settleStatusStrip();
}

bool MainWindow::settleStatusStrip()
{
    const int right = GroupBox1->width() - kEdgeGap;
    const std::vector<QWidget*> others = {Label1, Label2, Label3, GroupBox2, Label4, Label6,
                                          Label7, Smarks, L_tend, Label8, ProgressBar};
    auto covered = [this](const QWidget* w) {
        return w->geometry().intersects(Ready->geometry().adjusted(-kGap, 0, kGap, 0));
    };
    auto clear = [&] {
        return rightOf(Ready) <= right && rightOf(ProgressBar) <= right &&
               std::none_of(others.begin(), others.end(), covered);
    };
    if (clear()) {
        return true;
    }
    if (rightOf(Ready) > right) {
        Ready->move(right - Ready->width(), Ready->y());
    }
    int barRight = right;
    if (sharesRows(ProgressBar, Ready)) {
        barRight = std::min(barRight, Ready->x() - kGap);
    }
    if (rightOf(ProgressBar) > barRight) {
        ProgressBar->resize(std::max(0, barRight - ProgressBar->x()), ProgressBar->height());
    }
    if (covered(L_tend) || covered(Label8)) {
        L_tend->move(rightOf(Label7) + 2 * kGap, L_tend->y());
        Label8->move(rightOf(L_tend) + kGap, Label8->y());
    }
    if (covered(Smarks)) {
        Smarks->move(rightOf(Label4) + 2 * kGap, Smarks->y());
    }
    return clear() && ProgressBar->width() >= kMinBarWidth;
}

void MainWindow::placeStatusStrip()
{
    CB_ExamTest->setGeometry(BeginTest->x(), CB_ExamTest->y(), BeginTest->width(),
                             CB_ExamTest->height());
    const int right = GroupBox2->x() + GroupBox2->width() + 10;
    for (QLabel* l : {Label4, Label6, Label7}) {
        l->move(right, l->y());
    }
    GroupBox3->setGeometry(GroupBox1->x(), GroupBox1->y() - GroupBox3->height(),
                           GroupBox1->width(), GroupBox3->height());
    Label5->move(5, 10);
    Edit->setGeometry(Label5->x() + Label5->width() + 5, Label5->y(),
                      GroupBox3->width() - Label5->width() - 20, Edit->sizeHint().height());
}

void MainWindow::showTitlePage(const std::string& discName, const std::string& testName)
{
    Zast->setGeometry(0, 0, width(), height());
    GroupBox1->hide();
    GroupBoxZ->resize(width(), GroupBoxZ->height());
    alignControls();
    MDiscipline->clear();
    MTestName->clear();
    MDiscipline->setPlainText(QString::fromStdString(fromCp1251(discName)));
    MTestName->setPlainText(QString::fromStdString(fromCp1251(testName)));
    for (QTextEdit* m : {MDiscipline, MTestName}) {
        QTextCursor all(m->document());
        all.select(QTextCursor::Document);
        QTextBlockFormat centred;
        centred.setAlignment(Qt::AlignHCenter);
        all.mergeBlockFormat(centred);
    }
}

void MainWindow::showQuestionScreen()
{
    Zast->hide();
    GroupBoxZ->hide();
    GroupBoxA->hide();
    GroupBox1->show();
    questionScreen_ = true;
    update();
}

void MainWindow::clearNameBox()
{
    EditStName->clear();
    EditStName->clearEditText();
}

void MainWindow::setWaitTimer(bool running)
{
    if (running) {
        TimerWaitServer->start();
    } else {
        TimerWaitServer->stop();
    }
}

void MainWindow::setQuestionTimer(bool running)
{
    if (running) {
        Timer->start();
    } else {
        Timer->stop();
    }
}

void MainWindow::showPicture(const QImage& picture, const QRect& where)
{
    ImageJPG->setPixmap(QPixmap::fromImage(picture));
    ImageJPG->setGeometry(where);
    ImageJPG->setEnabled(true);
    ImageJPG->show();
    ImageJPG->lower();
}

void MainWindow::hidePicture()
{
    ImageJPG->setEnabled(false);
    ImageJPG->hide();
    ImageJPG->clear();
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
    N_quest->setText(QString::number(n));
    N_quest->adjustSize();
}

void MainWindow::setQuestionNumber(int n)
{
    I_quest->setText(QString::number(n));
    I_quest->adjustSize();
}

void MainWindow::setAnswerColour(uint32_t colour)
{
    setTextColour(Answer, QPalette::Window, ScreenBitmap::toColor(colour));
}

void MainWindow::setScoreText(const std::string& text)
{
    Smarks->setText(QString::fromStdString(fromCp1251(text)));
    Smarks->adjustSize();
}

void MainWindow::setProgress(int value, int maximum)
{
    ProgressBar->setMaximum(maximum);
    ProgressBar->setValue(std::clamp(value, ProgressBar->minimum(), maximum));
}

void MainWindow::setMinutesLeft(int minutes)
{
    L_tend->setText(QString::number(minutes));
    L_tend->adjustSize();
}

void MainWindow::setAnswerBox(bool shown, bool focus)
{
    if (!shown) {
        GroupBox3->hide();
        return;
    }
    Edit->clear();
    GroupBox3->show();
    if (focus) {
        Edit->setFocus();
    }
}

void MainWindow::hideForResults()
{
    ProgressBar->setValue(0);
    Timer->stop();
    hide();
}

std::string MainWindow::studentName() const
{
    return toCp1251(EditStName->currentText().toStdString());
}

bool MainWindow::examChecked() const
{
    return CB_ExamTest->isChecked();
}

void MainWindow::setStudentNames(const std::vector<std::string>& names)
{
    // Filling the list changes neither the choice nor what has been typed
    // (a first item would otherwise become the current text).
    const int chosen = EditStName->currentIndex();
    const QString typed = EditStName->currentText();
    QStringList items;
    items.reserve(qsizetype(names.size()));
    for (const std::string& name : names) {
        items.append(QString::fromStdString(fromCp1251(name)));
    }
    // A whole new model at once (the box deletes the one it owned): a big
    // table costs one pass, where adding the names one by one costs
    // seconds.
    EditStName->setModel(new QStringListModel(items, EditStName));
    EditStName->setCurrentIndex(chosen < EditStName->count() ? chosen : -1);
    EditStName->setEditText(typed);
}

void MainWindow::setTitleControlsEnabled(bool enabled)
{
    CB_ExamTest->setEnabled(enabled);
    BeginTest->setEnabled(enabled);
}

void MainWindow::untickExamBox()
{
    CB_ExamTest->setChecked(false);
}

void MainWindow::showExamLinkUp()
{
    setTextColour(GroupBox1, QPalette::Window, kAqua);
}

std::string MainWindow::answerText() const
{
    return toCp1251(Edit->text().toStdString());
}

void MainWindow::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    emit mouseMoved(p.x(), p.y());
}

void MainWindow::mousePressEvent(QMouseEvent* event)
{
    // Every button, with any modifier, chooses alike.
    const QPoint p = event->position().toPoint();
    emit mousePressed(p.x(), p.y());
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click is a press like the first; the
    // double click itself means nothing.
    mousePressEvent(event);
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    // "Наст. питання" is the default button: Enter presses it wherever the
    // focus is (the answer box passes Enter on), while it is on the screen.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && Ready->isVisible() && Ready->isEnabled()) {
        Ready->click();
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
