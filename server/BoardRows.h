#pragma once

#include <QByteArray>

#include <cstdint>
#include <utility>
#include <vector>

namespace qd::server {

// One table of the board (its sittings, its incidents) as the page reads
// it: each row's JSON, kept with the generation in which it last changed.
// The whole table is one document built when a row changes, so a request
// only hands it out; a page that holds generation G asks for the rows
// changed after G.
//
// Generations count up from a base taken from the wall clock when the
// board starts (microseconds), and a table changes at most a few times a
// second: a page that polled the board before a restart holds a generation
// below the new base, or above the current one when the clock went back,
// and either way gets every row again ("full").
class BoardRows
{
public:
    explicit BoardRows(uint64_t base) : m_base(base), m_generation(base), m_all("[]") {}

    // The rows as they are now, in their order, each (id, JSON). A row that
    // is new or whose JSON differs is stamped with the next generation; a
    // row no longer there is dropped (the incidents' window moves on), which
    // also counts as a change. Returns whether anything changed.
    bool replace(std::vector<std::pair<int64_t, QByteArray>> rows);

    uint64_t generation() const { return m_generation; }
    std::size_t size() const { return m_rows.size(); }
    // The JSON array of every row.
    const QByteArray& all() const { return m_all; }

    struct Changes
    {
        bool full = false; // `since` was not this board's: every row
        QByteArray rows;   // a JSON array
    };
    // The rows changed after generation `since`.
    Changes since(uint64_t since) const;

private:
    struct Row
    {
        int64_t id = 0;
        QByteArray json;
        uint64_t changed = 0;
    };
    uint64_t m_base;
    uint64_t m_generation;
    std::vector<Row> m_rows;
    QByteArray m_all;
};

} // namespace qd::server
