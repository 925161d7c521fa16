// The question screen in the program's window, 1920 x 1080: `display` of a
// question with 50 options (background, stem, answer area, every option in
// the test font, into the off-screen picture) and a hover (the engine's hit test, one
// option back to black, the next one blue, and the window's repaint of what
// changed). Aims: display under 5 ms, a hover under 1 ms.

#include "app/MessageReporter.h"
#include "app/QuizDeskApp.h"
#include "app/MainWindow.h"
#include "app/ResultsWindow.h"
#include "definition/Cp1251.h"
#include "definition/TestLoader.h"
#include "run/ManualClock.h"
#include "run/RunStart.h"
#include "screen/TestFont.h"

#include <QApplication>
#include <QEvent>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <variant>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// One multiple-choice question of 50 options in two columns of 25 lines,
// under a three-line stem; the header asks it once, in file order.
std::string questionsFile()
{
    std::string text =
        "1) Позначте всі правильні твердження про річки, міста та області України.\r\n"
        "Кожне твердження стосується однієї річки або одного міста; правильних\r\n"
        "тверджень кілька, неправильні позначки зменшують бал.\r\n";
    for (int line = 0; line < 25; ++line) {
        char row[160];
        std::snprintf(
            row, sizeof row,
            "   <Твердження номер %02d про річку>      <Твердження номер %02d про місто>%s\r\n",
            line * 2 + 1, line * 2 + 2, line == 24 ? "#" : "");
        text += row;
    }
    return qd::toCp1251(text);
}

std::string answersFile()
{
    const char* header[20][2] = {{"Назва дисципліни", " Географія України#"},
                                 {"Назва тесту", " Швидкодія#"},
                                 {"Кількість питань у тесті", "1"},
                                 {"Кількість розділів", "1"},
                                 {"Номер першого питання", "1"},
                                 {"Задавати питань", "1"},
                                 {"Розмір шрифту", "16"},
                                 {"Жирний шрифт", "0"},
                                 {"Час на одне питання, с", "120"},
                                 {"Час на весь тест, хв", "30"},
                                 {"Задовільно від, %", "60"},
                                 {"Добре від, %", "75"},
                                 {"Відмінно від, %", "90"},
                                 {"Оцінка за часом", "0"},
                                 {"Відмінно до, с", "600"},
                                 {"Добре до, с", "900"},
                                 {"Задовільно до, с", "1200"},
                                 {"Розділи випадково", "0"},
                                 {"Питання випадково", "0"},
                                 {"Відповіді випадково", "0"}};
    std::string text;
    for (const auto& item : header) {
        text += std::string(item[0]) + ": " + item[1] + "\r\n";
    }
    text += "\r\n1) 2 / 1,4,9,16,25,36,49 / 7\r\n";
    return qd::toCp1251(text);
}

// Counts the paint events a window receives.
struct PaintCounter : QObject
{
    int64_t paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        paints += e->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

// The program's window and session on the question, as the student sees it.
struct Screen
{
    qd::MessageReporter reporter{qd::MessageReporter::Actions{}};
    qd::MainWindow form;
    qd::ResultsWindow results;
    qd::ManualClock clock;
    std::unique_ptr<qd::QuizDeskApp> app;

    bool start()
    {
        form.placeOnScreen(QRect(0, 0, kWidth, kHeight));
        qd::LoadResult loaded =
            qd::loadTestBytes(questionsFile(), answersFile(),
                              qd::WindowGeometry{0, 0, kWidth, kHeight}, qd::testFontCharWidth);
        auto* model = std::get_if<std::unique_ptr<qd::TestModel>>(&loaded);
        if (model == nullptr || (*model)->questions[0].optionCount != 50) {
            return false;
        }
        qd::StartedTest run{std::move(*model), qd::RunState(), {}, nullptr};
        if (!qd::prepareRun(*run.model, run.state, 1).ok()) {
            return false;
        }
        app = std::make_unique<qd::QuizDeskApp>(std::move(run), form, results, reporter, clock,
                                                std::filesystem::temp_directory_path());
        form.show();
        QCoreApplication::processEvents();    // the window is on the screen before it is timed
        app->session().clickBegin("", false); // no name: no report
        app->session().waitTick();
        return app->session().phase() == qd::TestSession::Phase::Question;
    }

    QPoint centre(int row) const
    {
        const qd::AnswerSlot& s = app->session().slotAt(0, row);
        return QPoint((s.left + s.right) / 2, (s.top + s.bottom) / 2);
    }
};

// Made on first use and released by main() while the application still
// exists: widgets must not outlive it.
std::unique_ptr<Screen> g_screen;

Screen& screen()
{
    if (!g_screen) {
        g_screen = std::make_unique<Screen>();
        if (!g_screen->start()) {
            std::fprintf(stderr, "the 50-option question did not load\n");
            std::exit(1);
        }
    }
    return *g_screen;
}

// What showing the question draws: the screen with its stem, then the
// answer area with every option (display and drawAnswerArea).
void BM_Display50Options(benchmark::State& state)
{
    Screen& s = screen();
    qd::WindowView& view = s.app->view();
    const qd::TestModel& model = s.app->session().model();
    const qd::RunState& run = s.app->session().state();
    const int q = run.currentQuestion;
    const int whiteTop = model.questions[std::size_t(q)].options[0].top - model.lineHeight / 5;
    const auto& placed = run.placed;
    for (auto _ : state) {
        view.displayQuestion(q);
        view.drawAnswers(q, run.shown, whiteTop, placed.data());
        benchmark::DoNotOptimize(view.image().constBits());
    }
}
BENCHMARK(BM_Display50Options)->Unit(benchmark::kMillisecond);

// The pointer going from one option to another: the session's hit test,
// two options redrawn and the window repainting the changed area.
void BM_HoverWithRepaint(benchmark::State& state)
{
    Screen& s = screen();
    const QPoint a = s.centre(48);
    const QPoint b = s.centre(49);
    bool onA = false;
    PaintCounter counter;
    s.form.installEventFilter(&counter);
    for (auto _ : state) {
        const QPoint p = onA ? b : a;
        s.app->session().mouseMove(p.x(), p.y());
        onA = !onA;
    }
    s.form.removeEventFilter(&counter);
    benchmark::DoNotOptimize(s.app->view().image().constBits());
    // One repaint of the window per hover.
    state.counters["paints"] =
        benchmark::Counter(double(counter.paints), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_HoverWithRepaint)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_screen.reset();
    return 0;
}
