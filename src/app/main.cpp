// QuizDesk: the student's testing window. Starts in the working directory,
// which holds the test; the command line only asks for --help or --version.
#include "app/CommandLine.h"
#include "app/Desktop.h"
#include "app/KeyboardLayout.h"
#include "app/Kiosk.h"
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
#include <memory>
#include <system_error>
#include <utility>

int main(int argc, char** argv)
{
    // A file-size limit must fail the report's write (which keeps the report
    // elsewhere and says so), not end the program in the middle of a test.
    std::signal(SIGXFSZ, SIG_IGN);
    // The test is always the one in the working directory; the words
    // understood are answered before any window.
    const qd::CommandLine command = qd::parseCommandLine({argv + 1, argv + argc});
    if (command.version) {
        std::printf("quizdesk %s\n", QUIZDESK_VERSION);
        return 0;
    }
    if (command.help) {
        std::printf("usage: quizdesk [--kiosk [--exit-keys KEYS]] | --keyboard-layout |\n"
                    "                --help | --version\n\n"
                    "Runs the test whose voprosi.txt and otveti.txt are in the working\n"
                    "directory: start it from the test's folder.\n\n"
                    "  --kiosk            keep the student inside the test: full screen, in\n"
                    "                     front, the keyboard and the pointer held (X11), no\n"
                    "                     console switching or zapping while it runs\n"
                    "  --exit-keys KEYS   with --kiosk, the administrator's way out, such as\n"
                    "                     Ctrl+Alt+Shift+End\n"
                    "  --keyboard-layout  print the test's keyboard layout (us, ru, ua) and end\n");
        return 0;
    }
    if (!command.error.empty()) {
        std::fprintf(stderr, "quizdesk: %s\n", command.error.c_str());
        return 2;
    }
    if (command.printLayout) {
        return qd::printKeyboardLayout();
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
    // window manager's title bar and borders included; in kiosk mode the
    // window is the whole screen, without a frame.
    const QRect area = command.kiosk ? qd::Kiosk::screenArea()
                                     : QGuiApplication::primaryScreen()->availableGeometry();
    // Asked for its frame, the window manager must see the window as it will
    // be shown: of a fixed size (it draws no resize handle then).
    form.setFixedSize(area.size());
    const QRect client = command.kiosk ? area : area.marginsRemoved(qd::windowFrameMargins(form));
    qd::SystemClock clock;
    auto run = qd::startUp(form, reporter, dir, client, clock.calendarSeconds());
    if (!run) {
        return 0;
    }
    // The student types in the test's language from the first key on.
    const int kbLayout = run->model->keyboardLayout;
    qd::selectKeyboardLayout(kbLayout);
    // From here on the window only forwards what the student does to the
    // test session; closing the main window on the title page, or the
    // results window, ends the program.
    qd::QuizDeskApp quizDesk(std::move(*run), form, results, reporter, clock, dir);
    QObject::connect(&quizDesk, &qd::QuizDeskApp::programEnded, &app,
                     [] { QCoreApplication::exit(0); });

    std::unique_ptr<qd::Kiosk> kiosk;
    if (command.kiosk) {
        kiosk = std::make_unique<qd::Kiosk>(form, results, command.exitKeys);
        QObject::connect(kiosk.get(), &qd::Kiosk::exitRequested, &app,
                         [] { QCoreApplication::exit(0); });
        kiosk->start();
    } else {
        if (qd::layoutLeftToStudent()) {
            qd::showExpectedLayout(form, kbLayout);
        }
        form.show();
    }
    app.exec();
    return 0;
}
