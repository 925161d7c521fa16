#pragma once

#include <QMargins>

#include <string>
#include <vector>

class QWidget;

namespace qd {

// What the program asks of the desktop it runs on, beyond its windows. On
// X11 both are done through Xlib; elsewhere, or where the desktop does not
// allow it, nothing happens and the program goes on as it would without.

// The frame a window manager will put around `window` (its title bar and
// borders), asked before the window is first shown, so that the framed
// window can be fitted into the screen. Zero margins without a window
// manager that tells (waits at most half a second for its answer).
QMargins windowFrameMargins(QWidget& window);

// The keyboard groups' names as the keyboard calls them ("English (US)",
// "Russian", ...), and the group among them that the test's keyboard layout
// setting asks for: 0 English (US), 1 Russian, 2 Ukrainian. A name of a
// variant ("Russian (phonetic)") counts when the plain layout is missing.
// -1 when the keyboard has no such group or the setting is out of range.
int keyboardGroupFor(int kbLayout, const std::vector<std::string>& groupNames);

// Locks the keyboard group of the test's layout for the student to type in;
// the group the student had is locked again when the program ends, however
// it ends short of a signal. Nothing happens without such a group.
void selectKeyboardLayout(int kbLayout);

} // namespace qd
