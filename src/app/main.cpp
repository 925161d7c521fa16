// QuizDesk: the student's testing window. Starts in the working directory,
// which holds the test; the command line only asks for --help or --version.
#include "app/Desktop.h"
#include "app/MainWindow.h"
#include "app/MessageReporter.h"
#include "app/QuizDeskApp.h"
#include "app/ResultsWindow.h"
#include "app/StartUp.h"
#include "l10n/Translation.h"
#include "run/SystemClock.h"

#include <QApplication>
#include <QScreen>

#include <cstdio>
#include <csignal>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

int main(int argc, char** argv)
{
    // A file-size limit must fail the report's write (which keeps the report
    // elsewhere and says so), not end the program in the middle of a test.
    std::signal(SIGXFSZ, SIG_IGN);
    // The test is always the one in the working directory; the only words
    // understood are the two every program answers, before any window.
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--version") {
            std::printf("quizdesk %s\n", QUIZDESK_VERSION);
            return 0;
        }
        if (arg == "--help" || arg == "-h") {
            std::printf("usage: quizdesk [--help | --version]\n\n"
                        "Runs the test whose voprosi.txt and otveti.txt are in the working\n"
                        "directory: start it from the test's folder.\n");
            return 0;
        }
    }
    QApplication app(argc, argv);
    // The report's points and the settings' fractions are written and read
    // with a decimal point on every lab computer, whatever its locale.
    qd::l10n::keepDecimalPoint();
    const qd::MessageReporter reporter;
    qd::MainWindow form;
    qd::ResultsWindow results; // hidden until the test ends

    std::error_code ec;
    const std::filesystem::path dir = std::filesystem::current_path(ec);
    // The primary screen without its panels holds the whole window, the
    // window manager's title bar and borders included.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    // Asked for its frame, the window manager must see the window as it will
    // be shown: of a fixed size (it draws no resize handle then).
    form.setFixedSize(area.size());
    const QRect client = area.marginsRemoved(qd::windowFrameMargins(form));
    qd::SystemClock clock;
    auto run = qd::startUp(form, reporter, dir, client, clock.calendarSeconds());
    if (!run) {
        return 0;
    }
    // The student types in the test's language from the first key on.
    qd::selectKeyboardLayout(run->model->keyboardLayout);
    // From here on the window only forwards what the student does to the
    // test session; closing the main window on the title page, or the
    // results window, ends the program.
    qd::QuizDeskApp quizDesk(std::move(*run), form, results, reporter, clock, dir);
    QObject::connect(&quizDesk, &qd::QuizDeskApp::programEnded, &app,
                     [] { QCoreApplication::exit(0); });

    form.show();
    app.exec();
    return 0;
}
