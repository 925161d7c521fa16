#include "screen/QuestionScreen.h"

#include "definition/AnswerLayout.h"
#include "definition/Cp1251.h"
#include "screen/TestFont.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <set>

namespace {

namespace colour = qd::colour;

constexpr int kW = 640;
constexpr int kH = 480;
constexpr int kFont = 16;
constexpr int kLineH = 20;

const QRgb kSilver = qRgb(192, 192, 192);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlack = qRgb(0, 0, 0);

// The drawing half alone; the rest of the view does nothing here.
struct Screen : qd::QuestionScreen
{
    using QuestionScreen::QuestionScreen;
    std::vector<std::string> faults;

    void message(const std::string&) override {}
    void beep() override {}
    void clearNameBox() override {}
    void setWaitTimer(bool) override {}
    void setQuestionTimer(bool) override {}
    void showQuestionScreen() override {}
    void repaint() override {}
    void setHandCursor(bool) override {}
    void setQuestionCount(int) override {}
    void setQuestionNumber(int) override {}
    void setAnswerColour(uint32_t) override {}
    void setScoreText(const std::string&) override {}
    void setProgress(int, int) override {}
    void setMinutesLeft(int) override {}
    void setAnswerBox(bool, bool) override {}
    void showResults(const qd::ResultsSummary&) override {}

protected:
    void pictureFault(const qd::Fault& f) override { faults.push_back(f.message); }
};

qd::AnswerSlot slot(const char* utf8, int row, int col, int cw)
{
    qd::AnswerSlot s;
    s.text = qd::toCp1251(utf8);
    s.startRow = s.endRow = row;
    s.startColumn = col;
    s.endColumn = col + int(s.text.size()) - 1;
    qd::rect(s, cw, kLineH);
    return s;
}

struct QuestionScreenTest : ::testing::Test
{
    QTemporaryDir tmp;
    qd::TestModel model;
    qd::ShownAnswers shown; // the answers as the session hands them to the screen
    int cw = qd::testFontCharWidth(kFont, false);
    std::array<bool, qd::kMaxAnswers> placed{};

    void SetUp() override
    {
        model.fontSize = kFont;
        model.lineHeight = kLineH;
        model.charWidth = cw;
        model.questions.resize(5);
        for (int q = 0; q < 5; ++q) {
            qd::Question& question = model.questions[std::size_t(q)];
            question.type = q == 1 ? qd::QuestionType::Ordering : qd::QuestionType::SingleChoice;
            question.picture = q >= 2 ? qd::PictureMode::WithOptions : qd::PictureMode::None;
            question.indent = 3 * cw;
            question.text = qd::toCp1251("Стовбур питання\r\nдругий рядок");
            question.options = {slot("<Київ>", 3, 4, cw), slot("<Одеса>", 4, 4, cw)};
            question.optionCount = 2;
        }
        picture(3, 200, 300);
        picture(4, 801, 40);
    }

    void picture(int number, int w, int h)
    {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(QColor(10, 200, 30));
        image.setPixelColor(0, 0, QColor(250, 0, 250));
        image.save(tmp.filePath(QString::number(number) + QStringLiteral(".bmp")), "BMP");
    }

    Screen screen() { return Screen(model, kW, kH, tmp.path().toStdString()); }

