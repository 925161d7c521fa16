// x11_assist: what the end-to-end test needs of an X server (Xvfb) beyond
// xdotool.
//
//   x11_assist close WINDOW    asks the window to close, as a window
//                              manager's close button does (a
//                              WM_DELETE_WINDOW message); xdotool can only
//                              destroy a window, which is no close request.
//   x11_assist geometry WINDOW prints "client X Y W H" and "frame X Y W H"
//                              in screen coordinates: the window itself and
//                              the window manager's frame around it (the
//                              ancestor just below the root, border
//                              included; the window itself without one).
//   x11_assist pixel X Y       prints the colour at X, Y of the screen as
//                              RRGGBB.
//   x11_assist shot FILE       writes the whole screen to FILE (binary PPM).
//   x11_assist group [N]       locks keyboard group N if given, then prints
//                              the locked group.
//   x11_assist actions         prints how many of the keyboard's key actions
//                              switch consoles, kill the server or are the
//                              server's own (breaking grabs): what kiosk
//                              mode takes away. xkbcomp's dump is no help
//                              here: it prints the compatibility map's rules
//                              whatever the keys hold.
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
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool number(const char* text, long& value)
{
    char* end = nullptr;
    value = std::strtol(text, &end, 0);
    return end != text && *end == '\0';
}

Window windowId(const char* id)
{
    char* end = nullptr;
    const Window window = std::strtoul(id, &end, 0);
    if (end == id || *end != '\0' || window == 0) {
        std::fprintf(stderr, "x11_assist: bad window id '%s'\n", id);
        return 0;
    }
    return window;
}

int closeWindow(Display* display, const char* id)
{
    const Window window = windowId(id);
    if (window == 0) {
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
    const Window owner =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
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

int geometry(Display* display, const char* id)
{
    Window window = windowId(id);
    if (window == 0) {
        return 2;
    }
    XWindowAttributes own{};
    if (XGetWindowAttributes(display, window, &own) == 0) {
        return 1;
    }
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, own.root, 0, 0, &x, &y, &child);
    std::printf("client %d %d %d %d\n", x, y, own.width, own.height);
    // Up to the child of the root: the frame a window manager put around
    // the window, or the window itself on a bare server. The walk is as
    // deep as the tree, a handful of levels.
    Window top = window;
    for (int depth = 0; depth < 64; ++depth) {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(display, top, &root, &parent, &children, &count) == 0) {
            return 1;
        }
        if (children != nullptr) {
            XFree(children);
        }
        if (parent == root || parent == 0) {
            break;
        }
        top = parent;
    }
    XWindowAttributes frame{};
    if (XGetWindowAttributes(display, top, &frame) == 0) {
        return 1;
    }
    if (top == window) {
        std::printf("frame %d %d %d %d\n", x, y, own.width, own.height);
    } else {
        std::printf("frame %d %d %d %d\n", frame.x, frame.y, frame.width + 2 * frame.border_width,
                    frame.height + 2 * frame.border_width);
    }
    return 0;
}

// The screen as an image in the server's format, or null.
XImage* screenImage(Display* display)
{
    const Window root = DefaultRootWindow(display);
    XWindowAttributes a{};
    if (XGetWindowAttributes(display, root, &a) == 0) {
        return nullptr;
    }
    return XGetImage(display, root, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes,
                     ZPixmap);
}

void rgb(const XImage* image, unsigned long pixel, unsigned char out[3])
{
    auto channel = [pixel](unsigned long mask) {
        if (mask == 0) {
            return 0ul;
        }
        int shift = 0;
        while (((mask >> shift) & 1ul) == 0) {
            ++shift;
        }
        const unsigned long max = mask >> shift;
        return ((pixel & mask) >> shift) * 255ul / max;
    };
    out[0] = static_cast<unsigned char>(channel(image->red_mask));
    out[1] = static_cast<unsigned char>(channel(image->green_mask));
    out[2] = static_cast<unsigned char>(channel(image->blue_mask));
}

