#include "app/Desktop.h"

#include <QGuiApplication>
#include <QWidget>

#ifdef QUIZDESK_X11
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>
#endif

namespace qd {

int keyboardGroupFor(int kbLayout, const std::vector<std::string>& groupNames)
{
    static const char* const kLayouts[] = {"English (US)", "Russian", "Ukrainian"};
    if (kbLayout < 0 || kbLayout > 2) {
        return -1;
    }
    const std::string layout = kLayouts[kbLayout];
    for (std::size_t g = 0; g < groupNames.size(); ++g) {
        if (groupNames[g] == layout) {
            return int(g);
        }
    }
    // A variant of the layout: "Russian (phonetic)", "English (US, euro on 5)".
    const std::string variant = kbLayout == 0 ? std::string("English (US, ") : layout + " (";
    for (std::size_t g = 0; g < groupNames.size(); ++g) {
        if (groupNames[g].compare(0, variant.size(), variant) == 0) {
            return int(g);
        }
    }
    return -1;
}

#ifdef QUIZDESK_X11

namespace {

// A frame wider than this on any side is no frame but a fault.
constexpr long kMaxFrame = 200;
constexpr auto kFrameWait = std::chrono::milliseconds(500);
constexpr auto kFramePoll = std::chrono::milliseconds(10);

// A request about a window that has gone is no reason to end the program.
int ignoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

// The program's own connection to the X server, for both tasks here; it
// stays open to the end, when the student's keyboard group is given back.
Display* display()
{
    static Display* const d = [] {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) {
            return static_cast<Display*>(nullptr);
        }
        Display* opened = XOpenDisplay(nullptr);
        if (opened != nullptr) {
            XSetErrorHandler(ignoreErrors);
        }
        return opened;
    }();
    return d;
}

// `count` 32-bit values of a property of `type`, or false.
bool readProperty(Display* d, Window w, Atom property, Atom type, long count, long* values)
{
    Atom actualType = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(d, w, property, 0, count, False, type, &actualType,
                                          &format, &items, &after, &data);
    const bool ok = status == Success && data != nullptr && actualType == type && format == 32 &&
                    items == static_cast<unsigned long>(count);
    if (ok) {
        const long* longs = reinterpret_cast<const long*>(data);
        for (long i = 0; i < count; ++i) {
            values[i] = longs[i];
        }
    }
    if (data != nullptr) {
        XFree(data);
    }
    return ok;
}

// A running window manager that answers requests for frame extents: it
// names itself through its check window (a stale name of one that has gone
// does not count) and lists the request among what it supports.
bool wmTellsFrames(Display* d, Window root, Atom request)
{
    const Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
    long wm = 0;
    long self = 0;
    if (!readProperty(d, root, check, XA_WINDOW, 1, &wm) ||
        !readProperty(d, Window(wm), check, XA_WINDOW, 1, &self) || self != wm) {
        return false;
    }
    const Atom supported = XInternAtom(d, "_NET_SUPPORTED", False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    // A window manager lists a few hundred atoms at most.
    if (XGetWindowProperty(d, root, supported, 0, 4096, False, XA_ATOM, &type, &format, &items,
                           &after, &data) != Success ||
        data == nullptr) {
        return false;
    }
    bool found = false;
    if (type == XA_ATOM && format == 32) {
        const Atom* atoms = reinterpret_cast<const Atom*>(data);
        for (unsigned long i = 0; i < items && !found; ++i) {
            found = atoms[i] == request;
        }
    }
    XFree(data);
    return found;
}

struct SavedGroup
{
    bool saved = false;
    unsigned group = 0;
};

SavedGroup& studentGroup()
{
    static SavedGroup g;
    return g;
}

void giveBackGroup()
{
    Display* d = display();
    if (d != nullptr && studentGroup().saved) {
        XkbLockGroup(d, XkbUseCoreKbd, studentGroup().group);
        XSync(d, False);
    }
}

std::vector<std::string> groupNames(Display* d)
{
    std::vector<std::string> names;
    XkbDescPtr xkb = XkbAllocKeyboard();
    if (xkb == nullptr) {
        return names;
    }
    if (XkbGetControls(d, XkbAllControlsMask, xkb) == Success &&
        XkbGetNames(d, XkbGroupNamesMask, xkb) == Success && xkb->ctrls != nullptr &&
        xkb->names != nullptr) {
        const int groups = std::min<int>(xkb->ctrls->num_groups, XkbNumKbdGroups);
        for (int g = 0; g < groups; ++g) {
            const Atom a = xkb->names->groups[g];
            char* name = a != None ? XGetAtomName(d, a) : nullptr;
            names.emplace_back(name != nullptr ? name : "");
            if (name != nullptr) {
                XFree(name);
            }
        }
    }
    XkbFreeKeyboard(xkb, 0, True);
    return names;
}

} // namespace

QMargins windowFrameMargins(QWidget& window)
{
    Display* d = display();
    if (d == nullptr) {
        return {};
    }
    const Window root = DefaultRootWindow(d);
    const Atom request = XInternAtom(d, "_NET_REQUEST_FRAME_EXTENTS", False);
    if (!wmTellsFrames(d, root, request)) {
        return {};
    }
    // The window exists from here on, not yet shown; the window manager sets
    // the frame it would give it as a property of the window.
    const Window w = static_cast<Window>(window.winId());
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = w;
    event.xclient.message_type = request;
    event.xclient.format = 32;
    XSendEvent(d, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(d);

    const Atom extents = XInternAtom(d, "_NET_FRAME_EXTENTS", False);
    const auto deadline = std::chrono::steady_clock::now() + kFrameWait;
    do {
        long v[4] = {}; // left, right, top, bottom
        if (readProperty(d, w, extents, XA_CARDINAL, 4, v)) {
            for (long side : v) {
                if (side < 0 || side > kMaxFrame) {
                    return {};
                }
            }
            return QMargins(int(v[0]), int(v[2]), int(v[1]), int(v[3]));
        }
        std::this_thread::sleep_for(kFramePoll);
    } while (std::chrono::steady_clock::now() < deadline);
    return {};
}

void selectKeyboardLayout(int kbLayout)
{
    Display* d = display();
    if (d == nullptr) {
        return;
    }
    int opcode = 0;
    int event = 0;
    int error = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (!XkbQueryExtension(d, &opcode, &event, &error, &major, &minor)) {
        return;
    }
    const int group = keyboardGroupFor(kbLayout, groupNames(d));
    XkbStateRec state{};
    if (group < 0 || XkbGetState(d, XkbUseCoreKbd, &state) != Success) {
        return;
    }
    SavedGroup& saved = studentGroup();
    if (!saved.saved) {
        saved.group = state.locked_group;
        saved.saved = true;
        // Run by exit() as by the return from main: the fatal box ends the
        // program through exit().
        std::atexit(giveBackGroup);
    }
    XkbLockGroup(d, XkbUseCoreKbd, unsigned(group));
    XSync(d, False);
}

#else

QMargins windowFrameMargins(QWidget&)
{
    return {};
}

void selectKeyboardLayout(int) {}

#endif

} // namespace qd
