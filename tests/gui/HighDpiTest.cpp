// The question screen on scaled screens (QT_SCALE_FACTOR 1, 1.5 and 2): the
// layout and the hit test stay in the window's logical pixels, so the same
// click picks the same option at every scale, while the question screen is
// drawn at the screen's own resolution: at scale 2 its text is finer than a
// blown-up picture of scale 1, whose every 2 x 2 block is one colour.
//
// A scale is fixed when the application starts, so each scale runs in a
// process of its own: this program again, with only the probe below, which
// answers the demo test with real clicks and writes down what each did.
#include "app/ObjectNames.h"
#include "app/QuizDeskApp.h"

#include "MessageRecorder.h"

#include "app/MainWindow.h"
#include "app/MessageReporter.h"
#include "app/ResultsWindow.h"
#include "app/StartUp.h"
#include "run/ManualClock.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

const fs::path kDemo = fs::path(QUIZDESK_SOURCE_DIR) / "examples" / "demo";
constexpr int kW = 1024;
constexpr int kH = 768;
// Where the probe writes, set only for the probe's own process.
constexpr const char* kOutVar = "QUIZDESK_HIGHDPI_OUT";

std::string readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The demo's answers file with its draws switched off (the last three
// header lines), so that questions and options come in file order.
std::string answersInFileOrder()
{
    std::string text = readFile(kDemo / "source" / "otveti.txt");
    std::size_t pos = 0;
    for (int line = 1; line <= 20; ++line) {
        const std::size_t end = text.find("\r\n", pos);
        if (line >= 18) {
            text[end - 1] = '0';
        }
        pos = end + 2;
    }
    return text;
}

// Whether a step of the session went on (no fault).
template <typename S> bool wentOn(const S& status)
{
    if constexpr (requires { status.ok(); }) {
        return status.ok();
    } else {
        return !status.has_value();
    }
}

std::string picksText(const qd::RunState& st)
{
    std::ostringstream s;
    s << "picks";
    for (int i = 0; i < st.pickCount && i < qd::kMaxAnswers; ++i) {
        s << ' ' << st.picks[std::size_t(i)];
    }
    s << " row " << st.activeRow;
    return s.str();
}

// The probe: run with kOutVar set (by the test below), at the scale of its
// environment. For every question answered by clicks it presses each
// option's text in the window (its middle and two points just inside its
// corners) and writes the option's rectangle and the response after each
// press to clicks.txt; the first question, one option chosen and one under
// the pointer, goes to screen.png as the window shows it.
TEST(HighDpiProbe, ClicksEveryOption)
{
    const QString out = qEnvironmentVariable(kOutVar);
    if (out.isEmpty()) {
        GTEST_SKIP() << "run by HighDpi.SameClickSameOptionAndSharpTextAtEveryScale";
    }
    QTemporaryDir tmp;
    const fs::path dir = fs::path(tmp.path().toStdString()) / "demo";
    fs::create_directories(dir / "home");
    qputenv("HOME", QByteArray::fromStdString((dir / "home").string()));
    fs::copy_file(kDemo / "source" / "voprosi.txt", dir / "voprosi.txt");
    std::ofstream(dir / "otveti.txt", std::ios::binary) << answersInFileOrder();
    for (const char* picture : {"7.jpg", "8.bmp", "9.jpg"}) {
        fs::copy_file(kDemo / picture, dir / picture);
    }

    MessageRecorder messages;
    messages.fatalFailsTest = true;
    const qd::MessageReporter reporter = messages.reporter();
    qd::MainWindow form;
    qd::ResultsWindow results;
    qd::ManualClock clock{qd::LocalTime{2026, 12, 7, 10, 5, 9}};
    auto run = qd::startUp(form, reporter, dir, QRect(0, 0, kW, kH), 1);
    ASSERT_TRUE(run.has_value());
    qd::QuizDeskApp app(std::move(*run), form, results, reporter, clock, dir);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    qd::TestSession& session = app.session();
    session.clickBegin("", false);
    session.waitTick();

    std::ofstream clicks(fs::path(out.toStdString()) / "clicks.txt");
    clicks << "window " << form.width() << "x" << form.height() << " charW "
           << session.model().charWidth << "\n";
    bool shot = false;
    while (session.phase() == qd::TestSession::Phase::Question) {
        ASSERT_TRUE(wentOn(session.questionTick())); // the picture's capture
        const qd::Question& q =
            session.model().questions[std::size_t(session.state().currentQuestion)];
        clicks << "question " << session.state().currentQuestion + 1 << "\n";
        const auto& shown = session.state().shown;
        const int columns = q.isMatching() ? int(shown.columns.size()) : 1;
        for (int col = 0; col < columns && (q.pickedFromList() || q.isMatching()); ++col) {
            const int rows =
                q.isMatching() ? shown.columns[std::size_t(col)].rowCount() : q.optionCount;
            for (int row = 0; row < rows; ++row) {
                const qd::AnswerSlot& s = session.slotAt(col, row);
                clicks << " option " << col << "," << row << " at " << s.left << "," << s.top << "-"
                       << s.right << "," << s.bottom << ":";
                for (const QPoint p :
                     {QPoint((s.left + s.right) / 2, (s.top + s.bottom) / 2),
                      QPoint(s.left + 1, s.top + 1), QPoint(s.right - 1, s.bottom - 1)}) {
                    QTest::mouseClick(&form, Qt::LeftButton, Qt::NoModifier, p);
                    clicks << " [" << picksText(session.state()) << "]";
                }
                clicks << "\n";
            }
        }
        if (!shot) {
            // The first question (single choice): option 2 chosen, option 1
            // under the pointer.
            shot = true;
            auto middle = [&](int row) {
                const qd::AnswerSlot& s = session.slotAt(0, row);
                return QPoint((s.left + s.right) / 2, (s.top + s.bottom) / 2);
            };
            QTest::mouseClick(&form, Qt::LeftButton, Qt::NoModifier, middle(2));
            QTest::mouseMove(&form, middle(1));
            ASSERT_TRUE(form.grab().save(out + QStringLiteral("/screen.png")));
        }
        ASSERT_TRUE(wentOn(session.clickNext()));
    }
}

