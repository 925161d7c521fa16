#pragma once

#include "definition/Accommodations.h"
#include "definition/TestModel.h"
#include "run/RunState.h"

#include <cstdint>
#include <string>

namespace qd {

// What the results window shows (texts in code page 1251).
struct ResultsSummary
{
    std::string testName; // the extended test name (two lines)
    std::string points;   // "%.2f"
    int maxScore = 0;
    int percent = 0;
    uint32_t minutes = 0;
    uint32_t seconds = 0;
    std::string grade;             // or "Тест не завершено!"
    bool everyPointEarned = false; // window cut to 210 pixels, no wrong list
    std::string wrongList;         // "%3d, " per wrong question, ascending
    // "Пристосування: time=2; quiet" when the run had any; empty otherwise.
    std::string accommodations;
};

// Everything the test session asks of the window. The session never draws:
// it decides what changes and tells the view; the window (or the examiner's
// dry run) carries it out. Colours are packed 0x00BBGGRR.
class SessionView
{
public:
    virtual ~SessionView() = default;

    // Messages: a non-fatal message box (text in code page 1251).
    virtual void message(const std::string& text) = 0;
    virtual void beep() = 0; // the warning beep of a question's time limit

    // Title page.
    virtual void clearNameBox() = 0;

    // Timers: the 100 ms start wait and the 50 ms question timer.
    virtual void setWaitTimer(bool running) = 0;
    virtual void setQuestionTimer(bool running) = 0;

    // Question screen. showQuestionScreen hides the title page and shows the
    // status strip. displayQuestion starts the screen of question q in the
    // off-screen picture: silver background, the picture (loaded and placed,
    // shown by the window itself until capturePicture), the stem in blue at
    // (indent, stemTop). Returns stemTop: 0, or the picture's height + 10.
    virtual void showQuestionScreen() = 0;
    virtual int displayQuestion(int q) = 0;
    // Draws the answer area of q: white from whiteTop to the bottom (none
    // when it is kNoAnswerArea: a picture-only question), then every option
    // (for types 4 and 6 every cell of every column) at its rectangle in the
    // red when placed[j] is set for its index j, else black, and for type 3 a
    // blue marker bar one character wide left of each option. The
    // rectangles are those of `shown`, in screen coordinates.
    static constexpr int kNoAnswerArea = -2147483647 - 1;
    virtual void drawAnswers(int q, const ShownAnswers& shown, int whiteTop,
                             const bool* placed) = 0;
    virtual void drawOption(const AnswerSlot& slot, uint32_t colour) = 0;
    virtual void fillRect(uint32_t colour, int left, int top, int right, int bottom) = 0;
    virtual void repaint() = 0;
    // Copies the picture as the window shows it into the off-screen picture.
    virtual void capturePicture() = 0;
    virtual void setHandCursor(bool hand) = 0;

    // Status strip and answer strip.
    virtual void setQuestionCount(int n) = 0;               // questions in the test
    virtual void setQuestionNumber(int n) = 0;              // the one shown
    virtual void setAnswerColour(uint32_t colour) = 0;      // the shape Answer
    virtual void setScoreText(const std::string& text) = 0; // points so far
    virtual void setProgress(int value, int maximum) = 0;
    virtual void setMinutesLeft(int minutes) = 0; // of the test time
    // The typed-answer strip: shown (cleared) for typed questions, with the
    // keyboard focus.
    virtual void setAnswerBox(bool shown, bool focus) = 0;

    // The student's accommodations, once, before the question screen is
    // first shown (only when there are any): text scale and contrast of the
    // question screen, the strip and the title page; a quiet exam hides the
    // right/wrong square and the running score. The session itself leaves
    // the square and the score alone in a quiet exam.
    virtual void applyAccommodation(const Accommodation& a) { (void)a; }

    // The end of the test.
    virtual void showResults(const ResultsSummary& results) = 0;
};

} // namespace qd
