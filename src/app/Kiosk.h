#pragma once

#include <QKeySequence>
#include <QObject>
#include <QRect>

#include <memory>
#include <string>

class QTimer;
class QWidget;

namespace qd {

struct KioskX11;

// The layout name the keyboard settings of X and of Wayland compositors
// (XKB_DEFAULT_LAYOUT) use for the test's keyboard layout setting: 0 "us",
// 1 "ru", 2 "ua"; empty when out of range.
std::string xkbLayoutName(int kbLayout);

// True when `pressed` (a key with its modifiers, as a key event gives it) is
// the first key of `exitKeys`; the keypad flag of the key does not count.
bool isExitKey(const QKeySequence& exitKeys, QKeyCombination pressed);

// Kiosk mode for the program's lifetime: the main window fills the whole
// screen and is kept in front, the administrator's keys end the program.
// On X11 the program also holds the keyboard and the pointer (another
// program's window cannot be reached by either) and the X server's keyboard
// loses its actions for switching consoles, killing the server and breaking
// grabs; they come back when the program ends, by any way short of SIGKILL
// (SIGTERM, SIGINT and SIGHUP end it in order in kiosk mode). On Wayland the
// compositor of the kiosk session keeps the window in front and no key
// leaves it; the window only asks to be full screen.
class Kiosk : public QObject
{
    Q_OBJECT

public:
    Kiosk(QWidget& mainWindow, QWidget& resultsWindow, const QKeySequence& exitKeys);
    ~Kiosk() override;

    Kiosk(const Kiosk&) = delete;
    Kiosk& operator=(const Kiosk&) = delete;

    // The screen the main window fills, without a frame.
    static QRect screenArea();

    // Shows the main window full screen and begins holding on to it.
    void start();

signals:
    // The administrator's keys, or a request to end by a signal.
    void exitRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void keepInFront();

    QWidget& m_main;
    QWidget& m_results;
    QKeySequence m_exitKeys;
    QTimer* m_timer = nullptr;
    int m_ticks = 0;
    // A plain screen behind the windows, so that the desktop (or the
    // compositor's black) does not show round the small results window.
    std::unique_ptr<QWidget> m_backdrop;
    std::unique_ptr<KioskX11> m_x11;
};

} // namespace qd
