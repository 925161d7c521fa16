// Every line of text on the question screen shows whole, on every window
// width from the narrowest lab screen (638 pixels inside a window manager's
// frame on a 640-pixel screen) to 3840, at the test's font sizes: the stem's
// first line at the window's top edge keeps the marks above its capitals
// (Й, Ї, Ґ, Ё), and the stem's last line keeps its descenders where the
// white answer area begins a fifth of a line above the first option.
#include "MessageRecorder.h"

#include "app/MainWindow.h"
#include "app/MessageReporter.h"
#include "app/QuizDeskApp.h"
#include "app/ResultsWindow.h"
#include "app/StartUp.h"
#include "definition/Cp1251.h"
#include "run/ManualClock.h"
#include "screen/ScreenBitmap.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

const fs::path kDemo = fs::path(QUIZDESK_SOURCE_DIR) / "examples" / "demo";

std::string readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void replaceOnce(std::string& text, const std::string& from, const std::string& to)
{
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << qd::fromCp1251(from);
    text.replace(at, from.size(), to);
}

struct Case
{
    int width;
    int height;
    int fontSize; // as the header writes it; a narrow window takes 4 off
    bool bold;
};

// Whether a pixel shows the screen's background (the grey of the screen or
// the white of the answer area) rather than ink of some text or marker.
bool background(QRgb p)
{
    return p == qRgb(192, 192, 192) || p == qRgb(255, 255, 255);
}

class QuestionLinesTest : public ::testing::TestWithParam<Case>
{
protected:
    QTemporaryDir tmp;
    QByteArray savedHome = qgetenv("HOME");

    void TearDown() override { qputenv("HOME", savedHome); }

    // The demo test with the given font, its first stem holding capitals
    // with marks above and letters with descenders.
    fs::path writeTest(const Case& c)
    {
        const fs::path dir = fs::path(tmp.path().toStdString()) / "test";
        fs::create_directories(dir);
        std::string questions = readFile(kDemo / "source" / "voprosi.txt");
        replaceOnce(questions, qd::toCp1251("Яке місто"),
                    qd::toCp1251("Йорданія, Їжакевич, Ґанок, Ёж, Ўзбек: щука цупко. Яке місто"));
        std::string answers = readFile(kDemo / "source" / "otveti.txt");
        replaceOnce(answers, qd::toCp1251("Розмір шрифту: 16"),
                    qd::toCp1251("Розмір шрифту: ") + std::to_string(c.fontSize));
        replaceOnce(answers, qd::toCp1251("Жирний шрифт: 0"),
                    qd::toCp1251(c.bold ? "Жирний шрифт: 1" : "Жирний шрифт: 0"));
        std::ofstream(dir / "voprosi.txt", std::ios::binary) << questions;
        std::ofstream(dir / "otveti.txt", std::ios::binary) << answers;
        for (const char* picture : {"7.jpg", "8.bmp", "9.jpg"}) {
            fs::copy_file(kDemo / picture, dir / picture);
        }
        fs::create_directories(dir / "home");
        qputenv("HOME", QByteArray::fromStdString((dir / "home").string()));
        return dir;
    }
};

// Each text of the question screen (the stem and every option) is drawn
// alone on a canvas with room all round; wherever it has ink there, the
// window must show ink too, not the background that cut it off.
TEST_P(QuestionLinesTest, NoLineOfAnyQuestionIsCut)
{
    const Case c = GetParam();
    const fs::path dir = writeTest(c);
    MessageRecorder messages;
    messages.fatalFailsTest = true;
    const qd::MessageReporter reporter = messages.reporter();
    qd::MainWindow form;
    qd::ResultsWindow results;
    qd::ManualClock clock{qd::LocalTime{2026, 12, 7, 10, 5, 9}};
    auto run = qd::startUp(form, reporter, dir, QRect(0, 0, c.width, c.height), 3);
    ASSERT_TRUE(run.has_value());
    qd::QuizDeskApp app(std::move(*run), form, results, reporter, clock, dir);
    form.show();
    qd::TestSession& session = app.session();
    const qd::TestModel& model = session.model();
    session.clickBegin("", false);
    session.waitTick();

    int questions = 0;
    while (session.phase() == qd::TestSession::Phase::Question) {
        ASSERT_TRUE(session.questionTick().ok()); // the picture's capture
        const int q = session.state().currentQuestion;
        const qd::Question& question = model.questions[std::size_t(q)];
        struct Text
        {
            std::string text;
            int x, y;
        };
        std::vector<Text> texts{{question.text, question.indent, session.state().stemTop}};
        for (const qd::AnswerSlot& s : session.state().shown.options) {
            if (question.pickedFromList()) {
                texts.push_back({s.text, s.left, s.top});
            }
        }
        for (const qd::Column& column : session.state().shown.columns) {
            for (const qd::AnswerSlot& s : column.cells) {
                texts.push_back({s.text, s.left, s.top});
            }
        }
        // Only what lies above the status strip (and the answer box) shows.
        const int shownHeight = form.questionScreenHeight(question.answeredByTyping());
        const QImage window = form.grab(QRect(0, 0, c.width, shownHeight)).toImage();
        constexpr int kRoom = 40;
        for (const Text& t : texts) {
            const int lines = int(std::count(t.text.begin(), t.text.end(), '\n')) + 1;
            const int h = lines * model.lineHeight + model.fontSize + 2 * kRoom;
            qd::ScreenBitmap alone(c.width, h);
            alone.setTestFont(model.fontSize, model.fontBold != 0, model.lineHeight);
            alone.fillRect(qd::colour::silver, 0, 0, c.width, h);
            alone.drawText(t.text, qd::colour::blue, t.x, kRoom);
            int ink = 0;
            for (int y = 0; y < h; ++y) {
                const int wy = y - kRoom + t.y;
                for (int x = 0; x < c.width; ++x) {
                    if (alone.image().pixel(x, y) != qRgb(0, 0, 255) || wy >= shownHeight) {
                        continue;
                    }
                    ++ink;
                    ASSERT_TRUE(wy >= 0 && !background(window.pixel(x, wy)))
                        << "question " << q + 1 << ", text \"" << qd::fromCp1251(t.text)
                        << "\": ink at " << x << "," << wy << " is cut";
                }
            }
            if (t.y < shownHeight) {
                EXPECT_GT(ink, 0) << qd::fromCp1251(t.text);
            }
        }
        ++questions;
        ASSERT_TRUE(session.clickNext().ok());
    }
    EXPECT_EQ(questions, 12);
}

// Lab screens from 640 x 480 (638 inside a frame; the narrow layout, with
// lines closer than the font is high) up to 3840 x 2160, at the smallest,
// the usual and the largest fonts, and bold ones.
INSTANTIATE_TEST_SUITE_P(Widths, QuestionLinesTest,
                         ::testing::Values(Case{638, 459, 16, false}, Case{640, 480, 10, false},
                                           Case{640, 480, 15, false}, Case{649, 480, 28, true},
                                           Case{650, 480, 16, false}, Case{800, 600, 11, false},
                                           Case{1024, 768, 16, false}, Case{1024, 768, 18, true},
                                           Case{1280, 1024, 22, false}, Case{1920, 1080, 14, false},
                                           Case{2560, 1440, 28, false},
                                           Case{3840, 2160, 18, false}));

} // namespace
