#include "app/Kiosk.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <csignal>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

#ifdef QUIZDESK_X11
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <xcb/xcb.h>
// Xlib's names that Qt's own take.
#undef KeyPress
#undef None
#undef Bool
#undef Status

#include <map>
#include <utility>
#endif

namespace qd {

std::string xkbLayoutName(int kbLayout)
{
    static const char* const kNames[] = {"us", "ru", "ua"};
    if (kbLayout < 0 || kbLayout > 2) {
        return {};
    }
    return kNames[kbLayout];
}

bool isExitKey(const QKeySequence& exitKeys, QKeyCombination pressed)
{
    if (exitKeys.isEmpty()) {
        return false;
    }
    const Qt::KeyboardModifiers mods =
        pressed.keyboardModifiers() & ~(Qt::KeypadModifier | Qt::GroupSwitchModifier);
    return QKeyCombination(mods, pressed.key()) == exitKeys[0];
}

namespace {

// How often the windows are put back in front and the grabs taken again: a
// window that another program raised, or a grab that a closed drop-down list
// gave up, lasts at most this long.
constexpr int kHoldMs = 250;
// The keyboard's actions are checked again every this many holds: a desktop
// that loads the keyboard anew (a layout change) brings them back.
constexpr int kKeymapEvery = 8;

// The end of the program by a signal, passed to the event loop through a
// socket pair (a signal handler may only write).
int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

} // namespace

#ifdef QUIZDESK_X11

// The X11 half: the grabs on Qt's own connection (a grab sends the events to
// the connection that made it, and Qt must keep receiving them), the
// keyboard's actions through a connection of our own.
struct KioskX11
{
    xcb_connection_t* qtConnection = nullptr;
    xcb_window_t root = 0;
    Display* display = nullptr;
    // The actions taken away: key code and action index -> the action.
    std::map<std::pair<int, int>, XkbAction> saved;

    KioskX11()
    {
        auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        if (x11 != nullptr) {
            qtConnection = x11->connection();
            const xcb_setup_t* setup = xcb_get_setup(qtConnection);
            const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
            root = screens.data != nullptr ? screens.data->root : 0;
        }
        display = XOpenDisplay(nullptr);
    }

    ~KioskX11()
    {
        giveBackActions();
        if (display != nullptr) {
            XCloseDisplay(display);
        }
    }

    KioskX11(const KioskX11&) = delete;
    KioskX11& operator=(const KioskX11&) = delete;

    // Both grabs on the root window with the program's own windows still
    // receiving their events: a click or a key meant for any other window
    // goes nowhere. Taking a grab the program already holds changes nothing.
    void grab() const
    {
        if (qtConnection == nullptr || root == 0) {
            return;
        }
        const auto kb = xcb_grab_keyboard(qtConnection, 1, root, XCB_CURRENT_TIME,
                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        const auto ptr =
            xcb_grab_pointer(qtConnection, 1, root, 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                             XCB_NONE, XCB_NONE, XCB_CURRENT_TIME);
        // Another program's grab (a window manager in the middle of its own
        // key) refuses ours for now: the next hold tries again.
        free(xcb_grab_keyboard_reply(qtConnection, kb, nullptr));
        free(xcb_grab_pointer_reply(qtConnection, ptr, nullptr));
    }

    void ungrab() const
    {
        if (qtConnection != nullptr) {
            xcb_ungrab_keyboard(qtConnection, XCB_CURRENT_TIME);
            xcb_ungrab_pointer(qtConnection, XCB_CURRENT_TIME);
            xcb_flush(qtConnection);
        }
    }

    static bool escapeAction(const XkbAction& a)
    {
        // Console switching, killing the server (zapping), and the server's
        // own actions: breaking grabs, killing the grabbing client, changing
        // the video mode.
        return a.type == XkbSA_SwitchScreen || a.type == XkbSA_Terminate ||
               a.type == XkbSA_XFree86Private;
    }

    XkbDescPtr keymap() const
    {
        return XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask | XkbKeyActionsMask,
                         XkbUseCoreKbd);
    }

    void sendActions(XkbDescPtr xkb) const
    {
        XkbMapChangesRec changes{};
        changes.changed = XkbKeyActionsMask;
        changes.first_key_act = xkb->min_key_code;
        changes.num_key_acts =
            static_cast<unsigned char>(xkb->max_key_code - xkb->min_key_code + 1);
        XkbChangeMap(display, xkb, &changes);
        XSync(display, False);
    }

    // Every escape action of the server's keyboard becomes no action.
    void takeActions()
    {
        if (display == nullptr) {
            return;
        }
        XkbDescPtr xkb = keymap();
        if (xkb == nullptr) {
            return;
        }
        bool changed = false;
        for (int key = xkb->min_key_code; key <= xkb->max_key_code; ++key) {
            if (XkbKeyHasActions(xkb, key) == 0) {
                continue;
            }
            XkbAction* acts = XkbKeyActionsPtr(xkb, key);
            const int n = XkbKeyNumActions(xkb, key);
            for (int i = 0; i < n; ++i) {
                if (escapeAction(acts[i])) {
                    saved[{key, i}] = acts[i];
                    acts[i] = XkbAction{};
                    acts[i].type = XkbSA_NoAction;
                    changed = true;
                }
            }
        }
        if (changed) {
            sendActions(xkb);
        }
        XkbFreeKeyboard(xkb, 0, True);
    }

