#pragma once

// The script of a dry run: one student action a line (UTF-8). The whole
// script is checked before anything is played, so a typing error never
// leaves a session half played.

#include <QByteArray>
#include <QString>

#include "definition/Fault.h"

#include <cstdint>
#include <vector>

namespace qdtool {

// An option named in choose, order or match: by its text, or by its row
// as shown (from 0, as press counts).
struct OptionRef
{
    QString text;
    int row = -1; // >= 0: by position
};

struct ScriptAction
{
    enum Kind {
        Name,
        Exam,
        Begin,
        Press,
        Marker,
        Click,
        Move,
        Type,
        Wait,
        Next,
        Close,
        Key,
        Choose,
        Order,
        Match,
        Crash
    };

    Kind kind = Begin;
    int line = 0;    // 1-based line of the script
    int a = 0;       // press/marker: column; click/move: x; key: index into kKeyNames
    int b = 0;       // press/marker: row; click/move: y; key: how often
    QString text;    // name, type: the rest of the line; crash: "answered" or empty
    uint64_t ms = 0; // wait
    std::vector<OptionRef> options; // choose, order, match
};

// The keys a script can press, as the window takes them: the arrows, Home,
// End and Space on the question screen, Enter for "Наст. питання" (or the
// title page's button), F1 for the help line.
inline constexpr const char* kKeyNames[] = {"up",  "down",  "left",  "right", "home",
                                            "end", "space", "enter", "f1"};

// Blank lines and lines starting with "#" are skipped; a line may end in
// CR LF. Wait takes seconds with at most three decimals. "crash" ends the
// process at once, as a power cut would; "crash answered" at the moment the
// next answer's checkpoint is on the disk, before the next question shows.
// A fault's message is "LINE: what is wrong", in UTF-8.
qd::Result<std::vector<ScriptAction>> parseScript(const QByteArray& utf8);

} // namespace qdtool
