#pragma once

// The script of a dry run: one student action a line (UTF-8). The whole
// script is checked before anything is played, so a typing error never
// leaves a session half played.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <variant>
#include <vector>

namespace qdtool {

struct ScriptAction
{
    enum Kind { Name, Exam, Begin, Press, Marker, Click, Move, Type, Wait, Next, Close };

    Kind kind = Begin;
    int line = 0;    // 1-based line of the script
    int a = 0;       // press/marker: column; click/move: x
    int b = 0;       // press/marker: row; click/move: y
    QString text;    // name, type: the rest of the line
    uint64_t ms = 0; // wait
};

struct ScriptError
{
    int line = 0;
    QString message;
};

// Blank lines and lines starting with "#" are skipped; a line may end in
// CR LF. Wait takes seconds with at most three decimals.
std::variant<std::vector<ScriptAction>, ScriptError> parseScript(const QByteArray& utf8);

} // namespace qdtool
