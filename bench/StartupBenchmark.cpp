// The time from starting a program to its first painted window, on the X
// server of $DISPLAY (bench/startup.sh starts an Xvfb with a black root and
// no window manager): the student's window with its title page against a
// bare Qt window of the same size, started in turn, round by round.
//
//   quizdesk_startup_bench BARE QUIZDESK TESTDIR [ROUNDS]
//
// A window's first paint is the moment a few points of the screen inside
// it stop being the root's black: a Qt window has no background of its own,
// so the server shows nothing there until the program has drawn. Prints the
// median of each, the median of the paired ratios, and fails when the
// student's window takes more than 1.2 times the bare window's time.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kAim = 1.2;
// A program that has not painted within this long has failed.
constexpr auto kTimeout = std::chrono::seconds(20);

using Clock = std::chrono::steady_clock;

struct Probe
{
    Display* display;
    Window root;
    std::vector<std::pair<int, int>> points;

    bool painted() const
    {
        for (const auto& [x, y] : points) {
            XImage* image = XGetImage(display, root, x, y, 1, 1, AllPlanes, ZPixmap);
            if (image == nullptr) {
                continue;
            }
            const unsigned long pixel = XGetPixel(image, 0, 0);
            XDestroyImage(image);
            if (pixel != 0) {
                return true;
            }
        }
        return false;
    }
};

// Starts argv in dir and returns the milliseconds to its first paint, or a
// negative number; the program is ended afterwards.
double firstPaintMs(const Probe& probe, char* const argv[], const char* dir)
{
    if (probe.painted()) {
        std::fprintf(stderr, "quizdesk_startup_bench: the screen is not black before a start\n");
        return -1;
    }
    const Clock::time_point start = Clock::now();
    const pid_t pid = fork();
    if (pid < 0) {
        return -1;
    }
    if (pid == 0) {
        if (dir != nullptr && chdir(dir) != 0) {
            _exit(127);
        }
        execv(argv[0], argv);
        _exit(127);
    }
    double ms = -1;
    while (Clock::now() - start < kTimeout) {
        if (probe.painted()) {
            ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            break;
        }
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            std::fprintf(stderr, "quizdesk_startup_bench: %s ended before it painted\n", argv[0]);
            return -1;
        }
        usleep(200);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    // The server has taken the window down (the root is black again)
    // before the next start.
    const Clock::time_point gone = Clock::now();
    while (probe.painted() && Clock::now() - gone < kTimeout) {
        usleep(1000);
    }
    return ms;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: quizdesk_startup_bench BARE QUIZDESK TESTDIR [ROUNDS]\n");
        return 2;
    }
    const int rounds = argc > 4 ? std::max(1, std::atoi(argv[4])) : 15;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "quizdesk_startup_bench: no X server (DISPLAY)\n");
        return 2;
    }
    const int screen = DefaultScreen(display);
    const int w = DisplayWidth(display, screen);
    const int h = DisplayHeight(display, screen);
    const Probe probe{display,
                      RootWindow(display, screen),
                      {{w / 2, h / 2},
                       {w / 4, h / 4},
                       {3 * w / 4, h / 4},
                       {w / 4, 3 * h / 4},
                       {3 * w / 4, 3 * h / 4}}};

    char* bare[] = {argv[1], nullptr};
    char* quizdesk[] = {argv[2], nullptr};
    // One start of each first: the file system's cache and the font cache
    // are then warm for both, as on a lab computer that has run them.
    if (firstPaintMs(probe, bare, nullptr) < 0 || firstPaintMs(probe, quizdesk, argv[3]) < 0) {
        return 1;
    }
    std::vector<double> bareMs;
    std::vector<double> quizdeskMs;
    std::vector<double> ratios;
    for (int r = 0; r < rounds; ++r) {
        const double b = firstPaintMs(probe, bare, nullptr);
        const double q = firstPaintMs(probe, quizdesk, argv[3]);
        if (b <= 0 || q <= 0) {
            return 1;
        }
        bareMs.push_back(b);
        quizdeskMs.push_back(q);
        ratios.push_back(q / b);
    }
    XCloseDisplay(display);
    const double ratio = median(ratios);
    std::printf("first painted window, %dx%d, median of %d paired starts:\n", w, h, rounds);
    std::printf("  bare Qt window (baseline): %.1f ms\n", median(bareMs));
    std::printf("  quizdesk title page:       %.1f ms\n", median(quizdeskMs));
    std::printf("  ratio: %.2f (aim: %.1f or less)\n", ratio, kAim);
    return ratio <= kAim ? 0 : 1;
}