    // What the session does before drawAnswers: the rectangles move to the
    // screen, an ordering question's options one character to the right.
    int showAnswers(Screen& s, int q, int stemTop)
    {
        const qd::Question& question = model.questions[std::size_t(q)];
        shown = qd::ShownAnswers{question.options, question.columns};
        for (auto& a : shown.options) {
            a.top += stemTop;
            a.bottom += stemTop;
            if (question.type == qd::QuestionType::Ordering) {
                a.left += cw;
            }
        }
        const int whiteTop = shown.options[0].top - kLineH / 5;
        s.drawAnswers(q, shown, whiteTop, placed.data());
        return whiteTop;
    }
};

// The colours found in a rectangle of the image.
std::set<QRgb> coloursIn(const QImage& image, const QRect& r)
{
    std::set<QRgb> found;
    const QRect cut = r.intersected(image.rect());
    for (int y = cut.top(); y <= cut.bottom(); ++y) {
        for (int x = cut.left(); x <= cut.right(); ++x) {
            found.insert(image.pixel(x, y));
        }
    }
    return found;
}

TEST_F(QuestionScreenTest, StemInBlueAtItsIndentOnSilver)
{
    Screen s = screen();
    EXPECT_EQ(s.displayQuestion(0), 0);
    const QImage& img = s.image();
    EXPECT_EQ(img.size(), QSize(kW, kH));
    EXPECT_EQ(coloursIn(img, QRect(0, 2 * kLineH, kW, kH)), std::set<QRgb>{kSilver});
    // First line from the indent, the second from the left edge.
    EXPECT_EQ(coloursIn(img, QRect(0, 0, 3 * cw, kLineH)), std::set<QRgb>{kSilver});
    EXPECT_EQ(coloursIn(img, QRect(3 * cw, 0, 15 * cw, kFont)), (std::set<QRgb>{kSilver, kBlue}));
    EXPECT_EQ(coloursIn(img, QRect(0, kLineH, 2 * cw, kFont)), (std::set<QRgb>{kSilver, kBlue}));
    EXPECT_FALSE(s.paintHold());
    EXPECT_TRUE(s.picture().isNull());
}

TEST_F(QuestionScreenTest, AnswerAreaWhiteFromAFifthOfALineAboveTheFirstOption)
{
    Screen s = screen();
    s.displayQuestion(0);
    placed[1] = true;
    const int whiteTop = showAnswers(s, 0, 0);
    const QImage& img = s.image();
    EXPECT_EQ(img.pixel(kW - 1, whiteTop - 1), kSilver);
    EXPECT_EQ(img.pixel(0, whiteTop - 1), kSilver);
    EXPECT_EQ(coloursIn(img, QRect(0, whiteTop, kW, kH)), (std::set<QRgb>{kWhite, kBlack, kRed}));
    const auto& a = model.questions[0].options;
    const QRect first(a[0].left, a[0].top, a[0].right - a[0].left, kFont);
    const QRect second(a[1].left, a[1].top, a[1].right - a[1].left, kFont);
    EXPECT_EQ(coloursIn(img, first), (std::set<QRgb>{kWhite, kBlack}));
    EXPECT_EQ(coloursIn(img, second), (std::set<QRgb>{kWhite, kRed}));
    // Nothing outside the options' rectangles.
    QImage rest = img.copy(0, whiteTop, kW, kH - whiteTop);
    for (const QRect& r : {first, second}) {
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                rest.setPixel(x, y - whiteTop, kWhite);
            }
        }
    }
    EXPECT_EQ(coloursIn(rest, rest.rect()), std::set<QRgb>{kWhite});

    // Recolouring an option covers it exactly.
    s.drawOption(a[0], colour::blue);
    EXPECT_EQ(coloursIn(img, first), (std::set<QRgb>{kWhite, kBlue}));
    s.drawOption(a[0], colour::black);
    EXPECT_EQ(coloursIn(img, first), (std::set<QRgb>{kWhite, kBlack}));
}

TEST_F(QuestionScreenTest, OrderingQuestionHasABlueBarLeftOfEveryOption)
{
    Screen s = screen();
    s.displayQuestion(1);
    showAnswers(s, 1, 0);
    for (const auto& a : shown.options) {
        const QRect bar(QPoint(a.left - cw, a.top), QPoint(a.left - 1, a.bottom - 1));
        EXPECT_EQ(coloursIn(s.image(), bar), std::set<QRgb>{kBlue});
        EXPECT_EQ(s.image().pixel(a.left - cw, a.bottom), kWhite);
        EXPECT_EQ(s.image().pixel(a.left - cw - 1, a.top), kWhite);
        EXPECT_EQ(coloursIn(s.image(), QRect(a.left, a.top, a.right - a.left, kFont)),
                  (std::set<QRgb>{kWhite, kBlack}));
    }
}

TEST_F(QuestionScreenTest, PictureCentredAtTheTopShiftsTheQuestionBelowIt)
{
    Screen s = screen();
    const int stemTop = s.displayQuestion(2);
    EXPECT_EQ(stemTop, 310);
    EXPECT_EQ(s.pictureRect(), QRect(220, 10, 200, 300));
    EXPECT_TRUE(s.paintHold());
    const QImage& img = s.image();
    // The stem starts below the picture; until the capture the picture's
    // place in the off-screen picture is still silver.
    EXPECT_EQ(coloursIn(img, QRect(0, 0, kW, 310)), std::set<QRgb>{kSilver});
    EXPECT_EQ(coloursIn(img, QRect(3 * cw, 310, 15 * cw, kFont)), (std::set<QRgb>{kSilver, kBlue}));
    const int whiteTop = showAnswers(s, 2, stemTop);
    EXPECT_EQ(whiteTop, 310 + 2 * kLineH - kLineH / 5);
    EXPECT_EQ(shown.options[0].top, 310 + 2 * kLineH);
    EXPECT_EQ(img.pixel(0, whiteTop - 1), kSilver);
    EXPECT_EQ(img.pixel(0, whiteTop), kWhite);

    s.capturePicture();
    EXPECT_FALSE(s.paintHold());
    EXPECT_EQ(img.pixel(220, 10), qRgb(250, 0, 250));
    EXPECT_EQ(coloursIn(img, QRect(221, 10, 199, 300)), std::set<QRgb>{qRgb(10, 200, 30)});
    EXPECT_EQ(img.pixel(219, 10), kSilver);
    EXPECT_EQ(img.pixel(420, 10), kSilver);
    EXPECT_EQ(img.pixel(300, 310), kSilver);
}

