#pragma once

#include <QImage>
#include <QPointF>
#include <QWidget>

#include <cstdint>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTextEdit;
class QTimer;

namespace qd {

class QuestionArea;
class QuestionAccessSource;
class QuestionScreen;

// The main window: the title page, the question screen's controls and the
// status strip. A thin shell: it shows what it is told and reports clicks,
// presses, moves, key presses and timer ticks through its signals; the test
// session decides what they mean. Controls keep fixed object names
// (ObjectNames.h) by which the tests and tools find them.
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);

    // Start-up, once per window: the window's client area takes `area` (its
    // width W and height H; a window manager's frame goes around it) and the
    // title page is scaled to W, with the narrow-screen layout below a width
    // of 650 pixels. Controls that would then be cut off or covered are
    // moved within their panels.
    void placeOnScreen(const QRect& area);
    // The title page of a loaded test (names in code page 1251).
    void showTitlePage(const std::string& discName, const std::string& testName);

    // The off-screen picture that paints the question screen.
    void setScreen(QuestionScreen* screen) { m_screen = screen; }
    // What screen readers are told of the drawn question screen.
    void setAccessSource(QuestionAccessSource* source);

    // What the session asks of the window.
    void showQuestionScreen();
    void clearNameBox();
    void setWaitTimer(bool running);
    void setQuestionTimer(bool running);
    void showPicture(const QImage& picture, const QRect& where);
    void hidePicture();
    void repaintScreen(); // the question screen's picture changed: paint it
    // Another question is shown: screen readers are told once the session
    // has finished showing it.
    void announceQuestion();
    void setHandCursor(bool hand);
    void setQuestionCount(int n);
    void setQuestionNumber(int n);
    void setAnswerColour(uint32_t colour);
    void setScoreText(const std::string& text);
    void setProgress(int value, int maximum);
    void setMinutesLeft(int minutes);
    void setAnswerBox(bool shown, bool focus);
    // The results take over: progress 0, question timer stopped, window hidden.
    void hideForResults();

    // Examination mode. The student list's names (code page 1251) replace
    // the name box's list, keeping what is typed there; the check
    // box and the begin button are greyed out while the link is being
    // opened; a refusal unticks the box; the status strip turns aqua once the
    // link is up and stays so.
    void setStudentNames(const std::vector<std::string>& names);
    void setTitleControlsEnabled(bool enabled);
    void untickExamBox();
    void showExamLinkUp();

    // A student's larger text (1 to 3) and high contrast: the title page and
    // the strips (the question screen's picture does its own), as large as
    // asked or, on a window too narrow for that, as large as fits it.
    void setDisplay(double scale, bool highContrast);
    // The height of the window's part that shows the question screen, above
    // the status strip (and the answer box when `typed`).
    int questionScreenHeight(bool typed) const;
    // Whether the strip's and the title page's controls lie within the
    // window, none over another.
    bool controlsFit() const;

    // A quiet exam: the right/wrong square and the running score are hidden
    // until the results window.
    void hideRunningResults();
    // The help line of the keys (F1 shows and hides it).
    void toggleKeyHelp();
    bool keyHelpShown() const;

    // The line above the title panel about the entered name's unfinished
    // run (code page 1251): that it will be resumed, or why not. Empty
    // hides it.
    void setResumeLine(const std::string& text);

    // What the student entered (code page 1251).
    std::string studentName() const;
    bool examChecked() const;
    std::string answerText() const;

signals:
    void beginClicked();
    void readyClicked();
    void waitTimerTicked();
    void questionTimerTicked();
    void mouseMoved(int x, int y);
    void mousePressed(int x, int y);
    // A key of the question screen (a TestSession::Key) for the keyboard
    // without a mouse; answered is set when the key meant something there.
    void answerKeyPressed(int key, bool* answered);
    void answerTextChanged(const QString& text);
    void examClicked();
    void closeRequested();
    // The name box's text changed, typed or picked from the list.
    void nameEdited();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildTitlePage();
    void buildQuestionControls();
    void alignControls();
    void placeResumeLine();
    void scaleTo(int w);
    void applyNarrowScreen();
    void applyNarrowStrip();
    void placeStatusStrip();
    void fitTitlePanel();
    void fitStatusStrip();
    bool settleStatusStrip();
    bool paintsScreen() const;
    QPoint screenPoint(const QPointF& p) const;
    void layOutLargeStrip();
    double fittingControlsScale(double scale) const;
    void applyScale(double scale);
    void applyHighContrast();

    QuestionScreen* m_screen = nullptr;
    bool m_questionScreen = false;
    bool m_narrowStrip = false;
    double m_displayScale = 1.0;   // the controls' scale
    double m_requestedScale = 1.0; // the student's text scale
    bool m_highContrast = false;
    int m_headerHeight = 90;
    int m_statusHeight = 100;

    QLabel* m_titlePicture = nullptr;
    QLabel* m_cornerImage = nullptr;
    QGroupBox* m_headerPanel = nullptr;
    QLabel* m_centreLabel = nullptr;
    QLabel* m_programNameLabel = nullptr;
    QGroupBox* m_titlePanel = nullptr;
    QLabel* m_subjectCaption = nullptr;
    QTextEdit* m_subjectBox = nullptr;
    QLabel* m_testNameCaption = nullptr;
    QTextEdit* m_testNameBox = nullptr;
    QLabel* m_enterNameCaption = nullptr;
    QComboBox* m_studentNameBox = nullptr;
    QCheckBox* m_examCheckBox = nullptr;
    QPushButton* m_beginButton = nullptr;
    QLabel* m_authorLabel = nullptr;
    QLabel* m_resumeLine = nullptr;
    QGroupBox* m_answerStrip = nullptr;
    QLabel* m_answerCaption = nullptr;
    QLineEdit* m_answerEdit = nullptr;
    QGroupBox* m_statusStrip = nullptr;
    QLabel* m_questionCountCaption = nullptr;
    QLabel* m_questionNumberCaption = nullptr;
    QLabel* m_lastAnswerCaption = nullptr;
    QLabel* m_scoreCaption = nullptr;
    QLabel* m_questionTimeCaption = nullptr;
    QLabel* m_testEndCaption = nullptr;
    QLabel* m_minutesCaption = nullptr;
    QLabel* m_scoreLabel = nullptr;
    QLabel* m_minutesLeftLabel = nullptr;
    QGroupBox* m_countersBox = nullptr;
    QLabel* m_questionCountLabel = nullptr;
    QLabel* m_questionNumberLabel = nullptr;
    QFrame* m_answerShape = nullptr;
    QPushButton* m_nextButton = nullptr;
    QProgressBar* m_questionTimeBar = nullptr;
    QLabel* m_keyHelp = nullptr;
    QuestionArea* m_questionArea = nullptr;
    QTimer* m_questionTimer = nullptr;
    QTimer* m_serverWaitTimer = nullptr;
};

} // namespace qd