int pixel(Display* display, const char* xs, const char* ys)
{
    long x = 0;
    long y = 0;
    if (!number(xs, x) || !number(ys, y)) {
        std::fprintf(stderr, "x11_assist: bad point '%s %s'\n", xs, ys);
        return 2;
    }
    XImage* image = screenImage(display);
    if (image == nullptr) {
        return 1;
    }
    int status = 1;
    if (x >= 0 && y >= 0 && x < image->width && y < image->height) {
        unsigned char c[3];
        rgb(image, XGetPixel(image, int(x), int(y)), c);
        std::printf("%02X%02X%02X\n", c[0], c[1], c[2]);
        status = 0;
    }
    XDestroyImage(image);
    return status;
}

int shot(Display* display, const char* file)
{
    XImage* image = screenImage(display);
    if (image == nullptr) {
        return 1;
    }
    std::FILE* out = std::fopen(file, "wb");
    bool ok =
        out != nullptr && std::fprintf(out, "P6\n%d %d\n255\n", image->width, image->height) > 0;
    for (int y = 0; ok && y < image->height; ++y) {
        for (int x = 0; ok && x < image->width; ++x) {
            unsigned char c[3];
            rgb(image, XGetPixel(image, x, y), c);
            ok = std::fwrite(c, 1, 3, out) == 3;
        }
    }
    if (out != nullptr && std::fclose(out) != 0) {
        ok = false;
    }
    XDestroyImage(image);
    if (!ok) {
        std::fprintf(stderr, "x11_assist: cannot write %s\n", file);
    }
    return ok ? 0 : 1;
}

int actions(Display* display)
{
    XkbDescPtr xkb =
        XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask | XkbKeyActionsMask, XkbUseCoreKbd);
    if (xkb == nullptr) {
        return 1;
    }
    int count = 0;
    for (int key = xkb->min_key_code; key <= xkb->max_key_code; ++key) {
        if (XkbKeyHasActions(xkb, key) == 0) {
            continue;
        }
        const XkbAction* acts = XkbKeyActionsPtr(xkb, key);
        for (int i = 0; i < XkbKeyNumActions(xkb, key); ++i) {
            const int type = acts[i].type;
            count += type == XkbSA_SwitchScreen || type == XkbSA_Terminate ||
                     type == XkbSA_XFree86Private;
        }
    }
    XkbFreeKeyboard(xkb, 0, True);
    std::printf("%d\n", count);
    return 0;
}

int group(Display* display, const char* lock)
{
    int opcode = 0;
    int event = 0;
    int error = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (!XkbQueryExtension(display, &opcode, &event, &error, &major, &minor)) {
        std::fprintf(stderr, "x11_assist: no keyboard extension\n");
        return 1;
    }
    if (lock != nullptr) {
        long n = 0;
        if (!number(lock, n) || n < 0 || n > 3) {
            std::fprintf(stderr, "x11_assist: bad group '%s'\n", lock);
            return 2;
        }
        XkbLockGroup(display, XkbUseCoreKbd, unsigned(n));
        XSync(display, False);
    }
    XkbStateRec state{};
    if (XkbGetState(display, XkbUseCoreKbd, &state) != Success) {
        return 1;
    }
    std::printf("%d\n", int(state.locked_group));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc >= 2 ? argv[1] : "";
    const bool known = (argc == 3 && (command == "close" || command == "clipboard" ||
                                      command == "geometry" || command == "shot")) ||
                       (argc == 4 && command == "pixel") ||
                       ((argc == 2 || argc == 3) && command == "group") ||
                       (argc == 2 && command == "actions");
    if (!known) {
        std::fprintf(stderr, "usage: x11_assist close WINDOW | clipboard TEXT | geometry WINDOW |"
                             " pixel X Y | shot FILE | group [N] | actions\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "x11_assist: cannot open the display\n");
        return 1;
    }
    int status = 1;
    if (command == "close") {
        status = closeWindow(display, argv[2]);
    } else if (command == "clipboard") {
        status = holdClipboard(display, argv[2]);
    } else if (command == "geometry") {
        status = geometry(display, argv[2]);
    } else if (command == "pixel") {
        status = pixel(display, argv[2], argv[3]);
    } else if (command == "shot") {
        status = shot(display, argv[2]);
    } else if (command == "actions") {
        status = actions(display);
    } else {
        status = group(display, argc == 3 ? argv[2] : nullptr);
    }
    XCloseDisplay(display);
    return status;
}