TEST_F(QuestionScreenTest, PictureWiderThanTheWindowHangsOutOnBothSides)
{
    Screen s = screen();
    EXPECT_EQ(s.displayQuestion(3), 50);
    // (640 - 801) / 2 truncated toward zero.
    EXPECT_EQ(s.pictureRect(), QRect(-80, 10, 801, 40));
    s.capturePicture();
    EXPECT_EQ(coloursIn(s.image(), QRect(0, 10, kW, 40)), std::set<QRgb>{qRgb(10, 200, 30)});
}

TEST_F(QuestionScreenTest, MissingPictureIsReportedAndTheQuestionDrawnWithout)
{
    model.questions[2].picture = qd::PictureMode::PictureOnly;
    Screen s = screen();
    QFile::remove(tmp.filePath(QStringLiteral("3.bmp")));
    EXPECT_EQ(s.displayQuestion(2), 0);
    ASSERT_EQ(s.faults.size(), 1u);
    EXPECT_EQ(s.faults[0], qd::toCp1251("Не удалось загрузить файл 3.jpg либо 3.bmp!"));
    EXPECT_FALSE(s.paintHold());
    EXPECT_EQ(coloursIn(s.image(), QRect(3 * cw, 0, 15 * cw, kFont)),
              (std::set<QRgb>{kSilver, kBlue}));
    // A picture-only question has no answer area.
    const qd::Question& typed = model.questions[2];
    s.drawAnswers(2, qd::ShownAnswers{typed.options, typed.columns}, qd::SessionView::kNoAnswerArea,
                  placed.data());
    EXPECT_EQ(coloursIn(s.image(), QRect(0, 2 * kLineH, kW, kH)).count(kWhite), 0u);
}

// ---- Larger text ------------------------------------------------------------

// Whether the option's glyphs show, whole, where the scaled screen puts it.
bool drawnWholeAt(const QImage& img, const qd::AnswerSlot& a, double scale)
{
    const QRect r(QPoint(int(a.left * scale), int(a.top * scale)),
                  QPoint(int(a.right * scale) - 1, int(a.bottom * scale) - 1));
    return img.rect().contains(r) && coloursIn(img, r).count(kBlack) == 1;
}

TEST_F(QuestionScreenTest, LargerTextIsAsLargeAsAskedWhenTheQuestionFits)
{
    Screen s = screen();
    s.setDisplay(2.0, false);
    s.displayQuestion(0);
    showAnswers(s, 0, 0);
    EXPECT_EQ(s.bitmap().scale(), 2.0);
    for (const auto& a : shown.options) {
        EXPECT_TRUE(drawnWholeAt(s.image(), a, 2.0));
    }
}

TEST_F(QuestionScreenTest, LargerTextShrinksToFitAQuestionWiderThanTheWindowByTheScale)
{
    // An option far to the right: twice as large it would end past the
    // window's right edge.
    qd::Question& wide = model.questions[0];
    wide.options.push_back(slot("<Далеко праворуч>", 4, 40, cw));
    wide.optionCount = 3;
    ASSERT_GT(wide.options[2].right * 2, kW);
    Screen s = screen();
    s.setDisplay(2.0, false);
    s.displayQuestion(0);
    showAnswers(s, 0, 0);
    const double scale = s.bitmap().scale();
    EXPECT_LT(scale, 2.0);
    EXPECT_GT(scale, 1.0);
    // As large as fits: the far option ends within a cell of the edge.
    EXPECT_LE(wide.options[2].right * scale, kW);
    EXPECT_GT(wide.options[2].right * scale, kW - cw * scale);
    for (const auto& a : shown.options) {
        EXPECT_TRUE(drawnWholeAt(s.image(), a, scale));
    }
    // The next question, narrow, is drawn as large as asked again.
    s.displayQuestion(1);
    EXPECT_EQ(s.bitmap().scale(), 2.0);
}

TEST_F(QuestionScreenTest, LargerTextFitsTheHeightAboveTheStripsButNeverShrinksBelowTheTest)
{
    struct Case
    {
        int visibleHeight;
        double expected;
    };
    // The lowest option ends at line 4 (its focus bar 2 pixels below).
    const int bottom = 4 * kLineH;
    for (const Case c : {Case{2 * bottom, 2.0}, Case{bottom * 3 / 2, 1.5}, Case{bottom / 2, 1.0}}) {
        Screen s = screen();
        s.setDisplay(2.0, false);
        s.setVisibleArea(kW, c.visibleHeight, c.visibleHeight);
        s.displayQuestion(0);
        EXPECT_DOUBLE_EQ(s.bitmap().scale(), c.expected) << c.visibleHeight;
    }
}

TEST_F(QuestionScreenTest, LargerTextCentresThePictureInWhatTheWindowShows)
{
    Screen s = screen();
    s.setDisplay(2.0, false);
    const int stemTop = s.displayQuestion(2);
    const double scale = s.bitmap().scale();
    // The picture (300 high) and the question under it fit the height.
    EXPECT_LT(scale, 2.0);
    EXPECT_LE((stemTop + 4 * kLineH) * scale, kH);
    const QRect r = s.pictureRect();
    EXPECT_NEAR((r.left() + r.width() / 2.0) * scale, kW / 2.0, scale);
}

} // namespace
