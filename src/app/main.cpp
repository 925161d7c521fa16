// QuizDesk: the student's testing window. Starts in the working directory,
// which holds the test; reads no command line.
#include "app/MessageReporter.h"
#include "app/StartUp.h"
#include "app/SystemClock.h"
#include "app/TForm1.h"
#include "app/TFormRez.h"
#include "app/WindowView.h"

#include <QApplication>
#include <QScreen>

#include <filesystem>
#include <system_error>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const qd::MessageReporter reporter;
    qd::TForm1 form;
    qd::TFormRez results; // hidden until the test ends

    std::error_code ec;
    const std::filesystem::path dir = std::filesystem::current_path(ec);
    // The platform's full-screen client area: the primary screen without
    // its panels.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const qd::SystemClock clock;
    auto run = qd::startUp(form, reporter, dir, area, clock.calendarSeconds());
    if (!run) {
        return 0;
    }
    // screen_bmp, as large as the window, in the test's font.
    qd::WindowView view(*run->model, form, results, reporter, dir);

    // On the title page closing the window ends the program at once.
    QObject::connect(&form, &qd::TForm1::closeRequested, &app, [] { QCoreApplication::exit(0); });
    QObject::connect(&results, &qd::TFormRez::closeRequested, &app,
                     [] { QCoreApplication::exit(0); });

    form.show();
    app.exec();
    return 0;
}