struct Probed
{
    std::string clicks;
    QImage screen;
};

Probed probe(const QString& scale, const QTemporaryDir& tmp)
{
    const QString out = tmp.filePath(scale);
    EXPECT_TRUE(QDir().mkpath(out));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
    env.insert(QString::fromLatin1(kOutVar), out);
    env.remove(QStringLiteral("QT_SCREEN_SCALE_FACTORS"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QCoreApplication::applicationFilePath(),
            {QStringLiteral("--gtest_filter=HighDpiProbe.*")});
    EXPECT_TRUE(p.waitForFinished(120000));
    const QByteArray output = p.readAll();
    EXPECT_EQ(p.exitCode(), 0) << output.toStdString();
    return {readFile(fs::path(out.toStdString()) / "clicks.txt"),
            QImage(out + QStringLiteral("/screen.png"))};
}

// The share of the inked 2 x 2 blocks of `image` (aligned to even pixels)
// within `area` that are not one colour. A picture blown up from half the
// size has none.
double finerBlocks(const QImage& image, const QRect& area, int* inked)
{
    const QRgb background[] = {qRgb(192, 192, 192), qRgb(255, 255, 255)};
    auto isBackground = [&](QRgb p) { return p == background[0] || p == background[1]; };
    int finer = 0;
    *inked = 0;
    for (int y = area.top() & ~1; y + 1 <= area.bottom(); y += 2) {
        for (int x = area.left() & ~1; x + 1 <= area.right(); x += 2) {
            const QRgb b[4] = {image.pixel(x, y), image.pixel(x + 1, y), image.pixel(x, y + 1),
                               image.pixel(x + 1, y + 1)};
            if (std::all_of(std::begin(b), std::end(b), isBackground)) {
                continue;
            }
            ++*inked;
            finer += !(b[0] == b[1] && b[1] == b[2] && b[2] == b[3]);
        }
    }
    return *inked == 0 ? 0.0 : double(finer) / *inked;
}

TEST(HighDpi, SameClickSameOptionAndSharpTextAtEveryScale)
{
    QTemporaryDir tmp;
    const Probed one = probe(QStringLiteral("1"), tmp);
    ASSERT_FALSE(one.clicks.empty());
    // Every press chose the option pressed: a single-choice question's
    // response is that option, whichever point of it was pressed.
    EXPECT_NE(one.clicks.find(" option 0,1 at "), std::string::npos) << one.clicks;
    EXPECT_NE(one.clicks.find("[picks 1 row -1] [picks 1 row -1] [picks 1 row -1]"),
              std::string::npos)
        << one.clicks;
    struct
    {
        const char* scale;
        double ratio;
    } scales[] = {{"1.5", 1.5}, {"2", 2.0}};
    for (const auto& s : scales) {
        const Probed scaled = probe(QString::fromLatin1(s.scale), tmp);
        EXPECT_EQ(scaled.clicks, one.clicks) << "scale " << s.scale;
        // The window's picture has the screen's own pixels.
        EXPECT_EQ(scaled.screen.width(), int(std::ceil(one.screen.width() * s.ratio)))
            << "scale " << s.scale;
    }

    // The question text and options (the top of the question screen), at
    // scale 1 and at scale 2, in the pixels of each.
    const Probed two = probe(QStringLiteral("2"), tmp);
    const QRect textArea(0, 0, kW, 60);
    int inkedOne = 0;
    int inkedTwo = 0;
    finerBlocks(one.screen, textArea, &inkedOne);
    const double finer = finerBlocks(two.screen, QRect(0, 0, 2 * kW, 120), &inkedTwo);
    EXPECT_GT(inkedTwo, 3 * inkedOne / 2);
    EXPECT_GT(finer, 0.3) << "at scale 2, " << inkedTwo << " inked blocks";
}

} // namespace
