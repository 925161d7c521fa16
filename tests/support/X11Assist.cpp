// x11_assist: what the end-to-end test needs of a bare X server (Xvfb, no
// window manager) beyond xdotool.
//
//   x11_assist close WINDOW    asks the window to close, as a window
//                              manager's close button does (a
//                              WM_DELETE_WINDOW message); xdotool can only
//                              destroy a window, which is no close request.
//   x11_assist clipboard TEXT  holds TEXT (UTF-8) on the clipboard, prints
//                              "ready" and ends once a program has pasted it
//                              (30 seconds at most). xdotool types a letter
//                              missing from the keymap by binding a key to it
//                              just then, and under load the program reads
//                              the key before the new binding: Cyrillic
//                              letters get lost. A paste carries the text
//                              whole; the keys that paste it are plain ones.
//
// WINDOW is the id xdotool prints.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int closeWindow(Display* display, const char* id)
{
    char* end = nullptr;
    const Window window = std::strtoul(id, &end, 0);
    if (end == id || *end != '\0' || window == 0) {
        std::fprintf(stderr, "x11_assist: bad window id '%s'\n", id);
        return 2;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    return sent != 0 ? 0 : 1;
}

// Answers one request for the clipboard; true when it handed over the text.
bool answer(Display* display, const XSelectionRequestEvent& request, const char* text)
{
    const Atom targets = XInternAtom(display, "TARGETS", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const Atom plain = XInternAtom(display, "text/plain;charset=utf-8", False);
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.time = request.time;
    reply.xselection.property = None; // refused unless set below
    const Atom property = request.property != None ? request.property : request.target;
    bool gaveText = false;
    if (request.target == targets) {
        Atom offered[] = {targets, utf8, plain};
        XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(offered), 3);
        reply.xselection.property = property;
    } else if (request.target == utf8 || request.target == plain) {
        XChangeProperty(display, request.requestor, property, request.target, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(text), int(std::strlen(text)));
        reply.xselection.property = property;
        gaveText = true;
    }
    XSendEvent(display, request.requestor, False, NoEventMask, &reply);
    XSync(display, False);
    return gaveText;
}

int holdClipboard(Display* display, const char* text)
{
    const Window owner = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    XSetSelectionOwner(display, clipboard, owner, CurrentTime);
    if (XGetSelectionOwner(display, clipboard) != owner) {
        std::fprintf(stderr, "x11_assist: cannot take the clipboard\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);

    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < deadline) {
        if (XPending(display) == 0) {
            pollfd fd{ConnectionNumber(display), POLLIN, 0};
            poll(&fd, 1, 100);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == SelectionClear) {
            std::fprintf(stderr, "x11_assist: the clipboard was taken over\n");
            return 1;
        }
        if (event.type == SelectionRequest && answer(display, event.xselectionrequest, text)) {
            return 0;
        }
    }
    std::fprintf(stderr, "x11_assist: nothing pasted the text\n");
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    const bool close = argc == 3 && std::strcmp(argv[1], "close") == 0;
    const bool clipboard = argc == 3 && std::strcmp(argv[1], "clipboard") == 0;
    if (!close && !clipboard) {
        std::fprintf(stderr, "usage: x11_assist close WINDOW | x11_assist clipboard TEXT\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "x11_assist: cannot open the display\n");
        return 1;
    }
    const int status = close ? closeWindow(display, argv[2]) : holdClipboard(display, argv[2]);
    XCloseDisplay(display);
    return status;
}
