#pragma once

class QWidget;

namespace qd {

// The test's keyboard layout where the program cannot select it itself.

// Prints the layout the test in the working directory asks for, as the
// keyboard settings of X and of Wayland compositors name it ("us", "ru",
// "ua"), for a kiosk session that sets the keyboard before the program
// starts. A test that does not load: its message on stderr, exit code 1.
int printKeyboardLayout();

// True where no program may choose the keyboard's layout: a Wayland session
// leaves that to the compositor's own settings.
bool layoutLeftToStudent();

// One line on the title page, over the title picture under the header,
// naming the layout the test expects; it goes with the title page.
void showExpectedLayout(QWidget& mainWindow, int kbLayout);

} // namespace qd
