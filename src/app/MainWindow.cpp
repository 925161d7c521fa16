#include "app/MainWindow.h"

#include "app/ObjectNames.h"
#include "app/QuestionAccess.h"
#include "app/WindowLayout.h"
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

using namespace windowLayout;

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
    // The picture has the window's device pixels (see ScreenBitmap): drawn
    // whole at the origin it maps one to one, and the painter keeps to the
    // area to repaint.
    painter.setClipRegion(event->region());
    painter.drawImage(QPointF(0, 0), m_screen->image());
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

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click is a press like the first; the
    // double click itself means nothing.
    mousePressEvent(event);
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
