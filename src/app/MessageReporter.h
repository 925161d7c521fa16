#pragma once

#include "definition/Fault.h"

#include <QString>

#include <functional>
#include <string>

namespace qd {

// error(fatal): every message of the program goes through here. A beep,
// then a modal box captioned "Програма QUIZDESK" with the error icon and an
// OK button, no owner window; a fatal message then ends the process with
// exit code 0, saving nothing.
class MessageReporter
{
public:
    // What the reporter does, replaceable so that a test can watch a fatal
    // message without a box that waits for a click and without exiting.
    struct Actions
    {
        std::function<void()> beep;
        std::function<void(const QString& caption, const QString& text)> box;
        std::function<void(int code)> exit;
    };

    MessageReporter();
    explicit MessageReporter(Actions actions);

    // text: code page 1251.
    void error(const std::string& text, bool fatal) const;
    void error(const Fault& fault, bool fatal) const { error(fault.cp1251(), fatal); }

    static QString caption();
    // The real actions: QApplication::beep, a QMessageBox, std::exit.
    static Actions systemActions();

private:
    Actions m_actions;
};

} // namespace qd