    // The actions come back where nothing else has been put meanwhile.
    void giveBackActions()
    {
        if (display == nullptr || saved.empty()) {
            return;
        }
        XkbDescPtr xkb = keymap();
        if (xkb == nullptr) {
            return;
        }
        bool changed = false;
        for (const auto& [where, action] : saved) {
            const int key = where.first;
            if (key < xkb->min_key_code || key > xkb->max_key_code ||
                XkbKeyHasActions(xkb, key) == 0 || where.second >= XkbKeyNumActions(xkb, key)) {
                continue;
            }
            XkbAction& current = XkbKeyActionsPtr(xkb, key)[where.second];
            if (current.type == XkbSA_NoAction) {
                current = action;
                changed = true;
            }
        }
        if (changed) {
            sendActions(xkb);
        }
        XkbFreeKeyboard(xkb, 0, True);
        saved.clear();
    }
};

namespace {

// The kiosk's X11 half while it holds the keyboard's actions: the exit() of
// a fatal message box skips the kiosk's destructor, not this.
KioskX11* g_holding = nullptr;

void giveBackAtExit()
{
    if (g_holding != nullptr) {
        g_holding->giveBackActions();
    }
}

} // namespace

#else

struct KioskX11
{
    void grab() const {}
    void ungrab() const {}
    void takeActions() {}
};

namespace {
KioskX11* g_holding = nullptr;
void giveBackAtExit() {}
} // namespace

#endif

Kiosk::Kiosk(QWidget& mainWindow, QWidget& resultsWindow, const QKeySequence& exitKeys)
    : m_main(mainWindow),
      m_results(resultsWindow),
      m_exitKeys(exitKeys)
{
    qApp->installEventFilter(this);
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &Kiosk::exitRequested);
        struct sigaction sa = {};
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
            sigaction(sig, &sa, nullptr);
        }
    }
    if (onX11()) {
        m_x11 = std::make_unique<KioskX11>();
    }
    m_backdrop = std::make_unique<QWidget>();
    m_backdrop->setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    m_backdrop->setAttribute(Qt::WA_ShowWithoutActivating);
    m_backdrop->setWindowTitle(QStringLiteral("Kiosk"));
    m_backdrop->setStyleSheet(QStringLiteral("background: #404040"));
    m_backdrop->setGeometry(screenArea());
    m_timer = new QTimer(this);
    m_timer->setInterval(kHoldMs);
    connect(m_timer, &QTimer::timeout, this, &Kiosk::keepInFront);
}

Kiosk::~Kiosk()
{
    qApp->removeEventFilter(this);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        std::signal(sig, SIG_DFL);
    }
    for (int& fd : g_signalPipe) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
    if (m_x11) {
        m_x11->ungrab();
    }
    g_holding = nullptr;
    // The keyboard's actions come back with m_x11.
}

QRect Kiosk::screenArea()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry() : QRect(0, 0, 1024, 768);
}

void Kiosk::start()
{
    m_backdrop->showFullScreen();
    // The results window belongs to the backdrop: a kiosk compositor
    // centres it there as a dialog rather than stretching it over the
    // screen, and a window manager keeps it above.
    m_backdrop->winId();
    m_results.winId();
    if (m_results.windowHandle() != nullptr) {
        m_results.windowHandle()->setTransientParent(m_backdrop->windowHandle());
    }
    // No frame, also where the compositor only maximises the window (cage)
    // and Qt would draw one itself.
    m_main.setWindowFlag(Qt::FramelessWindowHint, true);
    m_main.setGeometry(screenArea());
    m_main.showFullScreen();
    m_main.raise();
    m_main.activateWindow();
    if (m_x11) {
        if (g_holding == nullptr) {
            std::atexit(giveBackAtExit);
        }
        g_holding = m_x11.get();
        m_x11->takeActions();
        m_x11->grab();
        m_timer->start();
    }
}

void Kiosk::keepInFront()
{
    // A drop-down list or a message box holds the keyboard and the pointer
    // itself for the moment; they come back when it closes.
    QWidget* modal = QApplication::activeModalWidget();
    if (QApplication::activePopupWidget() != nullptr) {
        return;
    }
    QWidget* front = modal != nullptr        ? modal
                     : m_results.isVisible() ? &m_results
                     : m_main.isVisible()    ? &m_main
                                             : nullptr;
    if (front == &m_main && !m_main.isFullScreen()) {
        m_main.setGeometry(screenArea());
        m_main.showFullScreen();
    }
    if (front != nullptr) {
        front->raise();
        if (!front->isActiveWindow()) {
            front->activateWindow();
        }
    }
    m_x11->grab();
    if (++m_ticks % kKeymapEvery == 0) {
        m_x11->takeActions();
    }
}

bool Kiosk::eventFilter(QObject* watched, QEvent* event)
{
    // An edit box's own menu (the menu key, Shift+F10, a right click) would
    // hold the keyboard and offer the clipboard: a test needs neither.
    if (event->type() == QEvent::ContextMenu) {
        return true;
    }
    if (event->type() == QEvent::KeyPress &&
        isExitKey(m_exitKeys, static_cast<QKeyEvent*>(event)->keyCombination())) {
        emit exitRequested();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace qd
